// The row renderer: turns one row of host pixels into clouds laid over them.
#pragma once

#include "render/CloudModel.h"
#include "render/Lattice.h"

struct FilterContext;

// k / (255 - k) for k = 1..254; the ends are never looked up.
void BuildOverRatioTable(CloudTables* tables);

// Channels over 255 give their excess to the others, so an over-bright colour
// turns whiter instead of changing hue.
void SpillOverRange(int32_t* red, int32_t* green, int32_t* blue);

// A cloud pixel laid over a source pixel: colour bytes (only `red` for grey
// images) and, with editable transparency, the new transparency.
struct ComposedPixel {
    int32_t red, green, blue, transparency;
};
ComposedPixel ComposeCloudPixel(const CloudTables* t, const CloudPixel& cloud, const int32_t source[3], int32_t a0,
                                bool colour, bool transparency);

// Renders row `renderRow` of the current pass from inData into outData. In the
// final pass the host buffers hold just that row; while the dialog is up they
// hold the whole preview and the row is found by its index. Inside a
// RenderWorkers scope the row's clouds come from the helper threads. Without
// buffers (or without the work block) it writes memFullErr and touches no pixel.
void RenderCloudRow(FilterContext* ctx);
