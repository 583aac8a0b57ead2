// Seamless clouds: a picture that wraps repeats without a seam, its clouds
// as busy at the edges as in the middle, and wrap off changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "host/EngineHarness.h"
#include "host/TestHost.h"
#include "render/CloudModel.h"
#include "render/Random.h"
#include "render/Seamless.h"

namespace {

// What the eye compares between neighbours: the cloud's coverage and its
// lit colour where it shows.
float seen(const CloudPixel& p) { return p.opacity * (1.0f + p.red + p.green + p.blue) + p.glow; }

struct Field {
    CloudSettings settings;
    CloudTables tables;
    CloudRow row;
    int width, height;
    Field(const CloudSettings& s, int w, int h) : settings(s), width(w), height(h)
    {
        PrepareCloudTables(&tables, s.seed);
        SetupCloudFactors(&row, &settings, &tables, w, h);
    }
    // The pixels of filter row y at `columns`.
    std::vector<float> at(int y, const std::vector<int>& columns)
    {
        SetupCloudRow(&row, &settings, &tables, y);
        std::vector<float> v;
        for (int x : columns) v.push_back(seen(ShadeCloudPixel(&row, &tables, x)));
        return v;
    }
};

// The difference across the seam (from the last column to the first, or the
// last row to the first) and between neighbours inside, each line's mean.
// A long picture compares the seam with the mean step inside; a short one,
// whose few steps make any one of them as likely as the seam to be the
// steepest, with the steepest step inside.
double seamOverInside(Field& f, bool across)
{
    const int length = across ? f.width : f.height, other = across ? f.height : f.width;
    const int lines = other < 97 ? other : 97;
    const bool longPicture = length > 64;
    std::vector<int> steps = {length - 1, 0};  // the seam's two sides, then pairs inside
    for (int q = 0; q < (longPicture ? 8 : length - 1); ++q) {
        const int at = longPicture ? int(int64_t(q + 1) * (length - 2) / 9) : q;
        steps.push_back(at);
        steps.push_back(at + 1);
    }
    double seam = 0;
    std::vector<double> inside(steps.size() / 2 - 1, 0.0);
    for (int k = 0; k < lines; ++k) {
        const int line = int(int64_t(k) * other / lines);
        std::vector<float> v;
        if (across) {
            v = f.at(line, steps);
        } else {
            for (int s : steps) v.push_back(f.at(s, {line})[0]);
        }
        seam += std::fabs(v[0] - v[1]) / lines;
        for (size_t p = 2; p + 1 < v.size(); p += 2) inside[p / 2 - 1] += std::fabs(v[p] - v[p + 1]) / lines;
    }
    double mean = 0, steepest = 0;
    for (double d : inside) {
        mean += d / double(inside.size());
        steepest = std::fmax(steepest, d);
    }
    const double reference = longPicture ? mean : steepest;
    return seam <= 1e-3 ? 0.0 : seam / reference;
}

}  // namespace

TEST(Seamless, TheRepeatHasNoSeam)
{
    struct Size {
        int width, height;
    };
    // Odd sizes, a single pixel, a panorama, a rectangle smaller than one
    // lattice cell (large lumps zoomed in), and a photo's size.
    const Size sizes[] = {{1, 1}, {2, 3}, {37, 23}, {640, 480}, {1601, 400}, {4001, 2999}};
    seedRandom(36);
    int compared = 0;
    for (int mode : {wrapAcross, wrapBoth})
        for (const Size& size : sizes)
            for (int look = 0; look < 6; ++look) {
                CloudSettings s = testhost::defaultSettings();
                if (look > 0) RandomizeSettings(&s);
                if (look == 5) s.zoom = 100, s.lumpScale = 5;  // under one cell across
                if (look == 4) s.zoom = RandomInRange(0, 100), s.backlighting = 1;
                s.wrap = mode;
                Field f(s, size.width, size.height);
                for (bool across : {true, false}) {
                    if (!across && mode != wrapBoth) continue;
                    EXPECT_LE(seamOverInside(f, across), 1.2) << size.width << " x " << size.height << ", look " << look
                                                              << ", mode " << mode << (across ? ", across" : ", down");
                    ++compared;
                }
            }
    EXPECT_EQ(compared, 2 * 6 * 6 + 6 * 6);
}

