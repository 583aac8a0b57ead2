#include "ui/Resources.h"

#include <new>
#include <string>

#include "Version.h"
#include "resources/artwork/Artwork.h"
#include "ui/DialogWindow.h"
#include "ui/GdiScope.h"

static HINSTANCE instanceHandle = nullptr;

HINSTANCE moduleInstance() { return instanceHandle; }
void setModuleInstance(HINSTANCE instance) { instanceHandle = instance; }

namespace {

// The artwork for drawing without a dialog, at 96 DPI.
ArtCache windowlessArt;

// The fonts from the module's resources; null when they cannot be had.
ArtworkFonts* loadFonts()
{
    ArtworkFonts* fonts = new (std::nothrow) ArtworkFonts;
    if (!fonts) return nullptr;
    for (auto [font, id] : {std::pair<Font*, int>{&fonts->regular, IDR_FONT_REGULAR}, {&fonts->bold, IDR_FONT_BOLD}}) {
        HRSRC found = FindResourceA(moduleInstance(), MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));  // RT_RCDATA
        HGLOBAL loaded = found ? LoadResource(moduleInstance(), found) : nullptr;
        const void* bytes = loaded ? LockResource(loaded) : nullptr;
        if (!bytes ||
            !font->loadBytes(static_cast<const unsigned char*>(bytes), SizeofResource(moduleInstance(), found))) {
            delete fonts;
            return nullptr;
        }
    }
    return fonts;
}

uint8_t byteOf(float v) { return uint8_t((v <= 0.0f ? 0.0f : (v >= 1.0f ? 1.0f : v)) * 255.0f + 0.5f); }

// A 32-bit top-down section holding `c`: colour as drawn (what a bitmap file
// of the artwork holds), alpha 255 where the canvas is at least half covered.
HBITMAP sectionOf(const Canvas& c)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = c.width;
    info.bmiHeader.biHeight = -c.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) return bitmap;
    auto* out = static_cast<uint8_t*>(bits);
    for (const Colour& p : c.pixels) {
        *out++ = byteOf(p.b);
        *out++ = byteOf(p.g);
        *out++ = byteOf(p.r);
        *out++ = p.a >= 0.5f ? 255 : 0;
    }
    return bitmap;
}

// Bitmap `id` at `dpi`: the module's resource at 96 DPI, else drawn.
HBITMAP makeBitmap(ArtCache* art, int id, int dpi)
{
    if (dpi == baseDpi) return LoadBitmapA(moduleInstance(), MAKEINTRESOURCEA(id));
    if (!art->fonts) art->fonts = loadFonts();
    Canvas c(0, 0, Colour{});
    if (!art->fonts || !drawBitmapArt(id, dpi, *art->fonts, NIMBULO_VERSION_TEXT, &c)) return nullptr;
    return sectionOf(c);
}

const ArtBitmap* bitmapOf(ArtCache& art, int id)
{
    if (id < 0 || id >= 256) return nullptr;
    ArtBitmap& b = art.bitmaps[id];
    if (!b.dc) {
        HBITMAP bitmap = makeBitmap(&art, id, art.dpi);
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
        b = ArtBitmap{bitmap, dc, SelectObject(dc, bitmap), SIZE{info.bmWidth, info.bmHeight}};
    }
    return &b;
}

// An icon from a canvas whose alpha is either 0 or 1.
HICON iconOf(const Canvas& c)
{
    GdiObject<HBITMAP> colour(sectionOf(c));
    const int stride = ((c.width + 15) / 16) * 2;  // monochrome rows are whole words
    std::string mask(size_t(stride) * size_t(c.height), '\0');
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            if (c.at(x, y).a < 0.5f) mask[size_t(y * stride + x / 8)] |= char(0x80 >> (x % 8));
    GdiObject<HBITMAP> transparent(CreateBitmap(c.width, c.height, 1, 1, mask.data()));
    if (!colour.get() || !transparent.get()) return nullptr;
    ICONINFO info = {TRUE, 0, 0, transparent.get(), colour.get()};
    return CreateIconIndirect(&info);
}

