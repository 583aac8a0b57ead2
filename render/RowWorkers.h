// Helper threads for the rows of one render pass. The thread that calls the
// plug-in keeps doing everything that talks to the host; the helpers only
// compute columns of the row in hand, so the pixels never depend on how many
// there are. Helpers exist only inside a RenderWorkers scope, which a host
// call opens and closes: no thread outlives the call that started it.
#pragma once

#include <cstdint>

// The number of threads a render uses: NIMBULO_THREADS when set (at least 1),
// else every processor.
int renderThreadCount();

class RenderWorkers {
public:
    // Starts `threads` - 1 helpers (none for 1 or less) for this scope.
    explicit RenderWorkers(int threads);
    ~RenderWorkers();
    RenderWorkers(const RenderWorkers&) = delete;
    RenderWorkers& operator=(const RenderWorkers&) = delete;
};

typedef void (*ColumnJob)(const void* context, int32_t first, int32_t last);

// Runs job over columns 0 .. count - 1, in pieces shared among the threads of
// the open scope (or alone when there is none), and returns when every piece
// is done. Pieces start at multiples of 8, so vector packs stay whole.
void forEachColumnPart(int32_t count, ColumnJob job, const void* context);
