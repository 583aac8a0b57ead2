// The seed-dependent tables and the gradient noise.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <set>

#include "render/Lattice.h"

namespace {

uint32_t fnv1a32(const void* data, size_t size)
{
    uint32_t h = 0x811C9DC5u;
    for (size_t i = 0; i < size; ++i) {
        h ^= static_cast<const uint8_t*>(data)[i];
        h *= 0x01000193u;
    }
    return h;
}

std::unique_ptr<CloudTables> tablesFor(int32_t seed)
{
    std::unique_ptr<CloudTables> t(new CloudTables());
    PrepareCloudTables(t.get(), seed);
    return t;
}

}  // namespace

TEST(Lattice, TableIsFrozen)
{
    // Stored seeds depend on every entry: any change to the table shows here.
    uint8_t bytes[4096];
    for (int k = 0; k < 2048; ++k) {
        bytes[2 * k] = uint8_t(LatticeTable[k] & 255);
        bytes[2 * k + 1] = uint8_t(LatticeTable[k] >> 8);
    }
    EXPECT_EQ(fnv1a32(bytes, sizeof bytes), 0x1936CAA1u);
    const int16_t head[] = {1317, 807, 1939, 1586, 314, 127, 1935, 1264, 1847, 969};
    const int16_t tail[] = {557, 4, 1845, 955, 26, 391, 1023};
    for (int k = 0; k < 10; ++k) EXPECT_EQ(LatticeTable[k], head[k]) << k;
    for (int k = 0; k < 7; ++k) EXPECT_EQ(LatticeTable[2041 + k], tail[k]) << k;
    for (int k = 0; k < 2048; ++k) ASSERT_TRUE(LatticeTable[k] >= 0 && LatticeTable[k] < 2048) << k;
}

TEST(Lattice, BasePermutationIsTheReference)
{
    std::set<int> values(BasePermutation, BasePermutation + 256);
    EXPECT_EQ(values.size(), 256u);
    const uint8_t head[] = {151, 160, 137, 91, 90, 15, 131, 13};
    const uint8_t tail[] = {215, 61, 156, 180};
    for (int k = 0; k < 8; ++k) EXPECT_EQ(BasePermutation[k], head[k]);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(BasePermutation[252 + k], tail[k]);
}

TEST(Lattice, StirringOrderIsPinned)
{
    // Golden sums of the stirred bytes. The same loop without the step that
    // puts entry k back (a textbook shuffle) must give other bytes.
    const struct {
        int32_t seed;
        uint32_t hash;
    } golden[] = {{0, 0xE063EB1Cu}, {21, 0x7E35983Fu}, {2047, 0x37BEF1FCu}};
    for (const auto& g : golden) {
        auto t = tablesFor(g.seed);
        EXPECT_EQ(fnv1a32(t->LatticeBytes, sizeof t->LatticeBytes), g.hash) << g.seed;

        int32_t textbook[2048];
        for (int k = 0; k < 2048; ++k) textbook[k] = LatticeTable[k] & 255;
        for (int k = 0; k < 2048; ++k) std::swap(textbook[k], textbook[LatticeTable[(k + g.seed) & 2047]]);
        EXPECT_NE(std::memcmp(textbook, t->LatticeBytes, sizeof textbook), 0) << g.seed;
    }
}

TEST(Lattice, SeedsThatShareTables)
{
    auto a = tablesFor(5), b = tablesFor(261);
    // 256 apart: one noise permutation, but other puffs.
    EXPECT_EQ(std::memcmp(a->NoisePermutation, b->NoisePermutation, sizeof a->NoisePermutation), 0);
    EXPECT_NE(std::memcmp(a->PuffScale, b->PuffScale, sizeof a->PuffScale), 0);
    // 2048 apart: everything equal.
    auto c = tablesFor(0), d = tablesFor(2048);
    EXPECT_EQ(std::memcmp(c.get(), d.get(), sizeof(CloudTables)), 0);
}

