// The final apply as hosts drive it, and the preview's geometry.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <utility>

#include "host/EngineHarness.h"
#include "host/Mask.h"
#include "host/Preview.h"
#include "host/TestHost.h"

using testhost::TestHost;

namespace {

bool rectIsZero(const Rect16& r) { return r.top == 0 && r.left == 0 && r.bottom == 0 && r.right == 0; }

void expectFinished(const TestHost& host, const char* what)
{
    EXPECT_TRUE(rectIsZero(host.record->inRect)) << what;
    EXPECT_TRUE(rectIsZero(host.record->outRect)) << what;
    EXPECT_TRUE(rectIsZero(host.record->maskRect)) << what;
    EXPECT_EQ(host.liveBuffers(), 0) << what;
    EXPECT_EQ(host.context()->work, nullptr) << what;
    EXPECT_EQ(host.counts.badCalls, 0) << what;
}

}  // namespace

TEST(Apply, WithoutAdvanceStateEachContinueRendersOneRow)
{
    TestHost host(20, 7, 3);
    host.record->advanceState = nullptr;
    ASSERT_EQ(host.call(filterSelectorPrepare), noErr);
    ASSERT_EQ(host.call(filterSelectorStart), noErr);
    // Start asked for row 0 but could not call the host.
    EXPECT_EQ(host.record->inRect.top, 0);
    EXPECT_EQ(host.record->inRect.bottom, 1);
    EXPECT_EQ(host.counts.advance, 0);
    for (int row = 0; row < 7; ++row) {
        host.deliver();
        ASSERT_EQ(host.call(filterSelectorContinue), noErr);
        EXPECT_EQ(host.context()->progressDone, row + 1);
        if (row < 6) {
            EXPECT_EQ(host.record->inRect.top, row + 1) << row;
            EXPECT_EQ(host.record->outRect.bottom, row + 2) << row;
        }
    }
    expectFinished(host, "after the last row");
}

TEST(Apply, WithAdvanceStateOneContinueRendersAll)
{
    TestHost host(20, 7, 3);
    ASSERT_EQ(host.run(false), noErr);
    EXPECT_EQ(host.continueCalls, 1);
    EXPECT_EQ(host.context()->progressDone, 7);
    EXPECT_EQ(host.counts.advance, 7);  // row 0 at Start, then rows 1 to 6
    expectFinished(host, "after one Continue");
    EXPECT_NE(host.output, host.source);
}

TEST(Apply, ProgressFirstAtZeroThenEveryEighthRow)
{
    TestHost host(8, 20, 1);
    ASSERT_EQ(host.run(false), noErr);
    ASSERT_EQ(host.progress.size(), 3u);
    const int32 expected[] = {0, 8, 16};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(host.progress[k].done, expected[k]);
        EXPECT_EQ(host.progress[k].total, 20);
    }
}

TEST(Apply, AbortAfterTheEighthRowStopsAndCleansUp)
{
    TestHost host(16, 30, 3);
    host.abortAnswer = [] { return true; };
    EXPECT_EQ(host.run(false), userCanceledErr);
    EXPECT_EQ(host.counts.abortPolls, 1);
    EXPECT_EQ(host.context()->progressDone, 8);
    expectFinished(host, "after abort");
    // Rows past the eighth were never written.
    size_t rowBytes = 16 * 3;
    EXPECT_EQ(std::memcmp(&host.output[8 * rowBytes], &host.source[8 * rowBytes], 22 * rowBytes), 0);
}

TEST(Apply, HostErrorFromAdvanceStateEndsTheRunCleanly)
{
    // The host fails the first request (at Start) or a later one (in Continue).
    for (int failAt : {1, 4}) {
        static int requests, failing;
        requests = 0;
        failing = failAt;
        TestHost host(16, 12, 3);
        host.record->advanceState = [] {
            if (++requests == failing) return OSErr(-1234);
            return testhost::TestHost::current->deliver();
        };
        EXPECT_EQ(host.run(false), -1234) << failAt;
        EXPECT_EQ(host.liveBuffers(), 0) << failAt;
        EXPECT_EQ(host.context()->work, nullptr) << failAt;
    }
}

