#pragma once

// The AVX2 loops of the engine are chosen at run time, so the default build still targets plain
// x86-64. They use no fused multiply-add: every rounding stays that of the plain loops. (Only the
// exponential's first stage uses FMA where the processor has it: it answers only where its result
// is the correctly rounded one, which any exact arithmetic gives alike.)
// ZELK_PLAIN_LOOPS leaves them out, so that the plain loops can be tested anywhere.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(ZELK_PLAIN_LOOPS)
#define ZELK_AVX2 1
#include <immintrin.h>
#endif

namespace zelk::detail {

// Whether this processor runs the AVX2 loops.
inline bool UseAvx2() {
#ifdef ZELK_AVX2
    static const bool avx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return avx2;
#else
    return false;
#endif
}

// Whether this processor runs the AVX2 loops and has FMA, for the exponential's first stage.
inline bool UseAvx2Fma() {
#ifdef ZELK_AVX2
    static const bool fma = UseAvx2() && __builtin_cpu_supports("fma") != 0;
    return fma;
#else
    return false;
#endif
}

}  // namespace zelk::detail
