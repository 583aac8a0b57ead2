#include "host/Dialogs.h"
#include "ui/Layout.h"

#include "ui/DialogWindow.h"

// Sizes `window` so that its client area is w x h (its frame measured).
static void sizeClient(HWND window, int w, int h)
{
    RECT outer, client;
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    int frameW = (outer.right - outer.left) - (client.right - client.left);
    int frameH = (outer.bottom - outer.top) - (client.bottom - client.top);
    SetWindowPos(window, nullptr, 0, 0, w + frameW, h + frameH,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

static PixelRect measureChild(HWND dialog, int id, int dpi)
{
    HWND child = id > 0 ? GetDlgItem(dialog, id) : nullptr;
    if (!child) return outerRectOf(id, dpi);
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return PixelRect{r.left, r.top, r.right, r.bottom};
}

// The children's rectangles as laid out are measured once: the windows move
// only with a new layout, and every paint asks for each of them.
void applyLayout(HWND dialog, int dpi)
{
    PixelRect client = outerRectOf(0, dpi);
    sizeClient(dialog, widthOf(client), heightOf(client));
    for (int id = 1; id <= controlCount; ++id)
        if (HWND child = GetDlgItem(dialog, id)) {
            PixelRect r = outerRectOf(id, dpi);
            SetWindowPos(child, nullptr, r.left, r.top, widthOf(r), heightOf(r),
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
        }
    DialogWindow* window = dialogWindowOf(dialog);
    if (!window) return;
    for (int id = 0; id <= controlCount; ++id) window->rects[id] = measureChild(dialog, id, dpi);
    window->laidOut = true;
}

PixelRect controlRect(HWND dialog, int id)
{
    DialogWindow* window = dialogWindowOf(dialog);
    int dpi = window ? window->dpi : int(baseDpi);
    if (!dialog) return outerRectOf(id, dpi);
    if (window && window->laidOut && id >= 0 && id <= controlCount) return window->rects[id];
    return measureChild(dialog, id, dpi);
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
