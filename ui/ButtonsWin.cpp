#include "ui/Buttons.h"

#include "host/Context.h"
#include "settings/CloudSettings.h"
#include "settings/ControlBinding.h"
#include "ui/ControlTable.h"
#include "ui/DialogWindow.h"
#include "ui/GdiScope.h"
#include "ui/PreviewPane.h"
#include "ui/Resources.h"
#include "ui/Text.h"

namespace {

const COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255), lightGrey = RGB(240, 240, 240),
               midGrey = RGB(128, 128, 128), disabledGrey = RGB(140, 140, 140), faceGrey = RGB(222, 222, 222),
               readoutFace = RGB(227, 227, 227), chosenBlue = RGB(0x3C, 0x6D, 0xB4);

PixelRect shrink(const PixelRect& r, int by) { return insetRect(r, by); }

// The rectangle less one pixel on every side, widened again right and down:
// exactly the inside of a frame drawn on `r`.
RECT insideFrame(const PixelRect& r) { return RECT{r.left + 1, r.top + 1, r.right, r.bottom}; }

void raisedFace(HDC dc, PixelRect r, UINT state)
{
    if (state & buttonFocused) {
        frame(dc, r, black, black);
        r = shrink(r, 1);
    }
    if (state & buttonPressed) {
        frame(dc, r, black, black);
        r = shrink(r, 1);
        frame(dc, r, midGrey, midGrey);
    } else {
        frame(dc, r, lightGrey, black);
        r = shrink(r, 1);
        frame(dc, r, white, midGrey);
    }
    fillSolid(dc, insideFrame(r), faceGrey);
}

void disabledFace(HDC dc, const PixelRect& r)
{
    frame(dc, r, disabledGrey, disabledGrey);
    fillSolid(dc, insideFrame(r), faceGrey);
}

void anyFace(HDC dc, const PixelRect& r, UINT state)
{
    if (state & buttonDisabled)
        disabledFace(dc, r);
    else
        raisedFace(dc, r, state);
}

void focusRectangle(HDC dc, const PixelRect& r, UINT state, int dpi)
{
    if (!(state & buttonFocused)) return;
    const int in = scaledLength(4, dpi), back = scaledLength(3, dpi);
    RECT f = {r.left + in, r.top + in, r.right - back, r.bottom - back};
    DrawFocusRect(dc, &f);
}

// A button's caption: centred, top aligned on its line, moved with the press.
void buttonText(HDC dc, const PixelRect& outer, UINT state, const char* text, int dpi)
{
    bool pressed = (state & buttonPressed) != 0;
    int down = (heightOf(outer) - scaledLength(16, dpi)) / 2 + scaledLength(2, dpi) + (pressed ? 1 : 0);
    RECT r = {outer.left + (pressed ? 1 : 0) + 1, outer.top + down - 1, outer.right + (pressed ? 1 : 0) + 1,
              outer.bottom + down - 1};
    SavedDC saved(dc);
    GdiObject<HFONT> font(createDialogFont(dpi));
    Selection selected(dc, font.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, (state & buttonDisabled) ? disabledGrey : black);
    DrawTextA(dc, text, -1, &r, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
}

void bitmapButton(HWND dialog, HDC dc, const PixelRect& outer, UINT state, int bitmap)
{
    anyFace(dc, outer, state);
    SIZE size = bitmapSize(dialog, bitmap);
    int shift = (state & buttonPressed) ? 1 : 0;
    drawBitmap(dialog, dc, bitmap, outer.left + shift + (widthOf(outer) - size.cx + 1) / 2,
               outer.top + shift + (heightOf(outer) - size.cy + 1) / 2);
    focusRectangle(dc, outer, state, dialogDpi(dialog));
}

void textButton(HDC dc, const PixelRect& outer, UINT state, const char* text, int dpi)
{
    anyFace(dc, outer, state);
    buttonText(dc, outer, state, text, dpi);
    focusRectangle(dc, outer, state, dpi);
}

void colourButton(HDC dc, const PixelRect& outer, UINT state, const RGB48& colour, int dpi)
{
    anyFace(dc, outer, state);
    PixelRect swatch = shrink(outer, (state & buttonFocused) ? 3 : 2);
    fillSolid(dc, RECT{swatch.left, swatch.top, swatch.right + 1, swatch.bottom + 1},
              RGB(colour.red >> 8, colour.green >> 8, colour.blue >> 8));
    focusRectangle(dc, outer, state, dpi);
}

bool enabledFlag(FilterContext* ctx, int id) { return !ctx || !ctx->work || ctx->work->controlEnabled[id] != 0; }

}  // namespace

void frame(HDC dc, const PixelRect& r, COLORREF a, COLORREF b)
{
    {
        GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, a));
        Selection selected(dc, pen.get());
        MoveToEx(dc, r.left, r.bottom, nullptr);
        LineTo(dc, r.left, r.top);
        LineTo(dc, r.right, r.top);
        LineTo(dc, r.right, r.top + 1);
    }
    GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, b));
    Selection selected(dc, pen.get());
    LineTo(dc, r.right, r.bottom);
    LineTo(dc, r.left, r.bottom);
}

