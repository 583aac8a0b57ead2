#include "cli/Bench.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/PluginHost.h"
#include "cli/System.h"
#include "render/RowWorkers.h"

#define STB_PERLIN_IMPLEMENTATION
#include <stb/stb_perlin.h>

// One timed run of the filter over `pixels`, a flat sky of width x height.
static int timedRun(PluginEntryProc entry, std::vector<uint8>& pixels, int width, int height,
                    std::function<void(CloudSettings*)> settle, double* seconds)
{
    for (size_t k = 0; k < pixels.size(); k += 3) {
        pixels[k] = 0x86;
        pixels[k + 1] = 0x99;
        pixels[k + 2] = 0xB6;
    }
    RunRequest request{HostImage{width, height, 3, pixels.data()}, nullptr, {0, 0, int16(height), int16(width)}, false,
                       settle, nullptr, nullptr};
    double start = nowSeconds();
    OSErr result = runFilter(entry, request);
    *seconds = nowSeconds() - start;
    if (result != noErr) return fail(exitRenderFailed, "the filter stopped with error " + std::to_string(result));
    return exitOk;
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

int runBench(const std::string& pluginPath, int width, int height, int threads)
{
    std::string error;
    PluginEntryProc entry = loadPlugin(pluginPath, &error);
    if (!entry) return fail(exitNoPlugin, error);
    std::string tempFolder = makePrivateTempFolder();
    const double pixels = double(width) * height;
    const int all = threads ? threads : renderThreadCount();
    std::printf("rendering %d x %d (%.1f megapixels) through the entry point, best of 5 runs\n", width, height,
                pixels / 1e6);

    const struct {
        const char* name;
        void (*settle)(CloudSettings*);
    } looks[] = {
        {"defaults", [](CloudSettings*) {}},
        {"heaviest (Detail 100, Puffs 100, Backlighting)",
         [](CloudSettings* s) {
             s->detail = 100;
             s->puffs = 100;
             s->backlighting = 1;
         }},
    };
    size_t before = peakMemoryBytes();
    std::vector<uint8> image(size_t(width) * height * 3);
    size_t withImage = peakMemoryBytes();
    double defaultsSingle = 0.0;
    for (const auto& look : looks) {
        double single = 0.0;
        for (int count : {1, all}) {
            if (count == 1 && single > 0.0) break;  // one processor: one run
            setRenderThreads(count);
            // The best of five runs: the machine's other work only ever slows one down.
            double seconds = 1e30;
            for (int run = 0; run < 5; ++run) {
                double once = 0.0;
                int outcome = timedRun(entry, image, width, height, look.settle, &once);
                if (outcome != exitOk) return outcome;
                if (once < seconds) seconds = once;
            }
            if (count == 1) single = seconds;
            if (count == 1 && &look == &looks[0]) defaultsSingle = seconds;
            std::printf("  %-48s %2d thread%s  %6.2f s  %6.1f ns/pixel  %6.2f megapixels/s", look.name, count,
                        count == 1 ? " " : "s", seconds, seconds * 1e9 / pixels, pixels / 1e6 / seconds);
            if (count != 1) std::printf("  (%.2f times one thread)", single / seconds);
            std::printf("\n");
        }
    }
    size_t after = peakMemoryBytes();
    double anchor = perlinNanoseconds();
    std::printf("  anchor: stb_perlin 10-octave fBm %.1f ns/sample; the defaults on one thread take %.2f of it\n",
                anchor, defaultsSingle * 1e9 / pixels / anchor);
    removePrivateTempFolder(tempFolder);
    // What the filter (and this host's row buffers) add beyond the image.
    std::printf("peak memory: %.1f MiB before the image, %.1f MiB with the image (%.1f MiB), %.1f MiB after the "
                "renders: %.0f KiB more\n",
                double(before) / (1 << 20), double(withImage) / (1 << 20), pixels * 3 / (1 << 20),
                double(after) / (1 << 20), (double(after) - double(withImage)) / 1024.0);
    return exitOk;
}

