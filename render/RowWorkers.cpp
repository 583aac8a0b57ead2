#include "render/RowWorkers.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/Platform.h"
#include "render/RenderPath.h"
#include "settings/CloudSettings.h"

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

// How often an idle helper looks for work before it sleeps: a few
// microseconds of pauses, enough to catch the next row of a running pass.
const int idleSpins = 64;

// How often the calling thread looks for the last helper of a band before it
// sleeps: about a row's time, the most a helper has left when all is well.
const int closingSpins = 256;

// Rows a thread at the least for a band to be shared: in fewer, the wait for
// the last helper's row at the band's end costs more than the helpers give.
const int32_t bandRowsPerThread = 4;

// Columns computed between two looks at whether a row is still wanted.
const int32_t chunkColumns = sharedChunkColumns;

// Each ring slot holds one row ahead. Its word says which row (the ticket:
// the row's place in the pass) and in what state: open for that row, busy
// (one thread computes it; only that thread changes the word), or ready.
// The rules every claim relies on (claim() below):
// - Ticket t lives in slot t mod depth, and only tickets from `needed` (the
//   first row the calling thread still wants) to needed + depth - 1 may be
//   claimed, so two live tickets never share a slot.
// - A slot may be claimed for ticket t when its word is (t, open), or when it
//   holds an earlier ticket that is not busy (that row has gone by). The claim
//   is one compare-and-swap to (t, busy): of two threads, one wins.
// - The thread holding a busy slot is the only one that writes its row and
//   its word, and it publishes with a release store (ready, or open when the
//   row is given up); readers acquire the word before they read the row.
// - The pass's tables and settings are copied or fixed before the pass is
//   opened (passOpen, released) and must not change while it is open: the
//   helpers read them without locks until the scope closes.
enum SlotStatus : uint32_t { slotOpen = 0, slotBusy = 1, slotReady = 2 };

inline uint32_t slotWord(int32_t ticket, SlotStatus status) { return uint32_t(ticket) << 2 | status; }
inline int32_t ticketOf(uint32_t word) { return int32_t(word >> 2); }
inline SlotStatus statusOf(uint32_t word) { return SlotStatus(word & 3u); }

#ifdef NIMBULO_TEST_HOOKS
// A test's request to stop a helper, and how many have stopped. Only the
// test programs' copy of this file has them; the shipped builds do not.
std::atomic<int> pauseHelper{-1};
std::atomic<int> pausePoint{0};
std::atomic<int32_t> pauseRow{0};
std::atomic<int> pausedCount{0};
#endif

struct Pool;

struct HelperStart {
    Pool* pool;
    int index;  // 1 for the first helper
};

// Helpers of one scope at most: renderThreadCount() gives at most 64 threads.
const int maxHelpers = 63;

// The most the ring's rows may take. Rows so wide (a document of hundreds of
// thousands of columns) or threads so many that the usual depth would take
// more get fewer slots: helpers then work less far ahead, which changes
// nothing but the time.
const size_t ringBudget = size_t(32) << 20;

// Allocated without throwing (the scope runs on the host's thread, where an
// exception would end the host): no pool, or no ring, means one thread.
struct Pool {
    PlatformThread helpers[maxHelpers] = {};
    HelperStart starts[maxHelpers] = {};
    int helperCount = 0;
    // Changes whenever something a sleeping helper may want has happened: the
    // pass begun, the calling thread far enough along, the scope closing.
    std::atomic<uint32_t> signal{0};
    std::atomic<int> sleepers{0};
    std::atomic<bool> quit{false};
    std::atomic<bool> passOpen{false};

