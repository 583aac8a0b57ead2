// Speed of the renderer, in nanoseconds per pixel: the cloud model alone on
// each path (scalar, SSE2, AVX2), whole rows through RenderCloudRow, and, in
// the same run, a 10-octave fBm of stb_perlin per sample as the anchor we
// compare ourselves with.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#define STB_PERLIN_IMPLEMENTATION
#include <stb/stb_perlin.h>

#include "host/EngineHarness.h"
#include "render/RenderPath.h"
#include "render/RowWorkers.h"

using testhost::Picture;

namespace {

const int width = 4000, height = 3000;

void defaults(CloudSettings&) {}
void heaviest(CloudSettings& s)
{
    s.detail = 100;
    s.puffs = 100;
    s.backlighting = 1;
}

// Seamless clouds, left to right and both ways.
void defaultsWrapX(CloudSettings& s) { s.wrap = wrapAcross; }
void defaultsWrapXY(CloudSettings& s) { s.wrap = wrapBoth; }
void heaviestWrapXY(CloudSettings& s)
{
    heaviest(s);
    s.wrap = wrapBoth;
}

void perPixel(benchmark::State& state, double pixelsPerIteration)
{
    state.counters["ns/pixel"] = benchmark::Counter(double(state.iterations()) * pixelsPerIteration,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Takes `path` (false, the benchmark skipped, when this processor cannot)
// and the settings of the look.
bool prepare(benchmark::State& state, RenderPath path, void (*adjust)(CloudSettings&), CloudSettings* settings)
{
    setRenderPath(path);
    if (currentRenderPath() != path) {
        state.SkipWithError("this processor does not run the path");
        return false;
    }
    *settings = testhost::defaultSettings();
    adjust(*settings);
    return true;
}

// The cloud pixels of rows spread over the field above the horizon.
void cloudModel(benchmark::State& state, RenderPath path, void (*adjust)(CloudSettings&))
{
    CloudSettings settings;
    if (!prepare(state, path, adjust, &settings)) return;
    std::vector<CloudTables> tables(1);
    PrepareCloudTables(&tables[0], settings.seed);
    CloudRow row;
    SetupCloudFactors(&row, &settings, &tables[0], width, height);
    std::vector<CloudPixel> out(width);
    int y = 0;
    for (auto _ : state) {
        do {
            SetupCloudRow(&row, &settings, &tables[0], y);
            y = (y + 97) % height;
        } while (row.belowHorizon);
        ShadeCloudSpan(&row, &tables[0], 0, width, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    perPixel(state, width);
    setRenderPath(bestRenderPath());
}

// Whole rows, composited, at rows spread over the whole field (sky, cloud
// edges and bodies, and the ground below the horizon).
void renderRows(benchmark::State& state, RenderPath path, void (*adjust)(CloudSettings&))
{
    CloudSettings settings;
    if (!prepare(state, path, adjust, &settings)) return;
    Picture rowPicture = testhost::gradientPicture(width, 1, 3, false);
    Picture frame = rowPicture;
    frame.height = height;
    testhost::RenderRig rig(settings, frame);
    std::vector<uint8_t> out(rowPicture.pixels.size());
    int y = 0;
    for (auto _ : state) {
        rig.renderRow(rowPicture.pixels.data(), out.data(), y);
        benchmark::DoNotOptimize(out.data());
        y = (y + 97) % height;
    }
    perPixel(state, width);
    setRenderPath(bestRenderPath());
}

// The anchor: stb_perlin's fBm, 10 octaves, one sample per pixel of a row.
void perlinFbm(benchmark::State& state)
{
    float y = 0.25f, sum = 0.0f;
    for (auto _ : state) {
        for (int x = 0; x < width; ++x) sum += stb_perlin_fbm_noise3(x * 0.01f, y, 0.5f, 2.0f, 0.5f, 10);
        y += 0.37f;
        benchmark::DoNotOptimize(sum);
    }
    perPixel(state, width);
}

// A whole preview pass of the largest pane (the fit of a 4000 x 3000 image
// is 400 x 300), tables included, as the dialog renders it after a change.
void previewPass(benchmark::State& state, RenderPath path, int threads)
{
    setRenderPath(path);
    CloudSettings settings = testhost::defaultSettings();
    Picture source = testhost::gradientPicture(400, 300, 3, false);
    for (auto _ : state) {
        Picture out = testhost::renderPreviewInProcess(settings, source, {}, threads);
        benchmark::DoNotOptimize(out.pixels.data());
    }
    setRenderPath(bestRenderPath());
}

// A whole 2000 x 1500 final render in an image mode, the look of the
// defaults, on `threads` threads: RGB, CMYK, Lab (8 bits, the built-in
// conversion) and RGB96 side by side.
void modeRender(benchmark::State& state, int mode, int threads)
{
    setRenderPath(bestRenderPath());
    const int planes = mode == 4 ? 4 : 3, bytes = mode == 16 ? 4 : 1;
    Picture source = testhost::gradientPicture(2000, 1500, planes, false);
    if (bytes == 4) {
        std::vector<uint8_t> wide(source.pixels.size() * 4);
        for (size_t k = 0; k < source.pixels.size(); ++k) {
            float v = source.pixels[k] / 255.0f;
            std::memcpy(&wide[4 * k], &v, 4);
        }
        source.pixels = wide;
    }
    source.bytesPerSample = bytes;
    source.imageMode = mode;
    CloudSettings settings = testhost::defaultSettings();
    for (auto _ : state) {
        Picture out = testhost::renderInProcess(settings, source, threads);
        benchmark::DoNotOptimize(out.pixels.data());
    }
    perPixel(state, 2000.0 * 1500.0);
}

}  // namespace

BENCHMARK_CAPTURE(modeRender, rgb_1_thread, 3, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(modeRender, cmyk_1_thread, 4, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(modeRender, lab_1_thread, 9, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(modeRender, rgb96_1_thread, 16, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(modeRender, rgb_2_threads, 3, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(modeRender, cmyk_2_threads, 4, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(modeRender, lab_2_threads, 9, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(modeRender, rgb96_2_threads, 16, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(previewPass, scalar_1_thread, renderScalar, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(previewPass, best_1_thread, bestRenderPath(), 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(previewPass, best_all_threads, bestRenderPath(), renderThreadCount())->Unit(benchmark::kMillisecond);
BENCHMARK(perlinFbm)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(cloudModel, scalar_defaults, renderScalar, defaults)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(cloudModel, sse2_defaults, renderSse2, defaults)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(cloudModel, avx2_defaults, renderAvx2, defaults)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(cloudModel, avx2_defaults_wrap_x, renderAvx2, defaultsWrapX)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(cloudModel, avx2_defaults_wrap_xy, renderAvx2, defaultsWrapXY)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(cloudModel, avx2_heaviest, renderAvx2, heaviest)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(cloudModel, avx2_heaviest_wrap_xy, renderAvx2, heaviestWrapXY)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(renderRows, scalar_defaults, renderScalar, defaults)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(renderRows, sse2_defaults, renderSse2, defaults)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(renderRows, avx2_defaults, renderAvx2, defaults)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(renderRows, scalar_heaviest, renderScalar, heaviest)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(renderRows, sse2_heaviest, renderSse2, heaviest)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(renderRows, avx2_heaviest, renderAvx2, heaviest)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
