// Clouds over documents in CMYK, Lab and 32-bit float. The clouds are
// modelled in RGB; what is laid over a document in another space is the same
// cloud converted to that space, composited there as a host blends a Normal
// layer in that mode.
//
// Sample encodings, as hosts deliver them: 8 bits 0..255; 16 bits 0..32768;
// CMYK inverted (0 = full ink); Lab L 0..255 (0..100), a and b centred on 128
// at 8 bits and on 16384 at 16 bits; 32 bits linear-light floats with 1.0 the
// 8-bit 255, values above 1 and below 0 allowed.
#pragma once

#include <cstdint>

#include "render/CloudModel.h"
#include "render/Compose16.h"
#include "render/Compose8.h"

enum ColourSpace : int32_t { spaceRGB = 0, spaceGrey = 1, spaceCMYK = 2, spaceLab = 3 };

// The conversion from the engine's RGB to a document's space, made once for
// a run. Either a lookup table sampled through the host's colour services
// (the document's own profile decides), or the built-in conversion: sRGB to
// Lab D50 by the CIE formulas, or a plain device CMYK (black from the
// brightest channel, no undercolour removal beyond that, no profile).
struct ColourLink {
    enum { nodes = 33, nodeCount = nodes * nodes * nodes };
    int32_t space;     // spaceCMYK or spaceLab; spaceRGB before the link is made
    int32_t fromHost;  // 1: the table below, from the host's conversion
    int32_t curves;    // 1 once the curve tables below are made
    // Where the host's answers at the nodes (RGB levels nodeLevel(i)) depart
    // from the built-in conversion, in half levels of 8-bit samples, four a
    // node. A departure of half a level or less is the rounding of the host's
    // whole-level answers and counts as none; larger ones are kept less that
    // half level. Between nodes, trilinear: the host's conversion within
    // about half a level where it is smooth.
    int16_t table[nodeCount * 4];
    uint8_t cellOf[256];    // the table cell a level falls in
    float decode[1025];     // sRGB to linear light on 0..1, 1024 steps
    float labCurve[1025];   // the Lab curve f(t) on 0..1, 1024 steps
    double toLinearRGB[9];  // XYZ (D50) to linear sRGB, for the way back
    uint8_t encode8[4097];  // linear light k / 4096 to the nearest sRGB level, for the screen
};

// The RGB level of table node i: round(i x 255 / 32).
int32_t nodeLevel(int32_t i);

// The host's conversion of one RGB colour (0..255 each) to `space`, as four
// 8-bit samples of that space; false when the host cannot answer.
typedef bool (*HostConvert)(void* host, int32_t space, const int32_t rgb[3], int32_t result[4]);

// Makes `link` for `space` (spaceCMYK or spaceLab): through `convert` when
// given and every answer comes, else built in.
void MakeColourLink(ColourLink* link, int32_t space, HostConvert convert, void* host);
// The tables every link and the 32-bit paths need (sRGB decoding, the Lab
// curve); made by MakeColourLink, and alone for the 32-bit modes.
void MakeLinkCurves(ColourLink* link);

// An RGB colour in 8-bit levels (0..255, fractions kept) in the link's space,
// as 8-bit samples with fractions: four for CMYK, three for Lab.
void LinkConvert(const ColourLink& link, const double rgb[3], double out[4]);
// The built-in conversions alone, and the way back to RGB (for thumbnails and
// the screen): 8-bit levels with fractions on both sides.
void BuiltInConvert(const ColourLink& link, int32_t space, const double rgb[3], double out[4]);
void BuiltInToRGB(const ColourLink& link, int32_t space, const double samples[4], double rgb[3]);

// sRGB level 0..255 to linear light (0..1) and back, through the tables.
double LinearFromLevel(const ColourLink& link, double level);
double LevelFromLinear(double linear);  // exact, for the few a screen copy needs