    // The pass, written once by the calling thread before passOpen is set,
    // then only read.
    bool passTried = false;
    CloudPass pass{};
    CloudSettings settings{};  // the pass's settings when it began
    CloudRow factors{};
    int32_t firstRow = 0, tickets = 0;  // tickets 0 .. tickets - 1 are rows firstRow on
    int32_t depth = 0;                  // slots in the ring
    CloudPixel* rows = nullptr;         // the ring's rows, then the calling thread's own
    bool* clearChunks = nullptr;        // each of those rows' chunks: clear sky throughout
    int32_t chunksPerRow = 0;
    std::atomic<uint32_t>* slots = nullptr;
    // The first ticket the calling thread still needs; slots of earlier
    // tickets may take rows further ahead.
    std::atomic<int32_t> needed{0};
    // Helpers that found every row ahead taken sleep until the calling thread
    // has used up half the ring, rather than waking for every row.
    std::atomic<int32_t> wakeAt{0};

    // The band being shared (shareBandRows). Its fields are written by the
    // calling thread before bandOpen is set and read by helpers after they
    // see it set. A helper counts itself in inBand before it looks at
    // bandOpen and out after its last row, so once the calling thread has
    // cleared bandOpen and seen inBand at 0, no helper touches the band.
    BandRowJob bandJob = nullptr;
    void* bandContext = nullptr;
    int32_t bandRows = 0;
    int32_t bandTicket = -1;  // the band's first row's ticket in the ring; -1: no ring
    std::atomic<int32_t> nextBandRow{0};
    std::atomic<bool> bandOpen{false};
    std::atomic<uint32_t> inBand{0};
    std::atomic<bool> closerSleeps{false};
    // The calling thread's account of the bands: their time, and how much of
    // it went on waiting for helpers at their ends.
    bool bandsGivenUp = false;
    double bandSeconds = 0.0, waitSeconds = 0.0;

    ~Pool()
    {
        delete[] rows;
        delete[] clearChunks;
        delete[] slots;
    }

    // The columns of the chunk that starts at column i.
    int32_t chunkAt(int32_t i) const { return pass.columns - i < chunkColumns ? pass.columns - i : chunkColumns; }

    CloudPixel* slotRow(int32_t t) { return rows + size_t(t % depth) * size_t(pass.columns); }
    CloudPixel* ownRow() { return rows + size_t(depth) * size_t(pass.columns); }
    bool* slotClear(int32_t t) { return clearChunks + size_t(t % depth) * size_t(chunksPerRow); }
    bool* ownClear() { return clearChunks + size_t(depth) * size_t(chunksPerRow); }
    SharedCloudRow slotShared(int32_t t) { return SharedCloudRow{slotRow(t), slotClear(t)}; }
    std::atomic<uint32_t>& slotOf(int32_t t) { return slots[t % depth]; }

    void wakeHelpers()
    {
        signal.fetch_add(1);
        if (sleepers.load() > 0) platformWakeWaiters(&signal);
    }

    bool open(const CloudPass& p, int32_t row)
    {
        if (p.rows - row <= 0 || p.columns <= 0 || row < 0) return false;
        depth = 2 * int32_t(helperCount + 1) + 4;
        const size_t rowsInBudget = ringBudget / (size_t(p.columns) * sizeof(CloudPixel));
        if (size_t(depth) + 1 > rowsInBudget) depth = rowsInBudget > 2 ? int32_t(rowsInBudget - 1) : 1;
        rows = new (std::nothrow) CloudPixel[size_t(depth + 1) * size_t(p.columns)];
        chunksPerRow = (p.columns - 1) / chunkColumns + 1;
        clearChunks = new (std::nothrow) bool[size_t(depth + 1) * size_t(chunksPerRow)];
        slots = new (std::nothrow) std::atomic<uint32_t>[size_t(depth)];
        if (!rows || !clearChunks || !slots) return false;
        pass = p;
        std::memcpy(&settings, p.settings, sizeof settings);
        pass.settings = &settings;
        SetupCloudFactors(&factors, &settings, p.tables, p.filterWidth, p.filterHeight);
        firstRow = row;
        tickets = p.rows - row;
        for (int32_t k = 0; k < depth; ++k) slots[k].store(slotWord(k, slotOpen));
        needed.store(0);
        passOpen.store(true, std::memory_order_release);
        wakeHelpers();
        return true;
    }

