// Turning cloud pixels into bytes and laying them over the image.
#include <gtest/gtest.h>

#include <memory>

#include "host/Context.h"
#include "host/EngineHarness.h"
#include "host/RenderRows.h"
#include "render/Compose8.h"

using testhost::Picture;

namespace {

std::unique_ptr<CloudTables> ratioTables()
{
    std::unique_ptr<CloudTables> t(new CloudTables());
    BuildOverRatioTable(t.get());
    return t;
}

CloudPixel cloudOf(float r, float g, float b, float opacity, float glow = 0.0f)
{
    return CloudPixel{r, g, b, opacity, glow};
}

}  // namespace

TEST(RenderRow, OverRatioTable)
{
    auto t = ratioTables();
    EXPECT_EQ(t->OverRatioTable[0], 0.0f);
    EXPECT_EQ(t->OverRatioTable[255], 1.0e8f);
    for (int k = 1; k < 255; ++k) EXPECT_NEAR(t->OverRatioTable[k], float(k) / float(255 - k), 1e-4f * k) << k;
}

TEST(RenderRow, SpillOverRange)
{
    // clang-format off
    const struct {
        int32_t in[3], out[3];
    } cases[] = {
        {{300, 100, 50}, {300, 119, 69}},    // red over: e = (135 * 75) >> 8 = 39
        {{100, 300, 50}, {119, 300, 69}},
        {{100, 50, 300}, {119, 69, 300}},
        {{300, 250, 10}, {300, 269, 43}},    // green pushed over by the spill gives its excess to blue
        {{300, 300, 10}, {300, 300, 89}},    // two over: the third takes e whole
        {{300, 10, 300}, {300, 89, 300}},
        {{10, 300, 300}, {89, 300, 300}},
        {{300, 300, 300}, {300, 300, 300}},  // all over: unchanged
        {{255, 255, 0}, {255, 255, 0}},      // none over
    };
    // clang-format on
    for (const auto& c : cases) {
        int32_t r = c.in[0], g = c.in[1], b = c.in[2];
        SpillOverRange(&r, &g, &b);
        EXPECT_EQ(r, c.out[0]) << c.in[0] << "," << c.in[1] << "," << c.in[2];
        EXPECT_EQ(g, c.out[1]) << c.in[0] << "," << c.in[1] << "," << c.in[2];
        EXPECT_EQ(b, c.out[2]) << c.in[0] << "," << c.in[1] << "," << c.in[2];
    }
}

TEST(RenderRow, ZeroOpacityLeavesEveryPixelAlone)
{
    auto t = ratioTables();
    for (int a0 = 0; a0 < 256; ++a0) {
        const int32_t source[3] = {a0, 255 - a0, (a0 * 7) & 255};
        for (bool transparency : {false, true}) {
            ComposedPixel p =
                ComposeCloudPixel(t.get(), cloudOf(0.9f, 0.2f, 0.6f, 0.0f), source, a0, true, transparency);
            ASSERT_EQ(p.red, source[0]) << a0;
            ASSERT_EQ(p.green, source[1]) << a0;
            ASSERT_EQ(p.blue, source[2]) << a0;
            if (transparency) {
                ASSERT_EQ(p.transparency, a0);
            }
        }
    }
}

TEST(RenderRow, FullOpacityGivesTheCloudColour)
{
    auto t = ratioTables();
    const int32_t source[3] = {100, 150, 50};
    // 200 over 100, 100 over 150 (one lower: 255/255 is a hair above 1), 50 over 50.
    ComposedPixel p =
        ComposeCloudPixel(t.get(), cloudOf(200 / 255.0f + 1e-6f, 100 / 255.0f + 1e-6f, 50 / 255.0f + 1e-6f, 1.0f),
                          source, 255, true, false);
    EXPECT_EQ(p.red, 200);
    EXPECT_EQ(p.green, 99);
    EXPECT_EQ(p.blue, 50);
}

