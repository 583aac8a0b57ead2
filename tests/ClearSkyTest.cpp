// Clear sky costs almost nothing and changes nothing: the noise never leaves
// its bound, and every render gives the same bytes with clear sky skipped as
// with every pixel modelled.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "host/EngineHarness.h"
#include "render/CloudLanes.h"
#include "render/CloudModel.h"
#include "render/CloudReach.h"
#include "render/Lattice.h"
#include "render/Random.h"
#include "render/RenderPath.h"

using testhost::Picture;

namespace {

// A look as Dice throws it from `seed`.
CloudSettings diceLook(uint32_t seed, bool backlighting)
{
    CloudSettings s = testhost::defaultSettings();
    seedRandom(seed);
    RandomizeSettings(&s);
    s.backlighting = backlighting;
    return s;
}

}  // namespace

TEST(ClearSky, TheNoiseStaysWithinItsBound)
{
    // Far more widely than any render samples it: seeds, Detail and
    // Dispersion across their range, positions near and very far.
    std::vector<CloudTables> tables(1);
    uint32_t state = 12345;
    auto next = [&] { return (state = state * 1664525u + 1013904223u) >> 8; };
    float worstShare = 0.0f;
    for (int seed : {0, 1, 21, 255, 256, 812, 2047}) {
        PrepareCloudTables(&tables[0], seed);
        for (int detail = 0; detail <= 100; detail += 10)
            for (int dispersion = 0; dispersion <= 100; dispersion += 20) {
                CloudSettings s = testhost::defaultSettings();
                s.detail = detail;
                s.dispersion = dispersion;
                CloudRow row;
                SetupCloudFactors(&row, &s, &tables[0], 640, 480);
                ASSERT_TRUE(row.skipClear);
                for (int k = 0; k < 400; ++k) {
                    // As far out as renders go: a field of +-4 at the finest lumps, panned far.
                    float scale = (k % 4 == 0) ? 2000.0f : (k % 4 == 1 ? 300.0f : 3.0f);
                    float x = (float(next() % 20001) / 10000.0f - 1.0f) * scale;
                    float y = (float(next() % 20001) / 10000.0f - 1.0f) * scale;
                    float n = FractalNoise(tables[0].NoisePermutation, x, y, row.octaves, row.gain);
                    ASSERT_LE(std::fabs(n), row.noiseRest[0]) << "seed " << seed << " at " << x << ", " << y;
                    worstShare = std::fmax(worstShare, std::fabs(n) / row.noiseRest[0]);
                }
            }
    }
    EXPECT_GT(worstShare, 0.3f) << "the samples reach well into the bound";
}

TEST(ClearSky, AnOctaveChangesNoFasterThanItsSlopeAndBendsNoMoreThanItsCurvature)
{
    // Neighbouring points, across cell edges too, and the seeds' lattices.
    std::vector<CloudTables> tables(1);
    uint32_t state = 777;
    auto unit = [&] { return float((state = state * 1664525u + 1013904223u) >> 8) / 16777216.0f; };
    double steepest = 0.0, bendiest = 0.0;
    for (int seed : {0, 3, 21, 400, 2047}) {
        PrepareCloudTables(&tables[0], seed);
        auto noise = [&](float x, float y) { return double(GradientNoise2D(tables[0].NoisePermutation, x, y)); };
        for (int k = 0; k < 20000; ++k) {
            const float x = (unit() - 0.5f) * 600.0f, y = (unit() - 0.5f) * 600.0f;
            const float dx = (unit() - 0.5f) * 0.02f, dy = (unit() - 0.5f) * 0.02f;
            const float x2 = x + dx, y2 = y + dy;
            const double apart = std::fabs(double(x2) - x) + std::fabs(double(y2) - y);
            const double change = std::fabs(noise(x2, y2) - noise(x, y));
            ASSERT_LE(change, noiseSlope * apart + 1e-5) << "seed " << seed << " at " << x << ", " << y;
            if (apart > 1e-3) steepest = std::max(steepest, change / apart);

            // A second difference along a line, h apart: h^2 times the second
            // derivative somewhere between (the points are exact in float near
            // the origin, up to a rounding the margin holds).
            const float cx = (unit() - 0.5f) * 64.0f, cy = (unit() - 0.5f) * 64.0f, h = 0.005f + unit() * 0.05f;
            const float angle = unit() * 6.2831853f, ux = h * std::cos(angle), uy = h * std::sin(angle);
            const double bend = std::fabs(noise(cx + ux, cy + uy) - 2.0 * noise(cx, cy) + noise(cx - ux, cy - uy));
            ASSERT_LE(bend, noiseCurvature * double(h) * h + 2e-5) << "seed " << seed << " at " << cx << ", " << cy;
            bendiest = std::max(bendiest, bend / (double(h) * h));
        }
    }
    EXPECT_GT(steepest, 1.5) << "the samples find steep places";
    EXPECT_GT(bendiest, 8.0) << "the samples find sharp bends";
}

