// Laying a cloud pixel over a pixel of 16 bits per channel, where the host's
// samples run from 0 to 32768 (white). The same steps as at 8 bits (colour
// spill, grey weights, the over-operation with the layer's transparency, the
// glow), in double precision and rounded once at the end, so that a smooth
// gradient under a soft cloud edge stays smooth: nothing passes through 8 bits.
#pragma once

#include <cstdint>

#include "render/CloudModel.h"
#include "render/ComposeConstants.h"

// Full white in the host's 16-bit range.
constexpr int32_t deepWhite = 32768;

// A composed pixel in the 16-bit range, not yet rounded: colour (only `red`
// for grey images) and, with editable transparency, the new transparency.
struct DeepPixel {
    double red, green, blue, transparency;
};

// A host sample: two bytes, little-endian (the order of every host this runs
// in: Windows and Linux on x86), values above white taken as white.
inline int32_t loadSample16(const uint8_t* p)
{
    uint16_t v = uint16_t(p[0] | p[1] << 8);
    return v > deepWhite ? deepWhite : v;
}

// Rounded to the nearest, limited to 0..32768 and stored little-endian.
inline void storeSample16(uint8_t* p, double v)
{
    int32_t s = !(v > 0.0) ? 0 : (v >= deepWhite ? deepWhite : int32_t(v + 0.5));
    p[0] = uint8_t(s);
    p[1] = uint8_t(s >> 8);
}

// The usual conversions between the host's ranges.
inline int32_t sample16From8(int32_t c) { return (c * deepWhite + 127) / 255; }
inline int32_t sample8From16(int32_t v) { return (v * 255 + deepWhite / 2) / deepWhite; }
inline int32_t sample16FromFull(int32_t v) { return int32_t((int64_t(v) * deepWhite + 32767) / 65535); }
inline int32_t fullFromSample16(int32_t v) { return int32_t((int64_t(v) * 65535 + deepWhite / 2) / deepWhite); }

// ---- The steps, inline: they run for every pixel of a 16-bit row. ----

namespace compose16 {

inline double unitLimited(float v) { return !(v > 0.0f) ? 0.0 : (v >= 1.0f ? 1.0 : double(v)); }

// A cloud colour channel in the 16-bit range; over-bright up to a bound far
// beyond any the model makes (and nothing for a value that is not a number).
inline double channelOf(float v)
{
    const float brightest = 64.0f;
    return double(!(v > 0.0f) ? 0.0f : (v > brightest ? brightest : v)) * deepWhite;
}

// Channels over white give their excess to the others, as at 8 bits, so an
// over-bright colour turns whiter instead of changing hue.
inline void spillOverRange16(double ch[3])
{
    const double W = deepWhite;
    bool over[3] = {ch[0] > W, ch[1] > W, ch[2] > W};
    double e = 0.0;
    for (int k = 0; k < 3; ++k)
        if (over[k]) e += spillExcessFactor * ch[k] - spillExcessFactor * W;
    e = e * spillShare / double(1 << spillShift);
    int count = int(over[0]) + int(over[1]) + int(over[2]);
    if (count == 1) {
        int o = over[0] ? 0 : (over[1] ? 1 : 2);
        int p = (o + 1) % 3, q = (o + 2) % 3;  // the other two, in the order red, green, blue
        if (p > q) {
            int swap = p;
            p = q;
            q = swap;
        }
        ch[p] += e / 2.0;
        ch[q] += e / 2.0;
        if (ch[p] > W) ch[q] += ch[p] - W;
        if (ch[q] > W) ch[p] += ch[q] - W;
    } else if (count == 2) {
        ch[over[0] ? (over[1] ? 2 : 1) : 0] += e;
    }
}

// The share of a layer of opacity `a` laid over a pixel of transparency
// `under`: a / (a + under (1 - a)).
inline double overShare16(double a, double under)
{
    if (a <= 0.0) return 0.0;
    if (a >= 1.0) return 1.0;
    return a / (a + under * (1.0 - a));
}

// What truncating to a whole 8-bit level takes off a value changed by
// `change` (16-bit units), on average: half a level once the change is a
// level or more, less for smaller changes, and nothing for none, so that a
// pixel the cloud leaves alone stays exactly as it was.
inline double truncationOf(double change)
{
    const double level = deepWhite / 255.0;
    double size = change < 0.0 ? -change : change;
    return size < level ? 0.5 * size : 0.5 * level;
}

// An opacity as the 8-bit steps see it after truncating it to whole 255ths:
// half a step less on average, and exactly 1 at full opacity, where the
// 8-bit steps lose nothing (an opaque cloud is opaque).
inline double byteOpacity(double a)
{
    const double halfStep = 0.5 / 255.0;
    return a >= 1.0 ? 1.0 : (a > halfStep ? a - halfStep : 0.0);
}

// How much of the final truncation's loss applies to a layer of share `w`:
// all of it below the last 8-bit step of opacity, none at full opacity, where
// the 8-bit result is the cloud's own whole level and the source no longer shows.
inline double notOpaque(double w)
{
    double rest = (1.0 - w) * 255.0;
    return rest >= 1.0 ? 1.0 : (rest > 0.0 ? rest : 0.0);
}

}  // namespace compose16

// `source` holds the pixel's channels and `a0` its transparency, 0..32768.
inline DeepPixel ComposeCloudPixel16(const CloudPixel& cloud, const double source[3], double a0, bool colour,
                                     bool transparency)
{
    const double W = deepWhite;
    // Where the 8-bit steps truncate to whole levels, the 16-bit ones take
    // off half a level instead: the same picture on average, without the steps.
    const double half = 0.5 * W / 255.0;
    double a = compose16::byteOpacity(compose16::unitLimited(cloud.opacity)), G = compose16::unitLimited(cloud.glow);
    if (a == 0.0 && G == 0.0 && !transparency) return DeepPixel{source[0], source[1], source[2], a0};

    double ch[3] = {compose16::channelOf(cloud.red) - half, compose16::channelOf(cloud.green) - half,
                    compose16::channelOf(cloud.blue) - half};
    compose16::spillOverRange16(ch);
    if (!colour)
        ch[0] =
            (greyWeightRed * ch[0] + greyWeightGreen * ch[1] + greyWeightBlue * ch[2]) / double(1 << greyShift) - half;
    for (double& c : ch)
        if (c > W) c = W;

    double at = a0;
    double ae = a0 / W;
    double w = transparency ? compose16::overShare16(a, ae) : a;
    const double last = compose16::notOpaque(w);
    for (int k = 0; k < 3; ++k) {
        double change = (ch[k] - source[k]) * w;
        ch[k] = source[k] + change - last * compose16::truncationOf(change);
    }
    if (transparency) {
        double change = (1.0 - ae) * a * W;
        at = a0 + change - compose16::notOpaque(a) * compose16::truncationOf(change);
    }

    if (G > 0.0) {
        double am = at / W;
        double w2 = transparency ? compose16::overShare16(compose16::byteOpacity(G), am) : G;
        const double lastGlow = compose16::notOpaque(w2);
        for (double& c : ch) {
            double change = (W - c) * w2;
            c += change - lastGlow * compose16::truncationOf(change);
        }
        if (transparency) {
            double change = (1.0 - am) * G * W;
            at += change - compose16::notOpaque(G) * compose16::truncationOf(change);
        }
    }
    return DeepPixel{ch[0], ch[1], ch[2], at};
}
