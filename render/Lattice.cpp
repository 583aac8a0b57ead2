#include "render/Lattice.h"

#include <cmath>
#include <cstring>

#include "render/EngineConstants.h"

// Ken Perlin's reference permutation for improved noise (2002), entry for entry.
const uint8_t BasePermutation[256] = {
    151, 160, 137, 91,  90,  15,  131, 13,  201, 95,  96,  53,  194, 233, 7,   225, 140, 36,  103, 30,  69,  142,
    8,   99,  37,  240, 21,  10,  23,  190, 6,   148, 247, 120, 234, 75,  0,   26,  197, 62,  94,  252, 219, 203,
    117, 35,  11,  32,  57,  177, 33,  88,  237, 149, 56,  87,  174, 20,  125, 136, 171, 168, 68,  175, 74,  165,
    71,  134, 139, 48,  27,  166, 77,  146, 158, 231, 83,  111, 229, 122, 60,  211, 133, 230, 220, 105, 92,  41,
    55,  46,  245, 40,  244, 102, 143, 54,  65,  25,  63,  161, 1,   216, 80,  73,  209, 76,  132, 187, 208, 89,
    18,  169, 200, 196, 135, 130, 116, 188, 159, 86,  164, 100, 109, 198, 173, 186, 3,   64,  52,  217, 226, 250,
    124, 123, 5,   202, 38,  147, 118, 126, 255, 82,  85,  212, 207, 206, 59,  227, 47,  16,  58,  17,  182, 189,
    28,  42,  223, 183, 170, 213, 119, 248, 152, 2,   44,  154, 163, 70,  221, 153, 101, 155, 167, 43,  172, 9,
    129, 22,  39,  253, 19,  98,  108, 110, 79,  113, 224, 232, 178, 185, 112, 104, 218, 246, 97,  228, 251, 34,
    242, 193, 238, 210, 144, 12,  191, 179, 162, 241, 81,  51,  145, 235, 249, 14,  239, 107, 49,  192, 214, 31,
    181, 199, 106, 157, 184, 84,  204, 176, 115, 121, 50,  45,  127, 4,   150, 254, 138, 236, 205, 93,  222, 114,
    67,  29,  24,  72,  243, 141, 128, 195, 78,  66,  215, 61,  156, 180,
};

