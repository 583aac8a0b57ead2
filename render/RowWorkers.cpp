#include "render/RowWorkers.h"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/Platform.h"

#if defined(__SSE2__)
#include <emmintrin.h>
static inline void relax() { _mm_pause(); }
#else
static inline void relax() {}
#endif

int renderThreadCount()
{
    char text[16];
    if (platformEnvironment("NIMBULO_THREADS", text, sizeof text)) {
        int n = std::atoi(text);
        return n < 1 ? 1 : (n > 64 ? 64 : n);
    }
    int n = platformProcessorCount();
    return n < 1 ? 1 : (n > 64 ? 64 : n);
}

namespace {

// Helpers wait for a new generation: spinning briefly (rows follow each other
// within microseconds), then asleep.
struct Pool {
    std::vector<PlatformThread> helpers;
    std::atomic<uint32_t> generation{0};
    std::atomic<int> pending{0};
    std::atomic<int32_t> nextColumn{0};
    std::atomic<int> sleepers{0};
    std::atomic<bool> quit{false};
    std::mutex lock;
    std::condition_variable wake;
    int parts = 1;
    int32_t count = 0;
    ColumnJob job = nullptr;
    const void* context = nullptr;

    // Columns go in pieces to whichever thread is free, so a part of the row
    // that is dearer (more cloud to light) does not hold the others up.
    enum { piece = 64 };

    void work()
    {
        for (;;) {
            int32_t first = nextColumn.fetch_add(piece);
            if (first >= count) return;
            int32_t last = count - first < piece ? count : first + piece;
            job(context, first, last);
        }
    }

    void helper()
    {
        uint32_t seen = 0;
        for (;;) {
            int spins = 0;
            while (generation.load() == seen && !quit.load() && spins < 200000) {
                relax();
                ++spins;
            }
            if (generation.load() == seen && !quit.load()) {
                std::unique_lock<std::mutex> held(lock);
                sleepers.fetch_add(1);
                wake.wait(held, [&] { return generation.load() != seen || quit.load(); });
                sleepers.fetch_sub(1);
            }
            if (quit.load()) return;
            seen = generation.load();
            work();
            pending.fetch_sub(1);
        }
    }
};

Pool* openPool = nullptr;

}  // namespace

RenderWorkers::RenderWorkers(int threads)
{
    if (threads <= 1 || openPool) return;
    Pool* pool = new Pool;
    for (int k = 1; k < threads; ++k) {
        // A helper needs little stack: a row span of cloud pixels and the kernel's registers.
        PlatformThread helper = platformStartThread([](void* p) { static_cast<Pool*>(p)->helper(); }, pool, 256 << 10);
        if (!helper) break;  // fewer helpers: the same pixels, more slowly
        pool->helpers.push_back(helper);
    }
    pool->parts = int(pool->helpers.size()) + 1;
    openPool = pool;
}

RenderWorkers::~RenderWorkers()
{
    Pool* pool = openPool;
    if (!pool) return;
    openPool = nullptr;
    pool->quit.store(true);
    {
        std::lock_guard<std::mutex> held(pool->lock);
        pool->wake.notify_all();
    }
    for (PlatformThread t : pool->helpers) platformJoinThread(t);
    delete pool;
}

void forEachColumnPart(int32_t count, ColumnJob job, const void* context)
{
    Pool* pool = openPool;
    if (!pool || count < 64) {
        job(context, 0, count);
        return;
    }
    pool->count = count;
    pool->job = job;
    pool->context = context;
    pool->nextColumn.store(0);
    pool->pending.store(pool->parts - 1);
    pool->generation.fetch_add(1);
    if (pool->sleepers.load() > 0) {
        std::lock_guard<std::mutex> held(pool->lock);
        pool->wake.notify_all();
    }
    pool->work();
    while (pool->pending.load() > 0) relax();
}
