#include "ui/SliderGeometry.h"

static int rangeOf(int low, int high) { return high - low < 1 ? 1 : high - low; }

// The track's inset and the knob's width, 1 and 14 pixels at 96 DPI.
int knobLeft(const PixelRect& track, int value, int low, int high, int dpi)
{
    int start = track.left + scaledLength(1, dpi);
    int span = track.right - start - scaledLength(14, dpi);
    return start + int((long long)(value - low) * span / rangeOf(low, high));
}

int sliderValueAt(const PixelRect& track, int heldX, int low, int high, int dpi)
{
    int start = track.left + scaledLength(1, dpi);
    int divisor = track.right - start - scaledLength(13, dpi);
    if (divisor < 1) divisor = 1;
    long long value = low + (long long)(heldX - start) * rangeOf(low, high) / divisor;
    if (value < low) value = low;
    if (value > high) value = high;
    return int(value);
}