TEST(ClearSky, ABlocksPixelsRiseNoHigherThanItsEndsAllow)
{
    // The first k octaves of every pixel of a block, against the larger of
    // its ends' plus what the block's bounds allow above that: narrow and wide
    // blocks, random looks, full size and zoomed out.
    std::vector<CloudTables> tables(1);
    double closest = 0.0;
    for (uint32_t look = 1; look <= 10; ++look) {
        CloudSettings s = diceLook(look * 6151u, false);
        s.zoomRate = 1 + int(look % 3);
        PrepareCloudTables(&tables[0], s.seed);
        const int width = 300 + 170 * int(look % 4), height = 200;
        CloudRow row;
        SetupCloudFactors(&row, &s, &tables[0], width, height);
        SetupCloudRow(&row, &s, &tables[0], int(look * 7) % height);
        if (!row.bounded) continue;
        auto partialSum = [&](int32_t i, int k) {
            return FractalNoise(tables[0].NoisePermutation, fieldXOf(&row, i) * row.noiseScaleX,
                                row.fieldY * row.noiseScaleY, float(k), row.gain);
        };
        for (int level = 0; level < 2; ++level) {
            const CloudRow::BlockBounds& bounds = row.blockBounds[level];
            const int columns = 8 << (2 * level);
            for (int32_t a = 0; a + columns <= width; a += columns)
                for (int k = 1; k <= bounds.octaves; ++k) {
                    const double ends = std::max(partialSum(a, k), partialSum(a + columns, k));
                    const double allowed = double(bounds.rest[k]) - row.noiseRest[k];
                    for (int32_t i = a + 1; i < a + columns; ++i) {
                        const double above = partialSum(i, k) - ends;
                        ASSERT_LE(above, allowed) << "look " << look << ", level " << level << ", column " << i;
                        closest = std::max(closest, above / allowed);
                    }
                }
        }
    }
    EXPECT_GT(closest, 0.2) << "some pixels rise well into the allowance";
}

TEST(ClearSky, NoPuffIsLitAboveItsBound)
{
    // Around where a puff's surface faces the bent light squarely the turn
    // is at its least, and the bound is tightest.
    std::vector<CloudTables> tables(1);
    float closest = 1.0f, roofClosest = 1.0f;
    for (uint32_t look = 1; look <= 12; ++look) {
        CloudSettings s = diceLook(look * 104729u, look % 2 == 0);
        PrepareCloudTables(&tables[0], s.seed);
        CloudRow row;
        SetupCloudFactors(&row, &s, &tables[0], 320, 240);
        SetupCloudRow(&row, &s, &tables[0], 100);
        ASSERT_TRUE(row.skipDimPuffs);
        for (int k = 0; k < 2000; ++k) {
            const int p = k % row.puffCount;
            const float step = float(k % 41 - 20) * (k % 3 == 0 ? 1e-7f : 1e-3f);
            row.puffT[p] = 0.5f * row.bentY + step;
            const float a = 0.5f * row.bentX - step * float(k % 5), noise = float(k % 17 - 8) / 40.0f;
            const float lit = PuffLight(&row, &tables[0], p, a, noise);
            const float bound = LitOfTurn(&row, p, a, noise, row.leastTurn);
            ASSERT_LE(lit, bound) << "look " << look << ", puff " << p << " at " << a;
            if (bound > 0.0f && bound < 1.0f) closest = std::min(closest, bound - lit);
#if defined(NIMBULO_HAVE_SSE2)
            // The vector packs' roof through the puff's key, near the centre and far off.
            const float X = a - row.puffOffsetX[p] + (k % 7 == 0 ? float(k % 3 - 1) * 2500.0f : 0.0f);
            float roof[4];
            SseLanes::store(roof, CloudLanes<SseLanes>::keyRoof(&row, SseLanes::set(X), SseLanes::set(noise)));
            const float over = roof[0] + 0.5f * row.harshness * row.lightKey[p];
            const float atX = LitOfTurn(&row, p, X + row.puffOffsetX[p], noise, row.leastTurn);
            ASSERT_LE(atX, std::max(over, 0.0f)) << "look " << look << ", puff " << p << " at " << X;
            if (atX > 0.0f && atX < 1.0f) roofClosest = std::min(roofClosest, over - atX);
#endif
        }
    }
    EXPECT_LT(closest, 1e-6f) << "the samples reach the least turn";
#if defined(NIMBULO_HAVE_SSE2)
    EXPECT_LT(roofClosest, 1e-4f) << "the roof stays close";
#endif
}