    bool samePass(const CloudPass& p) const
    {
        return p.tables == pass.tables && p.filterWidth == pass.filterWidth && p.filterHeight == pass.filterHeight &&
               p.columns == pass.columns && p.rows == pass.rows &&
               std::memcmp(p.settings, &settings, sizeof settings) == 0;
    }

    // Takes ticket t for the calling thread when its slot is free for it.
    bool claim(int32_t t)
    {
        std::atomic<uint32_t>& slot = slotOf(t);
        uint32_t w = slot.load(std::memory_order_acquire);
        bool free = ticketOf(w) == t ? statusOf(w) == slotOpen : ticketOf(w) < t && statusOf(w) != slotBusy;
        return free && slot.compare_exchange_strong(w, slotWord(t, slotBusy), std::memory_order_acq_rel);
    }

    CloudRow rowSetup(int32_t t)
    {
        CloudRow row = factors;
        SetupCloudRow(&row, &settings, pass.tables, firstRow + t);
        return row;
    }

    // A test may stop helper `index` here, until the scope closes.
#ifndef NIMBULO_TEST_HOOKS
    void maybePause(int, HelperPause, int32_t) {}
#else
    void maybePause(int index, HelperPause point, int32_t t)
    {
        int wanted = index;
        if (pausePoint.load() != point || firstRow + t < pauseRow.load()) return;
        if (!pauseHelper.compare_exchange_strong(wanted, -1)) return;
        pausedCount.fetch_add(1);
        sleepers.fetch_add(1);
        for (uint32_t seen = signal.load(); !quit.load(); seen = signal.load()) platformWaitWhileEqual(&signal, seen);
        sleepers.fetch_sub(1);
    }
#endif

    // A helper's turn: the first row ahead that is free, into its slot. A row
    // the calling thread has meanwhile gone past is given up. False when no
    // row is free.
    bool helpOnce(int index)
    {
        int32_t first = needed.load(std::memory_order_acquire);
        int32_t end = first + depth < tickets ? first + depth : tickets;
        for (int32_t t = first; t < end; ++t) {
            if (!claim(t)) continue;
            maybePause(index, pauseAfterClaim, t);
            CloudRow row = rowSetup(t);
            bool wanted = true;
            for (int32_t i = 0; i < pass.columns && wanted; i += chunkColumns) {
                if (i > 0) maybePause(index, pauseMidRow, t);
                wanted = needed.load(std::memory_order_relaxed) <= t && !quit.load(std::memory_order_relaxed);
                if (wanted) shadeChunk(row, i, slotRow(t), slotClear(t));
            }
            if (wanted) maybePause(index, pauseBeforePublish, t);
            slotOf(t).store(slotWord(t, wanted ? slotReady : slotOpen), std::memory_order_release);
            return true;
        }
        wakeAt.store(first + (depth + 1) / 2);
        return false;
    }

    // Rows of the open band, taken one at a time, until none is left; how
    // many this thread laid.
    int layBandRows()
    {
        int laid = 0;
        for (int32_t k = nextBandRow.fetch_add(1); k < bandRows; k = nextBandRow.fetch_add(1), laid++) {
            // Clouds a helper computed ahead (while the host delivered the
            // band) are held busy while they are laid, so that no helper
            // takes their slot meanwhile; else the job computes its own.
            const int32_t t = bandTicket < 0 ? -1 : bandTicket + k;
            std::atomic<uint32_t>* slot = t < 0 || t >= tickets ? nullptr : &slotOf(t);
            uint32_t ready = slotWord(t, slotReady);
            if (slot && slot->compare_exchange_strong(ready, slotWord(t, slotBusy), std::memory_order_acq_rel)) {
                bandJob(bandContext, k, slotShared(t));
                slot->store(slotWord(t, slotReady), std::memory_order_release);
            } else {
                bandJob(bandContext, k, SharedCloudRow{nullptr, nullptr});
            }
        }
        return laid;
    }

    // A helper's share of the open band; false when it laid no row.
    bool helpBand()
    {
        inBand.fetch_add(1);
        const bool laid = bandOpen.load() && layBandRows() > 0;
        inBand.fetch_sub(1);
        if (closerSleeps.load()) platformWakeWaiters(&inBand);
        return laid;
    }

