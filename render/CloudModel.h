// The cloud model: for one pixel, how much cloud covers it, how brightly it is
// lit, its colour, and how strongly a backlit edge glows.
#pragma once

#include <cstdint>

#include "render/Lattice.h"

struct CloudSettings;

// Whole octaves the clear-sky bounds follow (Detail 100 has thirteen).
enum { maxWholeOctaves = 16 };

// Reach intervals a row may hold: a puff's copies round a cylinder (up to
// four across the columns looked at), and the columns beyond those.
enum { maxReaches = 4 * maxPuffs + 2 };

// Everything a row needs, derived once from the settings and the filter size.
struct CloudRow {
    // Factors of the sliders.
    float lumpScale, octaves, gain, density, lumpiness, flatness, harshness, mottling;
    float brightness, smokiness, skyLight, zoom;
    int32_t puffCount;
    // Colours as 0..1 floats; the sky also in HSL.
    float cloudRed, cloudGreen, cloudBlue;
    float skyHue, skySaturation, skyLightness;
    // The light: raw direction, the direction bent onto the hemisphere, the backlight.
    float lightX, lightY;
    float bentX, bentY, bentZ;
    float backlight;
    // Field geometry.
    float inverseWidth, inverseHeight, aspect;  // 1/W, 1/H, H/W
    float centreU, centreV;
    int32_t zoomRate, panColumn;     // panColumn = panX div zoomRate
    float noiseScaleX, noiseScaleY;  // field to noise coordinates
    // Shading constants.
    float shadeDepth, shadeExponent, backDim, glowFactor;
    // This row.
    float fieldY;
    bool belowHorizon;                  // no cloud anywhere on the row
    float puffT[maxPuffs];              // warped height less the puff's offset
    float puffLightY[maxPuffs];         // b * lightY of each puff
    float puffTwiceStrength[maxPuffs];  // 2 * Density * PuffScale
    float puffOffsetX[maxPuffs];

    // ---- Clear sky (CloudReach.cpp): where no puff can cover a pixel, the
    // model is not run and the pixel is clearPixel(), exactly what the model
    // gives there. ----
    bool skipClear;  // the bounds below hold and may be used
    // What the noise can still add, at most, after k whole octaves (k = 0:
    // the whole noise), margins for rounding included.
    float noiseRest[maxWholeOctaves + 1];
    int32_t wholeOctaves;  // the entries of noiseRest after 0 that are set
    float clearGlow;       // the glow the model gives a pixel of no coverage
    // This row: whether the bounds hold for it (its noise coordinates stay
    // where the noise's cells are exact), and the columns where some puff may
    // show, as ascending, disjoint half-open intervals [reachBegin, reachEnd).
    // Seamless rows are never `bounded`: the blocks' bounds follow the
    // plane's turned octaves.
    bool bounded;
    int32_t reachCount;
    int32_t reachBegin[maxReaches], reachEnd[maxReaches];
    // Blocks of neighbouring columns of this row (bounded rows; seamless
    // rows within seamlessBlocksU, `width` then apart in u): with noise
    // samples at two columns whose noise x lie at most `width` apart, the
    // first k octaves of every pixel between them are at most the larger of
    // the two samples' plus rest[k], with what the octaves after k can add;
    // worth sampling up to `octaves` octaves. A block whose larger sum after
    // k octaves plus floor[k] is above what it needs can no longer be found
    // clear. Level 0 holds for blocks of up to 8 columns, level 1 for up to 32.
    struct BlockBounds {
        float width;
        float rest[maxWholeOctaves + 1], floor[maxWholeOctaves + 1];
        int32_t octaves;
    };
    BlockBounds blockBounds[2];
    // Lighting: the sine's turn on a puff's surface is never below leastTurn,
    // so LitOfTurn at leastTurn bounds each puff's lit fraction; puffs whose
    // bound cannot beat the brightest so far are not lit (same maximum).
    bool skipDimPuffs;
    float leastTurn;
    // This row's puffs, the likely best lit first (by lightKey, largest
    // first): the order the vector packs light them in, so that the others
    // are mostly passed over. A puff's lit fraction grows with its key,
    // puffOffsetX lightX + puffLightY, the rest of it being alike for every
    // puff but the turn (CloudLanes.h bounds it through the key);
    // lightYMost is the largest |puffLightY|.
    int8_t lightOrder[maxPuffs];
    float lightKey[maxPuffs];
    float lightYMost;

    // ---- Seamless clouds (Seamless.h), when wrap is not wrapOff. ----
    int32_t wrap;  // a WrapMode
    // Octave k is sampled at (scaleX u + offsetX, scaleY v + offsetY) for
    // fractions (u, v) of the rectangle; a period above 0 is the octave's
    // repeat in cells along that axis. Entry k = whole octaves is the partial one.
    struct SeamlessOctave {
        float scaleX, offsetX, scaleY, offsetY;
        int32_t periodX, periodY;
    };
    SeamlessOctave seamless[maxWholeOctaves + 1];
    float circumference;          // the field across the rectangle (and down it): the zoom
    float warpedCircumference;    // both ways: the field down the rectangle, flattened
    float fieldV;                 // this row as a fraction of the rectangle's height
    float puffNormalT[maxPuffs];  // the puff's normal's vertical offset (puffT, or its sine)
    bool seamlessBounded;         // the noise's bounds (noiseRest) hold and may stop it early
    // Blocks of this row whose ends' |u| (fractions of the rectangle across)
    // stay below this have blockBounds made for the seamless octaves (0: no
    // block is looked at).
    float seamlessBlocksU;
};

