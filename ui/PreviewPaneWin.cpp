#include "host/Capabilities.h"
#include "host/Context.h"
#include "host/Coordinates.h"
#include "host/Dialogs.h"
#include "host/Preview.h"
#include "host/Rects.h"
#include "settings/CloudSettings.h"
#include "settings/ControlBinding.h"
#include "settings/Persistence.h"
#include "ui/GdiScope.h"
#include "ui/LivePreview.h"
#include "ui/MainDialog.h"
#include "ui/PreviewPane.h"
#include "ui/Resources.h"

// Hands the host's output buffer to displayPixels with its top-left pixel at
// (row, column) of `dc`: the rows `first` to `last` of it (all of it for -1).
static void showOutput(FilterContext* ctx, HDC dc, int row, int column, int first = -1, int last = -1)
{
    FilterRecord* r = ctx->filter;
    if (!r->displayPixels || !r->outData || !dc) return;
    PSPixelMap map;
    describePreviewPixels(ctx, &map);
    if (!map.baseAddr) return;
    VRect part = map.bounds;
    if (first >= 0) {
        part.top = map.bounds.top + first;
        part.bottom = map.bounds.top + last + 1;
        if (part.bottom > map.bounds.bottom) part.bottom = map.bounds.bottom;
        if (part.top >= part.bottom) return;
        row += first;
    }
    r->displayPixels(&map, &part, row, column, dc);
}

void displayPreview(FilterContext* ctx, HWND dialog, bool clearFirst)
{
    PixelRect box = insetRect(controlRect(dialog, IDC_PREVIEW), 2);
    WindowDC dc(dialog);
    if (!dc.get()) return;
    if (clearFirst) fillSolid(dc.get(), toRECT(box), RGB(255, 255, 255));
    {
        GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
        Selection selected(dc.get(), pen.get());
        MoveToEx(dc.get(), box.left - 1, box.bottom, nullptr);
        LineTo(dc.get(), box.left - 1, box.top - 1);
        LineTo(dc.get(), box.right, box.top - 1);
        LineTo(dc.get(), box.right, box.bottom);
        LineTo(dc.get(), box.left - 1, box.bottom);
    }
    const VRect out = outRectOf(ctx->filter);
    int column = (box.left + box.right - rectWidth(out)) / 2;
    int row = (box.top + box.bottom - rectHeight(out)) / 2;
    showOutput(ctx, dc.get(), row, column);
}

bool showSeams(FilterContext* ctx, HWND dialog, int x, int y)
{
    const CloudSettings* s = settingsOf(ctx);
    const int mode = wrapModeOf(s->wrap);
    const FilterRecord* r = ctx->filter;
    if (!s->previewOn || mode == wrapOff || pressStartsPan(ctx) || !r->displayPixels || !r->outData) return false;
    const PixelRect pane = controlRect(dialog, IDC_PREVIEW), box = insetRect(pane, 2);
    if (!pixelInRect(x, y, pane)) return false;
    PSPixelMap map;
    describePreviewPixels(ctx, &map);
    if (!map.baseAddr) return false;
    WindowDC dc(dialog);
    if (!dc.get()) return false;
    // The picture rolled by half its width (and, both ways, half its
    // height): what lay at the edges now meets in the middle, in four
    // parts at most, each the buffer's part shown at its new place.
    const int32 w = map.bounds.right - map.bounds.left, h = map.bounds.bottom - map.bounds.top;
    const int32 dx = w / 2, dy = mode == wrapBoth ? h / 2 : 0;
    const int column = (box.left + box.right - w) / 2, row = (box.top + box.bottom - h) / 2;
    const int32 fromX[2] = {dx, 0}, toX[2] = {w, dx}, fromY[2] = {dy, 0}, toY[2] = {h, dy};
    for (int a = 0; a < 2; ++a)
        for (int b = 0; b < 2; ++b) {
            VRect part = {map.bounds.top + fromY[a], map.bounds.left + fromX[b], map.bounds.top + toY[a],
                          map.bounds.left + toX[b]};
            if (part.top >= part.bottom || part.left >= part.right) continue;
            const int32 atRow = row + (a == 0 ? 0 : h - dy), atColumn = column + (b == 0 ? 0 : w - dx);
            r->displayPixels(&map, &part, atRow, atColumn, dc.get());
        }
    return true;
}