TEST(Apply, FinishGivesBackWhatARunLeft)
{
    // A host that stops calling Continue half way still gets its buffers back.
    TestHost host(16, 12, 3);
    host.record->advanceState = nullptr;
    ASSERT_EQ(host.call(filterSelectorPrepare), noErr);
    ASSERT_EQ(host.call(filterSelectorStart), noErr);
    host.deliver();
    ASSERT_EQ(host.call(filterSelectorContinue), noErr);
    EXPECT_EQ(host.liveBuffers(), 2);
    host.call(filterSelectorFinish);
    EXPECT_EQ(host.liveBuffers(), 0);
    EXPECT_EQ(host.counts.badCalls, 0);
}

TEST(Apply, EmptyFilterRectanglePaintsNothing)
{
    const Rect16 rects[] = {{5, 5, 5, 20}, {5, 5, 20, 5}, {10, 10, 4, 4}};
    for (const Rect16& r : rects) {
        TestHost host(24, 24, 3);
        host.setFilterRect(r.top, r.left, r.bottom, r.right);
        EXPECT_EQ(host.run(false), noErr);
        EXPECT_EQ(host.continueCalls, 0);
        EXPECT_EQ(host.output, host.source);
        expectFinished(host, "empty rectangle");
    }
}

TEST(Apply, MissingInputGivesMemFull)
{
    TestHost host(16, 12, 3);
    host.withholdInput = true;
    EXPECT_EQ(host.run(false), memFullErr);
    expectFinished(host, "after a row without input");
    EXPECT_EQ(host.output, host.source);
}

TEST(Apply, WithoutMaskTheMaskRectIsEmptyAndEverythingSelected)
{
    TestHost host(16, 12, 3);
    host.setFilterRect(2, 3, 10, 13);
    host.record->advanceState = nullptr;
    ASSERT_EQ(host.call(filterSelectorPrepare), noErr);
    ASSERT_EQ(host.call(filterSelectorStart), noErr);
    const Rect16 m = host.record->maskRect;
    EXPECT_EQ(m.top, 2);
    EXPECT_EQ(m.bottom, 2);
    EXPECT_EQ(m.left, 3);
    EXPECT_EQ(m.right, 3);
    FilterContext* ctx = host.context();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) EXPECT_EQ(maskValueAt(ctx, x, y), 255);
    EXPECT_EQ(maskValueAt(ctx, -1, 0), 0);
    EXPECT_EQ(maskValueAt(ctx, 10, 0), 0);
    EXPECT_EQ(maskValueAt(ctx, 0, 8), 0);
}

TEST(Apply, MaskWindowFollowsTheRow)
{
    const struct {
        int height, row, top, bottom;
    } cases[] = {{1, 0, 0, 1}, {10, 0, 0, 2}, {10, 1, 0, 3}, {10, 5, 3, 7}, {10, 9, 7, 10}};
    for (const auto& c : cases) {
        TestHost host(6, c.height, 1);
        host.setMask(std::vector<uint8>(size_t(6) * c.height, 200));
        host.record->advanceState = nullptr;
        ASSERT_EQ(host.call(filterSelectorPrepare), noErr);
        ASSERT_EQ(host.call(filterSelectorStart), noErr);
        for (int r = 0; r < c.row; ++r) {
            host.deliver();
            ASSERT_EQ(host.call(filterSelectorContinue), noErr);
        }
        EXPECT_EQ(host.record->maskRect.top, c.top) << c.height << "/" << c.row;
        EXPECT_EQ(host.record->maskRect.bottom, c.bottom) << c.height << "/" << c.row;
        EXPECT_EQ(host.record->maskRect.right, 6);
    }
}

TEST(Apply, TheModuleRendersWhatTheEngineRenders)
{
    const struct {
        int planes;
        bool transparency;
    } cases[] = {{3, false}, {1, false}, {4, true}, {2, true}};
    for (const auto& c : cases) {
        testhost::Picture picture = testhost::gradientPicture(48, 30, c.planes, c.transparency);
        TestHost host(48, 30, c.planes);
        if (c.transparency) host.setEditableTransparency(false);
        host.setPixels(picture.pixels);
        ASSERT_EQ(host.run(false), noErr);
        CloudSettings settings = testhost::defaultSettings();
        EXPECT_EQ(host.output, testhost::renderInProcess(settings, picture).pixels) << c.planes;
    }
}

