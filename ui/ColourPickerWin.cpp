#include "ui/ColourPicker.h"

#include <commdlg.h>

#include <cstring>

#include "host/Context.h"
#include "ui/ControlTable.h"
#include "ui/Resources.h"

// The system dialog's custom colours: white at load, kept while the module lives.
static COLORREF customColours[16] = {
    0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
    0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
};

// A host's 0..255 component in the high byte; out-of-range answers are clamped.
static uint16 componentOf(int16 value) { return uint16((value < 0 ? 0 : value > 255 ? 255 : value) << 8); }

static bool hostPicker(ColorServicesProc colorServices, const uint8* prompt, RGB48* colour)
{
    ColorServicesInfo info;
    std::memset(&info, 0, sizeof info);
    info.infoSize = int32(sizeof info);
    info.selector = 0;     // choose a colour
    info.sourceSpace = 0;  // RGB
    info.resultSpace = 0;
    info.colorComponents[0] = int16(colour->red >> 8);
    info.colorComponents[1] = int16(colour->green >> 8);
    info.colorComponents[2] = int16(colour->blue >> 8);
    info.selectorParameter.pickerPrompt = const_cast<uint8*>(prompt);
    colorServices(&info);
    colour->red = componentOf(info.colorComponents[0]);
    colour->green = componentOf(info.colorComponents[1]);
    colour->blue = componentOf(info.colorComponents[2]);
    return true;
}

static bool systemPicker(RGB48* colour)
{
    CHOOSECOLORA choice;
    std::memset(&choice, 0, sizeof choice);
    choice.lStructSize = sizeof choice;
    choice.hwndOwner = nullptr;
    choice.hInstance = reinterpret_cast<HWND>(moduleInstance());
    choice.rgbResult = RGB(colour->red >> 8, colour->green >> 8, colour->blue >> 8);
    choice.lpCustColors = customColours;
    choice.Flags = CC_RGBINIT;
    if (!ChooseColorA(&choice)) return false;
    colour->red = uint16(GetRValue(choice.rgbResult) << 8);
    colour->green = uint16(GetGValue(choice.rgbResult) << 8);
    colour->blue = uint16(GetBValue(choice.rgbResult) << 8);
    return true;
}

bool pickColour(FilterContext* ctx, int id, RGB48* colour)
{
    // The prompt: the swatch's name-table text as a length-prefixed string.
    uint8 prompt[256];
    const char* name = controlName(controlNameIndex[id]);
    size_t length = std::strlen(name);
    if (length > 255) length = 255;
    prompt[0] = uint8(length);
    std::memcpy(prompt + 1, name, length);
    if (ctx->filter->colorServices) return hostPicker(ctx->filter->colorServices, prompt, colour);
    return systemPicker(colour);
}
