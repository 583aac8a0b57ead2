// 16 bits per channel: the same picture as at 8 bits, with the gradations 8
// bits cannot hold, for the apply, the preview, its screen copy and the
// thumbnail; values above the host's white are taken as white.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "host/Context.h"
#include "host/EngineHarness.h"
#include "host/Preview.h"
#include "render/Compose16.h"
#include "render/Compose8.h"
#include "render/Random.h"

using testhost::Picture;

namespace {

struct Kind {
    const char* name;
    int planes;
    bool transparency, preview;
};

const Kind kinds[] = {
    {"grey", 1, false, false},
    {"RGB", 3, false, false},
    {"grey layer", 2, true, false},
    {"RGB layer", 4, true, false},
    {"grey preview, selection", 1, false, true},
    {"RGB layer preview, selection", 4, true, true},
};

CloudSettings softSky()
{
    CloudSettings s = testhost::defaultSettings();
    s.puffs = 70;
    s.backlighting = 1;  // glowing edges: every step of the compositing
    return s;
}

std::vector<uint8_t> selection(int w, int h)
{
    std::vector<uint8_t> mask(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) mask[size_t(y) * w + x] = uint8_t(x < w / 3 ? 0 : (x < 2 * w / 3 ? 128 : 255));
    return mask;
}

Picture render(const Kind& k, const CloudSettings& s, const Picture& source)
{
    return k.preview ? testhost::renderPreviewInProcess(s, source, selection(source.width, source.height))
                     : testhost::renderInProcess(s, source);
}

uint32_t sample16(const Picture& p, size_t k) { return p.pixels[2 * k] | p.pixels[2 * k + 1] << 8; }

}  // namespace

TEST(SixteenBits, SamePictureAsEightBitsWithFinerSteps)
{
    const CloudSettings s = softSky();
    for (const Kind& k : kinds) {
        Picture source8 = testhost::gradientPicture(240, 160, k.planes, k.transparency);
        Picture source16 = testhost::sixteenBitPicture(source8);
        Picture out8 = render(k, s, source8), out16 = render(k, s, source16);
        std::vector<uint8_t> reduced = testhost::eightBitSamples(out16);
        ASSERT_EQ(reduced.size(), out8.pixels.size());
        size_t close = 0;
        std::set<uint32_t> distinct8, distinct16;
        for (size_t i = 0; i < reduced.size(); ++i) {
            close += std::abs(int(reduced[i]) - int(out8.pixels[i])) <= 1;
            ASSERT_LE(sample16(out16, i), 32768u) << k.name;
            // The first channel of the pixels the clouds changed.
            if (i % size_t(k.planes) == 0 && out8.pixels[i] != source8.pixels[i]) {
                distinct8.insert(out8.pixels[i]);
                distinct16.insert(sample16(out16, i));
            }
        }
        EXPECT_GE(double(close), 0.999 * double(reduced.size())) << k.name;
        EXPECT_GE(distinct16.size(), 4 * distinct8.size()) << k.name << ": " << distinct8.size() << " values at 8 bits";
    }
}

TEST(SixteenBits, ValuesAboveWhiteAreWhite)
{
    const CloudSettings s = softSky();
    for (const Kind& k : {kinds[1], kinds[3]}) {
        Picture white = testhost::sixteenBitPicture(testhost::gradientPicture(64, 40, k.planes, k.transparency));
        Picture above = white;
        for (size_t i = 0; i < white.pixels.size() / 2; i += 5) {
            white.pixels[2 * i] = 0x00, white.pixels[2 * i + 1] = 0x80;  // 32768
            above.pixels[2 * i] = 0xFF, above.pixels[2 * i + 1] = 0xFF;  // 65535
        }
        EXPECT_EQ(render(k, s, above).pixels, render(k, s, white).pixels) << k.name;
    }
}

TEST(SixteenBits, ScreenCopyAndThumbnailMatchEightBits)
{
    // The preview output of both depths, as the screen and a presets file get them.
    const CloudSettings s = softSky();
    for (const Kind& k : {kinds[4], kinds[5]}) {
        Picture source8 = testhost::gradientPicture(100, 70, k.planes, k.transparency);
        Picture out8 = render(k, s, source8), out16 = render(k, s, testhost::sixteenBitPicture(source8));
        std::vector<uint8_t> thumbnails[2], screen;
        for (int deep = 0; deep < 2; ++deep) {
            const Picture& out = deep ? out16 : out8;
            testhost::RenderRig rig(s, out);
            FilterRecord& r = rig.record;
            r.outRect = r.filterRect;
            r.outData = const_cast<uint8_t*>(out.pixels.data());
            r.outRowBytes = out.width * out.planes * out.bytesPerSample;
            r.outLoPlane = 0;
            r.outHiPlane = int16(out.planes - 1);
            r.advanceState = [] { return OSErr(noErr); };
            thumbnails[deep].resize(thumbnailBytes);
            rig.ctx.thumbnail = thumbnails[deep].data();
            grabThumbnail(&rig.ctx);
            if (!deep) continue;
            for (int y = 0; y < out.height; ++y) copyPreviewRowToScreen(&rig.ctx, y);
            PSPixelMap map;
            describePreviewPixels(&rig.ctx, &map);
            EXPECT_EQ(map.imageMode, k.planes >= 3 ? plugInModeRGBColor : plugInModeGrayScale);
            EXPECT_EQ(map.planeBytes, 1);
            ASSERT_NE(map.baseAddr, nullptr);
            const uint8_t* base = static_cast<const uint8_t*>(map.baseAddr);
            screen.assign(base, base + out8.pixels.size());
            std::free(rig.ctx.screenCopy);
        }
        for (size_t i = 0; i < out8.pixels.size(); ++i)
            ASSERT_LE(std::abs(int(screen[i]) - int(out8.pixels[i])), 1) << k.name << " sample " << i;
        for (size_t i = 0; i < thumbnails[0].size(); ++i)
            ASSERT_LE(std::abs(int(thumbnails[0][i]) - int(thumbnails[1][i])), 1) << k.name << " thumbnail " << i;
    }
}