TEST(ClearSky, SkippedOrModelledTheBytesAreTheSame)
{
    struct Shape {
        int width, height, planes;
        bool transparency, preview, sixteen;
    };
    const Shape shapes[] = {
        {1, 1, 3, false, false, false},   {3, 2, 1, false, false, false},  {131, 37, 3, false, false, false},
        {67, 41, 4, true, false, false},  {97, 33, 3, false, true, false}, {53, 29, 2, true, true, false},
        {83, 31, 3, false, false, true},  {45, 27, 4, true, false, true},  {61, 23, 1, false, true, true},
        {300, 9, 3, false, false, false},
    };
    // Look 0: a small cloud in the middle of wide rows, clear sky in every span but the middle one.
    const Shape wide = {3000, 4, 3, false, false, false};
    int compared = 0;
    for (uint32_t look = 0; look <= 24; ++look) {
        CloudSettings s = look ? diceLook(look * 7919u, look % 3 == 0) : testhost::defaultSettings();
        if (look == 0) s.zoom = 0, s.centreV = 0.0f;
        if (look % 4 == 0 && look) s.zoomRate = 1 + int(look % 5), s.panX = int(look * 13), s.panY = int(look * 5);
        if (look % 5 == 0 && look) s.centreU = 0.9f, s.centreV = -0.4f;
        const Shape& shape = look ? shapes[look % (sizeof shapes / sizeof shapes[0])] : wide;
        Picture source = testhost::gradientPicture(shape.width, shape.height, shape.planes, shape.transparency);
        if (shape.sixteen) source = testhost::sixteenBitPicture(source);
        std::vector<uint8_t> mask(size_t(shape.width) * shape.height);
        for (size_t k = 0; k < mask.size(); ++k) mask[k] = uint8_t(k * 37 % 256);
        for (int threads : {1, 3}) {
            Picture modelled, skipped;
            {
                testhost::ClearSkyScope off(false);
                modelled = shape.preview ? testhost::renderPreviewInProcess(s, source, mask, threads)
                                         : testhost::renderInProcess(s, source, threads);
            }
            skipped = shape.preview ? testhost::renderPreviewInProcess(s, source, mask, threads)
                                    : testhost::renderInProcess(s, source, threads);
            ASSERT_EQ(modelled.pixels, skipped.pixels) << "look " << look << ", " << threads << " threads";
            ++compared;
        }
    }
    EXPECT_EQ(compared, 50);
}

