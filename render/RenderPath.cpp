#include "render/RenderPath.h"

#include <cstdlib>

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

void ShadeCloudSpan(const CloudRow* row, const CloudTables* t, int32_t i0, int32_t n, CloudPixel* out)
{
    int32_t i = i0, end = i0 + n;
    if (row->belowHorizon) {
        for (; i < end; ++i) out[i - i0] = CloudPixel{0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
        return;
    }
    RenderPath path = chosenPath;
    // The packs form field columns in 32 bits; rows panned beyond that stay scalar.
    int64_t first = (int64_t(row->panColumn) + i0) * row->zoomRate;
    int64_t last = (int64_t(row->panColumn) + end) * row->zoomRate;
    bool small = first > -2147483647LL && first < 2147483647LL && last > -2147483647LL && last < 2147483647LL;
    if (path == renderAvx2 && small)
        for (; end - i >= 8; i += 8)
            if (!ShadeCloudPackAvx2(row, t, i, out + (i - i0)))
                for (int k = 0; k < 8; ++k) out[i - i0 + k] = ShadeCloudPixel(row, t, i + k);
    if (path != renderScalar && small)
        for (; end - i >= 4; i += 4)
            if (!ShadeCloudPackSse2(row, t, i, out + (i - i0)))
                for (int k = 0; k < 4; ++k) out[i - i0 + k] = ShadeCloudPixel(row, t, i + k);
    for (; i < end; ++i) out[i - i0] = ShadeCloudPixel(row, t, i);
}
