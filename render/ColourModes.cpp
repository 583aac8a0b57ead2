#include "render/ColourModes.h"

#include <cstring>

#include "render/Compose16.h"
#include "render/Compose8.h"
#include "render/DetMath.h"

namespace {

// sRGB primaries to XYZ under D50, as ICC profiles adapt them (Bradford).
// The white is the sum of each row, so RGB white is exactly neutral in Lab.
constexpr double srgbToXyz[9] = {0.4360747, 0.3850649, 0.1430804, 0.2225045, 0.7168786,
                                 0.0606169, 0.0139322, 0.0971045, 0.7141733};
constexpr double whiteX = 0.4360747 + 0.3850649 + 0.1430804;
constexpr double whiteY = 0.2225045 + 0.7168786 + 0.0606169;
constexpr double whiteZ = 0.0139322 + 0.0971045 + 0.7141733;

// The Lab curve's joint: (6/29)^3, and the slope and offset of its straight part.
constexpr double labEpsilon = 216.0 / 24389.0;
constexpr double labSlope = 24389.0 / 27.0 / 116.0;
constexpr double labOffset = 16.0 / 116.0;

double limited(double v, double low, double high) { return !(v > low) ? low : (v > high ? high : v); }

double srgbDecode(double u) { return u <= 0.04045 ? u / 12.92 : DetPow((u + 0.055) / 1.055, 2.4); }

double labCurve(double t) { return t > labEpsilon ? DetPow(t, 1.0 / 3.0) : labSlope * t + labOffset; }

double labCurveInverse(double f) { return f > 6.0 / 29.0 ? f * f * f : (f - labOffset) / labSlope; }

// A value of a 1024-step table over 0..1, linearly between its entries.
double fromTable(const float* table, double u)
{
    u = limited(u, 0.0, 1.0) * 1024.0;
    int32_t k = int32_t(u);
    if (k >= 1024) return table[1024];
    double f = u - k;
    return table[k] + (table[k + 1] - table[k]) * f;
}

// The inverse of a 3 x 3 matrix (rows first), by cofactors.
void invert3(const double* m, double* out)
{
    double c0 = m[4] * m[8] - m[5] * m[7], c1 = m[5] * m[6] - m[3] * m[8], c2 = m[3] * m[7] - m[4] * m[6];
    double det = m[0] * c0 + m[1] * c1 + m[2] * c2;
    out[0] = c0 / det;
    out[1] = (m[2] * m[7] - m[1] * m[8]) / det;
    out[2] = (m[1] * m[5] - m[2] * m[4]) / det;
    out[3] = c1 / det;
    out[4] = (m[0] * m[8] - m[2] * m[6]) / det;
    out[5] = (m[2] * m[3] - m[0] * m[5]) / det;
    out[6] = c2 / det;
    out[7] = (m[1] * m[6] - m[0] * m[7]) / det;
    out[8] = (m[0] * m[4] - m[1] * m[3]) / det;
}

}  // namespace

int32_t nodeLevel(int32_t i) { return (i * 255 + 16) / 32; }

void MakeLinkCurves(ColourLink* link)
{
    for (int k = 0; k <= 1024; ++k) {
        link->decode[k] = float(srgbDecode(k / 1024.0));
        link->labCurve[k] = float(labCurve(k / 1024.0));
    }
    for (int k = 0; k <= 4096; ++k) link->encode8[k] = uint8_t(LevelFromLinear(k / 4096.0) + 0.5);
    invert3(srgbToXyz, link->toLinearRGB);
    link->curves = 1;
}

void MakeColourLink(ColourLink* link, int32_t space, HostConvert convert, void* host)
{
    MakeLinkCurves(link);
    link->space = space;
    link->fromHost = 0;
    for (int32_t c = 0, v = 0; v < 256; ++v) {
        while (c < ColourLink::nodes - 2 && v >= nodeLevel(c + 1)) ++c;
        link->cellOf[v] = uint8_t(c);
    }
    if (!convert) return;
    const int N = ColourLink::nodes;
    for (int r = 0; r < N; ++r)
        for (int g = 0; g < N; ++g)
            for (int b = 0; b < N; ++b) {
                const int32_t rgb[3] = {nodeLevel(r), nodeLevel(g), nodeLevel(b)};
                int32_t result[4] = {0, 0, 0, 0};
                if (!convert(host, space, rgb, result)) return;  // the built-in conversion, then
                int16_t* node = link->table + ((r * N + g) * N + b) * 4;
                const double level[3] = {double(rgb[0]), double(rgb[1]), double(rgb[2])};
                double own[4];
                BuiltInConvert(*link, space, level, own);
                for (int k = 0; k < 4; ++k) {
                    double departure = limited(result[k], 0, 255) - own[k];
                    double kept = departure > 0.5 ? departure - 0.5 : (departure < -0.5 ? departure + 0.5 : 0.0);
                    node[k] = int16_t(kept > 0 ? 2.0 * kept + 0.5 : 2.0 * kept - 0.5);
                }
            }
    link->fromHost = 1;
}

