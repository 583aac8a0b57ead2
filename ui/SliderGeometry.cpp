#include "ui/SliderGeometry.h"

static int rangeOf(int low, int high) { return high - low < 1 ? 1 : high - low; }

int knobLeft(const PixelRect& track, int value, int low, int high)
{
    int span = track.right - (track.left + 1) - 14;
    return (track.left + 1) + int((long long)(value - low) * span / rangeOf(low, high));
}

int sliderValueAt(const PixelRect& track, int heldX, int low, int high)
{
    int divisor = track.right - (track.left + 1) - 13;
    if (divisor < 1) divisor = 1;
    long long value = low + (long long)(heldX - (track.left + 1)) * rangeOf(low, high) / divisor;
    if (value < low) value = low;
    if (value > high) value = high;
    return int(value);
}
