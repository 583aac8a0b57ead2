// The module's own resources: its instance handle, and the bitmaps, icons
// and cursors it draws with, by resource id.
#pragma once

#include <windows.h>

#include "resources/ResourceIds.h"

// The module that dialogs and resources load from. The library entry routine
// records it; a test program that draws with the module's artwork sets it.
HINSTANCE moduleInstance();
void setModuleInstance(HINSTANCE instance);

// Copies bitmap `id` at its own size to (x, y). Nothing when it cannot be loaded.
void drawBitmap(HDC dc, int id, int x, int y);

// Gives back the bitmaps drawBitmap loaded (when the dialog closes: the
// module holds nothing between host calls).
void releaseBitmaps();

// The bitmaps that picture controls of a dialog template loaded themselves,
// taken back from them and deleted as the dialog goes: some systems never
// delete them, and every dialog shown would keep its pictures for good.
void releaseStaticBitmaps(HWND dialog);

// The size of bitmap `id`; 0 x 0 when it cannot be loaded.
SIZE bitmapSize(int id);

// Draws icon `id` with its top-left corner at (x, y).
void drawIconResource(HDC dc, int id, int x, int y);

// Shows cursor resource `id` of the module, or a system cursor.
void showModuleCursor(int id);
void showSystemCursor(LPCSTR which);

// Fills `rect` with a solid colour.
void fillSolid(HDC dc, const RECT& rect, COLORREF colour);
