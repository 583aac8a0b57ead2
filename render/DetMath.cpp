#include "render/DetMath.h"

#include <cmath>
#include <cstdint>

#include "render/EngineConstants.h"

// Taylor series on |r| <= pi/4; terms to r^17 and r^16 leave errors below 1e-17.
static double sinKernel(double r)
{
    double r2 = r * r;
    double sum = sinTerms[0];
    for (int k = 1; k < taylorTermCount; ++k) sum = sum * r2 + sinTerms[k];
    return r + r * r2 * sum;
}

static double cosKernel(double r)
{
    double r2 = r * r;
    double sum = cosTerms[0];
    for (int k = 1; k < taylorTermCount; ++k) sum = sum * r2 + cosTerms[k];
    return 1.0 + r2 * sum;
}

double DetSin(double x)
{
    if (!std::isfinite(x)) return std::nan("");
    // Far beyond any angle the renderer forms; keep the reduction exact enough.
    if (std::fabs(x) > 1.0e9) x = std::fmod(x, 6.283185307179586);
    // The nearest quarter turn (floor by truncation: |x| <= 1e9 fits an int).
    double nearest = x * twoOverPi + 0.5;
    int32_t turns = int32_t(nearest);
    if (double(turns) > nearest) --turns;
    double k = double(turns);
    double r = (x - k * halfPiHigh) - k * halfPiLow;
    switch (turns & 3) {
    case 0: return sinKernel(r);
    case 1: return cosKernel(r);
    case 2: return -sinKernel(r);
    default: return -cosKernel(r);
    }
}

double DetExp2(double x)
{
    if (x != x) return x;
    if (x > 1024.0) return HUGE_VAL;
    if (x < -1080.0) return 0.0;
    // 2^x = 2^n * e^(f ln 2) with |f| <= 1/2; Taylor series of e^t for |t| <= 0.35.
    double n = std::floor(x + 0.5);
    double t = (x - n) * ln2;
    double sum = 1.0;
    for (int k = expTermCount; k >= 1; --k) sum = 1.0 + sum * t * expInverse[k];
    return std::ldexp(sum, int(n));
}

double DetLog2(double x)
{
    if (!(x > 0.0)) return x == 0.0 ? -HUGE_VAL : std::nan("");
    if (!std::isfinite(x)) return x;
    int e;
    double m = std::frexp(x, &e);  // x = m * 2^e, 0.5 <= m < 1
    if (m < sqrtHalf) {
        m *= 2.0;
        e -= 1;
    }
    // ln m = 2 atanh(s), s = (m - 1)/(m + 1), |s| <= 0.172.
    double s = (m - 1.0) / (m + 1.0);
    double s2 = s * s;
    double sum = 0.0;
    for (int k = atanhTermCount - 1; k >= 0; --k) sum = sum * s2 + atanhTerms[k];
    return e + 2.0 * s * sum * log2OfE;
}

double DetPow(double base, double exponent)
{
    if (exponent == 0.0) return 1.0;
    if (base == 0.0) return exponent > 0.0 ? 0.0 : HUGE_VAL;
    if (base == 1.0) return 1.0;
    return DetExp2(exponent * DetLog2(base));
}