TEST(Lattice, PuffsStayInTheirRangesForEverySeed)
{
    std::unique_ptr<CloudTables> t(new CloudTables());
    for (int32_t seed = 0; seed < 2048; ++seed) {
        PrepareCloudTables(t.get(), seed);
        ASSERT_EQ(t->PuffOffsetX[0], 0.0f) << seed;
        ASSERT_EQ(t->PuffOffsetY[0], 0.0f) << seed;
        for (int n = 0; n < maxPuffs; ++n) {
            ASSERT_TRUE(t->PuffScale[n] >= 0.5f && t->PuffScale[n] <= 1.0f) << seed;
            ASSERT_TRUE(t->PuffOffsetX[n] >= -0.25f && t->PuffOffsetX[n] <= 0.25f) << seed;
            ASSERT_TRUE(t->PuffOffsetY[n] >= -0.125f && t->PuffOffsetY[n] <= 0.125f) << seed;
        }
        for (int k = 0; k < 2048; ++k) ASSERT_TRUE(t->LatticeBytes[k] >= 0 && t->LatticeBytes[k] <= 255);
    }
}

TEST(Noise, CheckValues)
{
    const struct {
        int32_t seed;
        float x, y, expected;
    } gradient[] = {{21, 0.5f, 0.5f, -0.625f}, {21, 1.25f, 2.75f, 0.33937f}, {0, 0.5f, 0.5f, -0.25f}};
    for (const auto& c : gradient)
        EXPECT_NEAR(GradientNoise2D(tablesFor(c.seed)->NoisePermutation, c.x, c.y), c.expected, 5e-6)
            << c.seed << " (" << c.x << ", " << c.y << ")";

    const struct {
        float x, y, octaves, gain, expected;
    } fractal[] = {{1.0f, 2.0f, 1.01f, 0.5f, -0.1436f}, {-2.5f, 0.25f, 3.0f, 0.5f, -0.3117f}};
    auto t = tablesFor(21);
    for (const auto& c : fractal)
        EXPECT_NEAR(FractalNoise(t->NoisePermutation, c.x, c.y, c.octaves, c.gain), c.expected, 5e-5) << c.x;
}

TEST(Noise, ZeroAtIntegerPointsAndContinuousAcrossCells)
{
    auto t = tablesFor(21);
    const int16_t* P = t->NoisePermutation;
    for (float x : {3.0f, -7.0f, 0.0f, -1.0f, 255.0f, 256.0f, -300.0f})
        for (float y : {-7.0f, 0.0f, 2.0f, 511.0f}) EXPECT_EQ(GradientNoise2D(P, x, y), 0.0f) << x << ", " << y;
    // The cell below -1 with fraction 1 meets the cell at -1 with fraction 0.
    for (float y : {0.3f, -2.6f, 7.9f}) {
        EXPECT_NEAR(GradientNoise2D(P, -1.0f, y), GradientNoise2D(P, -0.99999f, y), 1e-4f) << y;
        EXPECT_NEAR(GradientNoise2D(P, -1.0f, y), GradientNoise2D(P, -1.00001f, y), 1e-4f) << y;
        EXPECT_NEAR(GradientNoise2D(P, y, -1.0f), GradientNoise2D(P, y, -0.99999f), 1e-4f) << y;
    }
}

TEST(Noise, WholeAndFractionalOctaves)
{
    auto t = tablesFor(21);
    const int16_t* P = t->NoisePermutation;
    const float x = 0.37f, y = -1.21f;
    // Below one octave only the partial octave counts, in the unturned frame.
    EXPECT_EQ(FractalNoise(P, x, y, 0.5f, 0.7f), 0.5f * GradientNoise2D(P, x, y));
    EXPECT_EQ(FractalNoise(P, x, y, 0.0f, 0.7f), 0.0f);
    // Exactly one octave: one turned sample and no partial octave.
    float turnedX = float(x * 0.7771459 - y * 0.6293203), turnedY = float(y * 0.7771459 + x * 0.6293203);
    EXPECT_EQ(FractalNoise(P, x, y, 1.0f, 0.7f), GradientNoise2D(P, turnedX, turnedY));
    // A gain of 0 silences every octave after the first, partial ones included.
    EXPECT_EQ(FractalNoise(P, x, y, 9.41f, 0.0f), FractalNoise(P, x, y, 1.0f, 0.5f));
}

TEST(Noise, FarCoordinatesAreSilentNotUndefined)
{
    auto t = tablesFor(21);
    const float far[] = {3.0e9f, -3.0e9f, 1.0e30f, INFINITY, -INFINITY, NAN};
    for (float v : far) {
        EXPECT_EQ(GradientNoise2D(t->NoisePermutation, v, 0.5f), 0.0f) << v;
        EXPECT_EQ(GradientNoise2D(t->NoisePermutation, 0.5f, v), 0.0f) << v;
    }
}
