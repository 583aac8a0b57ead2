// The owner-drawn buttons (bitmap, text and colour buttons and the zoom
// readout) in one flat grey look, the two check toggles and the seamless strip.
#pragma once

#include <windows.h>

#include "ui/Layout.h"

struct FilterContext;

// Owner-draw state bits.
enum { buttonPressed = ODS_SELECTED, buttonDisabled = ODS_DISABLED, buttonFocused = ODS_FOCUS };

// The two-colour frame: A along the left and top, B along the right and
// bottom, covering left..right and top..bottom inclusive.
void frame(HDC dc, const PixelRect& r, COLORREF a, COLORREF b);

// WM_DRAWITEM: draws button `item->CtlID` through a context of the dialog.
void drawOwnerButton(FilterContext* ctx, HWND dialog, const DRAWITEMSTRUCT* item);

// The same for a button id and state, into `dc` (a context of the dialog)
// with `readoutFace` (the readout's own context and rectangle) for IDC_ZOOM_READOUT.
void drawButtonFace(FilterContext* ctx, HWND dialog, HDC dc, int id, UINT state, HDC readoutDC,
                    const RECT& readoutRect);

// Toggle images: 0 off, 1 on, 2 off pressed, 3 on pressed.
void drawToggle(HWND dialog, HDC dc, int id, int image);

// Mouse move while toggle `id` holds the capture: the pressed look while the
// pointer is over it.
void trackToggle(FilterContext* ctx, HWND dialog, int id, int x, int y);

// Release while toggle `id` holds the capture: flips it when released over
// it. Returns whether it changed.
bool releaseToggle(HWND dialog, int id);

// The strip `id` with segment `chosen` picked and, while the mouse holds it,
// segment `pressed` drawn pushed in (-1 for none).
void drawChoice(HWND dialog, HDC dc, int id, int chosen, int pressed);

// Mouse move while strip `id` holds the capture: the segment under the
// pointer looks pushed in.
void trackChoice(HWND dialog, int id, int x, int y);

// Release while strip `id` holds the capture: picks the segment it was
// released over. Returns whether the choice changed.
bool releaseChoice(HWND dialog, int id);
