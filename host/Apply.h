// Moving pixels between the host and the renderer: the final apply, one image
// row per host request, with progress and abort.
#pragma once

#include "host/HostAbi.h"

struct FilterContext;

// zoomRate := factor; render size := the rectangle's; render region := the whole area.
void setRenderGeometry(FilterContext* ctx, const VRect& rect, int32 factor);

// Builds the render tables for the current settings and rewinds the row cursor.
void prepareRenderPass(FilterContext* ctx);

// What decides how many rows the final apply asks the host for at once.
struct BandFacts {
    int32 width, height;          // the filter rectangle's sides
    int32 rowBytes;               // a row of input, output and mask together
    int32 maskRowBytes;           // a row of mask alone (0: no selection)
    int32 maxSpace, bufferSpace;  // the host's budget, and the share the plug-in's own buffers take of it
    int threads;                  // threads of the render
    bool canAdvance;              // the host delivers requests while the plug-in asks
};
enum : int32 {
    bandLeastPixels = 1 << 16,  // a smaller render asks row by row: bands would save nothing
    bandMostBytes = 256 << 10,  // a band's input, output and mask rows at the most (they stay in a core's cache)...
    bandRowsEachThread = 8,     // ...unless the threads need more rows than that to share
};
// Rows of a band: as many as the host's budget holds (less the mask rows
// around the band), at most bandMostBytes of them (or bandRowsEachThread
// for every thread, where that is more) and the rectangle's height; one row (the row path) for one thread, a host that
// cannot deliver on request, a small render, or a budget too small for two rows.
int32 bandRowsFor(const BandFacts& facts);

// Asks the host for the band at the cursor (one row on the row path) and
// the mask rows around it.
void setRowRequest(FilterContext* ctx);

// Prepares the final render and asks the host for the first row.
void beginApply(FilterContext* ctx);

// Renders the row at the cursor, reports progress, polls abort, advances.
void renderOneRow(FilterContext* ctx);
// The same for the band at the cursor: progress before it, abort after it.
void renderOneBand(FilterContext* ctx);

enum ApplyOutcome {
    applyFinished,   // every row rendered
    applyStopped,    // aborted, or a row failed
    applyNeedsRow,   // the host must deliver the requested row and call again
    applyHostError,  // advanceState reported an error
};

// Renders rows until done, stopped, or the host must be called back.
ApplyOutcome applyRows(FilterContext* ctx);
