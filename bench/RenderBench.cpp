// RenderCloudRow over a 4000-pixel row, in nanoseconds per pixel.
#include <benchmark/benchmark.h>

#include "host/EngineHarness.h"

using testhost::Picture;

static void renderRows(benchmark::State& state, void (*adjust)(CloudSettings&))
{
    const int width = 4000, height = 3000;
    CloudSettings settings = testhost::defaultSettings();
    adjust(settings);
    // One row buffer, rendered at rows spread over the whole field so that
    // sky, cloud edges and cloud bodies all count.
    Picture row = testhost::gradientPicture(width, 1, 3, false);
    Picture frame = row;
    frame.height = height;
    testhost::RenderRig rig(settings, frame);
    std::vector<uint8_t> out(row.pixels.size());
    int y = 0;
    for (auto _ : state) {
        rig.renderRow(row.pixels.data(), out.data(), y);
        benchmark::DoNotOptimize(out.data());
        y = (y + 97) % height;
    }
    state.counters["ns/pixel"] = benchmark::Counter(double(state.iterations()) * width,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK_CAPTURE(renderRows, defaults, [](CloudSettings&) {})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(renderRows, heaviest, [](CloudSettings& s) {
    s.detail = 100;
    s.puffs = 100;
    s.backlighting = 1;
})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
