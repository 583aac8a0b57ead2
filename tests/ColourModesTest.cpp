// Every image mode through the test host: the picture in CMYK, Lab, Duotone
// and 32 bits is the RGB picture in the document's space; modes the filter
// does not paint are refused and left alone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "host/Context.h"
#include "host/EngineHarness.h"
#include "host/HostModes.h"
#include "host/Modes.h"
#include "host/Preview.h"
#include "host/TestHost.h"
#include "render/CloudPainter.h"
#include "render/RenderPath.h"

using testhost::TestHost;

namespace {

const int W = 160, H = 96;

std::vector<uint8> bands()
{
    std::vector<uint8> mask(size_t(W) * H);
    const uint8 levels[3] = {0, 128, 255};
    for (size_t k = 0; k < mask.size(); ++k) mask[k] = levels[(k % W / 4 + k / W / 4) % 3];
    return mask;
}

// A run with dense clouds: wide areas of opaque cloud and of clear sky.
CloudSettings denseSky()
{
    CloudSettings s = testhost::defaultSettings();
    s.density = 100;
    return s;
}

int16 paint(TestHost& host)
{
    if (host.call(filterSelectorPrepare) != noErr) return host.result;
    const CloudSettings dense = denseSky();
    host.settings()->density = dense.density;
    return host.run(false);
}

// Where the engine's clouds of that run are clear sky (no cloud, no glow:
// 'c'), opaque cloud ('o'), or neither.
std::vector<char> cloudKinds()
{
    testhost::Picture picture = testhost::gradientPicture(W, H, 3, false);
    testhost::RenderRig rig(denseSky(), picture);
    std::vector<char> clear;
    std::vector<CloudPixel> clouds(W);
    for (int y = 0; y < H; ++y) {
        CloudRow row;
        setupPainterRow(&rig.work->painter, 0, y, 1, &row);
        ShadeCloudSpan(&row, &rig.work->tables, 0, W, clouds.data());
        for (const CloudPixel& cloud : clouds)
            clear.push_back(isClearSky(cloud) ? 'c' : (cloud.opacity >= 1.0f ? 'o' : '-'));
    }
    return clear;
}

// A host with the gradient picture (colour or grey, a layer or not, a
// selection or not), colours inverted when asked; `mode` 0 keeps it RGB or grey.
struct Picture {
    bool colour, layer, selection;
    int depthBytes;  // of the RGB or grey reference
};

void prepareHost(TestHost& host, const Picture& s, bool inverted)
{
    if (s.layer) host.setEditableTransparency(false);
    if (inverted) {
        const int colours = s.colour ? 3 : 1;
        for (size_t i = 0; i < host.source.size(); ++i)
            if (int(i % size_t(host.planes)) < colours) host.source[i] = uint8(255 - host.source[i]);
        host.setPixels(host.source);
    }
}

// The RGB (or grey) picture at the reference depth; and at 16 bits (where
// no change is lost to whole 8-bit levels) over the gradient and over its
// inverse: where both leave the source, clear sky; where both agree, a cloud
// that hides the source.
struct Reference {
    std::vector<double> picture;  // levels a value, as asRgbLevels gives them
    std::vector<char> clear, opaque;
    std::vector<char> cloudOpaque;  // the cloud itself opaque, whatever the layer
    int values = 0;                 // values a pixel
};

Reference reference(const Picture& s)
{
    Reference ref;
    std::vector<double> outs[3], sources[3];
    for (int k = 0; k < 3; ++k) {
        const bool deep = k < 2 || s.depthBytes == 2;
        const int16 mode = s.colour ? (deep ? 11 : 3) : (deep ? 10 : 1);
        TestHost host(W, H, (s.colour ? 3 : 1) + (s.layer ? 1 : 0));
        prepareHost(host, s, k == 1);
        if (deep) host.useSixteenBits();
        if (s.selection) host.setMask(bands());
        EXPECT_EQ(paint(host), noErr);
        outs[k] = testhost::asRgbLevels(host, host.output, mode);
        sources[k] = testhost::asRgbLevels(host, host.source, mode);
    }
    ref.values = (s.colour ? 3 : 1) + (s.layer ? 1 : 0);
    ref.picture = outs[2];
    const std::vector<char> kinds = cloudKinds();
    for (char k : kinds) {
        ref.clear.push_back(k == 'c');
        ref.cloudOpaque.push_back(k == 'o');
    }
    for (size_t p = 0; p < outs[0].size() / size_t(ref.values); ++p) {
        bool opaque = true, selected = true;
        for (int c = 0; c < ref.values; ++c) {
            size_t i = p * ref.values + c;
            opaque &= outs[0][i] == outs[1][i];
            selected &= outs[0][i] == sources[0][i];
        }
        ref.opaque.push_back(opaque && !ref.clear[p]);
        // Left alone by the host's selection: as clear sky.
        if (s.selection && selected && bands()[p] == 0) ref.clear[p] = 1;
    }
    return ref;
}

}  // namespace

