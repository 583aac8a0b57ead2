// The row renderer: turns one row of host pixels into clouds laid over them.
#pragma once

#include <cstdint>

struct FilterContext;

// Renders row `renderRow` of the current pass from inData into outData. In the
// final pass the host buffers hold just that row; while the dialog is up they
// hold the whole preview and the row is found by its index. Inside a
// RenderWorkers scope the row's clouds come from the helper threads. Without
// buffers (or without the work block) it writes memFullErr and touches no pixel.
void RenderCloudRow(FilterContext* ctx);

// Renders rows firstRow .. firstRow + rows - 1 of the final pass, which the
// host buffers hold one after another (a band), on this thread and the
// helpers of the open RenderWorkers scope: the same bytes as rendering them
// one at a time. Without buffers (or the work block) it writes memFullErr.
void RenderCloudBand(FilterContext* ctx, int32_t firstRow, int32_t rows);
