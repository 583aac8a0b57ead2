#include "host/HostModes.h"

#include <cmath>
#include <cstring>

namespace testhost {

namespace {

const double toXyz[3][3] = {
    {0.4360747, 0.3850649, 0.1430804}, {0.2225045, 0.7168786, 0.0606169}, {0.0139322, 0.0971045, 0.7141733}};

double rowSum(int k) { return toXyz[k][0] + toXyz[k][1] + toXyz[k][2]; }

double labF(double t) { return t > 216.0 / 24389.0 ? std::cbrt(t) : (24389.0 / 27.0 * t + 16.0) / 116.0; }
double labFInverse(double f) { return f > 6.0 / 29.0 ? f * f * f : (116.0 * f - 16.0) * 27.0 / 24389.0; }

double clamp(double v, double low, double high) { return v < low ? low : (v > high ? high : v); }

struct ModeShape {
    int colours, bytes;
    bool lab, cmyk;
};

bool shapeOf(int16 mode, ModeShape* shape)
{
    switch (mode) {
    case 4: *shape = {4, 1, false, true}; return true;    // CMYK
    case 8: *shape = {1, 1, false, false}; return true;   // Duotone
    case 9: *shape = {3, 1, true, false}; return true;    // Lab
    case 12: *shape = {3, 2, true, false}; return true;   // Lab48
    case 13: *shape = {4, 2, false, true}; return true;   // CMYK64
    case 15: *shape = {1, 2, false, false}; return true;  // Duotone16
    case 16: *shape = {3, 4, false, false}; return true;  // RGB96
    case 17: *shape = {1, 4, false, false}; return true;  // Gray32
    case 1: *shape = {1, 1, false, false}; return true;   // Grayscale
    case 3: *shape = {3, 1, false, false}; return true;   // RGB
    case 10: *shape = {1, 2, false, false}; return true;  // Gray16
    case 11: *shape = {3, 2, false, false}; return true;  // RGB48
    default: return false;
    }
}

bool hasLayer(const TestHost& host)
{
    return host.record->filterCase == filterCaseEditableTransparencyNoSelection ||
           host.record->filterCase == filterCaseEditableTransparencyWithSelection;
}

// An 8-bit level with fractions as a sample of `bytes` bytes.
void store(uint8* p, int bytes, double level8, bool chroma)
{
    if (bytes == 1) {
        p[0] = uint8(std::lround(clamp(level8, 0, 255)));
    } else if (bytes == 2) {
        double v = chroma ? 16384.0 + (level8 - 128.0) * 128.0 : level8 * 32768.0 / 255.0;
        long s = std::lround(clamp(v, 0, 32768));
        p[0] = uint8(s);
        p[1] = uint8(s >> 8);
    } else {
        float f = float(level8);
        std::memcpy(p, &f, 4);
    }
}

double load(const uint8* p, int bytes, bool chroma)
{
    if (bytes == 1) return p[0];
    if (bytes == 2) {
        double v = p[0] | p[1] << 8;
        return chroma ? 128.0 + (v - 16384.0) / 128.0 : v * 255.0 / 32768.0;
    }
    float f;
    std::memcpy(&f, p, 4);
    return f;
}

}  // namespace

double hostDecodeSrgb(double level)
{
    double u = level / 255.0;
    return u <= 0.04045 ? u / 12.92 : std::pow((u + 0.055) / 1.055, 2.4);
}

double hostEncodeSrgb(double linear)
{
    double u = clamp(linear, 0, 1);
    return 255.0 * (u <= 0.0031308 ? 12.92 * u : 1.055 * std::pow(u, 1.0 / 2.4) - 0.055);
}

void hostRgbToLab(const double rgb[3], double lab[3])
{
    double lin[3], f[3];
    for (int k = 0; k < 3; ++k) lin[k] = hostDecodeSrgb(clamp(rgb[k], 0, 255));
    for (int k = 0; k < 3; ++k)
        f[k] = labF((toXyz[k][0] * lin[0] + toXyz[k][1] * lin[1] + toXyz[k][2] * lin[2]) / rowSum(k));
    lab[0] = clamp((116.0 * f[1] - 16.0) * 2.55, 0, 255);
    lab[1] = clamp(500.0 * (f[0] - f[1]) + 128.0, 0, 255);
    lab[2] = clamp(200.0 * (f[1] - f[2]) + 128.0, 0, 255);
}

void hostLabToRgb(const double lab[3], double rgb[3])
{
    double fy = (lab[0] / 2.55 + 16.0) / 116.0;
    double xyz[3] = {labFInverse(fy + (lab[1] - 128.0) / 500.0) * rowSum(0), labFInverse(fy) * rowSum(1),
                     labFInverse(fy - (lab[2] - 128.0) / 200.0) * rowSum(2)};
    // Linear RGB by solving the 3 x 3 system (Cramer's rule).
    auto det = [](const double m[3][3]) {
        return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    };
    const double d = det(toXyz);
    for (int c = 0; c < 3; ++c) {
        double m[3][3];
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k) m[r][k] = k == c ? xyz[r] : toXyz[r][k];
        rgb[c] = hostEncodeSrgb(det(m) / d);
    }
}

void hostRgbToCmyk(const double rgb[3], double cmyk[4])
{
    double r = clamp(rgb[0], 0, 255), g = clamp(rgb[1], 0, 255), b = clamp(rgb[2], 0, 255);
    double top = std::fmax(r, std::fmax(g, b));
    if (top <= 0) {
        cmyk[0] = cmyk[1] = cmyk[2] = 255;
        cmyk[3] = 0;
        return;
    }
    cmyk[0] = 255.0 * r / top;
    cmyk[1] = 255.0 * g / top;
    cmyk[2] = 255.0 * b / top;
    cmyk[3] = top;
}

