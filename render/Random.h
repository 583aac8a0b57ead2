// The one pseudo-random generator of the plug-in: 15-bit results from a linear
// congruential step, the same on every platform so a seed gives the same looks.
#pragma once

#include <cstdint>

void seedRandom(uint32_t seed);
int nextRandom();  // 0..32767

// Seeds the generator with the current calendar time in seconds.
void seedRandomFromClock();