    // The calling thread, every row of the band taken: waits until no helper
    // is still laying one.
    void waitForBandHelpers()
    {
        for (int spins = 0;; ++spins) {
            const uint32_t helping = inBand.load();
            if (helping == 0) return;
            if (spins < closingSpins) {
                relax();
                continue;
            }
            closerSleeps.store(true);
            platformWaitWhileEqual(&inBand, helping);
            closerSleeps.store(false);
        }
    }

    bool shareBand(const CloudPass& p, int32_t firstRow, int32_t rows, BandRowJob job, void* context)
    {
        typedef std::chrono::steady_clock Clock;
        if (bandsGivenUp || rows < bandRowsPerThread * (helperCount + 1)) return false;
        const Clock::time_point begun = Clock::now();
        // The ring holds the clouds of the rows after each band, computed by
        // the helpers while the calling thread is with the host.
        if (!passTried) {
            passTried = true;
            open(p, firstRow);
        }
        const bool ring = passOpen.load(std::memory_order_relaxed) && samePass(p) &&
                          firstRow - this->firstRow == needed.load(std::memory_order_relaxed);
        bandTicket = ring ? firstRow - this->firstRow : -1;
        bandJob = job;
        bandContext = context;
        bandRows = rows;
        nextBandRow.store(0);
        bandOpen.store(true);
        wakeHelpers();
        layBandRows();
        // Every row taken: the helpers may compute the clouds of the next
        // band's first rows.
        if (ring) needed.store(bandTicket + rows, std::memory_order_release);
        bandOpen.store(false);
        wakeHelpers();
        const Clock::time_point taken = Clock::now();
        waitForBandHelpers();
        const Clock::time_point ended = Clock::now();
        bandSeconds += std::chrono::duration<double>(ended - begun).count();
        waitSeconds += std::chrono::duration<double>(ended - taken).count();
        // Helpers the system keeps from running make the calling thread wait:
        // the rest of the bands are laid by it alone, helped with clouds.
        if (16.0 * waitSeconds > bandSeconds) bandsGivenUp = true;
        return true;
    }

    void helperMain(int index)
    {
        for (;;) {
            uint32_t seen = signal.load();
            if (quit.load()) return;
            if (helpBand()) continue;
            if (passOpen.load(std::memory_order_acquire) && !bandOpen.load() && helpOnce(index)) continue;
            for (int spins = 0; spins < idleSpins && signal.load() == seen; ++spins) relax();
            if (signal.load() != seen) continue;
            sleepers.fetch_add(1);
            platformWaitWhileEqual(&signal, seen);
            sleepers.fetch_sub(1);
        }
    }

    // The chunk of `row` from column i into a ring row and its chunks' flags.
    void shadeChunk(const CloudRow& row, int32_t i, CloudPixel* out, bool* clear)
    {
        clear[i / chunkColumns] = ShadeCloudSpan(&row, pass.tables, i, chunkAt(i), out + i);
    }

    // The calling thread computes row t into its slot.
    void shadeWhole(int32_t t)
    {
        const CloudRow row = rowSetup(t);
        for (int32_t i = 0; i < pass.columns; i += chunkColumns) shadeChunk(row, i, slotRow(t), slotClear(t));
    }

    // A row of the ring's window past t that is free, computed by the calling
    // thread while a helper finishes row t. False when none is free.
    bool workAhead(int32_t t)
    {
        int32_t end = t + depth < tickets ? t + depth : tickets;
        for (int32_t u = t + 1; u < end; ++u) {
            if (!claim(u)) continue;
            shadeWhole(u);
            slotOf(u).store(slotWord(u, slotReady), std::memory_order_release);
            return true;
        }
        return false;
    }

