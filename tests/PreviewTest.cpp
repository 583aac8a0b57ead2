// The live preview in the real dialog: what the pane shows, centre clicks,
// panning, and the zoom buttons.
#include <gtest/gtest.h>

#include <cstdlib>

#include "host/Editor.h"
#include "resources/ResourceIds.h"
#include "settings/PresetFile.h"

using namespace testhost;

namespace {

// Where the pane shows the output's top-left pixel: the output centred in the
// pane less its 2-pixel frame.
POINT outputOrigin(HWND d, const TestHost& host)
{
    PixelRect box = insetRect(windowRect(d, IDC_PREVIEW), 2);
    const Rect16& out = host.record->outRect;
    return POINT{(box.left + box.right - (out.right - out.left)) / 2,
                 (box.top + box.bottom - (out.bottom - out.top)) / 2};
}

// The largest channel difference between the pane and `expected` (rows of
// `w` x `h` RGB pixels), over the whole output.
int paneDifference(HWND d, const TestHost& host, const std::vector<uint8>& expected, int w, int h)
{
    Screenshot shot = captureAsIs(d);
    POINT o = outputOrigin(d, host);
    int worst = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t p = shot.pixel(o.x + x, o.y + y);
            const uint8* e = &expected[(size_t(y) * w + x) * 3];
            int shown[3] = {int(p >> 16), int((p >> 8) & 255), int(p & 255)};
            for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(shown[c] - e[c]));
        }
    return worst;
}

}  // namespace

TEST(Preview, ShowsTheFiltersOwnCloudsOverTheImage)
{
    Editor host;
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        capture(d);
        Picture expected = renderPreviewInProcess(*host.settings(), host.picture(), {});
        EXPECT_LE(paneDifference(d, host, expected.pixels, 300, 200), 2);
        EXPECT_GT(paneDifference(d, host, host.source, 300, 200), 40);  // there are clouds
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
}

TEST(Preview, SixteenBitImagesShowTheSamePicture)
{
    // The pane of a 16-bit image shows the 8-bit preview within a level, and
    // the host's display only ever gets 8-bit maps; so does the pan's source view.
    std::vector<uint8> shown[2];
    for (int deep = 0; deep < 2; ++deep) {
        Editor host;
        if (deep) host.useSixteenBits();
        host.dialogs.expect("Nimbulo", [&](HWND d) {
            capture(d);
            Screenshot shot = captureAsIs(d);
            POINT o = outputOrigin(d, host);
            for (int y = 0; y < 200; ++y)
                for (int x = 0; x < 300; ++x) {
                    uint32_t p = shot.pixel(o.x + x, o.y + y);
                    shown[deep].insert(shown[deep].end(), {uint8(p >> 16), uint8(p >> 8), uint8(p)});
                }
            PixelRect box = windowRect(d, IDC_PREVIEW);
            press(d, middleX(box), middleY(box));
            moveTo(d, middleX(box) - 30, middleY(box) - 20);  // the source view while dragging
            release(d, middleX(box) - 30, middleY(box) - 20);
            sendCommand(d, IDC_OK);
        });
        ASSERT_EQ(host.run(true), noErr) << deep;
        EXPECT_EQ(host.counts.badCalls, 0) << deep;
    }
    ASSERT_EQ(shown[0].size(), shown[1].size());
    int worst = 0;
    for (size_t i = 0; i < shown[0].size(); ++i) worst = std::max(worst, std::abs(int(shown[0][i]) - int(shown[1][i])));
    EXPECT_LE(worst, 1);
}

TEST(Preview, ClickPlacesTheCentreAndOkRendersWithIt)
{
    Editor host;
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        CloudSettings* s = host.settings();
        PixelRect track = windowRect(d, IDC_DENSITY_TRACK);
        click(d, trackX(track, 30), middleY(track));
        POINT o = outputOrigin(d, host);
        int displays = host.counts.display;
        click(d, o.x + 60, o.y + 150);
        EXPECT_EQ(s->centreX, 60);
        EXPECT_EQ(s->centreY, 150);
        EXPECT_FLOAT_EQ(s->centreU, 0.2f);
        EXPECT_FLOAT_EQ(s->centreV, 0.75f);
        EXPECT_GT(host.counts.display, displays + 50);  // re-rendered
        expectScreenshot(d, "preview-centre-moved");
        // The click was a step of its own: Undo goes back to the state right
        // before it, which already had the new density.
        sendCommand(d, IDC_UNDO);
        EXPECT_EQ(s->density, 30);
        sendCommand(d, IDC_OK);
    });
    ASSERT_EQ(host.run(true), noErr);
    CloudSettings expected = defaultSettings();
    expected.density = 30;
    expected.centreU = 0.2f;
    expected.centreV = 0.75f;
    bringToFilePrecision(&expected);
    EXPECT_TRUE(host.output == renderInProcess(expected, host.picture()).pixels);
}