// A cloud pixel as one Normal layer: its glow laid over its colour (the two
// over-operations of the RGB paths, which are associative, in one). `colour`
// is the RGB paths' colour in 8-bit levels before their truncation: over-bright
// channels spilled to the others, then limited to 255; grey images take the
// grey weights. `opacity` is 0 for no cloud and no glow.
struct CloudLayer {
    double colour[3];
    double opacity;
};
// The colour and opacity as a depth takes them: at 8 bits those of the 8-bit
// paths (whole levels, the opacity in whole 255ths); at 32 bits the 8-bit
// paths' colour before its final truncation; at 16 bits the 16-bit paths'.
// Away from 8 bits the opacity is half a 255th less (exactly 1 at full
// opacity), as the 16-bit paths take it.
enum LayerDepth { layerEightBit, layerSixteenBit, layerFloat };
// `layered`: over a layer's transparency, where the 8-bit paths take the glow
// in whole 255ths too.
CloudLayer CloudLayerOf(const CloudPixel& cloud, bool grey, LayerDepth depth, bool layered);
// The same for a depth known where it is called, inline for the loops.
template <LayerDepth depth> inline CloudLayer cloudLayerAt(const CloudPixel& cloud, bool grey, bool layered)
{
    const bool byteOpacity = depth == layerEightBit;
    CloudLayer layer{{0.0, 0.0, 0.0}, 0.0};
    double a = compose16::unitLimited(cloud.opacity), G = compose16::unitLimited(cloud.glow);
    // Whole 255ths at 8 bits; elsewhere their average, as the 16-bit paths take it.
    a = byteOpacity ? int32_t(a * 255.0) / 255.0 : compose16::byteOpacity(a);
    if (layered && depth != layerSixteenBit) G = int32_t(G * 255.0) / 255.0;
    if (a == 0.0 && G == 0.0) return layer;
    layer.opacity = G + a * (1.0 - G);
    double c[3];
    if (depth != layerSixteenBit) {
        // The colour of the 8-bit paths themselves: whole levels.
        int32_t ch[3] = {compose8::truncateLimited(cloud.red * 255.0, -(1 << 20), 1 << 20),
                         compose8::truncateLimited(cloud.green * 255.0, -(1 << 20), 1 << 20),
                         compose8::truncateLimited(cloud.blue * 255.0, -(1 << 20), 1 << 20)};
        SpillOverRange(&ch[0], &ch[1], &ch[2]);
        if (grey)
            ch[0] = ch[1] = ch[2] =
                (greyWeightRed * ch[0] + greyWeightGreen * ch[1] + greyWeightBlue * ch[2]) >> greyShift;
        for (int k = 0; k < 3; ++k) c[k] = ch[k] > 255 ? 255.0 : (ch[k] < 0 ? 0.0 : double(ch[k]));
    } else {
        // The same colour before its truncation, through the 16-bit range.
        const double W = deepWhite;
        double ch[3] = {compose16::channelOf(cloud.red), compose16::channelOf(cloud.green),
                        compose16::channelOf(cloud.blue)};
        compose16::spillOverRange16(ch);
        if (grey)
            ch[0] = ch[1] = ch[2] =
                (greyWeightRed * ch[0] + greyWeightGreen * ch[1] + greyWeightBlue * ch[2]) / double(1 << greyShift);
        for (int k = 0; k < 3; ++k) c[k] = (ch[k] > W ? W : ch[k]) * (255.0 / W);
    }
    // Glow over colour: opacity G + a (1 - G), colour (white G + colour a (1 - G))
    // / that; at 8 bits in whole levels, as the 8-bit paths' glow truncates.
    for (int k = 0; k < 3; ++k) {
        double mixed = (255.0 * G + c[k] * a * (1.0 - G)) / layer.opacity;
        layer.colour[k] = byteOpacity ? double(int32_t(mixed)) : mixed;
    }
    return layer;
}

// The share a layer of opacity `a` takes over a pixel of transparency `under`.
inline double LayerShare(double a, double under)
{
    if (a <= 0.0) return 0.0;
    if (a >= 1.0) return 1.0;
    return a / (a + under * (1.0 - a));
}
