// Seamless clouds: with wrap on, the cloud field is a function on a cylinder
// (left to right) or a torus (both ways) whose circumference is the filter
// rectangle, so the column after the last is the first one again.
//
// - The noise: each octave's lattice repeats after a whole number of cells
//   across the rectangle (its cell index is taken modulo that period before
//   the permutation), the octave's frequency moved by the least amount that
//   makes it so, on each wrapped axis alone. The octaves are not turned, as
//   a turned lattice cannot repeat along the picture's sides.
// - The puffs: measured by wrap-around distance, so a puff near one edge
//   reaches over to the other. The light's puff-relative terms and the
//   surface normal take a sine of the wrapped offset instead of the offset
//   itself (alike near the puff, continuous all round).
// - Both ways, the field's height wraps too: the flatness warp then works on
//   the wrapped height, the puffs are measured in the warped circumference,
//   and there is no horizon.
#pragma once

#include <cstdint>

#include "render/CloudModel.h"

// Sets the seamless field of `row` (its factors set) for wrap `mode`, a
// WrapMode; with wrap off the row is left as it is.
void SetupSeamless(CloudRow* row, int32_t mode);

// The row values that depend on the row's height on a torus (puffT,
// puffLightY and their sines), for filter row py.
void SetupSeamlessRow(CloudRow* row, const CloudTables* t, int64_t py);

// The pixel at column i of the row set up last, on the cylinder or torus;
// adds 1 to *cutShort when the noise stopped early (no puff could cover it).
CloudPixel ShadeSeamlessPixel(const CloudRow* row, const CloudTables* t, int32_t i, uint32_t* cutShort);

// The fractal noise of the seamless field at fractions (u, v) of the filter
// rectangle: periodic in u (and in v both ways) with period 1. Stopped early,
// with *stopped set, once it is certain not to exceed `ceiling` (the row's
// noiseRest bounds; -infinity never stops).
float SeamlessNoise(const CloudRow* row, const int16_t* permutation, float u, float v, float ceiling, bool* stopped);