void hostCmykToRgb(const double cmyk[4], double rgb[3])
{
    for (int k = 0; k < 3; ++k) rgb[k] = cmyk[k] * cmyk[3] / 255.0;
}

OSErr hostConvertColour(ColorServicesInfo* info)
{
    if (!info || info->selector != 1 || info->sourceSpace != 0) return OSErr(-50);  // paramErr
    const double rgb[3] = {double(info->colorComponents[0]), double(info->colorComponents[1]),
                           double(info->colorComponents[2])};
    double out[4] = {rgb[0], rgb[1], rgb[2], 0};
    switch (info->resultSpace) {
    case 0: break;                           // RGB
    case 2: hostRgbToCmyk(rgb, out); break;  // CMYK
    case 3:
        hostRgbToLab(rgb, out);
        out[3] = 0;
        break;  // Lab
    case 4:
        out[0] = (77 * rgb[0] + 150 * rgb[1] + 28 * rgb[2]) / 256;
        out[1] = out[2] = 0;
        break;                   // Gray
    default: return OSErr(-50);  // paramErr
    }
    for (int k = 0; k < 4; ++k) info->colorComponents[k] = int16(std::lround(clamp(out[k], 0, 255)));
    return noErr;
}

void useMode(TestHost& host, int16 mode)
{
    FilterRecord& r = *host.record;
    ModeShape shape;
    r.imageMode = mode;
    if (!shapeOf(mode, &shape)) return;
    const bool layer = hasLayer(host);
    const int from = host.planes - (layer ? 1 : 0), planes = shape.colours + (layer ? 1 : 0);
    const size_t pixels = size_t(host.width) * size_t(host.height);
    std::vector<uint8> samples(pixels * size_t(planes) * size_t(shape.bytes));
    for (size_t i = 0; i < pixels; ++i) {
        const uint8* p = &host.source[i * size_t(host.planes)];
        const double rgb[3] = {double(p[0]), double(p[from >= 3 ? 1 : 0]), double(p[from >= 3 ? 2 : 0])};
        double doc[4] = {rgb[0], rgb[1], rgb[2], 0};
        if (shape.cmyk) hostRgbToCmyk(rgb, doc);
        if (shape.lab) hostRgbToLab(rgb, doc);
        if (shape.bytes == 4)
            for (int c = 0; c < 3; ++c) doc[c] = hostDecodeSrgb(doc[c]);
        uint8* q = &samples[i * size_t(planes) * size_t(shape.bytes)];
        for (int c = 0; c < shape.colours; ++c) {
            // 8 and 16 bits store whole levels of the 8-bit conversion: the
            // picture is the 8-bit picture in every depth.
            double v = shape.bytes == 4 ? doc[c] : std::round(doc[c]);
            store(q + c * shape.bytes, shape.bytes, v, shape.lab && c > 0);
        }
        if (layer) {
            double a = p[host.planes - 1];
            store(q + shape.colours * shape.bytes, shape.bytes, shape.bytes == 4 ? a / 255.0 : a, false);
        }
    }
    host.planes = planes;
    host.bytesPerSample = shape.bytes;
    r.planes = int16(planes);
    r.depth = 8 * shape.bytes;
    if (layer) {
        r.inLayerPlanes = r.outLayerPlanes = int16(shape.colours);
    } else {
        r.inNonLayerPlanes = r.outNonLayerPlanes = int16(planes);
    }
    host.setPixels(samples);
    host.colourAnswer = hostConvertColour;
}

std::vector<double> asRgbLevels(const TestHost& host, const std::vector<uint8>& pixels, int16 mode)
{
    ModeShape shape;
    std::vector<double> levels;
    if (!shapeOf(mode, &shape)) return levels;
    const bool layer = hasLayer(host);
    const int planes = shape.colours + (layer ? 1 : 0), B = shape.bytes;
    const int colours = shape.colours == 1 ? 1 : 3;
    const size_t count = pixels.size() / size_t(planes * B);
    for (size_t i = 0; i < count; ++i) {
        const uint8* p = &pixels[i * size_t(planes * B)];
        double doc[4], rgb[3];
        for (int c = 0; c < shape.colours; ++c) doc[c] = load(p + c * B, B, shape.lab && c > 0);
        if (shape.cmyk)
            hostCmykToRgb(doc, rgb);
        else if (shape.lab)
            hostLabToRgb(doc, rgb);
        else
            for (int c = 0; c < colours; ++c) rgb[c] = B == 4 ? hostEncodeSrgb(doc[c]) : doc[c];
        for (int c = 0; c < colours; ++c) levels.push_back(rgb[c]);
        if (layer)
            levels.push_back(B == 4 ? 255.0 * load(p + shape.colours * B, B, false)
                                    : load(p + shape.colours * B, B, false));
    }
    return levels;
}

bool isEightBitDisplayMode(int32 mode) { return mode == 1 || mode == 3 || mode == 4 || mode == 8 || mode == 9; }

float floatSample(const std::vector<uint8>& pixels, size_t index)
{
    float f;
    std::memcpy(&f, &pixels[4 * index], 4);
    return f;
}

void setFloatSample(std::vector<uint8>& pixels, size_t index, float value)
{
    std::memcpy(&pixels[4 * index], &value, 4);
}

}  // namespace testhost
