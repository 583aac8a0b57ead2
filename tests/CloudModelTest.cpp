// The per-pixel cloud model.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>

#include "host/EngineHarness.h"
#include "render/CloudModel.h"
#include "render/DetMath.h"

namespace {

struct Model {
    CloudSettings settings = testhost::defaultSettings();
    std::unique_ptr<CloudTables> tables{new CloudTables()};
    CloudRow row;

    void setup(int width = 200, int height = 100, int D = 40)
    {
        PrepareCloudTables(tables.get(), settings.seed);
        SetupCloudFactors(&row, &settings, tables.get(), width, height);
        SetupCloudRow(&row, &settings, tables.get(), D);
    }
};

}  // namespace

TEST(CloudModel, PuffCountSteps)
{
    const struct {
        int32_t puffs, count;
    } cases[] = {{0, 1}, {11, 1}, {12, 2}, {44, 4}, {45, 5}, {89, 9}, {99, 9}, {100, 10}};
    for (const auto& c : cases) {
        Model m;
        m.settings.puffs = c.puffs;
        m.setup();
        EXPECT_EQ(m.row.puffCount, c.count) << c.puffs;
    }
}

TEST(CloudModel, LightVectorBending)
{
    const struct {
        float x, y, z;
        int backlit;
        float bentX, bentY, bentZ;
    } cases[] = {
        {0.0f, 0.0f, 1.0f, 0, 0.0f, 0.0f, 1.0f},            // overhead
        {0.0f, 0.0f, 0.8f, 1, 0.0f, 0.0f, -0.8f},           // overhead, backlit
        {0.6f, 0.0f, 0.8f, 0, 0.809017f, 0.0f, 0.587785f},  // sin(0.6 pi/2) = 0.809017
        {0.0f, -1.0f, 0.0f, 0, 0.0f, -1.0f, 0.0f},          // on the rim
    };
    for (const auto& c : cases) {
        Model m;
        m.settings.lightX = c.x;
        m.settings.lightY = c.y;
        m.settings.lightZ = c.z;
        m.settings.backlighting = c.backlit;
        m.setup();
        EXPECT_NEAR(m.row.bentX, c.bentX, 1e-6f) << c.x << "," << c.y;
        EXPECT_NEAR(m.row.bentY, c.bentY, 1e-6f) << c.x << "," << c.y;
        EXPECT_NEAR(m.row.bentZ, c.bentZ, 1e-6f) << c.x << "," << c.y;
        EXPECT_FALSE(std::isnan(m.row.bentZ));
    }
}

TEST(CloudModel, NoGlowWithoutBacklightingOrWithALowLight)
{
    const struct {
        int backlit;
        float lightZ;
    } cases[] = {{0, 0.9f}, {1, 0.75f}, {1, 0.6456004f}, {1, -0.7f}};
    for (const auto& c : cases) {
        Model m;
        m.settings.backlighting = c.backlit;
        m.settings.lightZ = c.lightZ;
        m.settings.lightX = m.settings.lightY = 0.0f;
        m.setup();
        for (int D = 0; D < 100; D += 3) {
            SetupCloudRow(&m.row, &m.settings, m.tables.get(), D);
            for (int i = 0; i < 200; i += 3) ASSERT_EQ(ShadeCloudPixel(&m.row, m.tables.get(), i).glow, 0.0f);
        }
        if (!c.backlit) {
            EXPECT_EQ(m.row.backDim, 1.0f);
        }
    }
    // A high backlight does glow somewhere at the cloud edges.
    Model m;
    m.settings.backlighting = 1;
    m.settings.lightX = m.settings.lightY = 0.0f;
    m.settings.lightZ = 1.0f;
    m.setup();
    float most = 0.0f;
    for (int D = 0; D < 100; ++D) {
        SetupCloudRow(&m.row, &m.settings, m.tables.get(), D);
        for (int i = 0; i < 200; ++i) most = std::fmax(most, ShadeCloudPixel(&m.row, m.tables.get(), i).glow);
    }
    EXPECT_GT(most, 0.5f);
}

TEST(CloudModel, NothingBelowTheHorizon)
{
    Model m;
    m.settings.zoom = 0;  // the field spans -4..4
    m.setup(100, 100, 0);
    EXPECT_EQ(m.row.zoom, 8.0f);
    for (int D = 0; D < 100; ++D) {
        SetupCloudRow(&m.row, &m.settings, m.tables.get(), D);
        bool below = m.row.fieldY > 1.1f;
        EXPECT_EQ(m.row.belowHorizon, below) << D;
        if (!below) continue;
        for (int i = 0; i < 100; ++i) ASSERT_EQ(ShadeCloudPixel(&m.row, m.tables.get(), i).opacity, 0.0f);
    }
    // Row 64 is at Y = (0.64 - 0.5) * 8 = 1.12.
    SetupCloudRow(&m.row, &m.settings, m.tables.get(), 64);
    EXPECT_TRUE(m.row.belowHorizon);
    SetupCloudRow(&m.row, &m.settings, m.tables.get(), 63);
    EXPECT_FALSE(m.row.belowHorizon);
}

TEST(CloudModel, SkyLightTintsOnlyShadows)
{
    Model m;
    m.settings.skyLight = 0;
    m.setup();
    // With no sky light the colour is the cloud colour times the shade: its
    // channels keep the cloud colour's proportions.
    for (int i = 0; i < 200; i += 7) {
        CloudPixel p = ShadeCloudPixel(&m.row, m.tables.get(), i);
        EXPECT_NEAR(p.red * m.row.cloudBlue, p.blue * m.row.cloudRed, 1e-6f) << i;
    }
    // A fully lit surface has shade 1, whatever the sky light.
    EXPECT_EQ(ShadeOfLight(&m.row, 1.0f), 1.0f);
}

