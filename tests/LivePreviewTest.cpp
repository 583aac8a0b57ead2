// The live preview: while a knob, the light pad's sun or the pan is held,
// the pane shows the clouds of the newest position; the release records one
// undo step and renders nothing more; Auto preview off and slow renders keep
// the old behaviour (nothing until the release).
#include <gtest/gtest.h>

#include <cstdlib>

#include "host/Editor.h"
#include "resources/ResourceIds.h"
#include "ui/DirectionPad.h"

using namespace testhost;

namespace {

// The output's pixels as the pane shows them, rows from the top.
std::vector<uint8> paneOutput(HWND d, const TestHost& host)
{
    PixelRect box = insetRect(windowRect(d, IDC_PREVIEW), 2);
    const Rect16& out = host.record->outRect;
    int w = out.right - out.left, h = out.bottom - out.top;
    int left = (box.left + box.right - w) / 2, top = (box.top + box.bottom - h) / 2;
    Screenshot shot = captureAsIs(d);
    std::vector<uint8> pixels;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t p = shot.pixel(left + x, top + y);
            pixels.insert(pixels.end(), {uint8(p >> 16), uint8(p >> 8), uint8(p)});
        }
    return pixels;
}

// The budget set for a test's length: renders count as quick (or, with 0,
// as slow) however busy the machine running the tests is.
struct RenderBudget {
    explicit RenderBudget(const char* ms) { SetEnvironmentVariableA("NIMBULO_LIVE_BUDGET_MS", ms); }
    ~RenderBudget() { SetEnvironmentVariableA("NIMBULO_LIVE_BUDGET_MS", nullptr); }
};

int largestDifference(const std::vector<uint8>& a, const std::vector<uint8>& b)
{
    int worst = a.size() == b.size() ? 0 : 255;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return worst;
}

}  // namespace

TEST(LivePreview, TheKnobAndThePadRenderWhileHeldAndTheReleaseAddsOneUndoStep)
{
    RenderBudget quick("100000");
    Editor host;
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        CloudSettings* s = host.settings();
        const CloudSettings before = *s;

        // Density: the pane follows the knob; the settings wait for the release.
        PixelRect track = windowRect(d, IDC_DENSITY_TRACK);
        press(d, trackX(track, 30), middleY(track));
        moveTo(d, trackX(track, 70), middleY(track));
        EXPECT_EQ(s->density, before.density);
        CloudSettings shown = *s;
        shown.density = 70;
        EXPECT_LE(largestDifference(paneOutput(d, host), renderPreviewInProcess(shown, host.picture(), {}).pixels), 2);
        std::string why;
        EXPECT_TRUE(matchesReference(captureAsIs(d), "live-drag", &why)) << why;
        int displays = host.counts.display;
        release(d, trackX(track, 70), middleY(track));
        EXPECT_EQ(s->density, 70);
        EXPECT_EQ(host.counts.display, displays);  // the pane shows it already: no second render
        sendCommand(d, IDC_UNDO);
        EXPECT_EQ(s->density, before.density);  // one step for the whole gesture
        sendCommand(d, IDC_UNDO);

        // The light pad: the sun's light, rendered while held.
        PixelRect r = windowRect(d, IDC_LIGHT_PAD);
        press(d, r.left + padCentreX, r.top + padCentreY);
        moveTo(d, r.left + padCentreX + 14, r.top + padCentreY - 21);
        shown = *s;
        padVectorAt(14, -21, &shown.lightX);
        EXPECT_LE(largestDifference(paneOutput(d, host), renderPreviewInProcess(shown, host.picture(), {}).pixels), 2);
        EXPECT_NE(s->lightX, shown.lightX);
        release(d, r.left + padCentreX + 14, r.top + padCentreY - 21);
        EXPECT_EQ(s->lightX, shown.lightX);
        sendCommand(d, IDC_UNDO);
        EXPECT_EQ(s->lightX, before.lightX);
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
}

TEST(LivePreview, APanShowsTheCloudsOfTheNewArea)
{
    RenderBudget quick("100000");
    Editor host(1200, 900);
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        CloudSettings* s = host.settings();
        sendCommand(d, IDC_ZOOM_READOUT);  // only part of the image shows
        PixelRect box = windowRect(d, IDC_PREVIEW);
        int x = middleX(box), y = middleY(box);
        press(d, x, y);
        moveTo(d, x - 70, y - 45);
        std::vector<uint8> held = paneOutput(d, host);
        int displays = host.counts.display;
        release(d, x - 70, y - 45);
        EXPECT_EQ(host.counts.display, displays);  // nothing more at the release
        ASSERT_GT(s->panX, 0);
        // What a full render of the same view shows.
        sendCommand(d, IDC_ZOOM_READOUT);
        pump();
        EXPECT_LE(largestDifference(held, paneOutput(d, host)), 1);
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
}

TEST(LivePreview, AutoPreviewOffAndSlowRendersWaitForTheRelease)
{
    for (bool slow : {false, true}) {
        RenderBudget budget(slow ? "0" : "100000");
        Editor host;
        host.dialogs.expect("Nimbulo", [&](HWND d) {
            if (!slow) {
                PixelRect box = windowRect(d, IDC_AUTO_PREVIEW);
                click(d, middleX(box), middleY(box));
                ASSERT_EQ(host.settings()->autoPreview, 0);
            }
            PixelRect track = windowRect(d, IDC_DENSITY_TRACK);
            int displays = host.counts.display;
            press(d, trackX(track, 30), middleY(track));
            moveTo(d, trackX(track, 50), middleY(track));
            moveTo(d, trackX(track, 90), middleY(track));
            EXPECT_EQ(host.counts.display, displays) << slow;
            release(d, trackX(track, 90), middleY(track));
            EXPECT_EQ(host.counts.display > displays, slow) << "a render at the release only with Auto preview on";
            sendCommand(d, IDC_OK);
        });
        EXPECT_EQ(host.run(true), noErr);
    }
}
