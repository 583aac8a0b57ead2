// The final apply in bands: whatever the host's buffer budget, the number of
// threads, the look, the mode or the selection, the band path paints the
// bytes the row path paints, asks for bands only where the budget holds them,
// and stops at the first band's end when the user aborts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "host/Apply.h"
#include "host/HostModes.h"
#include "host/TestHost.h"
#include "render/Random.h"

using testhost::RenderThreads;
using testhost::TestHost;

namespace {

struct Shape {
    int width, height, colours;
    bool layer, selection;
    int16 mode;  // 0: RGB or grey at 8 bits; else the host's mode
    uint32_t look;
};

// The output of `shape` on `threads` threads, the host's budget
// holding `rows` rows of input, output and mask beyond the plug-in's own
// buffers (0: the test host's whole budget); the host's requests, and the
// rows a band should hold.
std::vector<uint8> paint(const Shape& shape, const char* threads, int rows, int* requests, int* band, int16* result)
{
    RenderThreads threadCount(threads);
    TestHost host(shape.width, shape.height, shape.colours + (shape.layer ? 1 : 0));
    if (shape.layer) host.setEditableTransparency(shape.selection);
    if (shape.mode == plugInModeRGB48 || shape.mode == plugInModeGray16)
        host.useSixteenBits();
    else if (shape.mode)
        testhost::useMode(host, shape.mode);
    if (shape.selection) {
        std::vector<uint8> mask(size_t(shape.width) * shape.height);
        for (size_t k = 0; k < mask.size(); ++k) mask[k] = uint8((k * 2654435761u) >> 13);
        host.setMask(mask);
    }
    EXPECT_EQ(host.call(filterSelectorPrepare), noErr);
    seedRandom(shape.look);
    RandomizeSettings(host.settings());
    host.settings()->backlighting = shape.look & 1;
    const bool floats = shape.mode == plugInModeRGB96 || shape.mode == plugInModeGray32;
    const int sample = floats ? 4 : (shape.mode >= plugInModeGray16 ? 2 : 1);
    const int32 mask = shape.selection ? shape.width : 0, row = shape.width * 2 * host.planes * sample + mask;
    if (rows) host.record->maxSpace = host.record->bufferSpace + rows * row + 4 * mask;
    *band = rows ? rows : std::min(shape.height, int(bandMostBytes / row));
    *result = host.run(false);
    *requests = host.counts.advance;
    EXPECT_EQ(host.counts.badCalls, 0);
    return host.output;
}

}  // namespace

TEST(Bands, EveryBudgetPaintsTheBytesOfTheRowPath)
{
    const Shape shapes[] = {
        {410, 230, 3, false, false, 0, 1},
        {333, 257, 3, true, true, 0, 2},
        {517, 199, 1, false, true, 0, 3},
        {301, 240, 1, true, false, 0, 4},
        {288, 300, 3, false, true, plugInModeRGB48, 5},
        {460, 150, 1, true, false, plugInModeGray16, 6},
        {350, 190, 3, false, true, plugInModeCMYKColor, 7},
        {270, 260, 3, true, false, plugInModeLabColor, 8},
        {300, 230, 3, false, false, plugInModeRGB96, 9},
        {290, 240, 3, true, true, plugInModeCMYK64, 10},
        // Without a selection: the test host blends float samples through it
        // (the first request, delivered twice, comes back a rounding away).
        {400, 170, 1, false, false, plugInModeGray32, 11},
    };
    std::mt19937 random(20261211);
    for (const Shape& entry : shapes) {
        Shape shape = entry;
        // Sizes either side of the table's, and a look of its own.
        shape.width += int(random() % 40);
        shape.height += int(random() % 40);
        shape.look = random() % 4096;
        int requests = 0, band = 0;
        int16 result = noErr;
        const std::vector<uint8> rowPath = paint(shape, "1", 0, &requests, &band, &result);
        ASSERT_EQ(result, noErr) << shape.mode;
        EXPECT_EQ(requests, shape.height) << "one thread asks row by row";
        // A budget of one row, of bands too short to share, of bands each
        // thread takes rows of, and the host's whole budget, on two threads or
        // three.
        const int budgets[] = {1, 5, 17 + int(random() % 40), 0};
        const char* threads = (&entry - shapes) % 2 ? "3" : "2";
        for (int rows : budgets) {
            const std::vector<uint8> out = paint(shape, threads, rows, &requests, &band, &result);
            ASSERT_EQ(result, noErr) << shape.mode << ", " << rows << " rows";
            EXPECT_TRUE(out == rowPath) << "mode " << shape.mode << ", " << shape.width << " x " << shape.height
                                        << ", look " << shape.look << ", " << threads << " threads, " << rows
                                        << " rows";
            EXPECT_EQ(requests, (shape.height + band - 1) / band) << "a request a band";
        }
    }
}

