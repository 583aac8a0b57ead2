// Text in the custom-drawn dialog: one small font, placed by the rules of
// TextLayout.h, the status line, and window centring.
#pragma once

#include <windows.h>

#include "ui/Layout.h"
#include "ui/TextLayout.h"

// The dialog font: Arial, 8 points at `dpi` (11 pixels at 96 DPI). The caller deletes it.
HFONT createDialogFont(int dpi);

// The font of the dialog templates ("MS Sans Serif", 8 points) at `dpi`, for
// the system-drawn button after a DPI change. The caller deletes it.
HFONT createTemplateFont(int dpi);

// Draws one line of `text` in `rect` with the dialog font at `dpi` (dy in
// 96-DPI pixels); nothing without a context or a text.
void drawText(const PixelRect& rect, TextAlignment alignment, const char* text, int dy, COLORREF colour, HDC dc,
              int dpi);

// The same in control `id`'s outer rectangle, through a context of the
// dialog, optionally clipped to the rectangle.
void drawControlText(HWND dialog, int id, TextAlignment alignment, const char* text, int dy, COLORREF colour,
                     bool clip);

// A label control's text, by its table entry.
void drawLabel(HWND dialog, HDC dc, int id);

// The status line: the page under it restored, then presetName centred.
void drawStatusLine(HWND dialog, HDC dc, const char* presetName);

// Places a dialog over its owner (the desktop when it has none), inside the
// work area of its monitor.
void centreWindow(HWND window);
