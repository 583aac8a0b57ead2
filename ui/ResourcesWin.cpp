#include "ui/Resources.h"

#include "ui/GdiScope.h"

static HINSTANCE instanceHandle = nullptr;

HINSTANCE moduleInstance() { return instanceHandle; }
void setModuleInstance(HINSTANCE instance) { instanceHandle = instance; }

// Each bitmap is loaded once and kept selected in a memory context of its
// own until the dialog closes: a paint copies dozens of them, and loading or
// selecting a bitmap costs far more than copying it.
namespace {
struct LoadedBitmap {
    HBITMAP bitmap;
    HDC dc;
    HGDIOBJ previous;
    SIZE size;
};
LoadedBitmap loadedBitmaps[256];

const LoadedBitmap* bitmapOf(int id)
{
    if (id < 0 || id >= 256) return nullptr;
    LoadedBitmap& b = loadedBitmaps[id];
    if (!b.dc) {
        HBITMAP bitmap = LoadBitmapA(moduleInstance(), MAKEINTRESOURCEA(id));
        BITMAP info;
        if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) {
            if (bitmap) DeleteObject(bitmap);
            return nullptr;
        }
        HDC dc = CreateCompatibleDC(nullptr);
        if (!dc) {
            DeleteObject(bitmap);
            return nullptr;
        }
        b = LoadedBitmap{bitmap, dc, SelectObject(dc, bitmap), SIZE{info.bmWidth, info.bmHeight}};
    }
    return &b;
}
}  // namespace

void releaseBitmaps()
{
    for (LoadedBitmap& b : loadedBitmaps) {
        if (!b.dc) continue;
        SelectObject(b.dc, b.previous);
        DeleteDC(b.dc);
        DeleteObject(b.bitmap);
        b = LoadedBitmap{};
    }
}

void releaseStaticBitmaps(HWND dialog)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char kind[16] = "";
        GetClassNameA(child, kind, sizeof kind);
        if (lstrcmpiA(kind, "Static") != 0 || (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP) continue;
        HGDIOBJ image = reinterpret_cast<HGDIOBJ>(SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP, 0));
        if (image) DeleteObject(image);
    }
}

void drawBitmap(HDC dc, int id, int x, int y)
{
    const LoadedBitmap* b = bitmapOf(id);
    if (dc && b) BitBlt(dc, x, y, b->size.cx, b->size.cy, b->dc, 0, 0, SRCCOPY);
}

SIZE bitmapSize(int id)
{
    const LoadedBitmap* b = bitmapOf(id);
    return b ? b->size : SIZE{0, 0};
}

void drawIconResource(HDC dc, int id, int x, int y)
{
    // Shared icons are owned by the system and must not be destroyed.
    HICON icon = static_cast<HICON>(LoadImageA(moduleInstance(), MAKEINTRESOURCEA(id), IMAGE_ICON, 32, 32, LR_SHARED));
    if (dc && icon) DrawIconEx(dc, x, y, icon, 32, 32, 0, nullptr, DI_NORMAL);
}

void showModuleCursor(int id)
{
    HCURSOR cursor = static_cast<HCURSOR>(
        LoadImageA(moduleInstance(), MAKEINTRESOURCEA(id), IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
    if (cursor) SetCursor(cursor);
}

void showSystemCursor(LPCSTR which) { SetCursor(LoadCursorA(nullptr, which)); }

void fillSolid(HDC dc, const RECT& rect, COLORREF colour)
{
    GdiObject<HBRUSH> brush(CreateSolidBrush(colour));
    if (dc && brush.get()) FillRect(dc, &rect, brush.get());
}
