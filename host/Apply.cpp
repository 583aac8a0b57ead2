#include "host/Apply.h"

#include <algorithm>
#include <cstdint>

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

int32 bandRowsFor(const BandFacts& f)
{
    if (f.threads < 2 || !f.canAdvance || f.height < 2 || f.rowBytes <= 0) return 1;
    if (int64_t(f.width) * f.height < bandLeastPixels) return 1;
    const int64_t budget = int64_t(f.maxSpace) - f.bufferSpace - 4 * int64_t(f.maskRowBytes);
    int64_t rows = budget / f.rowBytes;
    // Enough rows for every thread to take several, where the budget allows.
    const int64_t most = std::max<int64_t>(bandMostBytes / f.rowBytes, int64_t(bandRowsEachThread) * f.threads);
    if (rows > most) rows = most;
    if (rows > f.height) rows = f.height;
    return rows < 2 ? 1 : int32(rows);
}

// The rows of a band for the current request and its host.
static int32 bandRowsOf(const FilterContext* ctx)
{
    const FilterRecord* r = ctx->filter;
    const VRect f = filterRectOf(r);
    const int64_t width = f.right - f.left, sample = bytesPerSample(r);
    const int64_t mask = r->haveMask ? width : 0;
    const int64_t row = width * (r->planes * 2 * sample) + mask;
    BandFacts facts{int32(width),
                    f.bottom - f.top,
                    row > INT32_MAX ? INT32_MAX : int32(row),
                    mask > INT32_MAX ? INT32_MAX : int32(mask),
                    r->maxSpace,
                    r->bufferSpace,
                    renderThreadCount(),
                    canAdvance(r)};
    return bandRowsFor(facts);
}

void setRowRequest(FilterContext* ctx)
{
    FilterRecord* r = ctx->filter;
    const VRect f = filterRectOf(r);
    setRenderGeometry(ctx, f, 1);

    int32 H = f.bottom - f.top;
    int32 row = ctx->currentRow < 0 ? 0 : (ctx->currentRow > H - 1 ? H - 1 : ctx->currentRow);
    const int32 band = ctx->work && ctx->work->bandRows > 1 ? ctx->work->bandRows : 1;
    int32 y = f.top + row;
    const int32 end = H - row < band ? f.bottom : y + band;
    const VRect rows = {y, f.left, end, f.right};
    setInRect(r, rows);
    setOutRect(r, rows);
    VRect mask = {f.top, f.left, f.top, f.left};
    if (r->haveMask) {
        // Two mask rows either side; the final apply fetches them but the
        // host applies the selection itself.
        int32 top = y - 2 < f.top ? f.top : y - 2;
        int32 bottom = end + 1 > f.bottom ? f.bottom : end + 1;
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
    ctx->work->bandRows = bandRowsOf(ctx);
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

void renderOneBand(FilterContext* ctx)
{
    FilterRecord* r = ctx->filter;
    WorkBlock* work = ctx->work;
    const int32 first = ctx->currentRow;
    const int32 left = ctx->renderHeight - first;
    const int32 rows = left < work->bandRows ? left : work->bandRows;
    if (r->progressProc) r->progressProc(ctx->progressDone, ctx->progressTotal);
    ctx->renderRow = first;
    RenderCloudBand(ctx, first, rows);
    ctx->progressDone += rows;
    // The cursor stays on the last row once it is done, as on the row path.
    if (first + rows >= ctx->renderHeight) {
        ctx->currentRow = ctx->renderHeight - 1;
        ctx->moreRows = 0;
    } else {
        ctx->currentRow = first + rows;
    }
    if (r->abortProc && r->abortProc()) setResult(ctx, userCanceledErr);
}

ApplyOutcome applyRows(FilterContext* ctx)
{
    // A host that calls Continue without a run in progress gets nothing rendered.
    if (!ctx->work || !ctx->moreRows) return applyFinished;
    FilterRecord* r = ctx->filter;
    // Helpers for the rows of this call; a host that delivers one row a call
    // gets none (they would be started and stopped for every row).
    RenderWorkers helpers(canAdvance(r) ? renderThreadCount() : 1);
    const bool bands = ctx->work->bandRows > 1 && settingsOf(ctx)->dialogActive == 0;
    for (;;) {
        if (bands)
            renderOneBand(ctx);
        else
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
