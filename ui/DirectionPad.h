// The light-direction pad's arithmetic: the pointer's offset from the pad's
// centre gives a unit vector. Inside a circle of 33 pixels the vector tilts in
// proportion to the distance; beyond it it lies flat, pointing at the pointer.
// Drawing places the marker and the stick from the vector.
#pragma once

#include "ui/Scale.h"

enum { padRadius = 33, padCentreX = 43, padCentreY = 41 };

// The vector for the pointer at (dx, dy) from the pad's centre, in 96-DPI units.
void padVectorAt(double dx, double dy, float vector[3]);

// The same for a pointer at (x, y) on a pad whose outer rectangle starts at
// (left, top), laid out at `dpi`.
void padVectorAtPoint(int x, int y, int left, int top, int dpi, float vector[3]);

struct PadPoint {
    int x, y;
};

// Where the marker's ball sits for `vector` on a pad whose outer rectangle
// starts at (left, top); the marker icon is drawn 2 pixels up and left of it.
PadPoint padMarkerPoint(int left, int top, const float vector[3], int dpi = baseDpi);

// Where the stick from the pad's middle to the marker starts.
PadPoint padStickStart(int left, int top, const float vector[3], int dpi = baseDpi);