    // Row t, which a helper holds and may not finish soon: the calling thread
    // computes it into its own row, and takes the helper's if that lands first.
    SharedCloudRow takeOver(int32_t t)
    {
        const CloudRow row = rowSetup(t);
        for (int32_t i = 0; i < pass.columns; i += chunkColumns) {
            if (slotOf(t).load(std::memory_order_acquire) == slotWord(t, slotReady)) return slotShared(t);
            shadeChunk(row, i, ownRow(), ownClear());
        }
        return SharedCloudRow{ownRow(), ownClear()};
    }

    // Row t for the calling thread, which is done with every row before it.
    // Whatever the helpers are doing, it never waits for one.
    SharedCloudRow rowFor(int32_t t)
    {
        if (t > needed.load(std::memory_order_relaxed)) {
            needed.store(t, std::memory_order_release);
            if (t >= wakeAt.load()) wakeHelpers();
        }
        for (;;) {
            if (claim(t)) {
                shadeWhole(t);
                slotOf(t).store(slotWord(t, slotReady), std::memory_order_release);
                return slotShared(t);
            }
            uint32_t w = slotOf(t).load(std::memory_order_acquire);
            if (w == slotWord(t, slotReady)) return slotShared(t);
            if (w == slotWord(t, slotBusy)) {
                if (workAhead(t)) continue;
                return takeOver(t);
            }
            // A helper still holds the slot for a row gone by.
            if (statusOf(w) == slotBusy || ticketOf(w) > t) return takeOver(t);
            // Otherwise the slot changed between the two looks: look again.
        }
    }
};

thread_local Pool* openPool = nullptr;

void runHelper(void* start)
{
    HelperStart* s = static_cast<HelperStart*>(start);
    s->pool->helperMain(s->index);
}

}  // namespace

RenderWorkers::RenderWorkers(int threads) : owner_(false)
{
    if (threads <= 1 || openPool) return;
    Pool* pool = new (std::nothrow) Pool;
    if (!pool) return;  // one thread: the same pixels, more slowly
    const int helpers = threads - 1 < maxHelpers ? threads - 1 : maxHelpers;
    for (int k = 1; k <= helpers; ++k) {
        pool->starts[k - 1] = HelperStart{pool, k};
        // A helper needs little stack: the cloud model's registers and a row's setup.
        PlatformThread helper = platformStartThread(runHelper, &pool->starts[k - 1], 256 << 10);
        if (!helper) break;  // fewer helpers: the same pixels, more slowly
        pool->helpers[pool->helperCount++] = helper;
    }
    openPool = pool;
    owner_ = true;
}

RenderWorkers::~RenderWorkers()
{
    if (!owner_) return;
    Pool* pool = openPool;
    openPool = nullptr;
    pool->quit.store(true);
    pool->signal.fetch_add(1);
    platformWakeWaiters(&pool->signal);
    for (int k = 0; k < pool->helperCount; ++k) platformJoinThread(pool->helpers[k]);
    delete pool;
}

SharedCloudRow sharedCloudRow(const CloudPass& pass, int32_t row)
{
    const SharedCloudRow none{nullptr, nullptr};
    Pool* pool = openPool;
    if (!pool || pool->helperCount == 0) return none;
    if (!pool->passTried) {
        pool->passTried = true;
        if (!pool->open(pass, row)) return none;
    } else if (!pool->passOpen.load(std::memory_order_relaxed) || !pool->samePass(pass)) {
        return none;
    }
    int32_t t = row - pool->firstRow;
    if (t < pool->needed.load(std::memory_order_relaxed) || t >= pool->tickets) return none;
    return pool->rowFor(t);
}

bool shareBandRows(const CloudPass& pass, int32_t firstRow, int32_t rows, BandRowJob job, void* context)
{
    Pool* pool = openPool;
    return pool && pool->helperCount > 0 && pool->shareBand(pass, firstRow, rows, job, context);
}

#ifdef NIMBULO_TEST_HOOKS
void pauseHelperForTest(int helper, HelperPause point, int32_t row)
{
    pausePoint.store(point);
    pauseRow.store(row);
    pausedCount.store(0);
    pauseHelper.store(helper);
}

int pausedHelpersForTest() { return pausedCount.load(); }
#endif
