// Helpers on 32-bit rectangles (right and bottom exclusive), the form every
// rectangle takes inside the plug-in (Coordinates.h reads and writes the host's).
#pragma once

#include "host/HostAbi.h"

inline VRect makeRect(int32 top, int32 left, int32 bottom, int32 right) { return VRect{top, left, bottom, right}; }

inline int32 rectWidth(const VRect& r) { return r.right - r.left; }
inline int32 rectHeight(const VRect& r) { return r.bottom - r.top; }

inline VRect offsetRect(const VRect& r, int32 dx, int32 dy)
{
    return makeRect(r.top + dy, r.left + dx, r.bottom + dy, r.right + dx);
}

// Every coordinate times a / b, dividing toward zero.
inline VRect scaleRect(const VRect& r, int32 a, int32 b)
{
    return makeRect(r.top * a / b, r.left * a / b, r.bottom * a / b, r.right * a / b);
}

// `r` moved, keeping its size, so that it is centred in `in`.
inline VRect centreRect(const VRect& r, const VRect& in)
{
    int32 w = rectWidth(r), h = rectHeight(r);
    int32 left = (in.left + in.right) / 2 - w / 2;
    int32 top = (in.top + in.bottom) / 2 - h / 2;
    return makeRect(top, left, top + h, left + w);
}

inline bool pointInRect(int32 x, int32 y, const VRect& r)
{
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}
