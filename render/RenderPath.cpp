#include "render/RenderPath.h"

#include <cstdlib>
#include <cstring>

#include "render/CloudReach.h"

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
#include <cpuid.h>
#define NIMBULO_X86 1
#endif

// AVX2 needs the processor's flag and the system saving the 256-bit registers.
static bool processorRunsAvx2()
{
#if defined(NIMBULO_X86)
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    bool osSaves = (c & (1u << 27)) != 0, avx = (c & (1u << 28)) != 0;
    if (!osSaves || !avx) return false;
    unsigned low, high;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    if ((low & 6u) != 6u) return false;
    if (__get_cpuid_max(0, nullptr) < 7) return false;
    __cpuid_count(7, 0, a, b, c, d);
    return (b & (1u << 5)) != 0;
#else
    return false;
#endif
}

static bool processorRunsSse2()
{
#if defined(__SSE2__)
    return true;
#else
    return false;
#endif
}

RenderPath bestRenderPath()
{
    static const RenderPath best = processorRunsAvx2() ? renderAvx2 : processorRunsSse2() ? renderSse2 : renderScalar;
    return best;
}

static RenderPath chosenPath = bestRenderPath();

RenderPath currentRenderPath() { return chosenPath; }

void setRenderPath(RenderPath path)
{
    bool runs = path == renderScalar || (path == renderSse2 && processorRunsSse2()) ||
                (path == renderAvx2 && bestRenderPath() == renderAvx2);
    chosenPath = runs ? path : bestRenderPath();
}

const char* renderPathName(RenderPath path)
{
    switch (path) {
    case renderAvx2: return "AVX2";
    case renderSse2: return "SSE2";
    default: return "scalar";
    }
}

// `n` copies of one pixel, written 8 at a time from `eight` (8 copies).
static void fillPixels(CloudPixel* out, int32_t n, const CloudPixel* eight)
{
    for (; n >= 8; n -= 8, out += 8) std::memcpy(out, eight, 8 * sizeof(CloudPixel));
    std::memcpy(out, eight, size_t(n > 0 ? n : 0) * sizeof(CloudPixel));
}

typedef bool (*PackShader)(const CloudRow*, const CloudTables*, int32_t, CloudPixel*, uint32_t*);
typedef int (*BlockFinder)(const CloudRow*, const CloudTables*, int32_t, int);

// Whether the row's blocks may be found clear (CloudModel.h).
static bool hasBlockBounds(const CloudRow* row)
{
    return (row->bounded || row->seamlessBlocksU > 0.0f) && row->lumpiness > 0.0f;
}

// Packs of `width` columns from i while whole ones fit before end (`out` is
// column i0's pixel); where two packs or more fit, the ones no puff can
// cover among the next width - 1 are found first and made clear sky (the
// last block's end may lie beyond end: it is only sampled). Returns the
// first column left.
// Under full cover the blocks are never clear, and looking for them costs a
// few percent: where no pixel of a group stopped short of its last octave,
// the next group is most likely cloud too and its blocks are not looked for
// (*seek false); a pixel that stops short brings the search back. Pixels are
// the same either way, only found clear one by one.
static int32_t shadeFine(const CloudRow* row, const CloudTables* t, int32_t i0, int32_t i, int32_t end, int width,
                         PackShader shadePack, BlockFinder clearBlocks, const CloudPixel* clearEight, CloudPixel* out,
                         uint32_t* cutShort, bool* seek)
{
    const bool blocks = hasBlockBounds(row);
    while (end - i >= width) {
        const int fit = (end - i) / width;
        const bool group = blocks && fit >= 2;
        const int clear = group && *seek ? clearBlocks(row, t, i, 0) : 0;
        const int packs = group ? (fit < width - 1 ? fit : width - 1) : 1;
        const uint32_t before = *cutShort;
        for (int b = 0; b < packs; ++b, i += width) {
            CloudPixel* at = out + (i - i0);
            if (clear >> b & 1) {
                fillPixels(at, width, clearEight);
                *cutShort += uint32_t(width);
            } else if (!shadePack(row, t, i, at, cutShort)) {
                for (int k = 0; k < width; ++k) at[k] = ShadeCloudPixelCounted(row, t, i + k, cutShort);
            }
        }
        if (group) *seek = *cutShort != before;
    }
    return i;
}

