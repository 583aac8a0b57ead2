// Everything in the cloud engine that depends on the seed alone: the stirred
// lattice, the ten puffs placed from it, and the seed-rotated gradient noise.
#pragma once

#include <cstdint>

extern const int16_t LatticeTable[2048];    // fixed values in 0..2047, not a permutation
extern const uint8_t BasePermutation[256];  // the improved-noise reference permutation

enum { maxPuffs = 10 };

// A byte value as a fraction: the engine's one decimal form of 1/255.
constexpr double byteToUnit = 0.003921568627451;

// Tables rebuilt for every render pass and only read while rows render.
struct CloudTables {
    int32_t LatticeBytes[2048];
    float LatticeValues[2048];
    float PuffScale[maxPuffs];      // 0.5 .. 1.0, multiplies each puff's Density
    float PuffOffsetX[maxPuffs];    // -0.25 .. 0.25; 0 for the first puff
    float PuffOffsetY[maxPuffs];    // -0.125 .. 0.125; 0 for the first puff
    uint8_t InvSqrtTable[128];      // first guesses of the fast reciprocal square root
    int16_t NoisePermutation[512];  // BasePermutation rotated by the seed, twice over
    float OverRatioTable[256];      // k / (255 - k): the compositing ratios
    // For every noise cell (X * 256 + Y) the gradients of its four corners,
    // a nibble each: (0, 0), (1, 0), (0, 1), (1, 1) from the low bits up. Of
    // the sixteen gradient codes only eight gradients differ; a nibble holds
    // the gradient's class (GradientClass). The vector path looks a cell up
    // once instead of walking the permutation; the last entries pad it for
    // lookups that read four bytes at a time.
    uint16_t CornerHashes[65536 + 2];
};

// The eight gradients (gx, gy) of the classes: (1, 1), (-1, 1), (1, -1),
// (-1, -1), (1, 0), (-1, 0), (0, 1), (0, -1); and the class of each code.
extern const float ClassGradientX[8];
extern const float ClassGradientY[8];
extern const uint8_t GradientClass[16];

// Rebuilds the lattice, the puff tables, the reciprocal-square-root table, the
// noise permutation and the corner hashes for `seed`, in that order.
void PrepareCloudTables(CloudTables* tables, int32_t seed);

// Two-dimensional improved gradient noise: 0 at every integer point.
float GradientNoise2D(const int16_t* permutation, float x, float y);

// The same noise with its cells repeating every periodX cells across and
// periodY down (a period of 0: no repeat but the lattice's own 256).
float PeriodicNoise2D(const int16_t* permutation, float x, float y, int32_t periodX, int32_t periodY);

// Sum of `octaves` noise octaves (the fraction of a last one included), each
// sampled in a turned frame and `gain` times the amplitude of the one before.
float FractalNoise(const int16_t* permutation, float x, float y, float octaves, float gain);

// The same, stopped early when it is certain not to exceed `ceiling`: after k
// whole octaves (k = 0 .. restCount) at most rest[k] can still be added, so
// once the sum so far plus rest[k] is at most `ceiling`, *stopped is set and
// the sum so far returned. A sum that runs to the end is FractalNoise's, bit
// for bit.
float FractalNoiseBelow(const int16_t* permutation, float x, float y, float octaves, float gain, const float* rest,
                        int restCount, float ceiling, bool* stopped);
