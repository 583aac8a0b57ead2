// Helpers on the interface's 16-bit rectangles (right and bottom exclusive).
#pragma once

#include "host/HostAbi.h"

inline Rect16 makeRect(int top, int left, int bottom, int right)
{
    return Rect16{int16(top), int16(left), int16(bottom), int16(right)};
}

inline int rectWidth(const Rect16& r) { return r.right - r.left; }
inline int rectHeight(const Rect16& r) { return r.bottom - r.top; }

inline Rect16 offsetRect(const Rect16& r, int dx, int dy)
{
    return makeRect(r.top + dy, r.left + dx, r.bottom + dy, r.right + dx);
}

// Every coordinate times a / b, dividing toward zero.
inline Rect16 scaleRect(const Rect16& r, int a, int b)
{
    return makeRect(r.top * a / b, r.left * a / b, r.bottom * a / b, r.right * a / b);
}

// `r` moved, keeping its size, so that it is centred in `in`.
inline Rect16 centreRect(const Rect16& r, const Rect16& in)
{
    int w = rectWidth(r), h = rectHeight(r);
    int left = (in.left + in.right) / 2 - w / 2;
    int top = (in.top + in.bottom) / 2 - h / 2;
    return makeRect(top, left, top + h, left + w);
}

inline bool pointInRect(int x, int y, const Rect16& r)
{
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}