// The same, first by wide blocks of 4 packs where two of them or more fit
// (wide blocks decide far from the clouds as soon as narrow ones, for a
// quarter of the samples); the runs of wide blocks not found clear go pack
// by pack as above.
static int32_t shadePacks(const CloudRow* row, const CloudTables* t, int32_t i0, int32_t i, int32_t end, int width,
                          PackShader shadePack, BlockFinder clearBlocks, const CloudPixel* clearEight, CloudPixel* out,
                          uint32_t* cutShort)
{
    const int32_t wide = 4 * width;
    bool seekWide = true, seekFine = true;  // as in shadeFine, for the wide blocks and the narrow
    while (hasBlockBounds(row) && end - i >= 2 * wide) {
        const int32_t fit = (end - i) / wide;
        const int n = fit < width - 1 ? int(fit) : width - 1;
        const int clear = seekWide ? clearBlocks(row, t, i, 1) : 0;
        const uint32_t before = *cutShort;
        for (int b = 0; b < n;) {
            int run = 0;
            while (b + run < n && !(clear >> (b + run) & 1)) ++run;
            if (run == 0) {
                fillPixels(out + (i - i0), wide, clearEight);
                *cutShort += uint32_t(wide);
                i += wide;
                ++b;
                continue;
            }
            i = shadeFine(row, t, i0, i, i + run * wide, width, shadePack, clearBlocks, clearEight, out, cutShort,
                          &seekFine);
            b += run;
        }
        seekWide = *cutShort != before;
    }
    return shadeFine(row, t, i0, i, end, width, shadePack, clearBlocks, clearEight, out, cutShort, &seekFine);
}

// The model for columns i .. end - 1, a pack at a time where a vector path can.
static void shadeModelled(const CloudRow* row, const CloudTables* t, int32_t i, int32_t end,
                          const CloudPixel* clearEight, CloudPixel* out, uint32_t* cutShort)
{
    const int32_t i0 = i;
    const RenderPath path = chosenPath;
    // Seamless rows have packs and blocks of their own.
    const bool seamless = row->wrap != 0;
    // The packs form field columns in 32 bits (blocks' ends up to 256 columns
    // beyond end); rows panned beyond that stay scalar.
    int64_t first = (int64_t(row->panColumn) + i0) * row->zoomRate;
    int64_t last = (int64_t(row->panColumn) + end + 256) * row->zoomRate;
    bool small = first > -2147483647LL && first < 2147483647LL && last > -2147483647LL && last < 2147483647LL;
    if (path == renderAvx2 && small)
        i = shadePacks(row, t, i0, i, end, 8, seamless ? ShadeSeamlessPackAvx2 : ShadeCloudPackAvx2,
                       seamless ? ClearSeamlessBlocksAvx2 : ClearCloudBlocksAvx2, clearEight, out, cutShort);
    if (path != renderScalar && small)
        i = shadePacks(row, t, i0, i, end, 4, seamless ? ShadeSeamlessPackSse2 : ShadeCloudPackSse2,
                       seamless ? ClearSeamlessBlocksSse2 : ClearCloudBlocksSse2, clearEight, out, cutShort);
    for (; i < end; ++i) out[i - i0] = ShadeCloudPixelCounted(row, t, i, cutShort);
}

bool ShadeCloudSpan(const CloudRow* row, const CloudTables* t, int32_t i0, int32_t n, CloudPixel* out)
{
    const int32_t end = i0 + n;
    const CloudPixel clear = row->belowHorizon ? CloudPixel{0.0f, 0.0f, 0.0f, 0.0f, 0.0f} : clearPixel(row);
    const CloudPixel clearEight[8] = {clear, clear, clear, clear, clear, clear, clear, clear};
    uint32_t modelled = 0, cutShort = 0;
    int32_t i = i0;
    // Clear sky up to each stretch some puff can reach, the model along it.
    for (int r = 0; r < row->reachCount && i < end; ++r) {
        int32_t from = row->reachBegin[r] > i ? row->reachBegin[r] : i;
        int32_t to = row->reachEnd[r] < end ? row->reachEnd[r] : end;
        if (from >= to) continue;
        fillPixels(out + (i - i0), from - i, clearEight);
        shadeModelled(row, t, from, to, clearEight, out + (from - i0), &cutShort);
        modelled += uint32_t(to - from);
        i = to;
    }
    fillPixels(out + (i - i0), end - i, clearEight);
    if (countingCloudWork()) addCloudWork(uint64_t(n > 0 ? n : 0), modelled, cutShort);
    // Pixels cut short are the clear pixel too: only the model run to its end can show.
    return modelled == cutShort && isClearSky(clear);
}
