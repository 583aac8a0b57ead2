// Moving pixels between the host and the renderer: the final apply, one image
// row per host request, with progress and abort.
#pragma once

#include "host/HostAbi.h"

struct FilterContext;

// zoomRate := factor; render size := the rectangle's; render region := the whole area.
void setRenderGeometry(FilterContext* ctx, const VRect& rect, int32 factor);

// Builds the render tables for the current settings and rewinds the row cursor.
void prepareRenderPass(FilterContext* ctx);

// Asks the host for the row at the cursor (and the mask rows around it).
void setRowRequest(FilterContext* ctx);

// Prepares the final render and asks the host for the first row.
void beginApply(FilterContext* ctx);

// Renders the row at the cursor, reports progress, polls abort, advances.
void renderOneRow(FilterContext* ctx);

enum ApplyOutcome {
    applyFinished,   // every row rendered
    applyStopped,    // aborted, or a row failed
    applyNeedsRow,   // the host must deliver the requested row and call again
    applyHostError,  // advanceState reported an error
};

// Renders rows until done, stopped, or the host must be called back.
ApplyOutcome applyRows(FilterContext* ctx);
