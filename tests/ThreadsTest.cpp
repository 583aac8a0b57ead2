// Helper threads change nothing but the speed: any number of them gives the
// same bytes, and a helper the system stops running holds no render up.
#include <gtest/gtest.h>

#include <vector>

#include "host/EngineHarness.h"
#include "render/RowWorkers.h"

using testhost::Picture;

namespace {

struct Case {
    const char* name;
    bool preview;
    int planes;
    bool transparency, mask;
};

// The final apply and the preview, grey, colour and layers, with a selection;
// wider than a helper's chunk of columns and taller than the ring of rows.
const Case cases[] = {
    {"apply, colour", false, 3, false, false},          {"apply, grey layer", false, 2, true, false},
    {"apply, colour layer", false, 4, true, false},     {"preview, colour, selection", true, 3, false, true},
    {"preview, grey, selection", true, 1, false, true}, {"preview, colour layer, selection", true, 4, true, true},
};

CloudSettings lookWithEverything()
{
    CloudSettings s = testhost::defaultSettings();
    s.puffs = 80;
    s.detail = 70;
    s.backlighting = 1;
    s.centreV = 0.2f;
    return s;
}

std::vector<uint8_t> selectionFor(const Picture& p)
{
    std::vector<uint8_t> mask(size_t(p.width) * p.height);
    for (size_t k = 0; k < mask.size(); ++k) mask[k] = uint8_t(k * 7 % 256);
    return mask;
}

Picture render(const Case& c, const CloudSettings& s, const Picture& source, int threads)
{
    return c.preview ? testhost::renderPreviewInProcess(s, source,
                                                        c.mask ? selectionFor(source) : std::vector<uint8_t>(), threads)
                     : testhost::renderInProcess(s, source, threads);
}

}  // namespace

TEST(Threads, AnyNumberOfThreadsGivesTheSameBytes)
{
    const CloudSettings s = lookWithEverything();
    for (const Case& c : cases) {
        Picture source = testhost::gradientPicture(1000, 33, c.planes, c.transparency);  // two chunks a row
        Picture alone = render(c, s, source, 1);
        for (int threads : {2, 3, 7})
            ASSERT_EQ(alone.pixels, render(c, s, source, threads).pixels) << c.name << ", " << threads << " threads";
    }
}

TEST(Threads, AStoppedHelperHoldsNoRenderUp)
{
    // Every pixel modelled: rows of clear sky are so quick that, on a busy
    // machine, the calling thread may finish the render before a helper runs.
    testhost::ClearSkyScope everyPixel(false);
    const CloudSettings s = lookWithEverything();
    for (const Case& c : {cases[2], cases[5]}) {
        Picture source = testhost::gradientPicture(1000, 105, c.planes, c.transparency);
        Picture alone = render(c, s, source, 1);
        for (HelperPause point : {pauseAfterClaim, pauseMidRow, pauseBeforePublish})
            for (int threads : {2, 3}) {
                // The helper stays stopped until the render's scope closes, so
                // the render's last row was done without it. Whether it reaches the row
                // depends on scheduling: a few tries make sure it does once.
                bool stopped = false;
                for (int attempt = 0; attempt < 20 && !stopped; ++attempt) {
                    pauseHelperForTest(1, point, 20);
                    ASSERT_EQ(alone.pixels, render(c, s, source, threads).pixels)
                        << c.name << ", pause " << point << ", " << threads << " threads";
                    stopped = pausedHelpersForTest() == 1;
                }
                EXPECT_TRUE(stopped) << c.name << ", pause " << point << ", " << threads << " threads";
            }
        pauseHelperForTest(-1, pauseAfterClaim, 0);
    }
}
