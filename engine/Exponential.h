#pragma once

#include <cstdint>

#include "engine/Avx2.h"

namespace zelk {

// e^x rounded to the nearest double, for every double x: +inf from the overflow threshold on, the
// subnormal results and +0 at the other end, e^(+-0) = 1, e^-inf = +0, e^+inf = +inf, and a NaN
// stays a NaN. Exact, so the same bits on every machine and with every compiler.
double Exp(double x);

// Exp of four values at once, y[i] = Exp(x[i]) bit for bit. With AVX2 and FMA (chosen at run
// time) the four go through the first stage together.
void Exp4(const double* x, double* y);

namespace detail {

// The paths of Exp, open to the tests: the first stage on four values returns a bit per lane
// whose y it guarantees (0 without AVX2 and FMA); the fast path gives false where it cannot
// guarantee the rounding (or x is outside its domain); the slow path is exact for every finite x.
int ExpFirstStage4(const double* x, double* y);
// y[i] = Exp(x[i]) for each of the four lanes whose bit `certain` leaves clear.
void ExpUncertain4(const double* x, double* y, int certain);
bool ExpFast(double x, double& y);
double ExpSlow(double x);

// The reduction's constants, shared by the stages (Exponential.cpp explains them).
inline constexpr double kExpInvStep = 0x1.71547652b82fep+8;  // 256 / ln2
inline constexpr double kExpStep1 = 0x1.62e42fef8p-9;        // ln2 / 256 = kExpStep1 + ...
inline constexpr double kExpShifter = 0x1.8p52;
inline constexpr double kExpOverflow = 0x1.62e42fefa39efp+9;  // 709.78...: above it e^x is +inf
inline constexpr double kExpFastLowest = -708.396;            // e^x > 2^-1022 from here on

// 2^(i/256) as hi + lo, hi the nearest double and lo the nearest double to the rest.
struct ExpPower {
    double hi;
    double lo;
};
extern const ExpPower kExpPowers[256];

#ifdef ZELK_AVX2

// The first stage of Exp on four values in registers, with the processor's FMA (Exponential.cpp
// gives its error bound and rounding test). Returns e^x for every lane whose bit it sets in
// `certain`, correctly rounded; the other lanes (uncertain rounding, outside the domain from
// kExpFastLowest to kExpOverflow, a NaN) hold anything and need Exp. Inlined into its callers, so
// that the values never leave the registers.
[[gnu::target("avx2,fma"), gnu::always_inline]] inline __m256d ExpFirst4(__m256d x, int& certain) {
    // x = (k / 256) ln2 + r: k rounded by the shifter, r1 exact, k C2 beside it, r rounded. The
    // bits of the shifted value 1.5 2^52 + k are those of 1.5 2^52 plus k, as integers (wherever
    // |k| < 2^51, which covers the domain), and the low byte of 1.5 2^52 is 0.
    const __m256d shifter = _mm256_set1_pd(kExpShifter);
    const __m256d shifted = _mm256_fmadd_pd(x, _mm256_set1_pd(kExpInvStep), shifter);
    const __m256d kd = _mm256_sub_pd(shifted, shifter);
    const __m256d r1 = _mm256_fnmadd_pd(kd, _mm256_set1_pd(kExpStep1), x);
    const __m256d r = _mm256_sub_pd(r1, _mm256_mul_pd(kd, _mm256_set1_pd(0x1.1cf79abc9e3b4p-44)));

    // The table read lane by lane, at k & 255: the low byte of the shifted value, taken straight
    // into general registers (so below 256, whatever x is) while the polynomial goes on.
    const __m256i bits = _mm256_castpd_si256(shifted);
    const __m128i b01 = _mm256_castsi256_si128(bits);
    const __m128i b23 = _mm256_extracti128_si256(bits, 1);
    const ExpPower& p0 = kExpPowers[static_cast<uint8_t>(_mm_cvtsi128_si64(b01))];
    const ExpPower& p1 = kExpPowers[static_cast<uint8_t>(_mm_extract_epi64(b01, 1))];
    const ExpPower& p2 = kExpPowers[static_cast<uint8_t>(_mm_cvtsi128_si64(b23))];
    const ExpPower& p3 = kExpPowers[static_cast<uint8_t>(_mm_extract_epi64(b23, 1))];
    const __m256d hi = _mm256_set_pd(p3.hi, p2.hi, p1.hi, p0.hi);
    const __m256d lo = _mm256_set_pd(p3.lo, p2.lo, p1.lo, p0.lo);

    // p = r + r^2 (1/2 + r/6 + r^2 (1/24 + r/120)), near e^r - 1.
    const __m256d z = _mm256_mul_pd(r, r);
    const __m256d a = _mm256_fmadd_pd(r, _mm256_set1_pd(1.0 / 6.0), _mm256_set1_pd(0.5));
    const __m256d b = _mm256_fmadd_pd(r, _mm256_set1_pd(1.0 / 120.0), _mm256_set1_pd(1.0 / 24.0));
    const __m256d p = _mm256_fmadd_pd(z, _mm256_fmadd_pd(z, b, a), r);

    // (hi + lo) e^r = hi + t, t = hi p + (lo + lo r).
    const __m256d t = _mm256_fmadd_pd(hi, p, _mm256_fmadd_pd(lo, r, lo));
    const __m256d bound = _mm256_set1_pd(0x1.1p-60);
    const __m256d up = _mm256_add_pd(hi, _mm256_add_pd(t, bound));
    const __m256d down = _mm256_add_pd(hi, _mm256_sub_pd(t, bound));
    const __m256d inside =
        _mm256_and_pd(_mm256_cmp_pd(x, _mm256_set1_pd(kExpFastLowest), _CMP_GE_OQ),
                      _mm256_cmp_pd(x, _mm256_set1_pd(kExpOverflow), _CMP_LE_OQ));
    certain = _mm256_movemask_pd(_mm256_and_pd(inside, _mm256_cmp_pd(up, down, _CMP_EQ_OQ)));

    // Times 2^(k >> 8): the shifted value's bits moved up by 44 are k << 44 (what stood above k
    // leaves the word), and without the bits of k & 255 they are (k >> 8) << 52, in the exponent
    // field.
    const __m256i scale =
        _mm256_andnot_si256(_mm256_set1_epi64x(int64_t{255} << 44), _mm256_slli_epi64(bits, 44));
    return _mm256_castsi256_pd(_mm256_add_epi64(_mm256_castpd_si256(_mm256_add_pd(hi, t)), scale));
}

#endif

}  // namespace detail

}  // namespace zelk
