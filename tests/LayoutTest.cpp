// The dialog's arithmetic without a window: the layout table, slider, pad
// and text placement, window centring, the preview's zoom steps and point
// mapping, and the names and files of the Load and Save buttons.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "host/EngineHarness.h"
#include "host/Preview.h"
#include "host/Rects.h"
#include "host/TestHost.h"
#include "settings/ControlBinding.h"
#include "settings/Persistence.h"
#include "settings/PresetFile.h"
#include "settings/PresetNames.h"
#include "ui/ControlTable.h"
#include "ui/DirectionPad.h"
#include "ui/Layout.h"
#include "ui/PreviewPane.h"
#include "ui/SliderGeometry.h"
#include "ui/TextLayout.h"

TEST(Layout, TableAndOuterRectangles)
{
    PixelRect client = layoutRect(0);
    EXPECT_EQ(widthOf(client), 791);
    EXPECT_EQ(heightOf(client), 559);
    PixelRect track = outerRectOf(IDC_PUFFS_TRACK);  // a sunken placeholder: 2 wider and taller
    EXPECT_EQ(track.left, 126);
    EXPECT_EQ(track.top, 22);
    EXPECT_EQ(track.right, 266);
    EXPECT_EQ(track.bottom, 42);
    PixelRect dice = outerRectOf(IDC_DICE);  // an owner-drawn button: the table rectangle
    EXPECT_EQ(widthOf(dice), 63);
    EXPECT_EQ(heightOf(dice), 25);
    for (int id : {-1, 116, 200}) EXPECT_EQ(widthOf(layoutRect(id)), 0) << id;
    EXPECT_FALSE(layoutVisible(IDC_SPARE_COLOUR));  // the unused third colour button is parked below
    EXPECT_FALSE(layoutVisible(IDC_HIDDEN_LABEL));

    // Nothing the user sees lies on the preview pane.
    PixelRect pane = outerRectOf(IDC_PREVIEW);
    for (int id = 1; id < layoutCount; ++id) {
        if (id == IDC_PREVIEW || !layoutVisible(id)) continue;
        EXPECT_FALSE(rectsOverlap(outerRectOf(id), pane)) << id;
    }
}

TEST(Layout, AbsentControlsAndPairs)
{
    for (int id : {-1, 200}) {
        ControlInfo info = lookupControl(id);
        EXPECT_EQ(info.kind, kindNone) << id;
        EXPECT_EQ(info.valueId, -1) << id;
        EXPECT_EQ(info.trackId, -1) << id;
        EXPECT_EQ(info.bitmap[0], -1) << id;
        EXPECT_EQ(info.nameIndex, 0) << id;
        EXPECT_EQ(info.high, 100) << id;
    }
    ControlInfo value = lookupControl(IDC_PUFFS_VALUE);
    EXPECT_EQ(controlKind(IDC_PUFFS_VALUE), SliderValue);
    EXPECT_EQ(value.trackId, IDC_PUFFS_TRACK);
    EXPECT_EQ(value.valueId, IDC_PUFFS_VALUE);

    fillControlArrays();
    EXPECT_EQ(controlHigh[IDC_PUFFS_TRACK], 100);
    EXPECT_EQ(controlHigh[IDC_PUFFS_VALUE], 0);  // ranges only for tracks
    EXPECT_EQ(controlBitmap[IDC_AUTO_PREVIEW][2], IDB_TOGGLE_ON);
    EXPECT_EQ(controlBitmap[IDC_LIGHT_PAD][1], IDI_MARKER);
}

TEST(Slider, KnobAndDragValues)
{
    const PixelRect track = {126, 22, 266, 42};  // 140 pixels wide
    EXPECT_EQ(knobLeft(track, 0, 0, 100), 127);
    EXPECT_EQ(knobLeft(track, 100, 0, 100), 126 + 126);
    const struct {
        int held, value;
    } drags[] = {
        {126 + 1, 0},         {0, 0},     {-500, 0},    // at and beyond the left end
        {126 + 1 + 126, 100}, {266, 100}, {2000, 100},  // at and beyond the right end
        {126 + 1 + 63, 50},
    };
    for (const auto& d : drags) EXPECT_EQ(sliderValueAt(track, d.held, 0, 100), d.value) << d.held;
    // The pointer 4 pixels right of the knob's left edge holds it.
    EXPECT_EQ(sliderValueAt(track, 126 + 1 + 4 - knobHold, 0, 100), 0);
    EXPECT_EQ(sliderValueAt(track, 126 + 1 + 4 + 126 - knobHold, 0, 100), 100);
    EXPECT_EQ(sliderValueAt(track, 200, 5, 5), 5);  // an empty range is not a division by zero
}

