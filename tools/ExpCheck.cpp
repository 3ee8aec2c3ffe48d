// Checks the engine's exponential against MPFR outside the test command, built and run by
// tools/exp-check.
//   random N SEED    N random inputs (half uniform over the activation's range and beyond, half
//                    of random bits within it), every difference printed, a summary at the end
//   stages N SEED    the same N random inputs four at a time: Exp4, whose first stage answers
//                    for most lanes, against Exp (which "random" holds to MPFR)
//   search N SEED    N runs of 2^20 consecutive doubles from random starts; prints the inputs
//                    whose e^x comes closest to a midpoint between two doubles, with the bits of
//                    agreement after the rounding bit
#include <mpfr.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "engine/Exponential.h"
#include "tests/support/ExpOracle.h"

namespace {

// The bits of agreement after the rounding bit: how many bits of e^x after the result's last bit
// stay 1000... or 0111... (its distance to the nearest midpoint, in ulps, is about 2^-(bits+1)).
int MidpointBits(double x) {
    mpfr_t in, out;
    mpfr_init2(in, 53);
    mpfr_init2(out, 300);
    mpfr_set_d(in, x, MPFR_RNDN);
    mpfr_exp(out, in, MPFR_RNDN);
    // The fraction of e^x in units of its last bit at 53 bits: scale so the 53 bits are integral.
    const long e = mpfr_get_exp(out);
    mpfr_mul_2si(out, out, 53 - e, MPFR_RNDN);
    mpfr_t frac;
    mpfr_init2(frac, 300);
    mpfr_frac(frac, out, MPFR_RNDN);
    mpfr_sub_d(frac, frac, 0.5, MPFR_RNDN);
    int bits = 0;
    if (!mpfr_zero_p(frac)) {
        bits = -static_cast<int>(mpfr_get_exp(frac)) - 1;
    }
    mpfr_clears(in, out, frac, static_cast<mpfr_ptr>(nullptr));
    return bits;
}

}  // namespace

// Half uniform over the activation's range and beyond, half random bits of magnitude below 1024:
// every binade from 2^-60 on, equally often.
double RandomInput(uint64_t n, std::mt19937_64& random) {
    if ((n & 1) == 0) {
        return std::uniform_real_distribution<double>(-750.0, 712.0)(random);
    }
    const uint64_t bits = random();
    const uint64_t exponent = 963 + (bits >> 52) % 70;
    return std::bit_cast<double>((bits & 0x800fffffffffffffu) | (exponent << 52));
}

void Usage() { std::fprintf(stderr, "usage: ExpCheck random|stages|search N SEED\n"); }

int main(int argc, char** argv) {
    if (argc != 4) {
        Usage();
        return 2;
    }
    const uint64_t count = std::strtoull(argv[2], nullptr, 10);
    std::mt19937_64 random(std::strtoull(argv[3], nullptr, 10));
    const auto start = std::chrono::steady_clock::now();
    if (std::strcmp(argv[1], "random") == 0) {
        uint64_t differences = 0;
        uint64_t slow = 0;
        for (uint64_t n = 0; n < count; ++n) {
            const double x = RandomInput(n, random);
            double fast;
            if (!zelk::detail::ExpFast(x, fast)) {
                ++slow;
            }
            const double y = zelk::Exp(x);
            const double z = zelktest::ExpOracle(x);
            if (std::bit_cast<uint64_t>(y) != std::bit_cast<uint64_t>(z)) {
                ++differences;
                std::printf("difference: x = %a exp = %a mpfr = %a\n", x, y, z);
            }
            if ((n + 1) % 10000000 == 0) {
                std::printf("%" PRIu64 " inputs, %" PRIu64 " differences so far\n", n + 1,
                            differences);
                std::fflush(stdout);
            }
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf(
            "%" PRIu64 " inputs, %" PRIu64 " differences, %" PRIu64
            " through the slow path (outside the fast domain or failing its test), %.0f s\n",
            count, differences, slow, seconds);
        return differences == 0 ? 0 : 1;
    }
    if (std::strcmp(argv[1], "stages") == 0) {
        uint64_t differences = 0;
        uint64_t uncertain = 0;
        for (uint64_t n = 0; n < count; n += 4) {
            double x[4];
            for (uint64_t j = 0; j < 4; ++j) {
                x[j] = RandomInput(n + j, random);
            }
            double y[4];
            uncertain +=
                4 - std::popcount(static_cast<unsigned>(zelk::detail::ExpFirstStage4(x, y)));
            zelk::Exp4(x, y);
            for (const int j : {0, 1, 2, 3}) {
                if (std::bit_cast<uint64_t>(y[j]) != std::bit_cast<uint64_t>(zelk::Exp(x[j]))) {
                    ++differences;
                    std::printf("difference: x = %a exp4 = %a exp = %a\n", x[j], y[j],
                                zelk::Exp(x[j]));
                }
            }
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%" PRIu64 " inputs, %" PRIu64 " differences, %" PRIu64
                    " lanes left by the first stage, %.0f s\n",
                    count, differences, uncertain, seconds);
        return differences == 0 ? 0 : 1;
    }
    if (std::strcmp(argv[1], "search") == 0) {
        // N runs of 2^20 consecutive doubles from random starts: the fast path's rounding test is
        // the cheap filter (it fails within about 2^-68 of a midpoint), MPFR measures the rest.
        std::uniform_real_distribution<double> wide(-708.0, 709.0);
        int best = 0;
        uint64_t failures = 0;
        for (uint64_t n = 0; n < count; ++n) {
            const uint64_t first = std::bit_cast<uint64_t>(wide(random));
            for (uint64_t d = 0; d < (uint64_t{1} << 20); ++d) {
                const double v = std::bit_cast<double>(first + d);
                double y;
                if (zelk::detail::ExpFast(v, y) || std::fabs(v) < 0x1p-54) {
                    continue;
                }
                ++failures;
                const int bits = MidpointBits(v);
                if (bits >= best - 3) {
                    best = std::max(best, bits);
                    std::printf("%a %d %a\n", v, bits, zelktest::ExpOracle(v));
                    std::fflush(stdout);
                }
            }
        }
        std::printf("%" PRIu64 " inputs, %" PRIu64 " failed the rounding test\n", count << 20,
                    failures);
        return 0;
    }
    Usage();
    return 2;
}
