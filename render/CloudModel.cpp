#include "render/CloudModel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/CloudReach.h"
#include "render/DetMath.h"
#include "render/EngineConstants.h"
#include "render/Seamless.h"
#include "settings/CloudSettings.h"

static const double channelToUnit = 1.5259022e-05;  // 1/65535

static inline float clampUnit(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// A slider word as the engine uses it: files, caches and host blocks may hold
// any 32-bit value, but every factor is derived from 0..100.
static inline int32_t sliderValue(int32_t v) { return v < 0 ? 0 : (v > 100 ? 100 : v); }

// How each slider (0..100) becomes the model's factor: slider x perStep +
// atZero, in double precision, stored as a float.
namespace {
struct SliderFactor {
    int32_t CloudSettings::*slider;
    float CloudRow::*factor;
    double perStep, atZero;
};
const SliderFactor kSliderFactors[] = {
    {&CloudSettings::lumpScale, &CloudRow::lumpScale, 0.00396, 0.0},  // the noise's frequency
    {&CloudSettings::detail, &CloudRow::octaves, 0.12, 1.01},         // octaves, 1.01 to 13.01
    {&CloudSettings::dispersion, &CloudRow::gain, 0.01, 0.0},         // each octave's amplitude over the last
    {&CloudSettings::density, &CloudRow::density, 0.01, 0.0},         // how far each puff reaches
    {&CloudSettings::lumpiness, &CloudRow::lumpiness, 0.015, 0.0},    // how much the noise moves the edges
    {&CloudSettings::flatness, &CloudRow::flatness, 0.015, 0.0},      // how flat the bases are
    {&CloudSettings::harshness, &CloudRow::harshness, 0.2, 0.5},      // how sharply light turns to shadow
    {&CloudSettings::mottling, &CloudRow::mottling, 0.01, 0.0},       // how much the noise mottles the light
    {&CloudSettings::brightness, &CloudRow::brightness, 0.01, 0.0},
    {&CloudSettings::smokiness, &CloudRow::smokiness, 0.003, 0.0},
    {&CloudSettings::skyLight, &CloudRow::skyLight, 0.01, 0.0},  // how much the sky tints the shadows
};
}  // namespace

const double puffsPerStep = 0.09;  // Puffs 0..100 give 1 to 10 puffs
// Zoom: the field is scaled by 2^(zoomWidestOctaves - Zoom x zoomOctavesPerStep).
const double zoomWidestOctaves = 3.0, zoomOctavesPerStep = 0.06;
// Noise cells across the field at Lump scale's factor 1.
const float noiseCellsPerField = 15.0f;
// The shade: up to this deep in full smoke; this share of it comes from
// Smokiness, the rest is there without smoke.
const float deepestShade = 5.0f;
const double smokeShadeShare = 0.9, smokelessShadeShare = 0.1;
// Brightness raises the shadow's exponent from 1 to 4.
const float brightnessExponentPerUnit = 3.0f;
// Backlighting dims the clouds by up to a half and brightens their glow;
// smoke dulls the glow.
const double backlightDimming = 0.5, smokeDullsGlow = 0.8;
const float glowBacklightGain = 4.0f;

// The pattern's origin as a fraction of the filter size. Beyond this distance
// no puff can reach the picture any more, so nothing visible changes, and the
// arithmetic stays finite.
static inline float usableCentre(float c)
{
    if (!(c == c)) return 0.5f;
    return c < -1.0e4f ? -1.0e4f : (c > 1.0e4f ? 1.0e4f : c);
}

// The light as the direction pad makes it: finite, on or inside the unit
// circle, with a height of at most 1. Other values (from a file or a host
// block) are brought there: beyond the circle the light lies on its rim.
static void usableLight(const CloudSettings* s, float* x, float* y, float* z)
{
    *x = s->lightX;
    *y = s->lightY;
    *z = s->lightZ;
    if (!std::isfinite(*x) || !std::isfinite(*y) || !std::isfinite(*z)) {
        *x = *y = -0.54f;
        *z = 0.6456004f;
        return;
    }
    double len = std::sqrt(double(*x) * *x + double(*y) * *y);
    if (len > 1.0001) {
        *x = float(*x / len);
        *y = float(*y / len);
        *z = 0.0f;
    }
    if (*z > 1.0f) *z = 1.0f;
    if (*z < -1.0f) *z = -1.0f;
}

void SetupCloudFactors(CloudRow* row, const CloudSettings* s, const CloudTables* t, int32_t width, int32_t height)
{
    for (const SliderFactor& f : kSliderFactors)
        row->*f.factor = float(sliderValue(s->*f.slider) * f.perStep + f.atZero);
    row->puffCount = int32_t(sliderValue(s->puffs) * puffsPerStep + 1.0);
    row->zoom = float(DetExp2(zoomWidestOctaves - sliderValue(s->zoom) * zoomOctavesPerStep));

    row->cloudRed = float(s->cloudColor.red * channelToUnit);
    row->cloudGreen = float(s->cloudColor.green * channelToUnit);
    row->cloudBlue = float(s->cloudColor.blue * channelToUnit);
    RgbToHsl(float(s->skyColor.red * channelToUnit), float(s->skyColor.green * channelToUnit),
             float(s->skyColor.blue * channelToUnit), &row->skyHue, &row->skySaturation, &row->skyLightness);

    // The pad's disc position is bent onto a hemisphere.
    float lightX, lightY, lightZ;
    usableLight(s, &lightX, &lightY, &lightZ);
    row->lightX = lightX;
    row->lightY = lightY;
    float len = std::sqrt(lightX * lightX + lightY * lightY);
    if (len > 0.0f) {
        float k = float(DetSin(len * quarterTurn) / len);
        row->bentX = k * lightX;
        row->bentY = k * lightY;
        // On the rim of the pad rounding can push the radicand just below 0.
        float radicand = 1.0f - row->bentX * row->bentX - row->bentY * row->bentY;
        row->bentZ = std::sqrt(radicand > 0.0f ? radicand : 0.0f);
    } else {
        row->bentX = lightX;
        row->bentY = lightY;
        row->bentZ = lightZ;
    }
    bool backlit = s->backlighting != 0;
    if (backlit) row->bentZ = -row->bentZ;
    row->backlight = backlit ? std::fabs(lightZ) : 0.0f;

    row->inverseWidth = 1.0f / float(width);
    row->inverseHeight = 1.0f / float(height);
    row->aspect = float(height) / float(width);
    row->centreU = usableCentre(s->centreU);
    row->centreV = usableCentre(s->centreV);
    row->zoomRate = s->zoomRate > 0 ? s->zoomRate : 1;
    row->panColumn = s->panX / row->zoomRate;
    row->noiseScaleX = row->lumpScale * noiseCellsPerField;
    row->noiseScaleY = row->aspect * row->lumpScale * noiseCellsPerField;

    row->shadeDepth = deepestShade * float(smokeShadeShare * row->smokiness + smokelessShadeShare);
    row->shadeExponent = brightnessExponentPerUnit * row->brightness + 1.0f;
    row->backDim = float(1.0 - backlightDimming * row->backlight);
    row->glowFactor =
        (1.0f - glowBacklightGain * (1.0f - row->backlight)) * float(1.0 - smokeDullsGlow * row->smokiness);

    for (int p = 0; p < maxPuffs; ++p) {
        row->puffTwiceStrength[p] = 2.0f * (row->density * t->PuffScale[p]);
        row->puffOffsetX[p] = t->PuffOffsetX[p];
    }
    SetupClearSky(row);
    row->wrap = 0;
    SetupSeamless(row, wrapModeOf(s->wrap));
}

void SetupCloudRow(CloudRow* row, const CloudSettings* s, const CloudTables* t, int32_t D)
{
    int32_t M = row->zoomRate;
    SetupCloudRowAt(row, t, (int64_t(s->panY / M) + D) * M);  // 64 bits: a host's pan may be anything
}

// LitOfTurn grows with a lightX + puffLightY, a = X + puffOffsetX: the
// puff with the largest offsetX lightX + puffLightY is the likely brightest
// at every pixel of the row (the turn moves it by a tenth at most).
static void orderPuffsByLight(CloudRow* row)
{
    const float* key = row->lightKey;
    const int puffs = row->puffCount < maxPuffs ? row->puffCount : maxPuffs;
    row->lightYMost = 0.0f;
    for (int p = 0; p < puffs; ++p) {
        row->lightKey[p] = row->puffOffsetX[p] * row->lightX + row->puffLightY[p];
        row->lightYMost = std::max(row->lightYMost, std::fabs(row->puffLightY[p]));
        int k = p;
        for (; k > 0 && key[row->lightOrder[k - 1]] < key[p]; --k) row->lightOrder[k] = row->lightOrder[k - 1];
        row->lightOrder[k] = int8_t(p);
    }
}

void SetupCloudRowAt(CloudRow* row, const CloudTables* t, int64_t py)
{
    float Y = (float(py) * row->inverseHeight - row->centreV) * row->zoom;
    row->fieldY = Y;
    row->belowHorizon = Y > 1.1f;
    float r = FlattenedHeight(row, Y);
    for (int p = 0; p < row->puffCount && p < maxPuffs; ++p) {
        float b = Y + t->PuffOffsetY[p];
        row->puffT[p] = r - (b - Y);
        row->puffLightY[p] = b * row->lightY;
    }
    if (row->wrap != 0) SetupSeamlessRow(row, t, py);
    orderPuffsByLight(row);
    SetupRowReach(row);
}

float FlattenedHeight(const CloudRow* row, float Y)
{
    // Flatness warps only the lower half of the field.
    return Y > 0.0f ? Y + 4.0f * Y * row->flatness * (std::sqrt(Y) - Y) : Y;
}

float FastInvSqrt(const CloudTables* t, float s)
{
    uint32_t b;
    std::memcpy(&b, &s, sizeof b);
    uint32_t e = (b >> 23) & 255u;
    uint32_t guessBits =
        ((invSqrtGuess - (e << 22)) & invSqrtGuessMask) | (uint32_t(t->InvSqrtTable[(b >> 17) & 127u]) << 15);
    float r;
    std::memcpy(&r, &guessBits, sizeof r);
    r = r * (3.0f - r * r * s) * 0.5f;
    r = r * (3.0f - r * r * s) * 0.5f;
    return r;
}

void NormalizeVector(const CloudTables* t, float* v)
{
    float s = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    if (s == 0.0f) {
        v[0] = 0.0f;
        v[1] = 0.0f;
        v[2] = 1.0f;
        return;
    }
    float k = s <= directInvSqrtBelow ? 1.0f / std::sqrt(s) : FastInvSqrt(t, s);
    v[0] *= k;
    v[1] *= k;
    v[2] *= k;
}

float puffDistance(const CloudRow* row, int p, float a)
{
    float u = a, t = row->puffT[p];
    return std::sqrt(t * t + u * u);
}

float PuffCoverage(const CloudRow* row, int p, float a, float noise)
{
    return PuffCoverageAt(row, p, puffDistance(row, p, a), noise);
}

float PuffCoverageAt(const CloudRow* row, int p, float d, float noise)
{
    if (row->belowHorizon) return 0.0f;
    float w = clampUnit(noise * row->lumpiness + lumpBias - ((2.0f * d - 1.0f) * row->puffTwiceStrength[p] + 1.0f));
    float open = 1.0f - w;
    float open2 = open * open;
    return 1.0f - open2 * open2 * open;
}

float PuffLight(const CloudRow* row, const CloudTables* tables, int p, float a, float noise)
{
    return PuffLightAt(row, tables, p, a, row->puffT[p], noise);
}

float PuffLightAt(const CloudRow* row, const CloudTables* tables, int p, float a, float t, float noise)
{
    // Normal of a hemisphere of radius 0.5; outside the silhouette it lies flat.
    float normal[3] = {2.0f * a, 2.0f * t, 0.0f};
    float q = 1.0f - normal[0] * normal[0] - normal[1] * normal[1];
    if (q >= 0.0f)
        normal[2] = std::sqrt(q);
    else
        NormalizeVector(tables, normal);
    float facing = normal[0] * row->bentX + normal[1] * row->bentY + normal[2] * row->bentZ;
    float turned = float(lightTurn * DetSin(facing * quarterTurn));
    return LitOfTurn(row, p, a, noise, turned);
}

float LitOfTurn(const CloudRow* row, int p, float a, float noise, float turned)
{
    float S = row->harshness * (turned - a * row->lightX - row->puffLightY[p]);
    return clampUnit(litMidpoint - litMidpoint * S + noise * row->mottling);
}

float ShadeOfLight(const CloudRow* row, float lit)
{
    float shadow = float(DetPow(1.0f - lit, row->shadeExponent));
    return (1.0f - row->shadeDepth * shadow) * row->backDim;
}

CloudPixel ShadeCloudPixel(const CloudRow* row, const CloudTables* t, int32_t i)
{
    uint32_t ignored = 0;
    return ShadeCloudPixelCounted(row, t, i, &ignored);
}

CloudPixel ShadeCloudPixelCounted(const CloudRow* row, const CloudTables* t, int32_t i, uint32_t* cutShort)
{
    if (row->wrap != 0) return ShadeSeamlessPixel(row, t, i, cutShort);
    CloudPixel pixel = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    // Nothing is drawn below the horizon: opacity and glow stay 0.
    if (row->belowHorizon) return pixel;

    const float X = fieldXOf(row, i);
    const float noiseX = X * row->noiseScaleX, noiseY = row->fieldY * row->noiseScaleY;
    float noise;
    if (row->bounded && row->lumpiness > 0.0f) {
        // The noise stops as soon as no puff can cover the pixel, whatever
        // the octaves still to come add (CloudReach.h).
        float distances[maxPuffs];
        for (int p = 0; p < row->puffCount; ++p) distances[p] = puffDistance(row, p, X + row->puffOffsetX[p]);
        bool stopped = false;
        noise = FractalNoiseBelow(t->NoisePermutation, noiseX, noiseY, row->octaves, row->gain, row->noiseRest,
                                  row->wholeOctaves, coveringNoise(row, distances), &stopped);
        if (stopped) {
            ++*cutShort;
            return clearPixel(row);
        }
    } else {
        noise = FractalNoise(t->NoisePermutation, noiseX, noiseY, row->octaves, row->gain);
    }

    // One noise value serves every puff; the pixel takes the largest coverage.
    float coverage = 0.0f;
    for (int p = 0; p < row->puffCount; ++p) {
        float c = PuffCoverage(row, p, X + row->puffOffsetX[p], noise);
        if (c > coverage) coverage = c;
    }
    pixel.opacity = coverage;
    // Backlit edges glow where the coverage is one half.
    float edge = edgeGlowPeak * coverage * (1.0f - coverage);
    pixel.glow = clampUnit(edge * row->glowFactor);
    // Where the opacity stays below one level the composite keeps the source
    // pixel whatever the colour: no need to light it.
    if (!(coverage * opacityLevels >= 1.0f)) return pixel;

    // The brightest shade of all puffs. With the factors in their ranges (a
    // shadow depth of at least 0.5, an exponent of at least 1, a backlight
    // dimming of at least 0.5) the shade rises with the lit fraction, so it is
    // computed once, from the best-lit puff.
    float mostLit = 0.0f;
    // Each puff's lit fraction is at most its value at the least turn
    // (LitOfTurn falls as the turn grows): where that bound may be used, the
    // puff that may be the brightest is lit first, then only the puffs that
    // may still outshine it.
    float most[maxPuffs];
    int first = 0;
    if (row->skipDimPuffs)
        for (int p = 0; p < row->puffCount; ++p) {
            most[p] = LitOfTurn(row, p, X + row->puffOffsetX[p], noise, row->leastTurn);
            if (most[p] > most[first]) first = p;
        }
    for (int k = 0; k < row->puffCount; ++k) {
        const int p = k == 0 ? first : (k == first ? 0 : k);
        if (row->skipDimPuffs && k > 0 && !(most[p] > mostLit)) continue;
        float lit = PuffLight(row, t, p, X + row->puffOffsetX[p], noise);
        if (lit > mostLit) mostLit = lit;
    }
    float shade = ShadeOfLight(row, mostLit);
    if (shade < 0.0f) shade = 0.0f;
    TintCloudPixel(row, shade, &pixel);
    return pixel;
}

void TintCloudPixel(const CloudRow* row, float shade, CloudPixel* pixel)
{
    float red = row->cloudRed * shade, green = row->cloudGreen * shade, blue = row->cloudBlue * shade;
    float tintAmount = (1.0f - shade * shade) * row->skyLight;
    if (tintAmount > 0.0f) {
        float hue, saturation, lightness, tintRed, tintGreen, tintBlue;
        RgbToHsl(red, green, blue, &hue, &saturation, &lightness);
        HslToRgb(row->skyHue, row->skySaturation, lightness, &tintRed, &tintGreen, &tintBlue);
        red += (tintRed - red) * tintAmount;
        green += (tintGreen - green) * tintAmount;
        blue += (tintBlue - blue) * tintAmount;
    }
    pixel->red = red;
    pixel->green = green;
    pixel->blue = blue;
}

void RgbToHsl(float r, float g, float b, float* h, float* s, float* l)
{
    float v = r > g ? r : g;
    if (b > v) v = b;
    float m = r < g ? r : g;
    if (b < m) m = b;
    *h = 0.0f;
    *s = 0.0f;
    *l = (v + m) / 2.0f;
    if (*l <= 0.0f) return;
    float delta = v - m;
    *s = delta;
    if (delta <= 0.0f) return;
    *s = *l <= 0.5f ? delta / (v + m) : delta / (2.0f - v - m);
    float r2 = (v - r) / delta, g2 = (v - g) / delta, b2 = (v - b) / delta;
    float hue;
    if (r == v)
        hue = g == m ? 5.0f + b2 : 1.0f - g2;
    else if (g == v)
        hue = b == m ? 1.0f + r2 : 3.0f - b2;
    else
        hue = r == m ? 3.0f + g2 : 5.0f - r2;
    *h = float(hue * 0.166666666666667);
}

void HslToRgb(float h, float s, float l, float* r, float* g, float* b)
{
    float v = l <= 0.5f ? l * (1.0f + s) : l + s - l * s;
    if (v <= 0.0f) {
        *r = *g = *b = 0.0f;
        return;
    }
    float m = 2.0f * l - v;
    float sv = (v - m) / v;
    int sextant;
    float fraction;
    HueSextant(h, &sextant, &fraction);
    float vsf = v * sv * fraction;
    float mid1 = m + vsf, mid2 = v - vsf;
    // clang-format off
    switch (sextant) {
    case 0: *r = v; *g = mid1; *b = m; break;
    case 1: *r = mid2; *g = v; *b = m; break;
    case 2: *r = m; *g = v; *b = mid1; break;
    case 3: *r = m; *g = mid2; *b = v; break;
    case 4: *r = mid1; *g = m; *b = v; break;
    default: *r = v; *g = m; *b = mid2; break;
    }
    // clang-format on
}