TEST(Bands, HowManyRowsTheHostIsAskedFor)
{
    const int32 row = 1000 * 6;  // 1000 columns of three planes in and out
    const struct {
        BandFacts facts;
        int32 rows;
    } cases[] = {
        {{1000, 3000, row, 0, 256 << 20, 5000, 2, true}, bandMostBytes / row},                // at most bandMostBytes
        {{1000, 300, row, 0, 5000 + 30 * row, 5000, 2, true}, 30},                            // the budget's rows
        {{3000, 30, row, 0, 256 << 20, 5000, 2, true}, 30},                                   // the whole height
        {{1000, 300, row + 1000, 1000, 5000 + 30 * (row + 1000) + 4000, 5000, 2, true}, 30},  // and the mask's
        {{1000, 300, row + 1000, 1000, 5000 + 30 * (row + 1000) + 3999, 5000, 2, true}, 29},
        {{1000, 300, row, 0, 5000 + 2 * row, 5000, 2, true}, 2},
        {{1000, 300, row, 0, 5000 + 2 * row - 1, 5000, 2, true}, 1},  // one row: the row path
        {{1000, 300, 2 << 20, 0, 256 << 20, 5000, 3, true}, 24},      // 8 rows a thread at the least
        {{1000, 300, row, 0, 256 << 20, 5000, 1, true}, 1},           // one thread
        {{1000, 300, row, 0, 256 << 20, 5000, 2, false}, 1},          // no advanceState
        {{400, 160, row, 0, 256 << 20, 5000, 2, true}, 1},            // too small to share
        {{1000, 300, row, 0, 1000, 5000, 2, true}, 1},                // a budget below the plug-in's own
    };
    for (const auto& c : cases) EXPECT_EQ(bandRowsFor(c.facts), c.rows) << c.facts.maxSpace << " " << c.facts.height;
}

TEST(Bands, AbortStopsAtTheFirstBandsEnd)
{
    RenderThreads threads("2");
    TestHost host(400, 200, 3);
    ASSERT_EQ(host.call(filterSelectorPrepare), noErr);
    const int32 band = 50;
    host.record->maxSpace = host.record->bufferSpace + band * 400 * 6;
    host.abortAnswer = [] { return true; };
    EXPECT_EQ(host.run(false), userCanceledErr);
    EXPECT_EQ(host.context()->progressDone, band);
    ASSERT_EQ(host.progress.size(), 1u) << "progress before each band";
    EXPECT_EQ(host.progress[0].done, 0);
    EXPECT_EQ(host.progress[0].total, 200);
    EXPECT_EQ(host.counts.badCalls, 0);
    EXPECT_EQ(host.liveBuffers(), 0);
    const size_t rowBytes = 400 * 3;
    EXPECT_TRUE(
        std::equal(host.output.begin() + band * rowBytes, host.output.end(), host.source.begin() + band * rowBytes))
        << "rows past the first band are never written";
}