TEST(Preview, DragPansOverTheSourceAndTheReleaseRenders)
{
    // As on a machine whose renders are slow: the source while the button is held.
    SetEnvironmentVariableA("NIMBULO_LIVE_BUDGET_MS", "0");
    Editor host(1200, 900);
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        CloudSettings* s = host.settings();
        EXPECT_EQ(s->zoomRate, 3);  // the fit: 1200 / 435 and 900 / 323, rounded up
        sendCommand(d, IDC_ZOOM_READOUT);
        ASSERT_EQ(s->zoomRate, 1);
        PixelRect r = windowRect(d, IDC_PREVIEW);
        int x = middleX(r), y = middleY(r);
        press(d, x, y);
        moveTo(d, x - 50, y - 40);
        int panX = s->panX, panY = s->panY;
        moveTo(d, x - 50, y - 40);  // no movement: nothing more
        EXPECT_EQ(s->panX, panX);
        EXPECT_EQ(s->panY, panY);
        // While the button is held the pane shows the source, not the clouds.
        int w = host.record->outRect.right - host.record->outRect.left;
        int h = host.record->outRect.bottom - host.record->outRect.top;
        std::vector<uint8> visible(size_t(w) * h * 3);
        for (int row = 0; row < h; ++row)
            for (int col = 0; col < w; ++col)
                for (int c = 0; c < 3; ++c)
                    visible[(size_t(row) * w + col) * 3 + c] =
                        host.source[(size_t(row + s->panY) * 1200 + col + s->panX) * 3 + c];
        EXPECT_LE(paneDifference(d, host, visible, w, h), 1);
        int displays = host.counts.display;
        release(d, x - 50, y - 40);
        EXPECT_GT(host.counts.display, displays + 100);  // rendered at the release
        EXPECT_GT(paneDifference(d, host, visible, w, h), 40);
        EXPECT_EQ(s->centreX, 600);  // a pan is no click
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
    SetEnvironmentVariableA("NIMBULO_LIVE_BUDGET_MS", nullptr);
}

TEST(Preview, TheRightButtonHeldShowsSeamlessCloudsRolledByHalf)
{
    Editor host;
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        const PixelRect strip = windowRect(d, IDC_SEAMLESS), pane = windowRect(d, IDC_PREVIEW);
        const int w = 300, h = 200;
        // Each strip segment, then the right button held on the pane: the
        // picture rolled by half across, both ways, or (wrap off) not at all.
        const struct {
            int segment, dx, dy;
        } modes[] = {{wrapBoth, w / 2, h / 2}, {wrapAcross, w / 2, 0}, {wrapOff, 0, 0}};
        for (const auto& m : modes) {
            const PixelRect seg = choiceSegment(strip, m.segment);
            click(d, middleX(seg), middleY(seg));
            ASSERT_EQ(host.settings()->wrap, m.segment);
            Picture shown = renderPreviewInProcess(*host.settings(), host.picture(), {});
            std::vector<uint8> rolled(shown.pixels.size());
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    for (int c = 0; c < 3; ++c)
                        rolled[(size_t(y) * w + x) * 3 + c] =
                            shown.pixels[(size_t((y + m.dy) % h) * w + (x + m.dx) % w) * 3 + c];
            SendMessageA(d, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(middleX(pane), middleY(pane)));
            EXPECT_LE(paneDifference(d, host, rolled, w, h), 2) << m.segment;
            SendMessageA(d, WM_RBUTTONUP, 0, MAKELPARAM(middleX(pane), middleY(pane)));
            EXPECT_LE(paneDifference(d, host, shown.pixels, w, h), 2) << m.segment;
        }
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
}

TEST(Preview, ZoomButtonsStepRenderAndStopAtTheirLimits)
{
    Editor host(1200, 900);
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        CloudSettings* s = host.settings();
        expectScreenshot(d, "preview-fit");
        PixelRect box = windowRect(d, IDC_AUTO_PREVIEW);
        click(d, middleX(box), middleY(box));  // Auto preview off: zooming still renders
        ASSERT_EQ(s->autoPreview, 0);
        const struct {
            int button, zoom;
            bool renders;
        } steps[] = {
            {IDC_ZOOM_OUT, 3, false},                                                       // at the fit already
            {IDC_ZOOM_IN, 2, true},      {IDC_ZOOM_IN, 1, true},  {IDC_ZOOM_IN, 1, false},  // at actual pixels already
            {IDC_ZOOM_READOUT, 1, true}, {IDC_ZOOM_OUT, 2, true}, {IDC_ZOOM_OUT, 3, true}, {IDC_ZOOM_OUT, 3, false},
        };
        for (const auto& step : steps) {
            int displays = host.counts.display;
            sendCommand(d, step.button);
            EXPECT_EQ(s->zoomRate, step.zoom) << step.button;
            EXPECT_EQ(host.counts.display > displays, step.renders) << step.button << " to " << step.zoom;
            pump();
        }
        EXPECT_EQ(s->panX, 0);  // back at the fit, the view starts at the corner
        sendCommand(d, IDC_OK);
    });
    EXPECT_EQ(host.run(true), noErr);
}
