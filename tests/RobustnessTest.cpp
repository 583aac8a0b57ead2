// Settings no control can produce, from files or host blocks, never break a
// render: no NaN, no runaway loops, no reads past tables, no undefined
// conversions (the sanitizer build checks the last two).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

#include "host/EngineHarness.h"
#include "host/TestHost.h"
#include "render/CloudModel.h"
#include "settings/Persistence.h"
#include "settings/PresetFile.h"
#include "ui/DirectionPad.h"

using testhost::Picture;

namespace {

int maxDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    int most = 0;
    for (size_t k = 0; k < a.size(); ++k) most = std::max(most, std::abs(int(a[k]) - int(b[k])));
    return most;
}

CloudSettings withLight(CloudSettings s, const float v[3])
{
    s.lightX = v[0];
    s.lightY = v[1];
    s.lightZ = v[2];
    return s;
}

}  // namespace

TEST(DirectionPad, DragArithmetic)
{
    const struct {
        int dx, dy;
        float x, y, z;
    } cases[] = {{0, 0, 0, 0, 1},    {66, 0, 1, 0, 0},
                 {33, 0, 1, 0, 0},   {16, 0, 0.4848485f, 0, 0.8745981f},
                 {0, -40, 0, -1, 0}, {-20, 20, -0.6060606f, 0.6060606f, 0.5151515f}};
    for (const auto& c : cases) {
        float v[3];
        padVectorAt(c.dx, c.dy, v);
        EXPECT_NEAR(v[0], c.x, 1e-6f) << c.dx << "," << c.dy;
        EXPECT_NEAR(v[1], c.y, 1e-6f) << c.dx << "," << c.dy;
        EXPECT_NEAR(v[2], c.z, 1e-6f) << c.dx << "," << c.dy;
    }
}

TEST(Robustness, LightOnTheRimOfThePadRendersLikeJustInside)
{
    const Picture source = testhost::gradientPicture(40, 24, 3, false);
    int positions = 0;
    for (int backlit : {0, 1}) {
        CloudSettings base = testhost::defaultSettings();
        base.backlighting = backlit;
        // Every pointer position of the pad at or beyond the circle.
        for (int dy = -41; dy <= 45; ++dy) {
            for (int dx = -43; dx <= 37; ++dx) {
                if (dx * dx + dy * dy < padRadius * padRadius) continue;
                float rim[3];
                padVectorAt(dx, dy, rim);
                CloudRow row;
                CloudTables tables;
                CloudSettings s = withLight(base, rim);
                PrepareCloudTables(&tables, s.seed);
                SetupCloudFactors(&row, &s, &tables, 40, 24);
                ASSERT_TRUE(std::isfinite(row.bentZ)) << dx << "," << dy;
                if ((dx + dy) % 7 != 0) continue;  // render a spread of them
                // Just inside: the same direction, a hair shorter.
                float inside[3] = {rim[0] * 0.999f, rim[1] * 0.999f, 0.0f};
                inside[2] = std::sqrt(1.0f - inside[0] * inside[0] - inside[1] * inside[1]);
                Picture a = testhost::renderInProcess(s, source);
                Picture b = testhost::renderInProcess(withLight(base, inside), source);
                ASSERT_LE(maxDifference(a.pixels, b.pixels), 12) << dx << "," << dy << " backlit " << backlit;
                ++positions;
            }
        }
    }
    EXPECT_GT(positions, 100);
}

TEST(Robustness, RandomWordsRenderBoundedAndFinite)
{
    std::mt19937 random(6);
    auto anyWord = [&] { return int32_t(random()); };
    auto anyFloat = [&]() -> float {
        switch (random() % 6) {
        case 0: return std::nanf("");
        case 1: return (random() & 1) ? INFINITY : -INFINITY;
        case 2: {
            uint32_t bits = random();
            float f;
            std::memcpy(&f, &bits, sizeof f);
            return f;
        }
        default: return float(int(random() % 4001) - 2000) * 0.001f;  // -2 .. 2
        }
    };
    for (int round = 0; round < 300; ++round) {
        CloudSettings s = testhost::defaultSettings();
        for (auto word : kParameterWords) s.*word = anyWord();
        s.seed = anyWord();
        s.lightX = anyFloat();
        s.lightY = anyFloat();
        s.lightZ = anyFloat();
        s.centreU = anyFloat();
        s.centreV = anyFloat();
        const bool layer = round % 3 == 0;
        Picture source = testhost::gradientPicture(24, 3, layer ? 4 : 3, layer);

        CloudRow row;
        CloudTables tables;
        PrepareCloudTables(&tables, s.seed);
        SetupCloudFactors(&row, &s, &tables, 24, 3);
        // At most fourteen noise evaluations a pixel and ten puffs.
        ASSERT_LE(row.octaves, 13.01f) << round;
        ASSERT_GE(row.puffCount, 1) << round;
        ASSERT_LE(row.puffCount, 10) << round;
        for (float f : {row.zoom, row.lumpScale, row.bentX, row.bentY, row.bentZ, row.backlight, row.centreU,
                        row.centreV, row.glowFactor, row.backDim})
            ASSERT_TRUE(std::isfinite(f)) << round;
        for (int D = 0; D < 3; ++D) {
            SetupCloudRow(&row, &s, &tables, D);
            for (int i = 0; i < 24; ++i) {
                CloudPixel p = ShadeCloudPixel(&row, &tables, i);
                ASSERT_TRUE(p.opacity >= 0.0f && p.opacity <= 1.0f) << round;
                ASSERT_TRUE(p.glow >= 0.0f && p.glow <= 1.0f) << round;
                ASSERT_TRUE(std::isfinite(p.red) && std::isfinite(p.green) && std::isfinite(p.blue)) << round;
            }
        }
        testhost::renderInProcess(s, source);  // the sanitizer build checks every conversion here
    }
}

TEST(Robustness, HugePresetValuesRenderAsTheirLimits)
{
    // Puffs 1000 and Detail 2147483647 from a presets file, through the entry
    // point, give the picture of Puffs 100 and Detail 100.
    std::vector<uint8_t> pictures[2];
    const int32_t puffs[2] = {1000, 100}, detail[2] = {2147483647, 100};
    for (int k = 0; k < 2; ++k) {
        testhost::TestHost host(48, 30, 3);
        CloudSettings s = testhost::defaultSettings();
        s.puffs = puffs[k];
        s.detail = detail[k];
        std::vector<uint8_t> bytes(presetBytesWithThumbnail);
        bytes.resize(encodePreset(&s, nullptr, bytes.data()));
        char path[300];
        temporaryFilePath("Nimbulo cached settings", path, sizeof path);
        FILE* f = std::fopen(path, "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        ASSERT_EQ(host.run(false), noErr);
        EXPECT_EQ(host.settings()->puffs, puffs[k]);  // the word itself is carried unchanged
        pictures[k] = host.output;
    }
    EXPECT_EQ(pictures[0], pictures[1]);
}
