#include "host/Apply.h"

#include "host/Buffers.h"
#include "host/Context.h"
#include "settings/CloudSettings.h"

void setRenderGeometry(FilterContext* ctx, const Rect16& rect, int32 factor)
{
    settingsOf(ctx)->zoomRate = factor;
    ctx->renderWidth = rect.right - rect.left;
    ctx->renderHeight = rect.bottom - rect.top;
    ctx->regionTop = 0;
    ctx->regionLeft = 0;
    ctx->regionRight = ctx->renderWidth - 1;
    ctx->regionBottom = ctx->renderHeight - 1;
}

// The row renderer is not part of this build yet: the apply is over before it
// starts. The buffers go back and no rows are requested, so the host finishes
// with its image as it was.
void beginApply(FilterContext* ctx)
{
    ctx->moreRows = 0;
    releaseWorkingBuffers(ctx);
    clearRequestRects(ctx);
}

ApplyOutcome applyRows(FilterContext* ctx)
{
    ctx->moreRows = 0;
    return applyFinished;
}