TEST(ColourModes, ModesNotPaintedAreRefusedAndLeftAlone)
{
    // Bitmap, Indexed, HSL, HSB, Multichannel, DeepMultichannel, numbers no
    // host uses; and painted modes a host describes inconsistently (CMYK with
    // three planes, RGB96 at 16 bits).
    const struct {
        int16 mode;
        int planes, depth;
    } cases[] = {{0, 1, 8},   {2, 3, 8},  {5, 3, 8},  {6, 3, 8}, {7, 3, 8},
                 {14, 3, 16}, {18, 3, 8}, {-1, 3, 8}, {4, 3, 8}, {16, 3, 16}};
    for (const auto& c : cases) {
        for (int16 selector :
             {filterSelectorParameters, filterSelectorPrepare, filterSelectorStart, filterSelectorContinue}) {
            TestHost host(24, 16, c.planes);
            host.record->imageMode = c.mode;
            host.record->depth = c.depth;
            EXPECT_EQ(host.call(selector), filterBadMode) << c.mode << " selector " << selector;
            EXPECT_EQ(host.output, host.source) << c.mode;
            EXPECT_EQ(host.data, 0) << c.mode;  // nothing made
            EXPECT_EQ(host.liveHandles(), 0) << c.mode;
        }
        TestHost host(24, 16, c.planes);
        host.record->imageMode = c.mode;
        host.record->depth = c.depth;
        EXPECT_EQ(host.run(true), filterBadMode) << c.mode;
        EXPECT_EQ(host.output, host.source) << c.mode;
    }
}

TEST(ColourModes, AHostThatNeverSetTheModeIsPaintedByItsPlanes)
{
    std::vector<uint8> rgb;
    for (int16 mode : {int16(3), int16(0)}) {
        TestHost host(24, 16, 3);
        host.record->imageMode = mode;
        host.record->depth = 0;
        ASSERT_EQ(host.run(false), noErr) << mode;
        if (rgb.empty()) rgb = host.output;
        EXPECT_EQ(host.output, rgb) << mode;
    }
}

