// The whole final apply through the entry point and the test host, as an
// editor drives it (Prepare, Start, the rows or bands the plug-in asks for,
// Finish), over 2000 x 1500 RGB: one thread against two, for the default
// look, the little puffs and an overcast look, side by side in one run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/TestHost.h"
#include "settings/CloudSettings.h"
#include "settings/PresetFile.h"

namespace {

// The look of presets file `name` in the source tree's presets folder; the
// defaults for none, or when the file cannot be read.
CloudSettings lookOf(const char* name)
{
    CloudSettings s{};
    applyDefaults(&s);
    if (!name) return s;
    const std::string path = std::string(NIMBULO_SOURCE_DIR) + "/presets/" + name;
    std::vector<uint8_t> bytes(presetBytesWithThumbnail), thumbnail(thumbnailBytes);
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return s;
    const size_t size = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    bool picture = false;
    if (size >= 4) decodePreset(bytes.data(), size, &s, thumbnail.data(), &picture);
    return s;
}

void wholeApply(benchmark::State& state, const char* preset, const char* threads)
{
    setenv("NIMBULO_THREADS", threads, 1);
    const CloudSettings look = lookOf(preset);
    for (auto _ : state) {
        state.PauseTiming();
        testhost::TestHost host(2000, 1500, 3);
        host.call(filterSelectorPrepare);
        copyLook(host.settings(), &look);
        state.ResumeTiming();
        if (host.run(false) != noErr) state.SkipWithError("the apply failed");
    }
    unsetenv("NIMBULO_THREADS");
}

}  // namespace

BENCHMARK_CAPTURE(wholeApply, defaults_1_thread, nullptr, "1")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(wholeApply, defaults_2_threads, nullptr, "2")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(wholeApply, little_puffs_1_thread, "little-puffs.k00", "1")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(wholeApply, little_puffs_2_threads, "little-puffs.k00", "2")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(wholeApply, grey_overcast_1_thread, "grey-overcast.k00", "1")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(wholeApply, grey_overcast_2_threads, "grey-overcast.k00", "2")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
