// Laying a cloud pixel over a pixel of 8 bits per channel: the colour spill
// of over-bright clouds, the grey weights, the over-operation with the
// layer's transparency and the glow. Inline, for the row loops that call it
// for every pixel.
#pragma once

#include <cstdint>

#include "render/CloudModel.h"
#include "render/ComposeConstants.h"
#include "render/Lattice.h"

// k / (255 - k) for k = 1..254; the ends are never looked up.
void BuildOverRatioTable(CloudTables* tables);

// A cloud pixel laid over a source pixel: colour bytes (only `red` for grey
// images) and, with editable transparency, the new transparency.
struct ComposedPixel {
    int32_t red, green, blue, transparency;
};
ComposedPixel ComposeCloudPixel(const CloudTables* t, const CloudPixel& cloud, const int32_t source[3], int32_t a0,
                                bool colour, bool transparency);

// Channels over 255 give their excess to the others, so an over-bright colour
// turns whiter instead of changing hue.
inline void SpillOverRange(int32_t* red, int32_t* green, int32_t* blue)
{
    int32_t& R = *red;
    int32_t& G = *green;
    int32_t& B = *blue;
    bool overR = R > 255, overG = G > 255, overB = B > 255;
    int32_t e = 0;
    if (overR) e += spillExcessFactor * (R - 255);
    if (overG) e += spillExcessFactor * (G - 255);
    if (overB) e += spillExcessFactor * (B - 255);
    e = (e * spillShare) >> spillShift;
    int32_t h = e >> 1;
    if (overR && !overG && !overB) {
        G += h;
        B += h;
        if (G > 255) B += G - 255;
        if (B > 255) G += B - 255;
    } else if (overG && !overR && !overB) {
        R += h;
        B += h;
        if (R > 255) B += R - 255;
        if (B > 255) R += B - 255;
    } else if (overB && !overR && !overG) {
        R += h;
        G += h;
        if (R > 255) G += R - 255;
        if (G > 255) R += G - 255;
    } else if (overR && overG && !overB) {
        B += e;
    } else if (overR && overB && !overG) {
        G += e;
    } else if (overG && overB && !overR) {
        R += e;
    }
}

namespace compose8 {

// Float to int, truncating toward zero, for values that may be out of range or
// not a number: those are limited first, so the conversion is always defined.
inline int32_t truncateLimited(double v, int32_t low, int32_t high)
{
    if (!(v > low)) return low;  // also catches NaN
    if (v >= high) return high;
    return int32_t(v);
}

// The share of a layer of opacity `a` (byte `a8`) laid over a pixel of
// transparency `under`: a / (a + under (1 - a)), through the ratio table.
inline double overShare(const CloudTables* t, int32_t a8, double under)
{
    if (a8 == 0) return 0.0;
    if (a8 == 255) return 1.0;
    return 1.0 - under / (under + t->OverRatioTable[a8]);
}

// ComposeCloudPixel, inline in the row loop: the loop runs on the thread
// that talks to the host while helpers compute clouds, so its speed sets the
// pace of every thread.
inline ComposedPixel composePixel(const CloudTables* t, const CloudPixel& cloud, const int32_t source[3], int32_t a0,
                                  bool colour, bool transparency)
{
    int32_t a8 = truncateLimited(cloud.opacity * 255.0f, 0, 255);
    // No cloud and no glow leave the pixel as it was, its transparency too
    // (the general arithmetic below gives exactly that, more slowly: a share
    // of 0, and a transparency of a0 / 255 x 255, a hair above a0).
    if (a8 == 0 && !(cloud.glow > 0.0f)) return ComposedPixel{source[0], source[1], source[2], a0};
    int32_t ch[3] = {truncateLimited(cloud.red * 255.0, -(1 << 20), 1 << 20),
                     truncateLimited(cloud.green * 255.0, -(1 << 20), 1 << 20),
                     truncateLimited(cloud.blue * 255.0, -(1 << 20), 1 << 20)};
    SpillOverRange(&ch[0], &ch[1], &ch[2]);
    if (!colour) ch[0] = (greyWeightRed * ch[0] + greyWeightGreen * ch[1] + greyWeightBlue * ch[2]) >> greyShift;
    for (int k = 0; k < 3; ++k)
        if (ch[k] > 255) ch[k] = 255;

    // Lay the cloud over the source pixel. The opacities are products with
    // 1/255 and stay in double: at full opacity a is a hair above 1, so a
    // channel where the cloud is darker than the source comes out one lower.
    double a = a8 * byteToUnit;
    int32_t at = a0;
    if (!transparency) {
        for (int k = 0; k < 3; ++k) ch[k] = int32_t((ch[k] - source[k]) * a + source[k]);
    } else {
        double ae = a0 * byteToUnit;
        double w = overShare(t, a8, ae);
        for (int k = 0; k < 3; ++k) ch[k] = int32_t((ch[k] - source[k]) * w + source[k]);
        at = truncateLimited((ae + (1.0 - ae) * a) * 255.0, 0, 255);
    }

    // Whiten backlit edges by the glow (a glow of exactly 0 changes nothing).
    float G = cloud.glow;
    if (G > 0.0f) {
        if (!transparency) {
            for (int k = 0; k < 3; ++k) ch[k] = int32_t(float(ch[k]) + float(255 - ch[k]) * G);
        } else {
            int32_t g8 = truncateLimited(G * 255.0f, 0, 255);
            double am = at * byteToUnit;
            double w2 = overShare(t, g8, am);
            for (int k = 0; k < 3; ++k) ch[k] = int32_t(ch[k] + (255 - ch[k]) * w2);
            at = truncateLimited((am + (1.0 - am) * G) * 255.0, 0, 255);
        }
    }
    return ComposedPixel{ch[0], ch[1], ch[2], at};
}

}  // namespace compose8
