// The vector paths give exactly the scalar pixels: random settings (hostile
// ones too), widths around the vector widths, pans and zooms of the preview,
// masks and transparency.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "host/EngineHarness.h"
#include "render/RenderPath.h"

using testhost::Picture;

namespace {

const RenderPath vectorPaths[] = {renderSse2, renderAvx2};

// Settings of every kind: plausible slider values most of the time, words no
// control can make (and broken floats) now and then.
CloudSettings randomSettings(std::mt19937& random)
{
    CloudSettings s = testhost::defaultSettings();
    bool hostile = random() % 5 == 0;
    for (auto word : kParameterWords) s.*word = hostile ? int32_t(random()) : int32_t(random() % 101);
    s.backlighting = int32_t(random() % 2);
    s.seed = hostile ? int32_t(random()) : int32_t(random() % 2048);
    auto anyFloat = [&](float low, float high) -> float {
        if (hostile && random() % 3 == 0) {
            uint32_t bits = random();
            float f;
            std::memcpy(&f, &bits, sizeof f);
            return f;
        }
        return low + (high - low) * float(random() % 10001) / 10000.0f;
    };
    s.lightX = anyFloat(-1.0f, 1.0f);
    s.lightY = anyFloat(-1.0f, 1.0f);
    s.lightZ = anyFloat(-1.0f, 1.0f);
    s.centreU = anyFloat(-0.5f, 1.5f);
    s.centreV = anyFloat(-0.5f, 1.5f);
    s.cloudColor = RGB48{uint16(random()), uint16(random()), uint16(random())};
    s.skyColor = RGB48{uint16(random()), uint16(random()), uint16(random())};
    s.zoomRate = int32_t(1 + random() % 12);
    s.panX = hostile ? int32_t(random()) : int32_t(random() % 3000);
    s.panY = int32_t(random() % 3000);
    return s;
}

Picture renderOn(RenderPath path, const CloudSettings& s, const Picture& source, bool preview,
                 const std::vector<uint8_t>& mask)
{
    setRenderPath(path);
    Picture out = preview ? testhost::renderPreviewInProcess(s, source, mask) : testhost::renderInProcess(s, source);
    setRenderPath(bestRenderPath());
    return out;
}

}  // namespace

TEST(VectorPath, CloudPixelsMatchTheScalarModelBitForBit)
{
    std::mt19937 random(12);
    int packs = 0;
    for (int round = 0; round < 200; ++round) {
        CloudSettings s = randomSettings(random);
        CloudTables* tables = new CloudTables;
        PrepareCloudTables(tables, s.seed);
        CloudRow row;
        SetupCloudFactors(&row, &s, tables, int32_t(50 + random() % 4000), int32_t(50 + random() % 3000));
        const int width = 1 + int(random() % 70);
        for (int D : {0, int(random() % 400), int(random() % 3000)}) {
            SetupCloudRow(&row, &s, tables, D);
            std::vector<CloudPixel> scalar(static_cast<size_t>(width)), vector(static_cast<size_t>(width));
            for (int i = 0; i < width; ++i) scalar[size_t(i)] = ShadeCloudPixel(&row, tables, i);
            for (RenderPath path : vectorPaths) {
                setRenderPath(path);
                if (currentRenderPath() != path) continue;
                ShadeCloudSpan(&row, tables, 0, width, vector.data());
                packs += width / 8;
                ASSERT_EQ(std::memcmp(scalar.data(), vector.data(), scalar.size() * sizeof(CloudPixel)), 0)
                    << renderPathName(path) << ", round " << round << ", row " << D << ", width " << width;
            }
            setRenderPath(bestRenderPath());
        }
        delete tables;
    }
    EXPECT_GT(packs, 0);
}

TEST(VectorPath, RowsMatchTheScalarRenderByteForByte)
{
    std::mt19937 random(34);
    const int widths[] = {1, 3, 4, 5, 7, 8, 9, 15, 16, 17, 63, 64, 65, 100, 257};
    for (int round = 0; round < 120; ++round) {
        CloudSettings s = randomSettings(random);
        const int kind = int(random() % 3);  // grey, colour, colour with transparency
        const int planes = kind == 0 ? 1 : (kind == 1 ? 3 : 4);
        Picture source = testhost::gradientPicture(widths[round % 15], 3, planes, kind == 2);
        const bool preview = random() % 2 == 0;
        std::vector<uint8_t> mask;
        if (preview && random() % 2)
            for (int k = 0; k < source.width * source.height; ++k) mask.push_back(uint8_t(random()));
        Picture scalar = renderOn(renderScalar, s, source, preview, mask);
        for (RenderPath path : vectorPaths) {
            Picture vector = renderOn(path, s, source, preview, mask);
            ASSERT_EQ(scalar.pixels, vector.pixels)
                << renderPathName(currentRenderPath()) << ", round " << round << ", width " << source.width;
        }
    }
}

// Seamless rows, both ways round: whole rows of the rectangle and beyond it
// (the reach's copies round the cylinder, the columns past them), from
// random looks, sizes, zoom rates and pans, as the scalar model gives them
// pixel by pixel; the scalar path checks the reach alone.
TEST(VectorPath, SeamlessPixelsMatchTheScalarModelBitForBit)
{
    const int32_t modes[] = {wrapAcross, wrapBoth};
    const RenderPath paths[] = {renderScalar, renderSse2, renderAvx2};
    std::mt19937 random(56);
    int packs = 0;
    for (int32_t mode : modes)
        for (int round = 0; round < 120; ++round) {
            CloudSettings s = randomSettings(random);
            s.wrap = mode;
            CloudTables* tables = new CloudTables;
            PrepareCloudTables(tables, s.seed);
            CloudRow row;
            const int32_t width = int32_t(8 + random() % 600), height = int32_t(8 + random() % 400);
            if (round % 2) s.panX = int32_t(random() % 6000) - 3000;  // left of the rectangle too
            SetupCloudFactors(&row, &s, tables, width, height);
            const int32_t first = int32_t(random() % 9), columns = width / row.zoomRate + 12;
            for (int D : {0, int(random() % 400), int(random() % 3000)}) {
                SetupCloudRow(&row, &s, tables, D);
                std::vector<CloudPixel> scalar(static_cast<size_t>(columns)), span(static_cast<size_t>(columns));
                for (int32_t i = 0; i < columns; ++i) scalar[size_t(i)] = ShadeCloudPixel(&row, tables, first + i);
                for (RenderPath path : paths) {
                    setRenderPath(path);
                    if (currentRenderPath() != path) continue;
                    ShadeCloudSpan(&row, tables, first, columns, span.data());
                    packs += path == renderScalar ? 0 : columns / 8;
                    ASSERT_EQ(std::memcmp(scalar.data(), span.data(), scalar.size() * sizeof(CloudPixel)), 0)
                        << renderPathName(path) << ", wrap " << mode << ", round " << round << ", row " << D;
                }
                setRenderPath(bestRenderPath());
            }
            delete tables;
        }
    EXPECT_GT(packs, 0);
}
