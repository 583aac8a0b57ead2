// The dialog's scale: its DPI over 96, any fraction. Tables and artwork are
// laid out in 96-DPI units; at another DPI every edge is scaled and rounded
// on its own, so neighbours that touch at 96 DPI still touch.
#pragma once

#include <cstdint>

enum { baseDpi = 96 };

// A length or coordinate of the 96-DPI layout at `dpi`, rounded to the
// nearest pixel (halves away from zero).
inline int32_t scaledLength(int32_t v, int dpi)
{
    int64_t product = int64_t(v) * dpi;
    return int32_t(product >= 0 ? (product + baseDpi / 2) / baseDpi : -((-product + baseDpi / 2) / baseDpi));
}

// The scale factor itself, for drawing code that works in fractions.
inline double scaleOf(int dpi) { return double(dpi) / baseDpi; }

// A line that is one pixel wide at 96 DPI, never thinner than one pixel.
inline int32_t hairline(int dpi) { return scaledLength(1, dpi) < 1 ? 1 : scaledLength(1, dpi); }
