#include "ui/Sliders.h"

#include <cstdio>

#include "host/Context.h"
#include "settings/CloudSettings.h"
#include "settings/ControlBinding.h"
#include "ui/ControlTable.h"
#include "ui/DialogWindow.h"
#include "ui/DirectionPad.h"
#include "ui/GdiScope.h"
#include "ui/Layout.h"
#include "ui/Resources.h"
#include "ui/SliderGeometry.h"
#include "ui/Text.h"

static const COLORREF numberFace = RGB(227, 227, 227);

void drawSliderTrack(HWND dialog, HDC dc, int id)
{
    int track = lookupControl(id).trackId;
    if (track < 0) return;
    PixelRect r = controlRect(dialog, track);
    int dpi = dialogDpi(dialog);
    drawBitmap(dialog, dc, controlBitmap[track][0], r.left, r.top);
    drawBitmap(dialog, dc, IDB_KNOB, knobLeft(r, controlValue[track], controlLow[track], controlHigh[track], dpi),
               r.top + scaledLength(1, dpi));
}

void drawSliderNumber(HWND dialog, HDC dc, int id)
{
    ControlInfo info = lookupControl(id);
    if (info.trackId < 0 || info.valueId < 0) return;
    PixelRect r = controlRect(dialog, info.valueId);
    int dpi = dialogDpi(dialog);
    fillSolid(dc, RECT{r.left, r.top, r.right, r.bottom - scaledLength(3, dpi)}, numberFace);
    char number[16];
    std::snprintf(number, sizeof number, "%d", int(controlValue[info.trackId]));
    drawText(r, textCentred, number, -1, RGB(0, 0, 0), dc, dpi);
}

// Stores the move in currentPoint; false when it equals the last one processed.
static bool takeMove(CloudSettings* s, int x, int y)
{
    s->currentPoint[0] = int16(y);
    s->currentPoint[1] = int16(x);
    return !(s->currentPoint[0] == s->pressPoint[0] && s->currentPoint[1] == s->pressPoint[1]);
}

static void endMove(CloudSettings* s)
{
    s->pressPoint[0] = s->currentPoint[0];
    s->pressPoint[1] = s->currentPoint[1];
}

bool dragSlider(FilterContext* ctx, HWND dialog, int id, int x, int y)
{
    CloudSettings* s = settingsOf(ctx);
    int track = lookupControl(id).trackId;
    int dpi = dialogDpi(dialog);
    if (track < 0 || !takeMove(s, x - scaledLength(knobHold, dpi), y)) return false;
    PixelRect r = controlRect(dialog, track);
    controlValue[track] = sliderValueAt(r, s->currentPoint[1], controlLow[track], controlHigh[track], dpi);
    WindowDC dc(dialog);
    drawSliderTrack(dialog, dc.get(), track);
    drawSliderNumber(dialog, dc.get(), track);
    endMove(s);
    return true;
}

void drawPad(HWND dialog, HDC dc, int id)
{
    if (!dc) return;
    PixelRect r = controlRect(dialog, id);
    int dpi = dialogDpi(dialog);
    const float* v = controlVector[id];
    drawBitmap(dialog, dc, controlBitmap[id][0], r.left, r.top);
    PadPoint marker = padMarkerPoint(r.left, r.top, v, dpi);
    PadPoint start = padStickStart(r.left, r.top, v, dpi);
    {
        // Yellow while the light falls from the front, magenta from behind.
        GdiObject<HPEN> pen(CreatePen(PS_SOLID, hairline(dpi), v[2] >= 0.0f ? RGB(255, 255, 0) : RGB(255, 0, 255)));
        Selection selected(dc, pen.get());
        MoveToEx(dc, start.x, start.y, nullptr);
        LineTo(dc, marker.x, marker.y);
    }
    drawMarker(dialog, dc, marker.x - scaledLength(2, dpi), marker.y - scaledLength(2, dpi));
}

bool dragPad(FilterContext* ctx, HWND dialog, int id, int x, int y)
{
    CloudSettings* s = settingsOf(ctx);
    if (!takeMove(s, x, y)) return false;
    PixelRect r = controlRect(dialog, id);
    padVectorAtPoint(s->currentPoint[1], s->currentPoint[0], r.left, r.top, dialogDpi(dialog), controlVector[id]);
    WindowDC dc(dialog);
    drawPad(dialog, dc.get(), id);
    endMove(s);
    return true;
}