TEST(DirectionPad, MarkerAndStick)
{
    const struct {
        float v[3];
        PadPoint marker, stick;
    } cases[] = {
        {{0, 0, 1}, {542, 429}, {541, 428}},
        {{1, 0, 0}, {575, 429}, {552, 428}},
        {{-0.54f, -0.54f, 0.6456004f}, {525, 412}, {536, 423}},  // truncated toward zero
    };
    for (const auto& c : cases) {
        PadPoint m = padMarkerPoint(500, 388, c.v), s = padStickStart(500, 388, c.v);
        EXPECT_EQ(m.x, c.marker.x);
        EXPECT_EQ(m.y, c.marker.y);
        EXPECT_EQ(s.x, c.stick.x);
        EXPECT_EQ(s.y, c.stick.y);
    }
}

TEST(Text, OriginInItsRectangle)
{
    const PixelRect label = {85, 22, 120, 40};  // 35 x 18
    TextPoint right = textOrigin(label, textRight, -2, 20);
    EXPECT_EQ(right.y, 21);  // one pixel above the rectangle's top
    EXPECT_EQ(right.x, 100);
    EXPECT_EQ(textOrigin(label, textCentred, -2, 21).x, 85 + 7);
    EXPECT_EQ(textOrigin(label, textLeft, -2, 21).x, 85);
    EXPECT_EQ(textOrigin(label, textRight, -2, 50).x, 70);  // wider than its rectangle: starts left of it
    const PixelRect low = {0, 0, 10, 8};                    // lower than a text line: moved up
    EXPECT_EQ(textOrigin(low, textLeft, 0, 5).y, -4);
    EXPECT_EQ(labelTextAlignment(alignLeft), textLeft);
    EXPECT_EQ(labelTextAlignment(alignCentre), textCentred);
}

TEST(Text, CentringAWindow)
{
    const PixelRect screen = {0, 0, 1280, 1024};
    const struct {
        PixelRect reference;
        int w, h, screenW, screenH;
        bool systemMenu;
        int x, y;
    } cases[] = {
        {screen, 797, 587, 1280, 1024, false, 241 - 12, 145},  // caption button 18: 18 - 6
        {screen, 354, 200, 1280, 1024, true, 463 - 18, 274},
        {{100, 50, 600, 450}, 354, 200, 1280, 1024, true, 173 - 18, 116},
        {screen, 797, 587, 640, 480, false, 0, 0},  // a screen narrower and lower than the dialog
    };
    for (const auto& c : cases) {
        TextPoint at = centredWindowPosition(c.reference, c.w, c.h, c.screenW, c.screenH, 18, c.systemMenu);
        EXPECT_EQ(at.x, c.x) << c.w << " on " << c.screenW;
        EXPECT_EQ(at.y, c.y) << c.w << " on " << c.screenW;
    }
}

namespace {

// A host whose dialog would show its preview: the context set up as the
// dialog does at start.
struct PreviewRig {
    testhost::TestHost host;
    FilterContext* ctx;
    std::unique_ptr<WorkBlock> block{new WorkBlock()};  // large: not on the stack
    WorkBlock& work = *block;
    int32 startZoom;

