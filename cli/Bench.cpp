#include "cli/Bench.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Options.h"
#include "cli/PluginHost.h"
#include "cli/PresetFiles.h"
#include "cli/System.h"
#include "platform/Platform.h"
#include "render/CloudReach.h"
#include "render/RowWorkers.h"
#include "settings/CloudSettings.h"

#define STB_PERLIN_IMPLEMENTATION
#include <stb/stb_perlin.h>

struct Timing {
    double wall, cpu;   // seconds
    double hostThread;  // the processor time of the thread that called the filter
};

// One timed run of the filter over `pixels`, a flat sky of width x height,
// of 8 or 16 bits per channel. The processor time is this process's, less
// what busy loops used meanwhile.
static int timedRun(PluginEntryProc entry, std::vector<uint8>& pixels, int width, int height, int depth,
                    std::function<void(CloudSettings*)> settle, const BusyLoops* loops, Timing* timing)
{
    const int sampleBytes = depth == 16 ? 2 : 1;
    const uint8 sky[3] = {0x86, 0x99, 0xB6};
    const size_t samples = size_t(width) * height * 3;
    for (size_t k = 0; k < samples; ++k) {
        unsigned v = depth == 16 ? (sky[k % 3] * 32768u + 127u) / 255u : sky[k % 3];
        pixels[k * sampleBytes] = uint8(v);
        if (depth == 16) pixels[2 * k + 1] = uint8(v >> 8);
    }
    RunRequest request{HostImage{width, height, 3, pixels.data(), sampleBytes},
                       nullptr,
                       {0, 0, height, width},
                       false,
                       settle,
                       nullptr,
                       nullptr};
    auto othersCpu = [&] { return loops ? busyLoopsCpuSeconds(loops) : 0.0; };
    double cpuStart = processCpuSeconds() - othersCpu();
    double threadStart = threadCpuSeconds();
    double start = nowSeconds();
    OSErr result = runFilter(entry, request);
    timing->wall = nowSeconds() - start;
    timing->cpu = processCpuSeconds() - othersCpu() - cpuStart;
    timing->hostThread = threadCpuSeconds() - threadStart;
    if (result != noErr) return fail(exitRenderFailed, "the filter stopped with error " + std::to_string(result));
    return exitOk;
}

static double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The anchor we compare ourselves with: a 10-octave fBm of stb_perlin, in
// nanoseconds per sample, over as many samples as a 1000 x 1000 image.
static double perlinNanoseconds()
{
    float sum = 0.0f;
    const int rows = 1000, columns = 1000;
    double start = nowSeconds();
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) sum += stb_perlin_fbm_noise3(x * 0.01f, y * 0.37f, 0.5f, 2.0f, 0.5f, 10);
    double seconds = nowSeconds() - start;
    volatile float keep = sum;
    (void)keep;
    return seconds * 1e9 / (double(rows) * columns);
}

namespace {

struct Look {
    std::string name;
    std::function<void(CloudSettings*)> settle;
    int depth;      // bits per channel of the image
    int wrap = -1;  // a WrapMode the look is timed with; -1: its own
};

const Look builtInLooks[] = {
    {"defaults", [](CloudSettings*) {}, 8},
    {"defaults, 16 bits per channel", [](CloudSettings*) {}, 16},
    {"heaviest (Detail 100, Puffs 100, Backlighting)",
     [](CloudSettings* s) {
         s->detail = 100;
         s->puffs = 100;
         s->backlighting = 1;
     },
     8},
};

const int runsEach = 5;

}  // namespace

// Clear sky skipped (the filter as it ships) or every pixel modelled, for
// the comparison; the engine reads this for every pass.
static void setClearSky(bool skipped) { setEnvironmentValue("NIMBULO_CLEAR_SKY", skipped ? "1" : "0"); }

// Each look with one thread and with `all`, clear sky skipped and every pixel
// modelled, all taking turns so that the machine's changing load falls on
// them alike; medians of five. Prints the lines and, for the defaults on one
// thread, the wall time. Where the engine runs in this process, each look's
// line also says how many pixels ran the cloud model.
static int timeLooks(PluginEntryProc entry, std::vector<uint8>& image, int width, int height, int all,
                     const BusyLoops* loops, const std::vector<Look>& looks, double* defaultsSingle)
{
    const double pixels = double(width) * height;
    for (const Look& look : looks) {
        std::vector<int> counts = all > 1 ? std::vector<int>{1, all} : std::vector<int>{1};
        // [count][0: skipped, 1: every pixel modelled]
        std::vector<std::vector<double>> walls[2], cpus[2], hostThreads(counts.size());
        for (int mode = 0; mode < 2; ++mode) walls[mode].resize(counts.size()), cpus[mode].resize(counts.size());
        CloudWork work{};
        for (int run = 0; run < runsEach; ++run)
            for (size_t c = 0; c < counts.size(); ++c)
                for (int mode = 0; mode < 2; ++mode) {
                    setRenderThreads(counts[c]);
                    setClearSky(mode == 0);
                    bool counted = run == 0 && c == 0 && mode == 0;
                    if (counted) countCloudWork(true);
                    Timing once{};
                    auto settle = [&look](CloudSettings* s) {
                        look.settle(s);
                        if (look.wrap >= 0) s->wrap = look.wrap;
                    };
                    int outcome = timedRun(entry, image, width, height, look.depth, settle, loops, &once);
                    if (counted) work = cloudWorkCounted(), countCloudWork(false);
                    if (outcome != exitOk) return outcome;
                    walls[mode][c].push_back(once.wall);
                    cpus[mode][c].push_back(once.cpu);
                    if (mode == 0) hostThreads[c].push_back(once.hostThread);
                }
        setClearSky(true);
        const double singleWall = median(walls[0][0]), singleCpu = median(cpus[0][0]);
        if (&look == &looks[0]) *defaultsSingle = singleWall;
        std::printf("  %s", look.name.c_str());
        if (work.pixels)
            std::printf(": the model ran for %.1f %% of the pixels, %.1f %% to the last octave",
                        100.0 * work.modelled / work.pixels, 100.0 * (work.modelled - work.cutShort) / work.pixels);
        std::printf("\n");
        for (size_t c = 0; c < counts.size(); ++c) {
            const double wall = median(walls[0][c]), cpu = median(cpus[0][c]), every = median(walls[1][c]);
            std::printf(
                "    %2d thread%s  %6.2f s  %6.2f s CPU  %6.1f ns/pixel;  every pixel modelled %6.2f s: %.2f of it",
                counts[c], counts[c] == 1 ? " " : "s", wall, cpu, wall * 1e9 / pixels, every, wall / every);
            if (c > 0)
                std::printf(
                    "  (%.2f times as fast as one thread; CPU %.2f of one thread's; the host's thread %.2f s "
                    "CPU)",
                    singleWall / wall, cpu / singleCpu, median(hostThreads[c]));
            std::printf("\n");
        }
    }
    return exitOk;
}

