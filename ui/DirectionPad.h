// The light-direction pad's arithmetic: the pointer's offset from the pad's
// centre gives a unit vector. Inside a circle of 33 pixels the vector tilts in
// proportion to the distance; beyond it it lies flat, pointing at the pointer.
#pragma once

enum { padRadius = 33 };

void padVectorAt(int dx, int dy, float vector[3]);