TEST(ColourModes, EveryModeIsTheRgbPictureInItsSpace)
{
    const struct {
        int16 mode;
        bool layer, selection;
    } cases[] = {{4, false, false},  {4, true, false},  {4, false, true},   {9, false, false},  {9, true, false},
                 {9, false, true},   {8, false, false}, {8, true, true},    {13, false, false}, {13, true, true},
                 {12, false, false}, {12, true, true},  {15, false, false}, {15, true, false}};
    for (const auto& c : cases) {
        const bool colour = c.mode != 8 && c.mode != 15;
        const Picture setup{colour, c.layer, c.selection, c.mode >= 10 ? 2 : 1};
        const Reference ref = reference(setup);

        TestHost host(W, H, (colour ? 3 : 1) + (c.layer ? 1 : 0));
        prepareHost(host, setup, false);
        testhost::useMode(host, c.mode);
        if (c.selection) host.setMask(bands());
        ASSERT_EQ(paint(host), noErr) << c.mode;
        EXPECT_EQ(host.counts.badCalls, 0);
        if (colour) {
            EXPECT_GT(host.counts.colour, 0) << "the host's conversion was asked";
        }

        const std::vector<double> back = testhost::asRgbLevels(host, host.output, c.mode);
        ASSERT_EQ(back.size(), ref.picture.size());
        const size_t pixelBytes = size_t(host.planes) * size_t(host.bytesPerSample);
        size_t clear = 0, opaque = 0;
        double worst = 0;
        for (size_t p = 0; p < ref.clear.size(); ++p) {
            if (ref.clear[p]) {
                ++clear;
                ASSERT_EQ(std::memcmp(&host.output[p * pixelBytes], &host.source[p * pixelBytes], pixelBytes), 0)
                    << "mode " << c.mode << ": clear sky untouched, pixel " << p;
            }
            if (!ref.opaque[p]) continue;
            ++opaque;
            for (int v = 0; v < ref.values; ++v) {
                // The host's conversion answers whole levels at 8 bits.
                double b = back[p * ref.values + v];
                double d = std::fabs((host.bytesPerSample == 1 ? std::round(b) : b) - ref.picture[p * ref.values + v]);
                worst = d > worst ? d : worst;
            }
        }
        // At 16 bits within the host's own precision: its conversion answers
        // whole 8-bit levels, and departures of half a level count as none.
        EXPECT_LE(worst, host.bytesPerSample == 1 ? 2.0 : 0.6)
            << "mode " << c.mode << " layer " << c.layer << " selection " << c.selection;
        EXPECT_GT(clear, size_t(W * H / 4)) << c.mode;
        EXPECT_GT(opaque, size_t(W * H / (c.selection ? 120 : 40))) << c.mode;
    }
}

TEST(ColourModes, WithoutColourServicesTheBuiltInConversionIsClose)
{
    for (int16 mode : {int16(4), int16(9), int16(13), int16(12)}) {
        std::vector<uint8> outputs[3];
        for (int k = 0; k < 3; ++k) {
            TestHost host(W, H, 3);
            testhost::useMode(host, mode);
            if (k == 1) host.record->colorServices = nullptr;                               // a host without them
            if (k == 2) host.colourAnswer = [](ColorServicesInfo*) { return OSErr(-50); };  // that refuses
            ASSERT_EQ(paint(host), noErr);
            outputs[k] = host.output;
        }
        EXPECT_EQ(outputs[1], outputs[2]) << "a host whose services fail gets the built-in conversion";
        const int bytes = mode >= 10 ? 2 : 1;
        int worst = 0;
        for (size_t i = 0; i < outputs[0].size(); i += size_t(bytes)) {
            int a = outputs[0][i] | (bytes == 2 ? outputs[0][i + 1] << 8 : 0);
            int b = outputs[1][i] | (bytes == 2 ? outputs[1][i + 1] << 8 : 0);
            int d = std::abs(a - b);
            worst = d > worst ? d : worst;
        }
        // Three 8-bit levels (at 16 bits, 3 x 128.5).
        EXPECT_LE(worst, bytes == 2 ? 385 : 3) << mode;
    }
}

