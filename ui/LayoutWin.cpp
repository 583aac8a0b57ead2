#include "host/Dialogs.h"
#include "ui/Layout.h"

// Moves `window` so that its client area has the table rectangle `r`.
static void placeWithFrame(HWND window, const PixelRect& r)
{
    RECT outer, client;
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    int frameW = (outer.right - outer.left) - (client.right - client.left);
    int frameH = (outer.bottom - outer.top) - (client.bottom - client.top);
    SetWindowPos(window, nullptr, r.left, r.top, widthOf(r) + frameW, heightOf(r) + frameH,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

// The children's rectangles as laid out, measured once: the windows never
// move afterwards, and every paint asks for each of them.
static HWND measuredDialog = nullptr;
static PixelRect measuredRects[161];

static PixelRect measureChild(HWND dialog, int id)
{
    HWND child = id > 0 ? GetDlgItem(dialog, id) : nullptr;
    if (!child) return outerRectOf(id);
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return PixelRect{r.left, r.top, r.right, r.bottom};
}

void applyLayout(HWND dialog)
{
    placeWithFrame(dialog, layoutRect(0));
    for (int id = 1; id <= 160; ++id)
        if (HWND child = GetDlgItem(dialog, id)) placeWithFrame(child, layoutRect(id));
    for (int id = 0; id <= 160; ++id) measuredRects[id] = measureChild(dialog, id);
    measuredDialog = dialog;
}

void forgetLayout() { measuredDialog = nullptr; }

PixelRect controlRect(HWND dialog, int id)
{
    if (!dialog) return outerRectOf(id);
    if (dialog == measuredDialog && id >= 0 && id <= 160) return measuredRects[id];
    return measureChild(dialog, id);
}

RECT toRECT(const PixelRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// A control with a window of its own repaints itself; the drawn-only ones
// (invisible placeholders) repaint with the dialog.
void invalidateControl(void* window, int control)
{
    HWND dialog = static_cast<HWND>(window);
    if (!dialog) return;
    HWND child = GetDlgItem(dialog, control);
    if (child && IsWindowVisible(child)) {
        InvalidateRect(child, nullptr, FALSE);
        return;
    }
    RECT r = toRECT(controlRect(dialog, control));
    InvalidateRect(dialog, &r, FALSE);
}

void repaintControl(void* window, int control)
{
    invalidateControl(window, control);
    if (window) UpdateWindow(static_cast<HWND>(window));
}