// The noise is as busy near the edges as in the middle: no band where two
// fields are blended, on the cylinder and on the torus.
TEST(Seamless, TheNoiseIsAsBusyAtTheEdgesAsInTheMiddle)
{
    const int width = 512, height = 384, window = 16;
    for (int mode : {wrapAcross, wrapBoth}) {
        double deviations[2] = {0, 0};  // the edges', the middle's
        int windows[2] = {0, 0};
        for (int seed : {3, 21, 812, 1999}) {
            CloudSettings s = testhost::defaultSettings();
            s.seed = seed;
            s.wrap = mode;
            Field f(s, width, height);
            // The standard deviation in each 16 x 16 window of a column of
            // windows at the left edge, the right edge and the middle.
            for (int column : {0, width - window, width / 2 - window / 2})
                for (int top = 0; top + window <= height; top += window) {
                    double sum = 0, squares = 0;
                    for (int y = top; y < top + window; ++y) {
                        SetupCloudRow(&f.row, &f.settings, &f.tables, y);
                        for (int x = column; x < column + window; ++x) {
                            bool stopped = false;
                            double n = SeamlessNoise(&f.row, f.tables.NoisePermutation, float(x) / width, f.row.fieldV,
                                                     -HUGE_VALF, &stopped);
                            sum += n;
                            squares += n * n;
                        }
                    }
                    const double count = window * window, mean = sum / count;
                    const double deviation = std::sqrt(std::fmax(0.0, squares / count - mean * mean));
                    const int where = column == width / 2 - window / 2 ? 1 : 0;
                    deviations[where] += deviation;
                    ++windows[where];
                }
        }
        EXPECT_NEAR((deviations[0] / windows[0]) / (deviations[1] / windows[1]), 1.0, 0.1) << "mode " << mode;
    }
}

// Renders that must agree byte for byte: wrap off and a word that holds no
// mode paint the plain picture; the noise stopped where no puff can cover a
// pixel changes nothing, over random looks round a cylinder and a torus.
TEST(Seamless, RendersThatMustAgree)
{
    const testhost::Picture source = testhost::gradientPicture(211, 97, 4, true);
    CloudSettings s = testhost::defaultSettings();
    const testhost::Picture plain = testhost::renderInProcess(s, source);
    for (int32 word : {3, -1, 1 << 30}) {
        s.wrap = word;
        EXPECT_EQ(testhost::renderInProcess(s, source).pixels, plain.pixels) << word;
    }
    seedRandom(7);
    for (int look = 0; look < 8; ++look) {
        RandomizeSettings(&s);
        s.zoom = RandomInRange(0, 100);
        s.wrap = look % 2 ? wrapBoth : wrapAcross;
        const testhost::Picture stopped = testhost::renderInProcess(s, source);
        CloudSettings off = s;
        off.wrap = wrapOff;
        EXPECT_NE(stopped.pixels, testhost::renderInProcess(off, source).pixels) << "look " << look;
        testhost::ClearSkyScope whole(false);
        EXPECT_EQ(testhost::renderInProcess(s, source).pixels, stopped.pixels) << "look " << look;
    }
}

// The field is the filter rectangle's at any zoom and pan: a preview row
// shows the final picture's pixels at the points it samples, wherever the
// host's tiles begin.
TEST(Seamless, PreviewsSampleTheFinalPicture)
{
    seedRandom(11);
    const int w = 203, h = 151;
    for (int look = 0; look < 6; ++look) {
        CloudSettings s = testhost::defaultSettings();
        RandomizeSettings(&s);
        s.wrap = look % 2 ? wrapBoth : wrapAcross;
        Field final(s, w, h);
        s.zoomRate = 2 + look % 3;
        s.panX = 17 * look;
        s.panY = 9 * look;
        Field preview(s, w, h);
        const int M = s.zoomRate;
        for (int D : {0, 5, 13}) {
            std::vector<int> shown, sampled;
            for (int i = 0; (s.panX / M + i) * M < w; i += 3) {
                shown.push_back(i);
                sampled.push_back((s.panX / M + i) * M);
            }
            EXPECT_EQ(preview.at(D, shown), final.at((s.panY / M + D) * M, sampled)) << "look " << look << " row " << D;
        }
    }
}

// A selection is a torus of its own: the clouds in a filter rectangle inside
// the image are those of an image the rectangle's size.
TEST(Seamless, TheFilterRectangleIsTheTorus)
{
    auto paint = [](int w, int h, const Rect16* rect) {
        testhost::TestHost host(w, h, 3);
        host.setPixels(std::vector<uint8>(size_t(w) * h * 3, 120));
        if (rect) host.setFilterRect(rect->top, rect->left, rect->bottom, rect->right);
        EXPECT_EQ(host.call(filterSelectorParameters), noErr);
        host.settings()->showDialog = 0;
        host.settings()->wrap = wrapBoth;
        EXPECT_EQ(host.run(false), noErr);
        return host.output;
    };
    const Rect16 rect = {10, 20, 90, 140};
    const std::vector<uint8> image = paint(160, 100, &rect), alone = paint(120, 80, nullptr);
    ASSERT_NE(alone, std::vector<uint8>(alone.size(), 120));  // there are clouds
    for (int y = 0; y < 80; ++y)
        ASSERT_TRUE(std::equal(alone.begin() + y * 360, alone.begin() + (y + 1) * 360,
                               image.begin() + ((y + 10) * 160 + 20) * 3))
            << "row " << y;
}