    PreviewRig(int w, int h, bool sampling = true) : host(w, h, 3)
    {
        host.record->samplingSupport = sampling ? 1 : 0;
        host.call(filterSelectorPrepare);
        ctx = host.context();
        ctx->work = &work;
        PixelRect pane = outerRectOf(IDC_PREVIEW);
        ctx->previewItemRect = VRect{pane.top, pane.left, pane.bottom, pane.right};
        startZoom = fitPreview(ctx);
        setupPreview(ctx, startZoom);
        settingsOf(ctx)->zoomRate = startZoom;
        ctx->zoomLimit = startZoom;
    }
    ~PreviewRig() { ctx->work = nullptr; }
    CloudSettings* s() { return settingsOf(ctx); }
    uint8_t zoom(int id)
    {
        uint8_t changed = 0;
        zoomCommand(ctx, nullptr, id, &changed);
        refreshZoomButtons(ctx, nullptr);
        return changed;
    }
    // The image point in the middle of what the pane shows.
    PanePoint middle()
    {
        PixelRect pane = outerRectOf(IDC_PREVIEW);
        return imagePointAt(ctx, pane, PanePoint{(pane.left + pane.right) / 2, (pane.top + pane.bottom) / 2});
    }
};

std::string readout(int32 zoom)
{
    char text[16];
    zoomReadout(zoom, text, sizeof text);
    return text;
}

}  // namespace

TEST(PreviewPane, FitAndReadout)
{
    EXPECT_EQ(readout(7), "14%");
    EXPECT_EQ(readout(3), "33%");
    {
        PreviewRig big(870, 646);  // one test host at a time
        EXPECT_EQ(big.ctx->fitZoom, 2);
        EXPECT_EQ(readout(big.s()->zoomRate), "50%");
        EXPECT_FALSE(pressStartsPan(big.ctx));
    }
    PreviewRig small(200, 100);
    EXPECT_EQ(small.startZoom, 1);
    EXPECT_EQ(rectWidth(small.ctx->previewArea), 200);
    EXPECT_EQ(rectHeight(small.ctx->previewArea), 100);
    EXPECT_FALSE(pressStartsPan(small.ctx));  // every press places the centre
    EXPECT_EQ(small.work.controlEnabled[IDC_ZOOM_OUT], 0);
}

TEST(PreviewPane, ZoomSteps)
{
    PreviewRig rig(2000, 1500);
    int32 limit = rig.ctx->fitZoom;
    ASSERT_EQ(limit, 5);
    EXPECT_EQ(rig.zoom(IDC_ZOOM_OUT), 0);  // "-" at the limit does nothing
    EXPECT_EQ(rig.s()->zoomRate, limit);
    EXPECT_EQ(rig.work.controlEnabled[IDC_ZOOM_OUT], 0);
    EXPECT_EQ(rig.work.controlEnabled[IDC_ZOOM_IN], 1);

    EXPECT_EQ(rig.zoom(IDC_ZOOM_READOUT), 1);  // "%": actual pixels
    EXPECT_EQ(rig.s()->zoomRate, 1);
    EXPECT_TRUE(pressStartsPan(rig.ctx));
    EXPECT_EQ(rig.zoom(IDC_ZOOM_IN), 0);       // "+" at 1 does nothing
    EXPECT_EQ(rig.zoom(IDC_ZOOM_READOUT), 1);  // "%" at 1 keeps 1 and still asks for a render
    EXPECT_EQ(rig.s()->zoomRate, 1);

    // "+" from 3 to 2 keeps the middle of the view where it was.
    while (rig.s()->zoomRate < 3) rig.zoom(IDC_ZOOM_OUT);
    PanePoint before = rig.middle();
    rig.zoom(IDC_ZOOM_IN);
    ASSERT_EQ(rig.s()->zoomRate, 2);
    PanePoint after = rig.middle();
    EXPECT_NEAR(after.x, before.x, 3);
    EXPECT_NEAR(after.y, before.y, 3);

    // At the top-left corner the pan limits push the view back inside.
    rig.s()->panX = rig.s()->panY = 0;
    setupPreview(rig.ctx, 2);
    rig.zoom(IDC_ZOOM_OUT);
    EXPECT_GE(rig.s()->panX, 0);
    EXPECT_GE(rig.s()->panY, 0);
}

TEST(PreviewPane, WithoutSamplingTheZoomStaysAtOne)
{
    PreviewRig rig(2000, 1500, false);
    EXPECT_EQ(rig.startZoom, 1);
    for (int id : {IDC_ZOOM_OUT, IDC_ZOOM_IN, IDC_ZOOM_READOUT}) EXPECT_EQ(rig.zoom(id), 0) << id;
    EXPECT_EQ(rig.work.controlEnabled[IDC_ZOOM_OUT], 0);
    EXPECT_EQ(rig.work.controlEnabled[IDC_ZOOM_IN], 0);
    EXPECT_TRUE(pressStartsPan(rig.ctx));  // the image is larger than the pane: it pans
}

