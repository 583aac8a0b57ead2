// Slider arithmetic on a track's outer rectangle: where the knob is drawn for
// a value, and which value a dragged knob gives.
#pragma once

#include "ui/Layout.h"

enum { knobHold = 4 };  // the knob is held this many pixels right of its left edge

// Left edge of the knob for `value` in low..high, on a track laid out at `dpi`.
int knobLeft(const PixelRect& track, int value, int low, int high, int dpi = baseDpi);

// The value for the knob's held position `heldX` (the pointer less knobHold
// at `dpi`), clamped to low..high. The divisor is one more than the drawing
// span, so the pointer reaches both ends; every scale gives the same values.
int sliderValueAt(const PixelRect& track, int heldX, int low, int high, int dpi = baseDpi);
