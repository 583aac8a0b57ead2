// Clear sky: where no cloud can reach, the model need not run. A puff's
// coverage is w = n lu + 0.5 - ((2d - 1) 2g + 1), clamped to [0, 1]: with
// the fractal noise n bounded, a pixel far enough from every puff centre has
// coverage 0 from every puff, hence opacity 0 and glow 0, and the compositing
// leaves it as it was. These bounds decide, exactly, which pixels those are:
// per row, the columns each puff can reach; per pixel, after each octave,
// whether the octaves still to come could lift any puff's coverage above 0.
#pragma once

#include <cstdint>

#include "render/CloudModel.h"

// The per-pass bounds of `row`, once its factors are set (SetupCloudFactors).
void SetupClearSky(CloudRow* row);

// The row's reach intervals, once the row's values are set (SetupCloudRow).
void SetupRowReach(CloudRow* row);

// How fast one octave of the noise can change: at most this much per unit
// along either axis of its frame (CloudReach.cpp).
constexpr double noiseSlope = 4.75;
// How fast its slope can change: its second derivative along any line is
// at most this much.
constexpr double noiseCurvature = 13.5;

// The noise a pixel needs for some puff to cover it, given each puff's
// distance d from the pixel: below it (less a margin for rounding) no puff
// does. Meaningful only where row->bounded and the lumpiness is above 0.
float coveringNoise(const CloudRow* row, const float* distances);

// The margin coveringNoise takes off a needed noise of `least`.
inline float coveringMargin(const CloudRow* row, float least)
{
    return 1e-4f * (1.0f + (least < 0.0f ? -least : least)) + 1e-5f / row->lumpiness;
}

// Whether clear sky is skipped: on, unless NIMBULO_CLEAR_SKY is 0 (read at
// every pass, so a benchmark can compare both), or as a test set it.
bool clearSkySkipping();
void setClearSkySkipping(bool on);

// The work the renders did while counting is on (benchmarks): pixels asked
// for, pixels some puff could reach (the model ran), and of those the ones
// whose noise stopped early.
struct CloudWork {
    uint64_t pixels, modelled, cutShort;
};
void countCloudWork(bool on);
bool countingCloudWork();
void addCloudWork(uint64_t pixels, uint64_t modelled, uint64_t cutShort);
CloudWork cloudWorkCounted();
