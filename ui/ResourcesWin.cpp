#include "ui/Resources.h"

#include "ui/GdiScope.h"

static HINSTANCE instanceHandle = nullptr;

HINSTANCE moduleInstance() { return instanceHandle; }
void setModuleInstance(HINSTANCE instance) { instanceHandle = instance; }

void drawBitmap(HDC dc, int id, int x, int y)
{
    GdiObject<HBITMAP> bitmap(LoadBitmapA(moduleInstance(), MAKEINTRESOURCEA(id)));
    if (!dc || !bitmap.get()) return;
    BITMAP info;
    if (!GetObjectA(bitmap.get(), sizeof info, &info)) return;
    MemoryDC source(dc);
    Selection selected(source.get(), bitmap.get());
    BitBlt(dc, x, y, info.bmWidth, info.bmHeight, source.get(), 0, 0, SRCCOPY);
}

SIZE bitmapSize(int id)
{
    SIZE size = {0, 0};
    GdiObject<HBITMAP> bitmap(LoadBitmapA(moduleInstance(), MAKEINTRESOURCEA(id)));
    BITMAP info;
    if (bitmap.get() && GetObjectA(bitmap.get(), sizeof info, &info)) size = SIZE{info.bmWidth, info.bmHeight};
    return size;
}

void drawIconResource(HDC dc, int id, int x, int y)
{
    // Shared icons are owned by the system and must not be destroyed.
    HICON icon = static_cast<HICON>(LoadImageA(moduleInstance(), MAKEINTRESOURCEA(id), IMAGE_ICON, 32, 32, LR_SHARED));
    if (dc && icon) DrawIconEx(dc, x, y, icon, 32, 32, 0, nullptr, DI_NORMAL);
}

void showModuleCursor(int id)
{
    HCURSOR cursor = static_cast<HCURSOR>(LoadImageA(moduleInstance(), MAKEINTRESOURCEA(id), IMAGE_CURSOR, 0, 0,
                                                     LR_SHARED | LR_DEFAULTSIZE));
    if (cursor) SetCursor(cursor);
}

void showSystemCursor(LPCSTR which) { SetCursor(LoadCursorA(nullptr, which)); }

void fillSolid(HDC dc, const RECT& rect, COLORREF colour)
{
    GdiObject<HBRUSH> brush(CreateSolidBrush(colour));
    if (dc && brush.get()) FillRect(dc, &rect, brush.get());
}
