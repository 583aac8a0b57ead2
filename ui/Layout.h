// Where every control of the main dialog sits, in dialog client pixels.
// Constant data; portable, so the artwork generator and the tests can line
// things up with it on every build.
#pragma once

#include <cstdint>

#include "resources/ResourceIds.h"
#include "ui/Scale.h"

enum { clientWidth = 791, clientHeight = 559, layoutCount = 116 };

// A rectangle as left, top, right, bottom (right and bottom exclusive).
struct PixelRect {
    int32_t left, top, right, bottom;
};

inline int32_t widthOf(const PixelRect& r) { return r.right - r.left; }
inline int32_t heightOf(const PixelRect& r) { return r.bottom - r.top; }
inline bool pixelInRect(int32_t x, int32_t y, const PixelRect& r)
{
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}
inline bool rectsOverlap(const PixelRect& a, const PixelRect& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}
inline PixelRect insetRect(const PixelRect& r, int32_t by)
{
    return PixelRect{r.left + by, r.top + by, r.right - by, r.bottom - by};
}

// A strip's segments: `choiceSegments` of (near) equal width side by side
// across its outer rectangle `strip`; the segment under (x, y), or -1.
enum { choiceSegments = 3 };
inline PixelRect choiceSegment(const PixelRect& strip, int k)
{
    const int32_t w = widthOf(strip);
    return PixelRect{strip.left + w * k / choiceSegments, strip.top, strip.left + w * (k + 1) / choiceSegments,
                     strip.bottom};
}
inline int choiceSegmentAt(const PixelRect& strip, int32_t x, int32_t y)
{
    for (int k = 0; k < choiceSegments; ++k)
        if (pixelInRect(x, y, choiceSegment(strip, k))) return k;
    return -1;
}

// The table rectangle of `id`: entry 0 is the client area; ids of the template
// that are never seen lie below it; ids above 115 and negative ids are empty.
PixelRect layoutRect(int id);

// True when `id` is a control the user sees (its rectangle lies in the client area).
bool layoutVisible(int id);

// The ids of the dialog's static placeholders that carry the one-pixel sunken
// border: their outer rectangle is the table rectangle grown by 2 right and down.
bool hasSunkenBorder(int id);

// The rectangle every drawing and hit test uses, as the laid-out window has
// it: at 96 DPI the table's, at another DPI each edge scaled and rounded.
PixelRect outerRectOf(int id, int dpi = baseDpi);

// Each edge of `r` (96-DPI units) at `dpi`.
PixelRect scaledRect(const PixelRect& r, int dpi);

// The DPI the dialog is laid out at on a screen of `dpi` whose work area is
// workWidth x workHeight: the screen's own, or less when the dialog's window
// (its client area and a frame of frameWidth x frameHeight) would not fit;
// never less than 96.
int dpiThatFits(int dpi, int workWidth, int workHeight, int frameWidth, int frameHeight);

#ifdef _WIN32
#include <windows.h>

// Sizes the dialog so that its client area is entry 0 at `dpi`, and places
// every child on its outer rectangle at `dpi`. Nothing repaints.
void applyLayout(HWND dialog, int dpi);

// A control's outer rectangle as its window has it, in dialog client
// coordinates; the table's outer rectangle for ids that have no window.
PixelRect controlRect(HWND dialog, int id);

RECT toRECT(const PixelRect& r);
#endif
