#pragma once

#include <cstdint>

namespace zelk {

// e^x rounded to the nearest double, for every double x: +inf from the overflow threshold on, the
// subnormal results and +0 at the other end, e^(+-0) = 1, e^-inf = +0, e^+inf = +inf, and a NaN
// stays a NaN. Exact, so the same bits on every machine and with every compiler.
double Exp(double x);

// Exp of four values at once, y[i] = Exp(x[i]) bit for bit. With AVX2 (chosen at run time) the
// four go through the fast path together.
void Exp4(const double* x, double* y);

namespace detail {

// The two paths of Exp, open to the tests: the fast path gives false where it cannot guarantee
// the rounding (or x is outside its domain); the slow path is exact for every finite x.
bool ExpFast(double x, double& y);
double ExpSlow(double x);

// Exp4 without AVX2, lane by lane.
void Exp4Plain(const double* x, double* y);

}  // namespace detail

}  // namespace zelk