// Each look at wrap off and then seamless, for every wrap mode up to `wrap`.
static std::vector<Look> withWraps(const std::vector<Look>& looks, int wrap)
{
    std::vector<Look> timed;
    for (const Look& look : looks)
        for (int mode = wrapOff; mode <= wrap; ++mode) {
            timed.push_back(look);
            timed.back().name += std::string(", wrap ") + kWrapNames[mode];
            timed.back().wrap = mode;
        }
    return timed;
}

int runBench(const std::string& pluginPath, const std::string& presetPath, int width, int height, int threads, int wrap)
{
    // The looks of presets files (and "defaults", the built-in defaults) in
    // the order given, or the built-in three.
    std::vector<Look> looks(std::begin(builtInLooks), std::end(builtInLooks));
    if (!presetPath.empty()) {
        looks.clear();
        for (const std::string& path : splitOn(presetPath, ',')) {
            if (path == "defaults") {
                looks.push_back(builtInLooks[0]);
                continue;
            }
            auto fromFile = std::make_shared<CloudSettings>();
            std::memset(fromFile.get(), 0, sizeof(CloudSettings));
            applyDefaults(fromFile.get());
            std::vector<uint8> thumbnail;
            bool hasPicture = false;
            int read = readPresetInto(path, fromFile.get(), &thumbnail, &hasPicture);
            if (read != exitOk) return read;
            looks.push_back(Look{path.substr(path.find_last_of("/\\") + 1),
                                 [fromFile](CloudSettings* s) { copyLook(s, fromFile.get()); }, 8});
        }
    }
    if (wrap >= 0) looks = withWraps(looks, wrap);
    std::string error;
    PluginEntryProc entry = loadPlugin(pluginPath, &error);
    if (!entry) return fail(exitNoPlugin, error);
    std::string tempFolder = makePrivateTempFolder();
    const double pixels = double(width) * height;
    const int processors = platformProcessorCount();
    const int all = threads ? threads : renderThreadCount();
    std::printf(
        "rendering %d x %d (%.1f megapixels) through the entry point: medians of %d runs, wall and "
        "processor time\n",
        width, height, pixels / 1e6, runsEach);
    const std::string emulated = emulatedProcessorName();
    if (!emulated.empty())
        std::printf(" emulated: this program runs on \"%s\", an emulator; its times are not this machine's\n",
                    emulated.c_str());

    size_t before = peakMemoryBytes();
    std::vector<uint8> image(size_t(width) * height * 3 * 2);  // room for 16 bits per channel
    size_t withImage = peakMemoryBytes();
    double defaultsSingle = 0.0;
    std::printf(" a quiet machine:\n");
    int outcome = timeLooks(entry, image, width, height, all, nullptr, looks, &defaultsSingle);
    if (outcome != exitOk) return outcome;
    size_t after = peakMemoryBytes();

    // A user's machine is never quiet: the same renders with every processor
    // but one kept busy by another loop, bounded in time should we be stopped.
    if (processors > 1) {
        std::printf(" with %d busy loop%s competing for the %d processors:\n", processors - 1,
                    processors - 1 == 1 ? "" : "s", processors);
        BusyLoops* loops = startBusyLoops(processors - 1, 600.0);
        double ignored = 0.0;
        outcome = loops ? timeLooks(entry, image, width, height, all, loops, looks, &ignored) : exitOk;
        stopBusyLoops(loops);
        if (!loops) std::printf("  (no busy loop could be started)\n");
        if (outcome != exitOk) return outcome;
    }

    double anchor = perlinNanoseconds();
    std::printf("  anchor: stb_perlin 10-octave fBm %.1f ns/sample; %s on one thread takes %.2f of it\n", anchor,
                looks[0].name.c_str(), defaultsSingle * 1e9 / pixels / anchor);
    removePrivateTempFolder(tempFolder);
    // What the filter (and this host's row buffers) add beyond the image.
    std::printf(
        "peak memory: %.1f MiB before the image, %.1f MiB with the image (%.1f MiB), %.1f MiB after the "
        "renders: %.0f KiB more\n",
        double(before) / (1 << 20), double(withImage) / (1 << 20), double(image.size()) / (1 << 20),
        double(after) / (1 << 20), (double(after) - double(withImage)) / 1024.0);
    return exitOk;
}
