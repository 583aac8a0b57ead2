#include "render/Seamless.h"

#include <cmath>

#include "render/CloudReach.h"
#include "render/DetMath.h"
#include "render/EngineConstants.h"
#include "settings/CloudSettings.h"

namespace {

constexpr double fullTurn = 6.283185307179586;
// Periods beyond this many cells gain nothing (a float's cells are coarse there).
constexpr double longestPeriod = 16777216.0;

// The whole number of cells nearest to `span`: the octave's repeat. Below
// half a cell the octave is one value across the rectangle (period 0, the
// coordinate held still), which repeats too.
int32_t periodOf(double span)
{
    double cells = std::floor(span + 0.5);
    if (!(cells >= 1.0)) return 0;
    return int32_t(cells < longestPeriod ? cells : longestPeriod);
}

// An octave's coordinate at the rectangle's first pixel, brought into its
// period (or the lattice's own 256 cells), which keeps the float's precision.
float startInPeriod(double start, int32_t period)
{
    const double around = period > 0 ? double(period) : 256.0;
    return float(start - around * std::floor(start / around));
}

// `x` brought into [-c/2, c/2]: the offset to the nearest copy.
inline float wrapped(float x, float c) { return x - c * float(std::nearbyint(x / c)); }

// A wrapped offset as the light and the normal take it: close to x near 0,
// continuous all the way round a circumference of c.
inline float sineOffset(float x, float c) { return float(c / fullTurn * DetSin(fullTurn * x / c)); }

// The height the flatness warp gives on a torus: the warp of the lower half
// up to 1, where it gives back 1, and no warp below that.
inline float flattenedOnTorus(const CloudRow* row, float y) { return y < 1.0f ? FlattenedHeight(row, y) : y; }

}  // namespace

void SetupSeamless(CloudRow* row, int32_t mode)
{
    if (mode == wrapOff) return;
    row->wrap = mode;
    // The noise stops where no puff, from its nearest copy, can cover the
    // pixel whatever the octaves still to come add (their bounds hold for the
    // periodic lattice too: the same gradients, the same amplitudes); the
    // rows' reach follows the puffs' copies round the cylinder (CloudReach.cpp).
    row->seamlessBounded = row->skipClear && row->lumpiness > 0.0f;
    row->circumference = row->zoom;
    const bool both = mode == wrapBoth;
    const float half = 0.5f * row->zoom;
    row->warpedCircumference = both ? flattenedOnTorus(row, half) + half : row->zoom;

    // Octave 0 spans zoom x noiseScale cells across the rectangle, from the
    // centre's offset; each octave after it L times as many, from the last
    // one's start moved by the octave shift and scaled by L.
    double spanX = double(row->zoom) * row->noiseScaleX, spanY = double(row->zoom) * row->noiseScaleY;
    double startX = -spanX * row->centreU, startY = -spanY * row->centreV;
    for (int k = 0; k <= maxWholeOctaves; ++k) {
        CloudRow::SeamlessOctave& o = row->seamless[k];
        o.periodX = periodOf(spanX);
        o.scaleX = float(o.periodX);
        o.offsetX = startInPeriod(startX, o.periodX);
        o.periodY = both ? periodOf(spanY) : 0;
        o.scaleY = both ? float(o.periodY) : float(spanY);
        o.offsetY = startInPeriod(startY, o.periodY);
        spanX *= octaveLacunarity;
        spanY *= octaveLacunarity;
        startX = (startX + octaveShiftX) * octaveLacunarity;
        startY = (startY + octaveShiftY) * octaveLacunarity;
    }
}

void SetupSeamlessRow(CloudRow* row, const CloudTables* t, int64_t py)
{
    row->fieldV = float(py) * row->inverseHeight;
    const int count = row->puffCount < maxPuffs ? row->puffCount : maxPuffs;
    if (row->wrap != wrapBoth) {
        for (int p = 0; p < count; ++p) row->puffNormalT[p] = row->puffT[p];
        return;
    }
    // Around a torus there is no horizon; the height is the nearest copy's.
    row->belowHorizon = false;
    const float c = row->circumference, warped = row->warpedCircumference;
    const float Y = row->fieldY, r = flattenedOnTorus(row, wrapped(Y, c));
    for (int p = 0; p < count; ++p) {
        float offsetT = wrapped(r - t->PuffOffsetY[p], warped);
        row->puffT[p] = offsetT;
        row->puffNormalT[p] = sineOffset(offsetT, warped);
        row->puffLightY[p] = sineOffset(wrapped(Y + t->PuffOffsetY[p], c), c) * row->lightY;
    }
}