TEST(PreviewPane, PressPlacesTheCentre)
{
    PreviewRig rig(200, 100);
    PixelRect pane = outerRectOf(IDC_PREVIEW);
    PanePoint origin = paneImageOrigin(pane, 200, 100);
    EXPECT_EQ(origin.x, 342 + (439 - 200) / 2);
    EXPECT_EQ(origin.y, 5 + (327 - 100) / 2);
    const struct {
        int dx, dy;
    } presses[] = {{50, 25}, {0, 0}, {-30, -10}};  // the last one in the margin beside the image
    for (const auto& p : presses) {
        rig.s()->pressPoint[0] = int16(origin.y + p.dy);
        rig.s()->pressPoint[1] = int16(origin.x + p.dx);
        setCentreFromPressPoint(rig.ctx, pane);
        EXPECT_EQ(rig.s()->centreX, p.dx);
        EXPECT_EQ(rig.s()->centreY, p.dy);
        EXPECT_FLOAT_EQ(rig.s()->centreU, float(p.dx) / 200.0f);
        EXPECT_FLOAT_EQ(rig.s()->centreV, float(p.dy) / 100.0f);
    }
}

TEST(PresetNames, ProposedAndChosen)
{
    const struct {
        const char *name, *proposed;
    } names[] = {{"random settings", "random settings"},
                 {"plain", "plain"},
                 {"Storm.k00", "Storm"},
                 {".k00", ""},
                 {"abc", "abc"},
                 {"", ""}};
    for (const auto& n : names) {
        char out[260];
        proposedPresetName(n.name, out, sizeof out);
        EXPECT_STREQ(out, n.proposed) << n.name;
    }
    CloudSettings s{};
    notePresetPath(&s, "C:\\Users\\me\\Skies\\Storm.k00");
    EXPECT_STREQ(s.presetName, "Storm.k00");
    EXPECT_STREQ(s.presetFolder, "C:\\Users\\me\\Skies\\");
    notePresetPath(&s, "/home/me/Evening.k00");
    EXPECT_STREQ(s.presetName, "Evening.k00");
    EXPECT_STREQ(s.presetFolder, "/home/me/");
}

TEST(PresetNames, SavingReplacesWholeAndLoadingFailsCleanly)
{
    testhost::Picture picture = testhost::gradientPicture(8, 8, 3, false);
    testhost::RenderRig rig(testhost::defaultSettings(), picture);
    char path[300];
    temporaryFilePath("Nimbulo save test.k00", path, sizeof path);

    // An existing longer file: the saved one holds exactly the new bytes.
    std::ofstream(path, std::ios::binary) << std::string(20000, 'x');
    ASSERT_TRUE(savePresetFile(&rig.ctx, path));
    EXPECT_EQ(testhost::readBytes(path).size(), size_t(presetBytesWithoutThumbnail));
    EXPECT_TRUE(testhost::readBytes(std::string(path) + ".saving").empty());

    // A folder that does not exist: nothing is written, and it says so.
    std::string missing = std::string(path) + ".none/Storm.k00";
    EXPECT_FALSE(savePresetFile(&rig.ctx, missing.c_str()));

    // Loading a file that cannot be read, or an empty one, keeps every setting.
    settingsOf(&rig.ctx)->density = 12;
    CloudSettings before = *settingsOf(&rig.ctx);
    std::ofstream(std::string(path) + ".empty", std::ios::binary).flush();
    for (std::string unreadable : {missing, std::string(path) + ".empty"}) {
        EXPECT_FALSE(loadPresetFile(&rig.ctx, unreadable.c_str())) << unreadable;
        EXPECT_EQ(std::memcmp(settingsOf(&rig.ctx), &before, sizeof before), 0) << unreadable;
    }
    // A readable one starts from the defaults.
    EXPECT_TRUE(loadPresetFile(&rig.ctx, path));
    EXPECT_EQ(settingsOf(&rig.ctx)->density, 66);
    std::remove(path);
    std::remove((std::string(path) + ".empty").c_str());
}
