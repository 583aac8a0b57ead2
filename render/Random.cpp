#include "render/Random.h"

#include <cstring>
#include <ctime>

#include "settings/CloudSettings.h"

static uint32_t randomState = 1;

void seedRandom(uint32_t seed) { randomState = seed; }

int nextRandom()
{
    randomState = randomState * 214013u + 2531011u;
    return int((randomState >> 16) & 0x7FFF);
}

void seedRandomFromClock() { seedRandom(uint32_t(std::time(nullptr))); }

int32_t RandomInRange(int32_t lo, int32_t hi)
{
    if (lo > hi) {
        int32_t swap = lo;
        lo = hi;
        hi = swap;
    }
    // The smallest mask 2^k - 1 that covers the span; draws above hi are redrawn.
    int64_t span = int64_t(hi) - lo;
    int64_t mask = 1;
    while (mask < span && mask < 0x7FFFFFFF) mask = 2 * mask + 1;
    for (;;) {
        int64_t v = lo + ((nextRandom() >> 4) & mask);
        if (v <= hi) return int32_t(v);
    }
}

int32_t DrawSeed() { return nextRandom() & 0x7FF; }

// The fields Dice draws, in the order they draw (the order decides which
// values a given random sequence gives), with their ranges.
struct RandomRange {
    int32_t CloudSettings::*field;
    int32_t lo, hi;
};
static const RandomRange kRandomRanges[] = {
    {&CloudSettings::puffs, 0, 100},     {&CloudSettings::lumpScale, 35, 38}, {&CloudSettings::flatness, 20, 100},
    {&CloudSettings::lumpiness, 14, 60}, {&CloudSettings::detail, 35, 100},   {&CloudSettings::dispersion, 40, 70},
    {&CloudSettings::density, 34, 80},   {&CloudSettings::skyLight, 0, 100},  {&CloudSettings::brightness, 0, 100},
    {&CloudSettings::smokiness, 5, 40},  {&CloudSettings::harshness, 5, 40},  {&CloudSettings::mottling, 40, 100},
};

void RandomizeSettings(CloudSettings* s)
{
    s->seed = DrawSeed();
    for (const RandomRange& r : kRandomRanges) s->*r.field = RandomInRange(r.lo, r.hi);
}

void NameRandomSettings(CloudSettings* s) { std::memcpy(s->presetName, "random settings", 16); }
