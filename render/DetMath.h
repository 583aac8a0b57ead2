// Elementary functions computed with plain IEEE arithmetic only, so that every
// build on every platform gives the same bits (the C libraries of Linux and
// Windows differ in the last bit of sin and pow). Accurate to about 1e-15.
#pragma once

double DetSin(double x);
double DetExp2(double x);
double DetLog2(double x);  // x > 0

// base ** exponent for base >= 0; 0 ** positive is 0.
double DetPow(double base, double exponent);