TEST(ClearSky, EveryPathSkipsAlikeAndTheRowsReachOnlyWhereCloudsCanBe)
{
    struct Look {
        uint32_t random;  // 0: the defaults
        int zoom, zoomRate, panX, width;
        // Full cover (ten puffs, dense, close up): harshness, brightness and
        // the light across; a harshness of -1 leaves the look as it is.
        int harshness = -1, brightness = 0;
        float lightX = 0.0f;
    };
    const Look looks[] = {
        {0, 0, 1, 0, 400},     // a small, dense cloud: most of each row out of every puff's reach
        {0, 44, 1, 0, 1000},   // the defaults, wide
        {0, 44, 3, 130, 333},  // a zoomed-out preview, panned
        {11, -1, 1, 0, 700},
        {23, -1, 1, 0, 900},
        {37, -1, 2, 51, 517},
        {41, -1, 1, 0, 1200},
        // Overcast: every pixel lit, by puffs far apart in light (stormy),
        // with many lanes fully lit or unlit (harsh), or close together (soft).
        {0, 92, 1, 0, 333, 31, 5, 0.0f},
        {0, 70, 1, 0, 451, 100, 100, 0.6f},
        {0, 96, 2, 37, 389, 0, 50, -0.3f},
    };
    std::vector<CloudTables> tables(1);
    const bool avx2 = bestRenderPath() == renderAvx2;
    int reached = 0, cleared = 0;
    for (const Look& look : looks) {
        CloudSettings s = testhost::defaultSettings();
        if (look.random) seedRandom(look.random), RandomizeSettings(&s);
        if (look.zoom >= 0) s.zoom = look.zoom;
        if (look.harshness >= 0) {
            s.puffs = 100, s.density = 90, s.lumpiness = 29, s.smokiness = 80, s.mottling = 62;
            s.harshness = look.harshness, s.brightness = look.brightness;
            s.lightX = look.lightX, s.lightY = -0.3f, s.lightZ = 0.9f;
        }
        s.zoomRate = look.zoomRate;
        s.panX = look.panX;
        PrepareCloudTables(&tables[0], s.seed);
        const int width = look.width, height = width * 3 / 4;
        CloudRow row, plain;
        SetupCloudFactors(&row, &s, &tables[0], width, height);
        std::vector<CloudPixel> reference(size_t(width) + 256), span(static_cast<size_t>(width));
        for (int y = 0; y < height / look.zoomRate; y += 7) {
            SetupCloudRow(&row, &s, &tables[0], y);
            for (int r = 0; r < row.reachCount && look.random == 0 && look.zoom == 0; ++r)
                reached += std::min(row.reachEnd[r], width) - std::max(row.reachBegin[r], 0);
            {
                testhost::ClearSkyScope off(false);
                SetupCloudFactors(&plain, &s, &tables[0], width, height);
                SetupCloudRow(&plain, &s, &tables[0], y);
                for (int i = 0; i < width + 256; ++i) reference[size_t(i)] = ShadeCloudPixel(&plain, &tables[0], i);
            }
            // Every block found clear is clear sky in the reference, pixel by pixel, narrow and wide.
            for (int level = 0; level < 2; ++level)
                for (int i = 0; row.bounded && row.lumpiness > 0.0f && i < width; i += 64 << level) {
                    const int found[2] = {ClearCloudBlocksSse2(&row, &tables[0], i, level),
                                          avx2 ? ClearCloudBlocksAvx2(&row, &tables[0], i, level) : 0};
                    for (int wide = 0; wide < 2; ++wide) {
                        const int columns = (wide ? 8 : 4) << (2 * level);
                        for (int k = 0; k < 7 * columns; ++k)
                            if (found[wide] >> (k / columns) & 1) {
                                ASSERT_EQ(reference[size_t(i + k)].opacity, 0.0f)
                                    << "row " << y << ", column " << i + k << ", level " << level;
                                ASSERT_FALSE(reference[size_t(i + k)].glow > row.clearGlow);
                                cleared += wide;
                            }
                    }
                }
            for (RenderPath path : {renderScalar, renderSse2, renderAvx2}) {
                setRenderPath(path);
                ShadeCloudSpan(&row, &tables[0], 0, width, span.data());
                for (int i = 0; i < width; ++i)
                    ASSERT_EQ(std::memcmp(&span[size_t(i)], &reference[size_t(i)], sizeof(CloudPixel)), 0)
                        << renderPathName(path) << ", row " << y << ", column " << i;
            }
            setRenderPath(bestRenderPath());
        }
    }
    EXPECT_LT(reached, 43 * 400 / 2) << "the reach leaves out most of the sky";
    if (avx2) {
        EXPECT_GT(cleared, 10000) << "blocks of sky are found clear";
    }
}