float SeamlessNoise(const CloudRow* row, const int16_t* P, float u, float v, float ceiling, bool* stopped)
{
    float sum = 0.0f, amplitude = 1.0f;
    const bool bounded = ceiling > -HUGE_VALF;
    int k = 0;
    for (float i = 1.0f; i <= row->octaves && k < maxWholeOctaves; i += 1.0f, ++k) {
        if (bounded && k <= row->wholeOctaves && sum + row->noiseRest[k] <= ceiling) {
            *stopped = true;
            return sum;
        }
        const CloudRow::SeamlessOctave& o = row->seamless[k];
        sum += amplitude * PeriodicNoise2D(P, o.scaleX * u + o.offsetX, o.scaleY * v + o.offsetY, o.periodX, o.periodY);
        amplitude *= row->gain;
    }
    if (bounded && k <= row->wholeOctaves && sum + row->noiseRest[k] <= ceiling) {
        *stopped = true;
        return sum;
    }
    if (!(std::fabs(row->octaves) < 1.0e6f)) return sum;
    const float fraction = row->octaves - std::floor(row->octaves);
    if (fraction != 0.0f) {
        const CloudRow::SeamlessOctave& o = row->seamless[k];
        sum += amplitude * fraction *
               PeriodicNoise2D(P, o.scaleX * u + o.offsetX, o.scaleY * v + o.offsetY, o.periodX, o.periodY);
    }
    return sum;
}

CloudPixel ShadeSeamlessPixel(const CloudRow* row, const CloudTables* t, int32_t i, uint32_t* cutShort)
{
    CloudPixel pixel = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    if (row->belowHorizon) return pixel;
    const int64_t px = (int64_t(row->panColumn) + i) * row->zoomRate;
    const float u = float(px) * row->inverseWidth;
    const float X = (u - row->centreU) * row->zoom;
    const float c = row->circumference;

    // Each puff is measured from its nearest copy round the cylinder.
    float across[maxPuffs], distances[maxPuffs];
    for (int p = 0; p < row->puffCount && p < maxPuffs; ++p) {
        across[p] = wrapped(X + row->puffOffsetX[p], c);
        distances[p] = puffDistance(row, p, across[p]);
    }
    bool stopped = false;
    const float noise = SeamlessNoise(row, t->NoisePermutation, u, row->fieldV,
                                      row->seamlessBounded ? coveringNoise(row, distances) : -HUGE_VALF, &stopped);
    if (stopped) {
        ++*cutShort;
        return clearPixel(row);
    }
    float coverage = 0.0f;
    for (int p = 0; p < row->puffCount && p < maxPuffs; ++p) {
        float covered = PuffCoverageAt(row, p, distances[p], noise);
        if (covered > coverage) coverage = covered;
    }
    pixel.opacity = coverage;
    pixel.glow = edgeGlowPeak * coverage * (1.0f - coverage) * row->glowFactor;
    pixel.glow = pixel.glow < 0.0f ? 0.0f : (pixel.glow > 1.0f ? 1.0f : pixel.glow);
    if (!(coverage * opacityLevels >= 1.0f)) return pixel;

    float mostLit = 0.0f;
    for (int p = 0; p < row->puffCount && p < maxPuffs; ++p) {
        float lit = PuffLightAt(row, t, p, sineOffset(across[p], c), row->puffNormalT[p], noise);
        if (lit > mostLit) mostLit = lit;
    }
    float shade = ShadeOfLight(row, mostLit);
    TintCloudPixel(row, shade < 0.0f ? 0.0f : shade, &pixel);
    return pixel;
}