static float floatFromBits(uint32_t bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

static uint32_t bitsOfFloat(float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// Stirs the lattice bytes. Each step swaps entry k with entry j and then puts
// entry k back, so what survives is the value moved to j, until a later step
// writes j again. Stored seeds depend on exactly this order.
static void stirLattice(CloudTables* t, int32_t seed)
{
    for (int k = 0; k < 2048; ++k) t->LatticeBytes[k] = LatticeTable[k] & 255;
    for (int k = 0; k < 2048; ++k) {
        int j = LatticeTable[(k + seed) & 2047];
        int32_t moved = t->LatticeBytes[k];
        t->LatticeBytes[k] = t->LatticeBytes[j];
        t->LatticeBytes[j] = moved;
        t->LatticeBytes[k] = LatticeTable[k] & 255;
    }
    for (int k = 0; k < 2048; ++k) t->LatticeValues[k] = float(t->LatticeBytes[k] * byteToUnit);
}

static void placePuffs(CloudTables* t)
{
    for (int n = 0; n < maxPuffs; ++n) {
        int a = 16 + 3 * n;
        t->PuffScale[n] = float((t->LatticeValues[a & 2047] + 1.0) * 0.5);
        t->PuffOffsetX[n] = float((t->LatticeValues[(a + 1) & 2047] - 0.5) * 0.5);
        t->PuffOffsetY[n] = float((t->LatticeValues[(a + 2) & 2047] - 0.5) * 0.25);
    }
    t->PuffOffsetX[0] = 0.0f;
    t->PuffOffsetY[0] = 0.0f;
}

// First guesses for 1/sqrt over [0.5, 2): bit 6 of the index is the lowest
// exponent bit, bits 0..5 the top mantissa bits.
static void buildInvSqrtTable(CloudTables* t)
{
    for (uint32_t i = 0; i < 128; ++i) {
        float value = floatFromBits((i | 0x1F80u) << 17);
        float inverse = float(1.0 / std::sqrt(double(value)));
        t->InvSqrtTable[i] = uint8_t(((bitsOfFloat(inverse) + 0x2000u) >> 15) & 255u);
    }
    t->InvSqrtTable[64] = 255;
}

// The permutation walk of the noise, done once for each of the 256 x 256 cells.
static void buildCornerHashes(CloudTables* t)
{
    const int16_t* P = t->NoisePermutation;
    for (int X = 0; X < 256; ++X)
        for (int Y = 0; Y < 256; ++Y) {
            int A = P[X] + Y, AA = P[A], AB = P[A + 1];
            int B = P[X + 1] + Y, BA = P[B], BB = P[B + 1];
            t->CornerHashes[X * 256 + Y] = uint16_t(GradientClass[P[AA] & 15] | GradientClass[P[BA] & 15] << 4 |
                                                    GradientClass[P[AB] & 15] << 8 | GradientClass[P[BB] & 15] << 12);
        }
    t->CornerHashes[65536] = t->CornerHashes[65537] = 0;
}

void PrepareCloudTables(CloudTables* t, int32_t seed)
{
    // Only the low 11 bits of a seed matter (seeds 2048 apart give the same
    // tables); taking them first keeps any stored word from overflowing.
    seed &= 2047;
    stirLattice(t, seed);
    placePuffs(t);
    buildInvSqrtTable(t);
    for (int i = 0; i < 256; ++i)
        t->NoisePermutation[i] = t->NoisePermutation[i + 256] = BasePermutation[(i + seed) & 255];
    buildCornerHashes(t);
}

// The cell of a coordinate: negative whole numbers fall into the cell below.
static inline int cellOf(float v) { return v >= 0.0f ? int(v) : int(v - 1.0f); }

static inline float fade(float t) { return t * t * t * (t * (t * fadeQuintic - fadeQuartic) + fadeCubic); }

static inline float lerp(float t, float a, float b) { return a + t * (b - a); }

// The program's sixteen gradients (gx, gy). The rule behind them: the first
// term is dx for g < 8 and g = 12, 13, else dy; the second is dy for g < 4 and
// g = 12, 13, else 0; bit 0 negates the first term, bit 1 the second.
static const float GradientX[16] = {1, -1, 1, -1, 1, -1, 1, -1, 0, 0, 0, 0, 1, -1, 0, 0};
static const float GradientY[16] = {1, 1, -1, -1, 0, 0, 0, 0, 1, -1, 1, -1, 1, 1, 1, -1};

const float ClassGradientX[8] = {1, -1, 1, -1, 1, -1, 0, 0};
const float ClassGradientY[8] = {1, 1, -1, -1, 0, 0, 1, -1};
const uint8_t GradientClass[16] = {0, 1, 2, 3, 4, 5, 4, 5, 6, 7, 6, 7, 0, 1, 6, 7};

static inline float gradient(int hash, float dx, float dy)
{
    int g = hash & 15;
    return GradientX[g] * dx + GradientY[g] * dy;
}

// The noise proper, for coordinates already known to have a cell.
static inline float noiseInCell(const int16_t* P, float x, float y)
{
    int xi = cellOf(x), yi = cellOf(y);
    int X = xi & 255, Y = yi & 255;
    float fx = x - float(xi), fy = y - float(yi);
    float u = fade(fx), v = fade(fy);
    int A = P[X] + Y, AA = P[A], AB = P[A + 1];
    int B = P[X + 1] + Y, BA = P[B], BB = P[B + 1];
    return lerp(v, lerp(u, gradient(P[AA], fx, fy), gradient(P[BA], fx - 1.0f, fy)),
                lerp(u, gradient(P[AB], fx, fy - 1.0f), gradient(P[BB], fx - 1.0f, fy - 1.0f)));
}

// Far-off or non-finite coordinates (from out-of-range settings) have no
// meaningful cell; they give silence rather than undefined conversions.
static inline bool hasCell(float x, float y) { return std::fabs(x) < largestCell && std::fabs(y) < largestCell; }

float GradientNoise2D(const int16_t* P, float x, float y) { return hasCell(x, y) ? noiseInCell(P, x, y) : 0.0f; }

// A cell index brought into 0 .. period - 1 (a period of 0 leaves it).
static inline int cellInPeriod(int cell, int32_t period)
{
    if (period <= 0) return cell;
    int r = cell % period;
    return r < 0 ? r + period : r;
}

float PeriodicNoise2D(const int16_t* P, float x, float y, int32_t periodX, int32_t periodY)
{
    if (!hasCell(x, y)) return 0.0f;
    int xi = cellOf(x), yi = cellOf(y);
    float fx = x - float(xi), fy = y - float(yi);
    float u = fade(fx), v = fade(fy);
    // Each corner is hashed from its own cell, taken into the period first.
    int X0 = cellInPeriod(xi, periodX) & 255, X1 = cellInPeriod(xi + 1, periodX) & 255;
    int Y0 = cellInPeriod(yi, periodY) & 255, Y1 = cellInPeriod(yi + 1, periodY) & 255;
    int AA = P[P[X0] + Y0], BA = P[P[X1] + Y0], AB = P[P[X0] + Y1], BB = P[P[X1] + Y1];
    return lerp(v, lerp(u, gradient(P[AA], fx, fy), gradient(P[BA], fx - 1.0f, fy)),
                lerp(u, gradient(P[AB], fx, fy - 1.0f), gradient(P[BB], fx - 1.0f, fy - 1.0f)));
}

float FractalNoiseBelow(const int16_t* P, float x, float y, float octaves, float gain, const float* rest, int restCount,
                        float ceiling, bool* stopped)
{
    float sum = 0.0f, amplitude = 1.0f;
    int whole = 0;
    for (float i = 1.0f; i <= octaves; i += 1.0f) {
        if (whole <= restCount && sum + rest[whole] <= ceiling) {
            *stopped = true;
            return sum;
        }
        // Each whole octave is sampled in a frame turned by 39 degrees.
        float turnedX = float(x * octaveTurnCos - y * octaveTurnSin);
        float turnedY = float(y * octaveTurnCos + x * octaveTurnSin);
        if (hasCell(turnedX, turnedY)) sum += amplitude * noiseInCell(P, turnedX, turnedY);
        x = float((x + octaveShiftX) * octaveLacunarity);
        y = float((y + octaveShiftY) * octaveLacunarity);
        amplitude *= gain;
        ++whole;
    }
    if (whole <= restCount && sum + rest[whole] <= ceiling) {
        *stopped = true;
        return sum;
    }
    if (!(std::fabs(octaves) < largestCell)) return sum;
    float fraction = octaves - float(cellOf(octaves));
    if (fraction != 0.0f && hasCell(x, y)) sum += amplitude * fraction * noiseInCell(P, x, y);
    return sum;
}

float FractalNoise(const int16_t* P, float x, float y, float octaves, float gain)
{
    bool stopped = false;
    return FractalNoiseBelow(P, x, y, octaves, gain, nullptr, -1, 0.0f, &stopped);
}
