// The engine without a host: clouds for any span of a filter rectangle, from
// a settings block and the rectangle's size, and laid over pixels in the
// interleaved layouts image libraries use. Prepared once per settings; then
// reentrant and allocation-free, one call on one thread, any number of calls
// at once. The module and nimbulo paint their rows through it, and so does
// the GEGL operation.
#pragma once

#include <cstdint>

#include "render/CloudModel.h"
#include "render/Lattice.h"
#include "settings/CloudSettings.h"

struct CloudPainter {
    CloudSettings settings;
    const CloudTables* tables;  // PrepareCloudTables and BuildOverRatioTable done for settings.seed
    CloudRow factors;           // the settings' factors for the rectangle
    int32_t width, height;      // the filter rectangle
};

// Prepares `painter` for `settings` over a filter rectangle of width x
// height, with `tables` already prepared for the settings' seed. The
// settings' preview view (zoom rate and pan) is not used.
void prepareCloudPainter(CloudPainter* painter, const CloudSettings* settings, const CloudTables* tables, int32_t width,
                         int32_t height);

// Sets `row` up for the rectangle's row y, from column x on, `step`
// rectangle pixels apart (1 for full size; a zoomed-out view at a whole
// factor takes every step-th pixel: x and y are then multiples of step).
// ShadeCloudSpan (RenderPath.h) then gives any span of it: its column k is
// pixel x + k step. A row is set up once for all the spans painted in it.
void setupPainterRow(const CloudPainter* painter, int64_t x, int64_t y, int32_t step, CloudRow* row);

// Interleaved pixels: one colour channel (grey) or three (RGB), then, with
// `alpha`, the layer's transparency, which the clouds extend.
struct PixelLayout {
    int colourChannels;  // 1 or 3
    bool alpha;
};

// Clouds laid over `count` 8-bit pixels (the same bytes the module paints
// over the same pixels of the same rectangle), `in` to `out` (they may be
// the same).
void paintSpan8(const CloudPainter* painter, PixelLayout layout, int64_t x, int64_t y, int32_t step, int32_t count,
                const uint8_t* in, uint8_t* out);

// The same over float pixels, 0 to 1, at the precision of 16-bit images (the
// 16-bit composition, left unrounded).
void paintSpanFloat(const CloudPainter* painter, PixelLayout layout, int64_t x, int64_t y, int32_t step, int32_t count,
                    const float* in, float* out);
