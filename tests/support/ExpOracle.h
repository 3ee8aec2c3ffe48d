#pragma once

// The oracle that the exponential is held to: MPFR's e^x rounded to nearest at 53 bits, with
// subnormal results rounded once, in the exponent range of doubles. The tests and tools/exp-check
// share it.

#include <mpfr.h>

namespace zelktest {

inline double ExpOracle(double x) {
    // The exponent range of doubles, so that mpfr_subnormalize rounds subnormal results once.
    static const bool range = mpfr_set_emin(-1073) == 0 && mpfr_set_emax(1024) == 0;
    (void)range;
    mpfr_t in, out;
    mpfr_init2(in, 53);
    mpfr_init2(out, 53);
    mpfr_set_d(in, x, MPFR_RNDN);
    const int inexact = mpfr_exp(out, in, MPFR_RNDN);
    mpfr_subnormalize(out, inexact, MPFR_RNDN);
    const double y = mpfr_get_d(out, MPFR_RNDN);
    mpfr_clears(in, out, static_cast<mpfr_ptr>(nullptr));
    return y;
}

}  // namespace zelktest