// The derived factors of `s` for a render of `width` x `height` filter pixels.
void SetupCloudFactors(CloudRow* row, const CloudSettings* s, const CloudTables* t, int32_t width, int32_t height);

// The row-dependent values for row index D (within the render area).
void SetupCloudRow(CloudRow* row, const CloudSettings* s, const CloudTables* t, int32_t D);

// The same for the filter rectangle's row py (its pixel row, from the top).
void SetupCloudRowAt(CloudRow* row, const CloudTables* t, int64_t py);

struct CloudPixel {
    float red, green, blue;  // cloud colour, nominally 0..1
    float opacity;           // largest puff coverage, 0..1
    float glow;              // backlit edge glow, 0..1
};

// The pixel at column i of the row set up last.
CloudPixel ShadeCloudPixel(const CloudRow* row, const CloudTables* t, int32_t i);

// The same, adding 1 to *cutShort when the noise was stopped early because no
// puff could cover the pixel whatever the octaves still to come.
CloudPixel ShadeCloudPixelCounted(const CloudRow* row, const CloudTables* t, int32_t i, uint32_t* cutShort);

// The field position across of column i of the row (the scalar model's
// steps, which the vector packs repeat lane by lane).
inline float fieldXOf(const CloudRow* row, int32_t i)
{
    const int64_t px = (int64_t(row->panColumn) + i) * row->zoomRate;
    return (float(px) * row->inverseWidth - row->centreU) * row->zoom;
}

// What the model gives a pixel no puff covers.
inline CloudPixel clearPixel(const CloudRow* row) { return CloudPixel{0.0f, 0.0f, 0.0f, 0.0f, row->clearGlow}; }

// Whether `cloud` is clear sky, no cloud and no glow: over an opaque pixel
// the composers give the pixel as it was.
inline bool isClearSky(const CloudPixel& cloud) { return cloud.opacity == 0.0f && !(cloud.glow > 0.0f); }

// The colour of a visible pixel of shade `shade` (at least 0): the lit cloud
// colour, tinted toward the sky's hue in the shadows.
void TintCloudPixel(const CloudRow* row, float shade, CloudPixel* pixel);

// Puff p at a pixel whose field position, offset by the puff, is `a` across:
// how much of the pixel it covers, and the lit fraction of its surface there.
// The two are separate because lighting is needed only where a cloud shows.
float PuffCoverage(const CloudRow* row, int p, float a, float noise);
// The same at a known distance d from the puff's centre.
float PuffCoverageAt(const CloudRow* row, int p, float d, float noise);
// The distance of a pixel at `a` across from puff p's centre, as PuffCoverage takes it.
float puffDistance(const CloudRow* row, int p, float a);
float PuffLight(const CloudRow* row, const CloudTables* t, int p, float a, float noise);
// The same with the normal's vertical offset `t` given (on a torus it differs from puffT).
float PuffLightAt(const CloudRow* row, const CloudTables* tables, int p, float a, float t, float noise);
// The field's height Y as Flatness warps it (its lower half only).
float FlattenedHeight(const CloudRow* row, float Y);
// PuffLight's last step: the lit fraction once the light's turn on the puff's
// surface is known. It never rises as the turn grows, so at the least turn it
// bounds the lit fraction from above.
float LitOfTurn(const CloudRow* row, int p, float a, float noise, float turned);

// Shade of a surface whose lit fraction is `lit`; may be negative in deep smoke.
float ShadeOfLight(const CloudRow* row, float lit);

void RgbToHsl(float r, float g, float b, float* h, float* s, float* l);
void HslToRgb(float h, float s, float l, float* r, float* g, float* b);

// Which sixth of the colour wheel hue `h` (0 to 1) falls in, and how far into
// it. A hue of 1 is a full turn: sextant 6 wraps to red. A hue that is not a
// number (only from broken settings) is taken as red too.
inline void HueSextant(float h, int* sextant, float* fraction)
{
    const float h6 = h * 6.0f;
    *sextant = 0;
    *fraction = 0.0f;
    if (h6 >= 0.0f && h6 <= 6.0f) {
        *sextant = int(h6);
        *fraction = h6 - float(*sextant);
        if (*sextant > 5) *sextant = 0;
    }
}

// Scales a 3-vector to unit length; the zero vector becomes (0, 0, 1).
void NormalizeVector(const CloudTables* t, float* v);

// The fast reciprocal square root of s > 0: a table guess and two Newton steps.
float FastInvSqrt(const CloudTables* t, float s);