void BuiltInConvert(const ColourLink& link, int32_t space, const double rgb[3], double out[4])
{
    const double r = limited(rgb[0], 0.0, 255.0), g = limited(rgb[1], 0.0, 255.0), b = limited(rgb[2], 0.0, 255.0);
    if (space == spaceCMYK) {
        // Device CMYK: black from the brightest channel, then each ink the
        // share its channel lacks. Samples are inverted: 255 is no ink.
        double top = r > g ? (r > b ? r : b) : (g > b ? g : b);
        if (top <= 0.0) {
            out[0] = out[1] = out[2] = 255.0;
            out[3] = 0.0;
            return;
        }
        out[0] = 255.0 * r / top;
        out[1] = 255.0 * g / top;
        out[2] = 255.0 * b / top;
        out[3] = top;
        return;
    }
    const double lr = fromTable(link.decode, r / 255.0), lg = fromTable(link.decode, g / 255.0),
                 lb = fromTable(link.decode, b / 255.0);
    const double* m = srgbToXyz;
    double fx = fromTable(link.labCurve, (m[0] * lr + m[1] * lg + m[2] * lb) / whiteX);
    double fy = fromTable(link.labCurve, (m[3] * lr + m[4] * lg + m[5] * lb) / whiteY);
    double fz = fromTable(link.labCurve, (m[6] * lr + m[7] * lg + m[8] * lb) / whiteZ);
    out[0] = limited((116.0 * fy - 16.0) * 2.55, 0.0, 255.0);
    out[1] = limited(500.0 * (fx - fy) + 128.0, 0.0, 255.0);
    out[2] = limited(200.0 * (fy - fz) + 128.0, 0.0, 255.0);
    out[3] = 0.0;
}

void BuiltInToRGB(const ColourLink& link, int32_t space, const double s[4], double rgb[3])
{
    if (space == spaceCMYK) {
        for (int k = 0; k < 3; ++k) rgb[k] = limited(s[k] * s[3] / 255.0, 0.0, 255.0);
        return;
    }
    double fy = (s[0] / 2.55 + 16.0) / 116.0;
    double fx = fy + (s[1] - 128.0) / 500.0, fz = fy - (s[2] - 128.0) / 200.0;
    const double xyz[3] = {labCurveInverse(fx) * whiteX, labCurveInverse(fy) * whiteY, labCurveInverse(fz) * whiteZ};
    const double* m = link.toLinearRGB;
    for (int k = 0; k < 3; ++k)
        rgb[k] = LevelFromLinear(m[3 * k] * xyz[0] + m[3 * k + 1] * xyz[1] + m[3 * k + 2] * xyz[2]);
}

void LinkConvert(const ColourLink& link, const double rgb[3], double out[4])
{
    BuiltInConvert(link, link.space, rgb, out);
    if (!link.fromHost) return;
    // The host's departures, trilinear between the eight nodes of the colour's cell.
    int32_t cell[3];
    double t[3];
    for (int k = 0; k < 3; ++k) {
        double v = limited(rgb[k], 0.0, 255.0);
        cell[k] = link.cellOf[int32_t(v)];
        int32_t low = nodeLevel(cell[k]), high = nodeLevel(cell[k] + 1);
        t[k] = (v - low) / (high - low);
    }
    const int N = ColourLink::nodes;
    const int16_t* base = link.table + ((cell[0] * N + cell[1]) * N + cell[2]) * 4;
    const int dr = N * N * 4, dg = N * 4, db = 4;
    for (int c = 0; c < 4; ++c) {
        const int16_t* p = base + c;
        double c00 = p[0] + (p[db] - p[0]) * t[2];
        double c01 = p[dg] + (p[dg + db] - p[dg]) * t[2];
        double c10 = p[dr] + (p[dr + db] - p[dr]) * t[2];
        double c11 = p[dr + dg] + (p[dr + dg + db] - p[dr + dg]) * t[2];
        double c0 = c00 + (c01 - c00) * t[1], c1 = c10 + (c11 - c10) * t[1];
        out[c] = limited(out[c] + 0.5 * (c0 + (c1 - c0) * t[0]), 0.0, 255.0);
    }
}

double LinearFromLevel(const ColourLink& link, double level) { return fromTable(link.decode, level / 255.0); }

double LevelFromLinear(double linear)
{
    double u = limited(linear, 0.0, 1.0);
    u = u <= 0.0031308 ? 12.92 * u : 1.055 * DetPow(u, 1.0 / 2.4) - 0.055;
    return u * 255.0;
}

CloudLayer CloudLayerOf(const CloudPixel& cloud, bool grey, LayerDepth depth, bool layered)
{
    if (depth == layerEightBit) return cloudLayerAt<layerEightBit>(cloud, grey, layered);
    if (depth == layerSixteenBit) return cloudLayerAt<layerSixteenBit>(cloud, grey, layered);
    return cloudLayerAt<layerFloat>(cloud, grey, layered);
}
