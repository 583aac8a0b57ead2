// The module's own resources: its instance handle, and the bitmaps, icons
// and cursors it draws with, by resource id. At 96 DPI they are the module's
// resources; at any other DPI the artwork code draws them at that scale, so
// they are crisp on every screen.
#pragma once

#include <windows.h>

#include "resources/ResourceIds.h"
#include "ui/Scale.h"

// The module that dialogs and resources load from. The library entry routine
// records it; a test program that draws with the module's artwork sets it.
HINSTANCE moduleInstance();
void setModuleInstance(HINSTANCE instance);

struct ArtworkFonts;

// One window's artwork at its DPI: each bitmap made once and kept selected in
// a memory context of its own (a paint copies dozens of them, and making or
// selecting one costs far more than copying it), the light pad's marker and
// the hand cursors. Lives in the main dialog's state; released when the
// dialog closes or its DPI changes.
struct ArtBitmap {
    HBITMAP bitmap;
    HDC dc;
    HGDIOBJ previous;
    SIZE size;
};
struct ArtCache {
    int dpi = baseDpi;
    ArtBitmap bitmaps[256] = {};
    HICON marker = nullptr;
    HCURSOR cursors[3] = {};
    ArtworkFonts* fonts = nullptr;  // loaded from the module the first time a scale needs them
};
void releaseArt(ArtCache& art);

// The artwork of `dialog` (the main dialog's), or, for a window without one
// (null: a test drawing on a memory context), the module's own at 96 DPI.
ArtCache& artOf(HWND dialog);

// Copies bitmap `id` at its own size to (x, y). Nothing when it cannot be made.
void drawBitmap(HWND dialog, HDC dc, int id, int x, int y);

// The size of bitmap `id`; 0 x 0 when it cannot be made.
SIZE bitmapSize(HWND dialog, int id);

// Draws the light pad's marker icon with its top-left corner at (x, y).
void drawMarker(HWND dialog, HDC dc, int x, int y);

// Gives back what artOf(null) made (the module holds nothing between host calls).
void releaseBitmaps();

// A bitmap or icon of the artwork at `dpi` for a window of the system's
// (the about box's pictures, a message's sign); the caller deletes it.
HBITMAP createArtBitmap(int id, int dpi);
HICON createWarningIcon(int dpi);

// The bitmaps that picture controls of a dialog template loaded themselves,
// taken back from them and deleted as the dialog goes: some systems never
// delete them, and every dialog shown would keep its pictures for good.
void releaseStaticBitmaps(HWND dialog);

// Shows cursor resource `id` of the module at the DPI of `dialog`, or a system cursor.
void showModuleCursor(HWND dialog, int id);
void showSystemCursor(LPCSTR which);

// Fills `rect` with a solid colour.
void fillSolid(HDC dc, const RECT& rect, COLORREF colour);
