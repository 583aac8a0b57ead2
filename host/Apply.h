// Moving pixels between the host and the renderer: the row-by-row final apply.
#pragma once

#include "host/HostAbi.h"

struct FilterContext;

// zoomRate := factor; render size := the rectangle's; render region := the whole area.
void setRenderGeometry(FilterContext* ctx, const Rect16& rect, int32 factor);

// Prepares the final render and asks the host for the first row.
void beginApply(FilterContext* ctx);

enum ApplyOutcome {
    applyFinished,     // every row rendered
    applyStopped,      // aborted, or a row failed
    applyNeedsRow,     // the host must deliver the requested row and call again
    applyHostError,    // advanceState reported an error
};

// Renders rows until done, stopped, or the host must be called back.
ApplyOutcome applyRows(FilterContext* ctx);
