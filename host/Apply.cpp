#include "host/Apply.h"

#include "render/RowWorkers.h"

#include "host/Capabilities.h"
#include "host/Context.h"
#include "host/Coordinates.h"
#include "host/Dialogs.h"
#include "host/Modes.h"
#include "host/Preview.h"
#include "host/RenderRows.h"
#include "render/CloudReach.h"
#include "render/Compose8.h"
#include "settings/CloudSettings.h"

void setRenderGeometry(FilterContext* ctx, const VRect& rect, int32 factor)
{
    settingsOf(ctx)->zoomRate = factor;
    ctx->renderWidth = rect.right - rect.left;
    ctx->renderHeight = rect.bottom - rect.top;
    ctx->regionTop = 0;
    ctx->regionLeft = 0;
    ctx->regionRight = ctx->renderWidth - 1;
    ctx->regionBottom = ctx->renderHeight - 1;
}

void prepareRenderPass(FilterContext* ctx)
{
    if (!ctx->work) {
        setResult(ctx, memFullErr);
        return;
    }
    BuildOverRatioTable(&ctx->work->tables);
    PrepareCloudTables(&ctx->work->tables, settingsOf(ctx)->seed);
    // The factors once a pass (the settings hold still while it runs).
    const VRect& f = ctx->savedFilterRect;
    prepareCloudPainter(&ctx->work->painter, settingsOf(ctx), &ctx->work->tables, f.right - f.left, f.bottom - f.top);
    ctx->work->clearSky = clearSkySkipping();
    prepareColourModes(ctx);
    ctx->currentRow = 0;
    ctx->moreRows = 1;
    ctx->progressTotal = ctx->renderHeight;
    ctx->progressDone = 0;
}

// The rows of the current requests, relative to the filter rectangle's top.
static void noteRequestRows(FilterContext* ctx)
{
    const FilterRecord* r = ctx->filter;
    const int32 top = filterRectOf(r).top;
    ctx->maskRowFirst = maskRectOf(r).top - top;
    ctx->maskRowLast = maskRectOf(r).bottom - top - 1;
    ctx->inRowFirst = inRectOf(r).top - top;
    ctx->inRowLast = inRectOf(r).bottom - top - 1;
}

void setRowRequest(FilterContext* ctx)
{
    FilterRecord* r = ctx->filter;
    const VRect f = filterRectOf(r);
    setRenderGeometry(ctx, f, 1);

    int32 H = f.bottom - f.top;
    int32 row = ctx->currentRow < 0 ? 0 : (ctx->currentRow > H - 1 ? H - 1 : ctx->currentRow);
    int32 y = f.top + row;
    const VRect line = {y, f.left, y + 1, f.right};
    setInRect(r, line);
    setOutRect(r, line);
    VRect mask = {f.top, f.left, f.top, f.left};
    if (r->haveMask) {
        // Two mask rows either side; the final apply fetches them but the
        // host applies the selection itself.
        int32 top = y - 2 < f.top ? f.top : y - 2;
        int32 bottom = y + 2 > f.bottom ? f.bottom : y + 2;
        if (bottom <= top) bottom = top + 1;
        mask = VRect{top, f.left, bottom, f.right};
    }
    setMaskRect(r, mask);

    r->inLoPlane = r->outLoPlane = 0;
    r->inHiPlane = r->outHiPlane = int16(r->planes - 1);
    r->inputRate = r->maskRate = 65536;
    r->inputPadding = r->outputPadding = r->maskPadding = -1;
    noteRequestRows(ctx);
}

void beginApply(FilterContext* ctx)
{
    CloudSettings* s = settingsOf(ctx);
    s->panX = 0;
    s->panY = 0;
    FilterRecord* r = ctx->filter;
    setFilterRect(r, ctx->savedFilterRect);
    setRenderGeometry(ctx, ctx->savedFilterRect, 1);
    // An empty filter rectangle (an odd host) has no row to paint.
    if (ctx->renderWidth <= 0 || ctx->renderHeight <= 0) {
        ctx->moreRows = 0;
        return;
    }
    prepareRenderPass(ctx);
    if (resultOf(ctx) != noErr) return;
    setRowRequest(ctx);
    if (canAdvance(r) && resultOf(ctx) == noErr) setResult(ctx, r->advanceState());
}

void renderOneRow(FilterContext* ctx)
{
    FilterRecord* r = ctx->filter;
    WorkBlock* work = ctx->work;
    const int32 dialogActive = settingsOf(ctx)->dialogActive;
    const bool preview = dialogActive == 1;

    if (dialogActive == 0) {
        work->progressTicks %= 8;
        if ((work->progressTicks == 0 || ctx->progressDone == 0) && r->progressProc)
            r->progressProc(ctx->progressDone, ctx->progressTotal);
        work->progressTicks++;
    }

    ctx->progressDone++;
    ctx->renderRow = ctx->currentRow;
    RenderCloudRow(ctx);
    if (preview) copyPreviewRowToScreen(ctx, ctx->renderRow);

    if (canDisplay(r) && preview && ctx->drawRowsAsRendered && (ctx->renderRow & 1)) showPreviewRows(ctx);

    if (ctx->currentRow >= ctx->renderHeight - 1) {
        ctx->moreRows = 0;
        if (preview) ctx->currentRow = 0;
    } else {
        ctx->currentRow++;
    }

    if (!preview) {
        work->abortTicks = (work->abortTicks + 1) % 8;
        if (work->abortTicks == 0 && r->abortProc && r->abortProc()) setResult(ctx, userCanceledErr);
    }
}

ApplyOutcome applyRows(FilterContext* ctx)
{
    // A host that calls Continue without a run in progress gets nothing rendered.
    if (!ctx->work || !ctx->moreRows) return applyFinished;
    FilterRecord* r = ctx->filter;
    // Helpers for the rows of this call; a host that delivers one row a call
    // gets none (they would be started and stopped for every row).
    RenderWorkers helpers(canAdvance(r) ? renderThreadCount() : 1);
    for (;;) {
        renderOneRow(ctx);
        if (resultOf(ctx) != noErr) {
            ctx->moreRows = 0;
            return applyStopped;
        }
        // After the last row this asks for the last row again, which is harmless.
        setRowRequest(ctx);
        if (!ctx->moreRows) return applyFinished;
        if (!canAdvance(r)) return applyNeedsRow;
        setResult(ctx, r->advanceState());
        if (resultOf(ctx) != noErr) return applyHostError;
    }
}