TEST(CloudModel, RgbToHslBranches)
{
    const struct {
        float r, g, b, h, s, l;
    } cases[] = {
        {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},      // black
        {0.4f, 0.4f, 0.4f, 0.0f, 0.0f, 0.4f},      // grey
        {1.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.5f},      // red: 5 + 1, a full turn
        {1.0f, 1.0f, 0.0f, 1.0f / 6, 1.0f, 0.5f},  // red and green both the largest: red's branch
        {0.0f, 1.0f, 0.0f, 2.0f / 6, 1.0f, 0.5f},
        {0.0f, 1.0f, 1.0f, 3.0f / 6, 1.0f, 0.5f},  // green and blue both the largest: green's branch
        {0.0f, 0.0f, 1.0f, 4.0f / 6, 1.0f, 0.5f},
        {1.0f, 0.0f, 1.0f, 5.0f / 6, 1.0f, 0.5f},
        {0.8f, 0.6f, 0.4f, 1.0f / 12, 0.5f, 0.6f},  // light: s = d / (2 - v - m)
    };
    for (const auto& c : cases) {
        float h, s, l;
        RgbToHsl(c.r, c.g, c.b, &h, &s, &l);
        EXPECT_NEAR(h, c.h, 1e-6f) << c.r << " " << c.g << " " << c.b;
        EXPECT_NEAR(s, c.s, 1e-6f) << c.r << " " << c.g << " " << c.b;
        EXPECT_NEAR(l, c.l, 1e-6f) << c.r << " " << c.g << " " << c.b;
    }
}

TEST(CloudModel, HslRoundTripsAndWraps)
{
    const float colours[][3] = {{0.925f, 0.906f, 0.965f}, {0.525f, 0.6f, 0.714f}, {0.1f, 0.9f, 0.3f},
                                {0.9f, 0.1f, 0.5f},       {0.2f, 0.2f, 0.8f},     {1.0f, 0.5f, 0.0f}};
    for (const auto& c : colours) {
        float h, s, l, r, g, b;
        RgbToHsl(c[0], c[1], c[2], &h, &s, &l);
        HslToRgb(h, s, l, &r, &g, &b);
        EXPECT_NEAR(r, c[0], 2e-6f);
        EXPECT_NEAR(g, c[1], 2e-6f);
        EXPECT_NEAR(b, c[2], 2e-6f);
    }
    for (float s : {0.0f, 0.3f, 1.0f}) {
        for (float l : {0.2f, 0.5f, 0.9f}) {
            float a[3], b[3];
            HslToRgb(1.0f, s, l, &a[0], &a[1], &a[2]);
            HslToRgb(0.0f, s, l, &b[0], &b[1], &b[2]);
            EXPECT_EQ(a[0], b[0]);
            EXPECT_EQ(a[1], b[1]);
            EXPECT_EQ(a[2], b[2]);
        }
    }
    float r, g, b;
    HslToRgb(0.3f, 0.5f, 0.0f, &r, &g, &b);
    EXPECT_EQ(r + g + b, 0.0f);
}

TEST(CloudModel, NormalizeVectorAndFastInverseSquareRoot)
{
    std::unique_ptr<CloudTables> t(new CloudTables());
    PrepareCloudTables(t.get(), 21);
    float zero[3] = {0.0f, 0.0f, 0.0f};
    NormalizeVector(t.get(), zero);
    EXPECT_EQ(zero[0], 0.0f);
    EXPECT_EQ(zero[1], 0.0f);
    EXPECT_EQ(zero[2], 1.0f);
    for (float s : {0.051f, 0.5f, 0.75f, 1.0f, 1.999f, 2.0f, 3.7f, 100.0f, 12345.0f, 1.0e-3f}) {
        float exact = float(1.0 / std::sqrt(double(s)));
        EXPECT_NEAR(FastInvSqrt(t.get(), s) / exact, 1.0f, 2e-6f) << s;
    }
    for (const auto& v : {std::array<float, 3>{3.0f, 4.0f, 0.0f}, std::array<float, 3>{0.1f, 0.1f, 0.0f},
                          std::array<float, 3>{-2.0f, 0.5f, 1.0f}}) {
        float w[3] = {v[0], v[1], v[2]};
        NormalizeVector(t.get(), w);
        EXPECT_NEAR(w[0] * w[0] + w[1] * w[1] + w[2] * w[2], 1.0f, 1e-5f);
    }
}

TEST(DeterministicMaths, AgreesWithTheLibrary)
{
    for (double x = -7.0; x <= 7.0; x += 0.173) EXPECT_NEAR(DetSin(x), std::sin(x), 2e-16 + 1e-15 * std::fabs(x)) << x;
    for (double x = -30.0; x <= 30.0; x += 0.77) EXPECT_NEAR(DetExp2(x) / std::exp2(x), 1.0, 1e-14) << x;
    for (double base : {0.001, 0.1, 0.5, 0.73, 0.999, 1.0})
        for (double e : {1.0, 1.87, 2.5, 4.0}) EXPECT_NEAR(DetPow(base, e) / std::pow(base, e), 1.0, 1e-13);
    EXPECT_EQ(DetPow(0.0, 2.0), 0.0);
    EXPECT_EQ(DetPow(0.3, 0.0), 1.0);
    EXPECT_TRUE(std::isnan(DetSin(INFINITY)));
}
