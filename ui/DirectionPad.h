// The light-direction pad's arithmetic: the pointer's offset from the pad's
// centre gives a unit vector. Inside a circle of 33 pixels the vector tilts in
// proportion to the distance; beyond it it lies flat, pointing at the pointer.
// Drawing places the marker and the stick from the vector.
#pragma once

enum { padRadius = 33, padCentreX = 43, padCentreY = 41 };

void padVectorAt(int dx, int dy, float vector[3]);

struct PadPoint {
    int x, y;
};

// Where the marker's ball sits for `vector` on a pad whose outer rectangle
// starts at (left, top); the marker icon is drawn 2 pixels up and left of it.
PadPoint padMarkerPoint(int left, int top, const float vector[3]);

// Where the stick from the pad's middle to the marker starts.
PadPoint padStickStart(int left, int top, const float vector[3]);
