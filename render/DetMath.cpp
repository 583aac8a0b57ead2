#include "render/DetMath.h"

#include <cmath>
#include <cstdint>

// pi/2 split in two parts so that k * pi/2 is subtracted almost exactly.
static const double halfPiHigh = 1.5707963267341256e+00;
static const double halfPiLow = 6.0771005065061922e-11;
static const double twoOverPi = 0.63661977236758134308;

// Taylor series on |r| <= pi/4; terms to r^17 and r^16 leave errors below 1e-17.
static double sinKernel(double r)
{
    double r2 = r * r;
    double sum = 1.0 / 355687428096000.0;                 // 1/17!
    sum = sum * r2 - 1.0 / 1307674368000.0;               // 1/15!
    sum = sum * r2 + 1.0 / 6227020800.0;                  // 1/13!
    sum = sum * r2 - 1.0 / 39916800.0;                    // 1/11!
    sum = sum * r2 + 1.0 / 362880.0;                      // 1/9!
    sum = sum * r2 - 1.0 / 5040.0;                        // 1/7!
    sum = sum * r2 + 1.0 / 120.0;                         // 1/5!
    sum = sum * r2 - 1.0 / 6.0;                           // 1/3!
    return r + r * r2 * sum;
}

static double cosKernel(double r)
{
    double r2 = r * r;
    double sum = 1.0 / 20922789888000.0;                  // 1/16!
    sum = sum * r2 - 1.0 / 87178291200.0;                 // 1/14!
    sum = sum * r2 + 1.0 / 479001600.0;                   // 1/12!
    sum = sum * r2 - 1.0 / 3628800.0;                     // 1/10!
    sum = sum * r2 + 1.0 / 40320.0;                       // 1/8!
    sum = sum * r2 - 1.0 / 720.0;                         // 1/6!
    sum = sum * r2 + 1.0 / 24.0;                          // 1/4!
    sum = sum * r2 - 0.5;                                 // 1/2!
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
    double t = (x - n) * 0.69314718055994530942;
    static const double inverse[19] = {0, 1.0 / 1, 1.0 / 2, 1.0 / 3, 1.0 / 4, 1.0 / 5, 1.0 / 6,
                                       1.0 / 7, 1.0 / 8, 1.0 / 9, 1.0 / 10, 1.0 / 11, 1.0 / 12, 1.0 / 13,
                                       1.0 / 14, 1.0 / 15, 1.0 / 16, 1.0 / 17, 1.0 / 18};
    double sum = 1.0;
    for (int k = 18; k >= 1; --k) sum = 1.0 + sum * t * inverse[k];
    return std::ldexp(sum, int(n));
}

double DetLog2(double x)
{
    if (!(x > 0.0)) return x == 0.0 ? -HUGE_VAL : std::nan("");
    if (!std::isfinite(x)) return x;
    int e;
    double m = std::frexp(x, &e);  // x = m * 2^e, 0.5 <= m < 1
    if (m < 0.70710678118654752440) {
        m *= 2.0;
        e -= 1;
    }
    // ln m = 2 atanh(s), s = (m - 1)/(m + 1), |s| <= 0.172.
    double s = (m - 1.0) / (m + 1.0);
    double s2 = s * s;
    static const double inverseOdd[14] = {1.0 / 1,  1.0 / 3,  1.0 / 5,  1.0 / 7,  1.0 / 9,
                                          1.0 / 11, 1.0 / 13, 1.0 / 15, 1.0 / 17, 1.0 / 19,
                                          1.0 / 21, 1.0 / 23, 1.0 / 25, 1.0 / 27};
    double sum = 0.0;
    for (int k = 13; k >= 0; --k) sum = sum * s2 + inverseOdd[k];
    return e + 2.0 * s * sum * 1.44269504088896340736;
}

double DetPow(double base, double exponent)
{
    if (exponent == 0.0) return 1.0;
    if (base == 0.0) return exponent > 0.0 ? 0.0 : HUGE_VAL;
    if (base == 1.0) return 1.0;
    return DetExp2(exponent * DetLog2(base));
}
