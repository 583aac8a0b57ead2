// The numbers the scalar reference code (Lattice.cpp, CloudModel.cpp,
// DetMath.cpp) and the vector kernel (CloudLanes.h) share, defined once, so
// a change here changes both paths alike and they can never drift apart.
#pragma once

#include <cstdint>

// ---- Gradient noise and its octaves ----

// Beyond this magnitude a coordinate has no cell an int can hold.
constexpr float largestCell = 2147483520.0f;

// The fade curve 6t^5 - 15t^4 + 10t^3, evaluated as t^3 (t (6t - 15) + 10).
constexpr float fadeQuintic = 6.0f, fadeQuartic = 15.0f, fadeCubic = 10.0f;

// Each whole octave is sampled in a frame turned by 39 degrees ...
constexpr double octaveTurnCos = 0.7771459, octaveTurnSin = 0.6293203;
// ... then the frame moves off the lattice and the frequency grows by the
// lacunarity for the next octave.
constexpr double octaveShiftX = 0.0764, octaveShiftY = 723.453, octaveLacunarity = 1.9134;

// ---- The cloud model ----

// A puff's coverage: the noise times Lumpiness, plus this bias, less the
// puff's ring at the pixel.
constexpr float lumpBias = 0.5f;
// Backlit edges glow most where the coverage is one half: edge = 4 c (1 - c).
constexpr float edgeGlowPeak = 4.0f;
// A pixel is lit only where its opacity reaches one of 255 levels.
constexpr float opacityLevels = 255.0f;
// A flat normal's length: below this square, 1 / sqrt(s) directly; above it
// the table guess and two Newton steps.
constexpr float directInvSqrtBelow = 0.05f;
// The fast reciprocal square root: the exponent's guess, and its mask.
constexpr uint32_t invSqrtGuess = 0x5F000000u, invSqrtGuessMask = 0xFF800000u;
// How far the light turns the lit side: -0.1 sin(facing x a quarter turn).
constexpr double lightTurn = -0.1;
constexpr double quarterTurn = 1.5707963265;
// The lit fraction: litMidpoint - litMidpoint x S + noise x Mottling.
constexpr float litMidpoint = 0.5f;

// ---- Deterministic maths (DetMath) ----

// pi/2 split in two parts, so that k pi/2 is subtracted almost exactly.
constexpr double halfPiHigh = 1.5707963267341256e+00;
constexpr double halfPiLow = 6.0771005065061922e-11;
constexpr double twoOverPi = 0.63661977236758134308;
constexpr double ln2 = 0.69314718055994530942;
constexpr double log2OfE = 1.44269504088896340736;
constexpr double sqrtHalf = 0.70710678118654752440;

// Taylor series on |r| <= pi/4, by Horner from the highest term:
// sin r = r + r^3 (sum of sinTerms[k] r^(14 - 2k)), cos r = 1 + r^2 (sum of cosTerms[k] ...).
constexpr int taylorTermCount = 8;
constexpr double sinTerms[taylorTermCount] = {
    1.0 / 355687428096000.0, -1.0 / 1307674368000.0, 1.0 / 6227020800.0, -1.0 / 39916800.0,
    1.0 / 362880.0,          -1.0 / 5040.0,          1.0 / 120.0,        -1.0 / 6.0,
};  // 1/17!, -1/15!, ..., -1/3!
constexpr double cosTerms[taylorTermCount] = {
    1.0 / 20922789888000.0, -1.0 / 87178291200.0, 1.0 / 479001600.0, -1.0 / 3628800.0,
    1.0 / 40320.0,          -1.0 / 720.0,         1.0 / 24.0,        -0.5,
};  // 1/16!, -1/14!, ..., -1/2!

// e^t for |t| <= 0.35 by Horner down from the 18th term: 1 + t/k (...).
constexpr int expTermCount = 18;
// 1/k for k = 1 .. expTermCount (index k): the series' factors, as data so no
// path divides per term.
constexpr double expInverse[expTermCount + 1] = {0.0,      1.0 / 1,  1.0 / 2,  1.0 / 3,  1.0 / 4,  1.0 / 5,  1.0 / 6,
                                                 1.0 / 7,  1.0 / 8,  1.0 / 9,  1.0 / 10, 1.0 / 11, 1.0 / 12, 1.0 / 13,
                                                 1.0 / 14, 1.0 / 15, 1.0 / 16, 1.0 / 17, 1.0 / 18};
// ln m = 2 atanh(s) = 2 s (sum of s^(2k) / (2k + 1)), fourteen terms for |s| <= 0.172.
constexpr int atanhTermCount = 14;
constexpr double atanhTerms[atanhTermCount] = {1.0 / 1,  1.0 / 3,  1.0 / 5,  1.0 / 7,  1.0 / 9,  1.0 / 11, 1.0 / 13,
                                               1.0 / 15, 1.0 / 17, 1.0 / 19, 1.0 / 21, 1.0 / 23, 1.0 / 25, 1.0 / 27};