// A cursor of the artwork at `dpi`, from its rows (1 in the AND plane keeps
// the screen, 1 in the XOR plane is white).
HCURSOR cursorOf(int id, int dpi)
{
    CursorArt art = cursorArt(id, dpi);
    if (art.side <= 0) return nullptr;
    const int stride = ((art.side + 15) / 16) * 2;
    std::string andPlane(size_t(stride) * size_t(art.side), '\0'), xorPlane = andPlane;
    for (int y = 0; y < art.side; ++y)
        for (int x = 0; x < art.side; ++x) {
            char p = art.rows[size_t(y)][size_t(x)];
            char bit = char(0x80 >> (x % 8));
            if (p == ' ') andPlane[size_t(y * stride + x / 8)] |= bit;
            if (p == '.') xorPlane[size_t(y * stride + x / 8)] |= bit;
        }
    return CreateCursor(moduleInstance(), art.hotX, art.hotY, art.side, art.side, andPlane.data(), xorPlane.data());
}

}  // namespace

void releaseArt(ArtCache& art)
{
    for (ArtBitmap& b : art.bitmaps) {
        if (!b.dc) continue;
        SelectObject(b.dc, b.previous);
        DeleteDC(b.dc);
        DeleteObject(b.bitmap);
        b = ArtBitmap{};
    }
    if (art.marker) DestroyIcon(art.marker);
    art.marker = nullptr;
    for (HCURSOR& cursor : art.cursors) {
        if (cursor) DestroyCursor(cursor);
        cursor = nullptr;
    }
    delete art.fonts;
    art.fonts = nullptr;
}

ArtCache& artOf(HWND dialog)
{
    DialogWindow* window = dialogWindowOf(dialog);
    return window ? window->art : windowlessArt;
}

void releaseBitmaps() { releaseArt(windowlessArt); }

void drawBitmap(HWND dialog, HDC dc, int id, int x, int y)
{
    const ArtBitmap* b = bitmapOf(artOf(dialog), id);
    if (dc && b) BitBlt(dc, x, y, b->size.cx, b->size.cy, b->dc, 0, 0, SRCCOPY);
}

SIZE bitmapSize(HWND dialog, int id)
{
    const ArtBitmap* b = bitmapOf(artOf(dialog), id);
    return b ? b->size : SIZE{0, 0};
}

void drawMarker(HWND dialog, HDC dc, int x, int y)
{
    ArtCache& art = artOf(dialog);
    if (!dc) return;
    if (art.dpi == baseDpi) {
        // Shared icons are owned by the system and must not be destroyed.
        HICON icon = static_cast<HICON>(
            LoadImageA(moduleInstance(), MAKEINTRESOURCEA(IDI_MARKER), IMAGE_ICON, 32, 32, LR_SHARED));
        if (icon) DrawIconEx(dc, x, y, icon, 32, 32, 0, nullptr, DI_NORMAL);
        return;
    }
    if (!art.marker) art.marker = iconOf(drawMarkerArt(art.dpi));
    int side = scaledLength(32, art.dpi);
    if (art.marker) DrawIconEx(dc, x, y, art.marker, side, side, 0, nullptr, DI_NORMAL);
}

HBITMAP createArtBitmap(int id, int dpi)
{
    ArtCache scratch;
    HBITMAP bitmap = makeBitmap(&scratch, id, dpi);
    releaseArt(scratch);
    return bitmap;
}

HICON createWarningIcon(int dpi) { return iconOf(drawWarningArt(dpi)); }

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

void showModuleCursor(HWND dialog, int id)
{
    ArtCache& art = artOf(dialog);
    HCURSOR cursor = nullptr;
    int slot = id - IDCUR_HAND_CLOSED;  // closed, open, pointing
    if (art.dpi != baseDpi && slot >= 0 && slot < 3) {
        if (!art.cursors[slot]) art.cursors[slot] = cursorOf(id, art.dpi);
        cursor = art.cursors[slot];
    } else {
        cursor = static_cast<HCURSOR>(
            LoadImageA(moduleInstance(), MAKEINTRESOURCEA(id), IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
    }
    if (cursor) SetCursor(cursor);
}

void showSystemCursor(LPCSTR which) { SetCursor(LoadCursorA(nullptr, which)); }

void fillSolid(HDC dc, const RECT& rect, COLORREF colour)
{
    GdiObject<HBRUSH> brush(CreateSolidBrush(colour));
    if (dc && brush.get()) FillRect(dc, &rect, brush.get());
}
