// The screen scale seen from the module's windows: the thread's DPI awareness
// while the module's windows are up, and the DPI of a window. Every function
// newer than Windows 7 is looked up at run time, so the module still loads
// there (and works at 96 DPI as it always did).
#pragma once

#include <windows.h>

// While it lives, the calling thread is per-monitor DPI aware (version 2
// where the system has it, else version 1, else system aware); the host's
// setting comes back at its end. Nested scopes are harmless.
class DpiAwarenessScope {
public:
    DpiAwarenessScope();
    ~DpiAwarenessScope();
    DpiAwarenessScope(const DpiAwarenessScope&) = delete;
    DpiAwarenessScope& operator=(const DpiAwarenessScope&) = delete;

private:
    HANDLE previous_;  // the thread's awareness before, null when it was not changed
};

// The DPI of `window` where the system can tell it, else the screen's.
int dpiOfWindow(HWND window);

// Switches off the dialog manager's own re-layout and font changes when the
// dialog's DPI changes (systems that have it): the dialog lays itself out.
void keepDialogLayoutOwn(HWND dialog);

// The width and height a window of `style` and `exStyle` adds to its client
// area at `dpi` (its frame and caption).
SIZE frameExtents(DWORD style, DWORD exStyle, int dpi);

// The work area of the monitor that holds most of `window`.
RECT workAreaOf(HWND window);