TEST(RenderRow, TransparentSourceTakesTheCloudUnmixed)
{
    auto t = ratioTables();
    const int32_t source[3] = {10, 20, 30};
    for (float opacity : {0.1f, 0.5f, 1.0f}) {
        ComposedPixel p = ComposeCloudPixel(t.get(), cloudOf(0.8f, 0.6f, 0.4f, opacity), source, 0, true, true);
        EXPECT_EQ(p.red, int(0.8f * 255.0));
        EXPECT_EQ(p.green, int(0.6f * 255.0));
        EXPECT_EQ(p.blue, int(0.4f * 255.0));
        EXPECT_EQ(p.transparency, int(opacity * 255.0f)) << opacity;
    }
}

TEST(RenderRow, GreyWeights)
{
    auto t = ratioTables();
    const int32_t black[3] = {0, 0, 0};
    const struct {
        float r, g, b;
        int32_t grey;
    } cases[] = {{1, 0, 0, 76}, {0, 1, 0, 149}, {0, 0, 1, 27}, {1, 1, 1, 254}};
    for (const auto& c : cases) {
        ComposedPixel p = ComposeCloudPixel(t.get(), cloudOf(c.r, c.g, c.b, 1.0f), black, 255, false, false);
        EXPECT_EQ(p.red, c.grey) << c.r << c.g << c.b;
    }
}

TEST(RenderRow, GlowWhitens)
{
    auto t = ratioTables();
    const int32_t source[3] = {0, 100, 255};
    ComposedPixel p = ComposeCloudPixel(t.get(), cloudOf(0, 0, 0, 0.0f, 0.5f), source, 255, true, false);
    EXPECT_EQ(p.red, 127);
    EXPECT_EQ(p.green, 177);
    EXPECT_EQ(p.blue, 255);
}

TEST(RenderRow, PreviewShowsSkyOrCheckerboardOutsideTheSelection)
{
    CloudSettings s = testhost::defaultSettings();
    // Colour: with the selection empty everywhere every pixel is the sky colour.
    Picture colour = testhost::gradientPicture(24, 20, 3, false);
    Picture out = testhost::renderPreviewInProcess(s, colour, std::vector<uint8_t>(24 * 20, 0));
    for (size_t k = 0; k < out.pixels.size(); k += 3) {
        ASSERT_EQ(out.pixels[k], s.skyColor.red >> 8);
        ASSERT_EQ(out.pixels[k + 1], s.skyColor.green >> 8);
        ASSERT_EQ(out.pixels[k + 2], s.skyColor.blue >> 8);
    }
    // Grey: an 8 by 8 checkerboard starting with the lighter grey.
    Picture grey = testhost::gradientPicture(24, 20, 1, false);
    out = testhost::renderPreviewInProcess(s, grey, std::vector<uint8_t>(24 * 20, 0));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 24; ++x)
            ASSERT_EQ(out.pixels[size_t(y) * 24 + x], ((x ^ y) & 8) ? 112 : 144) << x << "," << y;
    // Without a mask the preview equals the final render.
    EXPECT_EQ(testhost::renderPreviewInProcess(s, colour, {}).pixels, testhost::renderInProcess(s, colour).pixels);
}

TEST(RenderRow, MissingBuffersGiveMemFullAndWriteNothing)
{
    Picture source = testhost::gradientPicture(16, 4, 3, false);
    std::unique_ptr<WorkBlock> work(new WorkBlock());
    FilterRecord record{};
    FilterContext ctx{};
    int16 result = 0;
    ctx.filter = &record;
    ctx.result = &result;
    ctx.work = work.get();
    std::vector<uint8_t> out(source.pixels.size(), 0xEE);
    record.outData = out.data();
    record.outRect = {0, 0, 1, 16};
    RenderCloudRow(&ctx);  // no inData: the parameter block is never reached either
    EXPECT_EQ(result, memFullErr);
    EXPECT_EQ(out, std::vector<uint8_t>(source.pixels.size(), 0xEE));
}
