// The main dialog: its procedure, the commands of its buttons and the mouse
// gestures, dispatched to the controls' own files.
#pragma once

#include <windows.h>

struct FilterContext;

extern "C" INT_PTR CALLBACK DissolveProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Reads the controls into the settings, renders the preview (when the host
// offers one) and has the next paint show it.
void rerenderPreview(FilterContext* ctx, HWND dialog);