TEST(Preview, FitsTheFilterRectangle)
{
    TestHost host(1000, 600, 3);
    ASSERT_EQ(host.call(filterSelectorPrepare), noErr);
    FilterContext* ctx = host.context();
    ctx->previewItemRect = VRect{10, 20, 160, 220};  // 200 x 150
    EXPECT_EQ(fitPreview(ctx), 6);
    EXPECT_EQ(ctx->previewArea.right - ctx->previewArea.left, 196);
    EXPECT_EQ(ctx->previewArea.bottom - ctx->previewArea.top, 146);
    EXPECT_EQ(ctx->fitZoom, 6);
    EXPECT_EQ(ctx->previewItemRect.right, 1000 / 6);
    EXPECT_EQ(ctx->previewItemRect.bottom, 600 / 6);

    for (void (*take)(TestHost&) :
         {+[](TestHost& h) { h.record->samplingSupport = 0; }, +[](TestHost& h) { h.record->displayPixels = nullptr; },
          +[](TestHost& h) { h.record->advanceState = nullptr; }}) {
        take(host);
        ctx->previewItemRect = VRect{10, 20, 160, 220};
        EXPECT_EQ(fitPreview(ctx), 1);
        EXPECT_EQ(ctx->fitZoom, 6);
    }
}

TEST(Preview, SmallImagesFitAtFullSize)
{
    TestHost host(50, 30, 3);
    ASSERT_EQ(host.call(filterSelectorPrepare), noErr);
    FilterContext* ctx = host.context();
    ctx->previewItemRect = VRect{0, 0, 150, 200};
    EXPECT_EQ(fitPreview(ctx), 1);
    EXPECT_EQ(ctx->previewArea.right - ctx->previewArea.left, 50);
    EXPECT_EQ(ctx->previewArea.bottom - ctx->previewArea.top, 30);
    ctx->previewItemRect = VRect{0, 0, 3, 3};  // too small to show anything
    EXPECT_GE(fitPreview(ctx), 1);
}

TEST(Preview, PanStaysInsideTheImage)
{
    TestHost host(1000, 600, 3);
    ASSERT_EQ(host.call(filterSelectorPrepare), noErr);
    FilterContext* ctx = host.context();
    CloudSettings* s = host.settings();
    ctx->previewArea = VRect{0, 0, 146, 196};
    const struct {
        int32 factor, panX, panY, expectX, expectY;
    } cases[] = {
        {1, -5, -9, 0, 0},
        {1, 5000, 5000, 1000 - 196, 600 - 146},
        {2, 5000, 5000, (500 - 196) * 2, (300 - 146) * 2},
        {6, 300, 10, 0, 0},  // the sampled image is smaller than the preview
        {1, 100, 50, 100, 50},
    };
    for (const auto& c : cases) {
        s->panX = c.panX;
        s->panY = c.panY;
        clampPan(ctx, c.factor);
        EXPECT_EQ(s->panX, c.expectX) << c.factor;
        EXPECT_EQ(s->panY, c.expectY) << c.factor;
    }
}

TEST(Preview, RequestAtAFactor)
{
    // Play the dialog: a preview at factor 2 of an area 100 x 80, panned 40 pixels.
    TestHost host(400, 300, 3);
    ASSERT_EQ(host.call(filterSelectorPrepare), noErr);
    FilterContext* ctx = host.context();
    host.settings()->dialogActive = 1;
    ctx->previewArea = VRect{0, 0, 80, 100};
    host.settings()->panX = 40;
    host.settings()->panY = 0;
    setupPreview(ctx, 2);
    EXPECT_EQ(host.record->inRect.left, 20);
    EXPECT_EQ(host.record->inRect.right, 120);
    EXPECT_EQ(host.record->inRect.bottom, 80);
    EXPECT_EQ(host.record->outRect.left, 0);
    EXPECT_EQ(host.record->inputRate, 2 * 65536);
    EXPECT_EQ(ctx->renderWidth, 100);
    EXPECT_EQ(host.settings()->zoomRate, 2);
}

