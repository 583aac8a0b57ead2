// Random settings for the Dice and Ecce commands, from the plug-in's one
// pseudo-random generator: 15-bit results from a linear congruential step,
// the same on every platform, so a generator seed gives the same looks.
#pragma once

#include <cstdint>

struct FilterContext;
struct CloudSettings;

void seedRandom(uint32_t seed);
int nextRandom();  // 0..32767

// Seeds the generator with the current calendar time in seconds.
void seedRandomFromClock();

// A uniformly drawn whole number in lo..hi (the bounds may come in either order).
int32_t RandomInRange(int32_t lo, int32_t hi);

// A new pattern seed, 0..2047.
int32_t DrawSeed();

// A new seed and twelve new slider values, each from its plausible range.
// Zoom, Backlighting, the colours, the light and the centre stay.
void RandomizeSettings(CloudSettings* s);

// Names the settings "random settings" for the dialog's name strip.
void NameRandomSettings(CloudSettings* s);