TEST(SixteenBits, ComposerAgreesWithTheEightBitOne)
{
    // Cloud pixels of each kind over dark, mid and light sources, grey and
    // colour, opaque and layer pixels, against the 8-bit composer.
    struct Case {
        const char* name;
        CloudPixel cloud;
    };
    const Case cases[] = {
        {"clear", {0.9f, 0.8f, 0.7f, 0.0f, 0.0f}},          {"opaque", {0.62f, 0.41f, 0.93f, 1.0f, 0.0f}},
        {"soft edge", {0.95f, 0.9f, 0.8f, 0.37f, 0.0f}},    {"over-bright", {1.7f, 0.9f, 0.4f, 0.8f, 0.0f}},
        {"opaque glowing", {0.3f, 0.3f, 0.4f, 1.0f, 1.0f}}, {"soft glow", {0.4f, 0.5f, 0.6f, 0.5f, 0.3f}},
    };
    CloudTables tables;
    BuildOverRatioTable(&tables);
    for (const Case& c : cases)
        for (bool colour : {false, true})
            for (int32_t a0 : {-1, 0, 100, 255}) {  // -1: no layer
                const bool layer = a0 >= 0;
                DeepPixel first{};
                for (int32_t level : {0, 77, 200, 255}) {
                    const int32_t source[3] = {level, 255 - level, level / 2};
                    const double deep[3] = {double(sample16From8(source[0])), double(sample16From8(source[1])),
                                            double(sample16From8(source[2]))};
                    const double deepA0 = layer ? sample16From8(a0) : deepWhite;
                    ComposedPixel p8 = ComposeCloudPixel(&tables, c.cloud, source, layer ? a0 : 255, colour, layer);
                    DeepPixel p16 = ComposeCloudPixel16(c.cloud, deep, deepA0, colour, layer);
                    const int32_t eight[4] = {p8.red, p8.green, p8.blue, p8.transparency};
                    const double sixteen[4] = {p16.red, p16.green, p16.blue, p16.transparency};
                    for (int k = 0; k < (colour ? 3 : 1) + (layer ? 1 : 0); ++k) {
                        int slot = k < (colour ? 3 : 1) ? k : 3;
                        EXPECT_LE(std::abs(sixteen[slot] * 255.0 / deepWhite - eight[slot]), 2.0)
                            << c.name << ", colour " << colour << ", a0 " << a0 << ", source " << level << ", " << slot;
                    }
                    if (c.cloud.opacity == 0.0f && c.cloud.glow == 0.0f) {  // nothing changes at all
                        EXPECT_EQ(p16.red, deep[0]) << c.name;
                        EXPECT_EQ(p16.transparency, deepA0) << c.name;
                    }
                    if (c.cloud.opacity < 1.0f) continue;
                    // Opaque: the source no longer shows, and a layer becomes opaque.
                    if (level == 0) first = p16;
                    EXPECT_EQ(p16.red, first.red) << c.name << ", source " << level;
                    EXPECT_EQ(p16.blue, first.blue) << c.name << ", source " << level;
                    EXPECT_EQ(p16.transparency, deepWhite) << c.name << ", a0 " << a0;
                }
            }
}

TEST(SixteenBits, RandomLooksStayCloseToEightBits)
{
    // Random looks over flat black, mid-grey and white, grey and RGB: each
    // 16-bit sample, in 8-bit levels, against the 8-bit picture.
    double worst = 0.0;
    size_t beyond = 0, samples = 0, pictures = 0;
    for (uint32_t look = 1; look <= 25; ++look) {
        CloudSettings s = testhost::defaultSettings();
        seedRandom(look);
        RandomizeSettings(&s);
        for (int planes : {1, 3})
            for (uint8_t level : {0, 128, 255}) {
                Picture source8;
                source8.width = 120, source8.height = 90, source8.planes = planes;
                source8.pixels.assign(size_t(120 * 90 * planes), level);
                Picture out8 = testhost::renderInProcess(s, source8);
                Picture out16 = testhost::renderInProcess(s, testhost::sixteenBitPicture(source8));
                double pictureWorst = 0.0;
                for (size_t i = 0; i < out8.pixels.size(); ++i) {
                    double apart = std::abs(sample16(out16, i) * 255.0 / 32768.0 - out8.pixels[i]);
                    pictureWorst = std::max(pictureWorst, apart);
                    beyond += apart > 1.0;
                    samples++;
                }
                worst = std::max(worst, pictureWorst);
                pictures += pictureWorst > 1.0;
            }
    }
    // Each 8-bit truncation takes off up to a level where the 16-bit path
    // takes off its average, half a level: they differ by at most half a
    // level per truncation, and rarely by more than one (the README's figures).
    EXPECT_LT(worst, 2.0);
    EXPECT_LT(double(beyond), 0.005 * double(samples)) << pictures << " pictures";
}
