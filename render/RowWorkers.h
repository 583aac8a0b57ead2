// Helper threads for the rows of one render pass. The cloud pixels of a row
// depend only on the settings and the row's position, not on the source
// pixels, so helpers compute the clouds of the rows ahead into a small ring
// while the thread that called the plug-in composites each row as the host
// delivers it. That thread never waits for a helper: a row no helper has
// finished it computes itself, and a helper that finishes it later has its
// work dropped. So a helper the system stops running costs nothing but its
// own row, the pixels never depend on how many threads there are or how they
// are scheduled, and only the calling thread ever talks to the host.
//
// When the host delivers many rows at once (a band), the helpers lay rows of
// it over the image too: shareBandRows below, which waits for them at the
// band's end and stops sharing when those waits grow.
//
// Helpers exist only inside a RenderWorkers scope, which a host call opens
// and closes: no thread outlives the call that started it. Idle helpers
// sleep (after a few microseconds of spinning) and take no processor time.
// A helper may still be finishing a row nobody needs until the scope closes,
// so the tables a pass reads must outlive the scope.
#pragma once

#include <cstdint>

#include "render/CloudModel.h"
#include "render/RenderPath.h"

// The number of threads a render uses: NIMBULO_THREADS when set (at least 1),
// else every processor.
int renderThreadCount();

class RenderWorkers {
public:
    // Starts `threads` - 1 helpers (none for 1 or less) for this scope, on
    // this thread. A scope opened inside another gets no helpers of its own.
    explicit RenderWorkers(int threads);
    ~RenderWorkers();
    RenderWorkers(const RenderWorkers&) = delete;
    RenderWorkers& operator=(const RenderWorkers&) = delete;

private:
    bool owner_;  // this scope started the helpers
};

// What the cloud pixels of a pass depend on besides the row: the settings,
// the tables, the filter size the field is scaled to, and the rows and
// columns of the render.
struct CloudPass {
    const CloudSettings* settings;
    const CloudTables* tables;
    int32_t filterWidth, filterHeight;
    int32_t columns, rows;
};

// A row of cloud pixels and, for each chunk of sharedChunkColumns columns
// from its start, whether the chunk is clear sky throughout (what
// ShadeCloudSpan said of it).
constexpr int32_t sharedChunkColumns = goodSpanColumns;
struct SharedCloudRow {
    const CloudPixel* clouds;
    const bool* clearChunks;
};

// The cloud pixels of row `row` (0 .. rows - 1) of `pass`, exactly as
// ShadeCloudSpan gives them, shared out among the helpers of this thread's
// open scope. The first call in a scope starts the helpers on this pass from
// `row` on; later calls must ask for rows in rising order. The pixels stay
// valid until the next call. No clouds when there are no helpers, when the
// pass is not the one the helpers were started on, when the row has gone by,
// or when memory for the ring cannot be had: the caller then computes the row.
SharedCloudRow sharedCloudRow(const CloudPass& pass, int32_t row);

// A band of rows the host delivered at once, rows firstRow .. firstRow +
// rows - 1 of `pass`: `job(context, k, clouds)` lays row k (0 .. rows - 1)
// of it, reading and writing only that row's pixels, with `clouds` when a
// helper computed them ahead (exactly as ShadeCloudSpan gives them), else
// with clouds it computes itself. The calling thread and the helpers of its
// open scope each take rows until none is left; shareBandRows returns once
// every row is laid, so the band's buffers are no longer touched when the
// host is called again, and the helpers then compute the clouds of the next
// band's first rows while the host delivers it. Unlike the cloud rows above,
// this does wait for a helper that has taken a row, so a scope gives up
// sharing bands (for the rest of its life) once the waits at their ends pass
// a sixteenth of the bands' time, as on a machine busy with other work.
// False, with no row laid, when there are no helpers, the band is too short
// to share or sharing has been given up: the caller then lays the rows
// itself, in order, and sharedCloudRow still gives it the helpers' clouds.
typedef void (*BandRowJob)(void* context, int32_t k, SharedCloudRow clouds);
bool shareBandRows(const CloudPass& pass, int32_t firstRow, int32_t rows, BandRowJob job, void* context);

// For tests: helper `helper` (1 is the first) stops at `point` of the first
// row at or after `row` it works on, and stays there until its scope closes,
// as if the system had stopped running it. A helper of -1 stops none. Only in
// the test programs' copy of the helpers (built with NIMBULO_TEST_HOOKS).
enum HelperPause { pauseAfterClaim, pauseMidRow, pauseBeforePublish };
void pauseHelperForTest(int helper, HelperPause point, int32_t row);
// How many helpers have stopped since the last pauseHelperForTest.
int pausedHelpersForTest();
