// The main dialog's own state: one object per open dialog, owned by its
// window (the window's user data from WM_INITDIALOG until it is destroyed),
// so that a second dialog, a DPI change or a test never sees another's.
#pragma once

#include <windows.h>

#include "settings/CloudSettings.h"
#include "ui/ControlTable.h"
#include "ui/Layout.h"
#include "ui/Resources.h"

struct FilterContext;

// What the preview pane shows and what its last render cost: a drag renders
// live only while renders are quick, and a release renders only when the
// pane does not show its settings already.
struct PaneState {
    double lastRenderMs = 0.0;
    double rowsShownMs = 0.0;  // of the render in progress: the host's display, not counted
    bool known = false;
    CloudSettings look{};  // the look and the view the pane shows
};

struct DialogWindow {
    FilterContext* ctx = nullptr;
    CloudSettings cancelCopy{};  // the settings as the dialog found them, for Cancel
    // The DPI the dialog is laid out at: its scale is dpi / 96. The window's
    // own DPI, or less when the dialog would not fit the monitor's work area.
    int dpi = baseDpi;
    PixelRect rects[controlCount + 1] = {};  // each control's outer rectangle as laid out, by id
    bool laidOut = false;
    ArtCache art;                // the artwork at dpi
    HFONT buttonFont = nullptr;  // the system-drawn OK button's font, made when the DPI changed
    PaneState pane;
    int pressedSegment = -1;    // the strip's segment under a holding mouse button
    bool seamsShown = false;    // the pane shows the picture rolled by half (right button held)
    uint32_t tag = 0x4E494D42;  // tells the dialog's state from other windows' user data
};

// The state of `dialog`; null for any window that is not an open main dialog.
DialogWindow* dialogWindowOf(HWND dialog);

// The DPI `dialog` is laid out at; 96 for a window without state.
int dialogDpi(HWND dialog);