void showPreviewRows(FilterContext* ctx)
{
    HWND dialog = static_cast<HWND>(ctx->dialogWindow);
    HWND item = dialog ? GetDlgItem(dialog, IDC_PREVIEW) : nullptr;
    if (!item) return;
    RECT screen;
    GetWindowRect(item, &screen);
    POINT origin = {0, 0};
    ClientToScreen(dialog, &origin);
    const VRect out = outRectOf(ctx->filter);
    int column = (screen.left + screen.right - rectWidth(out)) / 2 - origin.x;
    int row = (screen.top + screen.bottom - rectHeight(out)) / 2 - origin.y;
    double start = previewClockMs();
    WindowDC dc(dialog);
    // The rows finished since the last call (it comes every second row): the
    // rows above them are on screen already, so the cost stays in proportion
    // to the pane however many rows it has.
    showOutput(ctx, dc.get(), row, column, ctx->renderRow > 0 ? ctx->renderRow - 1 : 0, ctx->renderRow);
    noteRowsShownMs(ctx, previewClockMs() - start);
}

void showWaitCursor(bool waiting) { showSystemCursor(waiting ? IDC_WAIT : IDC_ARROW); }

void pressPreview(FilterContext* ctx, HWND dialog, int x, int y)
{
    CloudSettings* s = settingsOf(ctx);
    s->pressPoint[0] = int16(y);
    s->pressPoint[1] = int16(x);
    if (pressStartsPan(ctx)) {
        s->capturedControl = IDC_PREVIEW;
        SetCapture(dialog);
        showModuleCursor(dialog, IDCUR_HAND_POINTING);
        s->dragMoved = 0;
        return;
    }
    // The whole image is visible: the press places the centre at once.
    setCentreFromPressPoint(ctx, controlRect(dialog, IDC_PREVIEW));
    noteChange(ctx, gesturePlaceCentre, dialog);
    if (readAutoPreview(dialog, ctx)) rerenderPreview(ctx, dialog);
    settingsOf(ctx)->dragMoved = 0;
}

void panPreview(FilterContext* ctx, HWND dialog, int x, int y)
{
    CloudSettings* s = settingsOf(ctx);
    s->currentPoint[0] = int16(y);
    s->currentPoint[1] = int16(x);
    int dx = s->zoomRate * (s->currentPoint[1] - s->pressPoint[1]);
    int dy = s->zoomRate * (s->currentPoint[0] - s->pressPoint[0]);
    if (dx != 0 || dy != 0) {
        s->dragMoved = 1;
        s->panX -= dx;
        s->panY -= dy;
        clampPan(ctx, s->zoomRate);
        setupPreview(ctx, settingsOf(ctx)->zoomRate);  // the host delivers the new area
        forgetPaneContent(ctx);
        showModuleCursor(dialog, IDCUR_HAND_CLOSED);
        if (liveRenderWanted(ctx, dialog)) {
            // The clouds over the new area, unless the pointer has moved on already.
            if (!newerMouseMessageWaiting(dialog)) renderLive(ctx, dialog);
        } else {
            // Renders are slow here: the source image, cheaply, until the release.
            showSourceInPreview(ctx);
            if (settingsOf(ctx)->previewOn) displayPreview(ctx, dialog, false);
        }
    }
    s = settingsOf(ctx);
    s->pressPoint[0] = s->currentPoint[0];
    s->pressPoint[1] = s->currentPoint[1];
}

void releasePreview(FilterContext* ctx, HWND dialog)
{
    if (settingsOf(ctx)->dragMoved) return;
    setCentreFromPressPoint(ctx, controlRect(dialog, IDC_PREVIEW));
    noteChange(ctx, gesturePlaceCentre, dialog);
}
