#include "settings/ControlBinding.h"

#include "host/Dialogs.h"

int32 controlValue[controlCount];
RGB48 controlColour[controlCount];
float controlVector[controlCount][3];
int32 controlLow[controlCount];
int32 controlHigh[controlCount];

namespace {

enum BindingTable { integerTable, colourTable, vectorTable };

struct Binding {
    int control;
    BindingTable table;
    int32 CloudSettings::*word;    // integer table
    RGB48 CloudSettings::*colour;  // colour table
};

// Both directions walk this table in order.
const Binding kBindings[] = {
    {IDC_AUTO_PREVIEW, integerTable, &CloudSettings::autoPreview, nullptr},
    {IDC_BACKLIGHTING, integerTable, &CloudSettings::backlighting, nullptr},
    {IDC_SEAMLESS, integerTable, &CloudSettings::wrap, nullptr},
    {IDC_CLOUD_COLOUR, colourTable, nullptr, &CloudSettings::cloudColor},
    {IDC_SKY_COLOUR, colourTable, nullptr, &CloudSettings::skyColor},
    {IDC_HARSHNESS_TRACK, integerTable, &CloudSettings::harshness, nullptr},
    {IDC_LUMP_SCALE_TRACK, integerTable, &CloudSettings::lumpScale, nullptr},
    {IDC_MOTTLING_TRACK, integerTable, &CloudSettings::mottling, nullptr},
    {IDC_DISPERSION_TRACK, integerTable, &CloudSettings::dispersion, nullptr},
    {IDC_FLATNESS_TRACK, integerTable, &CloudSettings::flatness, nullptr},
    {IDC_DENSITY_TRACK, integerTable, &CloudSettings::density, nullptr},
    {IDC_LUMPINESS_TRACK, integerTable, &CloudSettings::lumpiness, nullptr},
    {IDC_SMOKINESS_TRACK, integerTable, &CloudSettings::smokiness, nullptr},
    {IDC_DETAIL_TRACK, integerTable, &CloudSettings::detail, nullptr},
    {IDC_ZOOM_TRACK, integerTable, &CloudSettings::zoom, nullptr},
    {IDC_BRIGHTNESS_TRACK, integerTable, &CloudSettings::brightness, nullptr},
    {IDC_SKY_LIGHT_TRACK, integerTable, &CloudSettings::skyLight, nullptr},
    {IDC_PUFFS_TRACK, integerTable, &CloudSettings::puffs, nullptr},
    {IDC_LIGHT_PAD, vectorTable, nullptr, nullptr},  // lightX, lightY, lightZ
};

}  // namespace

void settingsToControls(void* window, FilterContext* ctx)
{
    const CloudSettings* s = settingsOf(ctx);
    for (const Binding& b : kBindings) {
        switch (b.table) {
        case integerTable: controlValue[b.control] = s->*b.word; break;
        case colourTable:
            controlColour[b.control] = s->*b.colour;
            invalidateControl(window, b.control);
            break;
        case vectorTable:
            controlVector[b.control][0] = s->lightX;
            controlVector[b.control][1] = s->lightY;
            controlVector[b.control][2] = s->lightZ;
            invalidateControl(window, b.control);
            break;
        }
    }
}

void controlsToSettings(void*, FilterContext* ctx)
{
    CloudSettings* s = settingsOf(ctx);
    for (const Binding& b : kBindings) {
        switch (b.table) {
        case integerTable: s->*b.word = controlValue[b.control]; break;
        case colourTable: s->*b.colour = controlColour[b.control]; break;
        case vectorTable:
            s->lightX = controlVector[b.control][0];
            s->lightY = controlVector[b.control][1];
            s->lightZ = controlVector[b.control][2];
            break;
        }
    }
}

bool readAutoPreview(void*, FilterContext* ctx)
{
    settingsOf(ctx)->autoPreview = controlValue[IDC_AUTO_PREVIEW];
    return controlValue[IDC_AUTO_PREVIEW] != 0;
}