namespace {

// The thumbnail of a preview output of `width` x `height` pixels of the host's image.
std::vector<uint8> thumbnailOfPreview(TestHost& host, int16 width, int16 height)
{
    std::vector<uint8> thumb(thumbnailBytes);
    if (host.call(filterSelectorPrepare) != noErr) return thumb;
    FilterContext* ctx = host.context();
    ctx->thumbnail = thumb.data();
    host.record->outRect = Rect16{0, 0, height, width};
    host.record->outHiPlane = int16(host.planes - 1);
    host.deliver();
    grabThumbnail(ctx);
    ctx->thumbnail = nullptr;
    return thumb;
}

}  // namespace

TEST(Preview, ThumbnailTakesTheCentre)
{
    TestHost host(100, 40, 3);
    std::vector<uint8> thumb = thumbnailOfPreview(host, 100, 40);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const uint8* t = &thumb[(y * 64 + x) * 3];
            if (y < 12 || y >= 52) {
                ASSERT_EQ(t[0], 255 - y) << x << "," << y;
                ASSERT_EQ(t[2], 255 - y);
                continue;
            }
            const uint8* src = &host.source[((y - 12) * 100 + 18 + x) * 3];
            ASSERT_EQ(t[0], src[0]) << x << "," << y;
            ASSERT_EQ(t[1], src[1]);
            ASSERT_EQ(t[2], src[2]);
        }
}

TEST(Preview, GreyThumbnailHasEqualChannels)
{
    TestHost host(30, 20, 1);
    std::vector<uint8> thumb = thumbnailOfPreview(host, 30, 20);
    for (int k = 0; k < 64 * 64; ++k) {
        ASSERT_EQ(thumb[k * 3], thumb[k * 3 + 1]);
        ASSERT_EQ(thumb[k * 3], thumb[k * 3 + 2]);
    }
}

TEST(Apply, SixteenBitImagesGetTheSamePictureInFinerSteps)
{
    // Through the host: grey, RGB, layers, and a selection the host applies.
    const struct {
        const char* name;
        int planes;
        bool layer, selection;
    } kinds[] = {{"grey", 1, false, false},
                 {"RGB", 3, false, false},
                 {"grey layer", 2, true, false},
                 {"RGB layer", 4, true, false},
                 {"RGB with a selection", 3, false, true}};
    const int w = 180, h = 120;
    auto paint = [&](int planes, bool layer, bool selection, bool deep, int aboveWhiteEvery) {
        TestHost host(w, h, planes);
        if (layer) host.setEditableTransparency(false);
        if (selection) {
            std::vector<uint8> mask(size_t(w) * h);
            for (size_t k = 0; k < mask.size(); ++k) mask[k] = uint8((k % w) * 255 / (w - 1));
            host.setMask(mask);
        }
        if (deep) host.useSixteenBits();
        for (size_t k = 0; aboveWhiteEvery && k < host.source.size(); k += 2 * size_t(aboveWhiteEvery)) {
            host.source[k] = 0xFF;  // 65535: a host past its own white
            host.source[k + 1] = 0xFF;
        }
        EXPECT_EQ(host.run(false), noErr);
        EXPECT_EQ(host.counts.badCalls, 0);
        return std::make_pair(host.source, host.output);
    };
    for (const auto& k : kinds) {
        auto narrow = paint(k.planes, k.layer, k.selection, false, 0);
        auto deep = paint(k.planes, k.layer, k.selection, true, 0);
        size_t close = 0, samples = narrow.second.size();
        std::set<unsigned> values8, values16;
        for (size_t i = 0; i < samples; ++i) {
            unsigned v = deep.second[2 * i] | deep.second[2 * i + 1] << 8;
            ASSERT_LE(v, 32768u) << k.name;
            close += std::abs(int((v * 255 + 16384) / 32768) - int(narrow.second[i])) <= 1;
            if (narrow.second[i] != narrow.first[i] && i % size_t(k.planes) == 0) {
                values8.insert(narrow.second[i]);
                values16.insert(v);
            }
        }
        EXPECT_GE(double(close), 0.999 * double(samples)) << k.name;
        EXPECT_GE(values16.size(), 4 * values8.size()) << k.name;
        // Samples past white are painted as white.
        auto white = paint(k.planes, k.layer, k.selection, true, 7);
        for (size_t i = 0; i < white.second.size(); i += 2)
            ASSERT_LE(white.second[i] | white.second[i + 1] << 8, 32768) << k.name;
    }
}