void drawButtonFace(FilterContext* ctx, HWND dialog, HDC dc, int id, UINT state, HDC readoutDC, const RECT& readoutRect)
{
    if (!dc) return;
    PixelRect outer = controlRect(dialog, id);
    const int dpi = dialogDpi(dialog);
    if ((id == IDC_ZOOM_IN || id == IDC_ZOOM_OUT) && !enabledFlag(ctx, id)) state |= buttonDisabled;
    switch (id) {
    case IDC_CANCEL: textButton(dc, outer, state, "Cancel", dpi); return;
    case IDC_ZOOM_IN: textButton(dc, outer, state, "+", dpi); return;
    case IDC_ZOOM_OUT: textButton(dc, outer, state, "-", dpi); return;
    case IDC_ZOOM_READOUT: {
        fillSolid(readoutDC, readoutRect, readoutFace);
        char text[16];
        zoomReadout(ctx ? settingsOf(ctx)->zoomRate : 1, text, sizeof text);
        buttonText(dc, outer, state, text, dpi);
        return;
    }
    default: break;
    }
    switch (controlKind(id)) {
    case BitmapButton: bitmapButton(dialog, dc, outer, state, controlBitmap[id][0]); break;
    case ColourButton: colourButton(dc, outer, state, controlColour[id], dpi); break;
    default: break;
    }
}

void drawOwnerButton(FilterContext* ctx, HWND dialog, const DRAWITEMSTRUCT* item)
{
    WindowDC dc(dialog);
    drawButtonFace(ctx, dialog, dc.get(), int(item->CtlID), item->itemState, item->hDC, item->rcItem);
}

void drawToggle(HWND dialog, HDC dc, int id, int image)
{
    if (!dc) return;
    // The box's picture, and around it two sunken one-pixel frames; the
    // picture's last column and row complete the inner one.
    PixelRect outer = controlRect(dialog, id);
    const int dpi = dialogDpi(dialog), side = scaledLength(10, dpi);
    const PixelRect box = {outer.left + scaledLength(1, dpi), outer.top + scaledLength(3, dpi), 0, 0};
    PixelRect r = {box.left - 2, box.top - 2, box.left + side, box.top + side};
    frame(dc, r, midGrey, lightGrey);
    frame(dc, shrink(r, 1), black, white);
    static const int bitmapByImage[4] = {0, 2, 1, 3};  // off, on, off pressed, on pressed
    if (image >= 0 && image < 4) drawBitmap(dialog, dc, controlBitmap[id][bitmapByImage[image]], box.left, box.top);
}

void trackToggle(FilterContext* ctx, HWND dialog, int id, int x, int y)
{
    CloudSettings* s = settingsOf(ctx);
    s->currentPoint[0] = int16(y);
    s->currentPoint[1] = int16(x);
    bool inside = pixelInRect(x, y, controlRect(dialog, id));
    controlValue[id] = (controlValue[id] & ~2) | (inside ? 2 : 0);
    if (s->currentPoint[0] != s->pressPoint[0] || s->currentPoint[1] != s->pressPoint[1]) {
        WindowDC dc(dialog);
        drawToggle(dialog, dc.get(), id, (controlValue[id] & 1) + (inside ? 2 : 0));
    }
    s->pressPoint[0] = s->currentPoint[0];
    s->pressPoint[1] = s->currentPoint[1];
}

bool releaseToggle(HWND dialog, int id)
{
    if (!(controlValue[id] & 2)) return false;
    controlValue[id] = (controlValue[id] & 1) ^ 1;
    WindowDC dc(dialog);
    drawToggle(dialog, dc.get(), id, controlValue[id]);
    return true;
}

void drawChoice(HWND dialog, HDC dc, int id, int chosen, int pressed)
{
    if (!dc) return;
    const PixelRect outer = controlRect(dialog, id);
    drawBitmap(dialog, dc, controlBitmap[id][chosen], outer.left, outer.top);
    if (pressed < 0 || pressed == chosen) return;
    // About to be picked: a frame of the chosen segment's blue inside the strip's border.
    const int in = 2 * hairline(dialogDpi(dialog));
    PixelRect seg = choiceSegment(outer, pressed);
    frame(dc, PixelRect{seg.left + in, seg.top + in, seg.right - 1 - in, seg.bottom - 1 - in}, chosenBlue, chosenBlue);
}

void trackChoice(HWND dialog, int id, int x, int y)
{
    DialogWindow* window = dialogWindowOf(dialog);
    if (!window) return;
    const int pressed = choiceSegmentAt(controlRect(dialog, id), x, y);
    if (pressed == window->pressedSegment) return;
    window->pressedSegment = pressed;
    WindowDC dc(dialog);
    drawChoice(dialog, dc.get(), id, wrapModeOf(controlValue[id]), pressed);
}

bool releaseChoice(HWND dialog, int id)
{
    DialogWindow* window = dialogWindowOf(dialog);
    if (!window) return false;
    const int picked = window->pressedSegment;
    window->pressedSegment = -1;
    const bool changed = picked >= 0 && picked != wrapModeOf(controlValue[id]);
    if (changed) controlValue[id] = picked;
    WindowDC dc(dialog);
    drawChoice(dialog, dc.get(), id, wrapModeOf(controlValue[id]), -1);
    return changed;
}
