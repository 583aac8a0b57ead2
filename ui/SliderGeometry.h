// Slider arithmetic on a track's outer rectangle: where the knob is drawn for
// a value, and which value a dragged knob gives.
#pragma once

#include "ui/Layout.h"

enum { knobHold = 4 };  // the knob is held this many pixels right of its left edge

// Left edge of the knob for `value` in low..high.
int knobLeft(const PixelRect& track, int value, int low, int high);

// The value for the knob's held position `heldX` (the pointer less knobHold),
// clamped to low..high. The divisor is one more than the drawing span, so the
// pointer reaches both ends.
int sliderValueAt(const PixelRect& track, int heldX, int low, int high);