TEST(ColourModes, ThirtyTwoBitsClearSkyBitForBitAndTheCloudOfEightBits)
{
    const struct {
        int16 mode;
        bool layer;
    } cases[] = {{16, false}, {16, true}, {17, false}, {17, true}};
    for (const auto& c : cases) {
        const bool colour = c.mode == 16;
        const Picture setup{colour, c.layer, false, 1};
        const Reference ref = reference(setup);
        TestHost host(W, H, (colour ? 3 : 1) + (c.layer ? 1 : 0));
        prepareHost(host, setup, false);
        testhost::useMode(host, c.mode);
        // Over-range samples: 4.0 and -0.5, every few samples.
        std::vector<uint8> pixels = host.source;
        size_t special = 0;
        const size_t colours = colour ? 3 : 1;
        for (size_t i = 0; i < pixels.size() / 4; i += 5)
            if (i % host.planes < colours) testhost::setFloatSample(pixels, i, (i / 5) % 2 ? 4.0f : -0.5f);
        host.setPixels(pixels);
        ASSERT_EQ(paint(host), noErr);
        const size_t pixelBytes = size_t(host.planes) * 4;
        const std::vector<double> back = testhost::asRgbLevels(host, host.output, c.mode);
        double worst = 0;
        size_t opaque = 0;
        for (size_t p = 0; p < ref.clear.size(); ++p) {
            if (ref.clear[p]) {
                ASSERT_EQ(std::memcmp(&host.output[p * pixelBytes], &host.source[p * pixelBytes], pixelBytes), 0)
                    << "mode " << c.mode << ": clear sky bit for bit, pixel " << p;
                for (size_t i = p * host.planes; i < (p + 1) * host.planes; ++i)
                    special += i % 5 == 0 && i % host.planes < colours;
            }
            if (!ref.cloudOpaque[p]) continue;
            ++opaque;
            for (int v = 0; v < ref.values; ++v) {
                double d = std::fabs(back[p * ref.values + v] - ref.picture[p * ref.values + v]);
                worst = d > worst ? d : worst;
            }
        }
        EXPECT_GT(special, size_t(100)) << "samples of 4.0 and -0.5 under clear sky";
        EXPECT_GT(opaque, size_t(W * H / 40));
        // Within a level; a float sample holds a level to about 1e-4.
        EXPECT_LE(worst, 1.0 + 1e-3) << "mode " << c.mode << ": the opaque cloud within a level of 8 bits";
    }
}

TEST(ColourModes, PreviewProxyAndThumbnailInTheMatching8BitMode)
{
    const struct {
        int16 mode, proxy;
    } cases[] = {{4, 4}, {9, 9}, {13, 4}, {12, 9}, {15, 8}, {16, 3}, {17, 1}, {8, 8}};
    for (const auto& c : cases) {
        const bool colour = c.mode != 15 && c.mode != 17 && c.mode != 8;
        std::vector<uint8> eightBit;
        {
            TestHost eight(100, 40, colour ? 3 : 1);  // the same picture in the 8-bit mode
            testhost::useMode(eight, c.proxy);
            eightBit = eight.source;
        }
        TestHost host(100, 40, colour ? 3 : 1);
        testhost::useMode(host, c.mode);
        ASSERT_EQ(host.call(filterSelectorPrepare), noErr);
        FilterContext* ctx = host.context();
        std::vector<uint8> thumb(thumbnailBytes);
        ctx->thumbnail = thumb.data();
        host.record->outRect = Rect16{0, 0, 40, 100};
        host.record->outHiPlane = int16(host.planes - 1);
        host.deliver();
        grabThumbnail(ctx);
        ctx->thumbnail = nullptr;
        for (int y = 0; y < 40; ++y) copyPreviewRowToScreen(ctx, y);
        PSPixelMap map;
        describePreviewPixels(ctx, &map);
        EXPECT_EQ(map.imageMode, c.proxy) << c.mode;
        EXPECT_EQ(map.planeBytes, 1);
        ASSERT_NE(map.baseAddr, nullptr);
        const auto* screen = static_cast<const uint8*>(map.baseAddr);
        for (size_t i = 0; i < eightBit.size(); ++i)
            ASSERT_NEAR(screen[i], eightBit[i], c.mode >= 16 ? 1 : 0) << "mode " << c.mode << " sample " << i;
        // The thumbnail's centre is the picture in RGB, as the host converts it.
        const std::vector<double> back = testhost::asRgbLevels(host, host.source, c.mode);
        for (int y = 12; y < 52; ++y)
            for (int x = 0; x < 64; ++x)
                for (int k = 0; k < 3; ++k) {
                    double want = back[size_t((y - 12) * 100 + 18 + x) * (colour ? 3 : 1) + (colour ? k : 0)];
                    ASSERT_NEAR(thumb[size_t(y * 64 + x) * 3 + k], want, 1.0) << "mode " << c.mode;
                }
        host.call(filterSelectorFinish);
    }
}
