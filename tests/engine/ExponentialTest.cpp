#include <gtest/gtest.h>
#include <mpfr.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "engine/Avx2.h"
#include "engine/Exponential.h"
#include "support/ExpOracle.h"

// The exponential against MPFR, which rounds e^x correctly by construction: random inputs over
// the whole range of doubles whose e^x is neither 0 nor infinite, the boundaries, and inputs
// whose e^x lies very close to a midpoint between two doubles.

namespace {

uint64_t Bits(double x) { return std::bit_cast<uint64_t>(x); }

std::string Hex(double x) {
    char text[40];
    std::snprintf(text, sizeof text, "%a", x);
    return text;
}

// Exp and the slow path on their own both give MPFR's bits.
::testing::AssertionResult RoundedLikeMpfr(double x) {
    const double want = zelktest::ExpOracle(x);
    const double got = zelk::Exp(x);
    const double slow = zelk::detail::ExpSlow(x);
    if (Bits(got) != Bits(want) || Bits(slow) != Bits(want)) {
        return ::testing::AssertionFailure()
               << "x = " << Hex(x) << ": Exp " << Hex(got) << ", slow path " << Hex(slow)
               << ", MPFR " << Hex(want);
    }
    return ::testing::AssertionSuccess();
}

// The sanitizer build runs a twentieth of the random inputs.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kScale = 20;
#else
constexpr int kScale = 1;
#endif

// A random input of a slice: 0 uniform over the activation's range and beyond both ends, 1 the
// subnormal and zero results, 2 the results near overflow, 3 random bits of every magnitude from
// 2^-60 to 2^10 (small inputs, where e^x is close to 1).
double RandomInput(int slice, std::mt19937_64& random) {
    switch (slice) {
        case 0:
            return std::uniform_real_distribution<double>(-712.0, 712.0)(random);
        case 1:
            return std::uniform_real_distribution<double>(-746.0, -708.0)(random);
        case 2:
            return std::uniform_real_distribution<double>(700.0, 709.79)(random);
        default: {
            const uint64_t bits = random();
            const uint64_t exponent = 963 + (bits >> 52) % 70;
            return std::bit_cast<double>((bits & 0x800fffffffffffffu) | (exponent << 52));
        }
    }
}

// 10^7 random inputs in ten parts, so that they can run side by side: the first four parts over
// the whole range, then the two ends and the small inputs two parts each.
class ExpRandom : public ::testing::TestWithParam<int> {};

TEST_P(ExpRandom, MatchesMpfr) {
    const int part = GetParam();
    const int slice = part < 4 ? 0 : 1 + (part - 4) / 2;
    std::mt19937_64 random(static_cast<uint64_t>(part) + 1);
    int differences = 0;
    for (int n = 0; n < 1000000 / kScale; n += 4) {
        double x[4];
        for (double& v : x) {
            v = RandomInput(slice, random);
        }
        double four[4];
        zelk::Exp4(x, four);
        for (int j = 0; j < 4; ++j) {
            const double want = zelktest::ExpOracle(x[j]);
            const double got = zelk::Exp(x[j]);
            if ((Bits(got) != Bits(want) || Bits(four[j]) != Bits(want)) && ++differences <= 5) {
                ADD_FAILURE() << "x = " << Hex(x[j]) << ": Exp " << Hex(got) << ", Exp4 "
                              << Hex(four[j]) << ", MPFR " << Hex(want);
            }
        }
    }
    EXPECT_EQ(differences, 0);
}

INSTANTIATE_TEST_SUITE_P(Exponential, ExpRandom, ::testing::Range(0, 10));

// The slow path alone, on inputs where the fast path would answer: it must be exact everywhere.
TEST(Exponential, SlowPathMatchesMpfr) {
    std::mt19937_64 random(99);
    int differences = 0;
    for (int n = 0; n < 40000 / kScale; ++n) {
        const double x = RandomInput(n % 4, random);
        if (!RoundedLikeMpfr(x) && ++differences <= 5) {
            ADD_FAILURE() << RoundedLikeMpfr(x).message();
        }
    }
    EXPECT_EQ(differences, 0);
}

// The fast path's rounding test fails rarely: within about 2^-68 of a midpoint, one input in
// tens of thousands.
TEST(Exponential, FastPathAnswersAlmostAlways) {
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> domain(-708.0, 709.0);
    int failures = 0;
    for (int n = 0; n < 1000000 / kScale; ++n) {
        double y;
        failures += zelk::detail::ExpFast(domain(random), y) ? 0 : 1;
    }
    EXPECT_LT(failures, 100 / kScale + 5);
}

// The first stage (AVX2 with FMA) leaves a lane to the fast path within 1.0625 2^-60 of a midpoint:
// about one input in 120 over the activation's usual range.
TEST(Exponential, FirstStageAnswersMostly) {
    std::mt19937_64 random(6);
    std::uniform_real_distribution<double> usual(-40.0, 40.0);
    int uncertain = 0;
    for (int n = 0; n < 400000; n += 4) {
        double x[4];
        for (double& v : x) {
            v = usual(random);
        }
        double y[4];
        const int certain = zelk::detail::ExpFirstStage4(x, y);
        if (certain == 0 && !zelk::detail::UseAvx2Fma()) {
            GTEST_SKIP() << "no AVX2 with FMA";
        }
        uncertain += 4 - std::popcount(static_cast<unsigned>(certain));
    }
    EXPECT_LT(uncertain, 8000);
}

TEST(Exponential, SpecialValues) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(Bits(zelk::Exp(0.0)), Bits(1.0));
    EXPECT_EQ(Bits(zelk::Exp(-0.0)), Bits(1.0));
    EXPECT_EQ(Bits(zelk::Exp(inf)), Bits(inf));
    EXPECT_EQ(Bits(zelk::Exp(-inf)), Bits(0.0));
    EXPECT_TRUE(std::isnan(zelk::Exp(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_TRUE(std::isnan(zelk::Exp(-std::numeric_limits<double>::quiet_NaN())));
    EXPECT_EQ(Bits(zelk::Exp(std::numeric_limits<double>::max())), Bits(inf));
    EXPECT_EQ(Bits(zelk::Exp(std::numeric_limits<double>::lowest())), Bits(0.0));
    EXPECT_EQ(Bits(zelk::Exp(std::numeric_limits<double>::denorm_min())), Bits(1.0));
    EXPECT_EQ(Bits(zelk::Exp(-std::numeric_limits<double>::denorm_min())), Bits(1.0));
}

// Each input with its correctly rounded e^x (from MPFR), compared bit for bit and again with
// MPFR itself.
struct Known {
    double x;
    double y;
};

TEST(Exponential, Boundaries) {
    const Known cases[] = {
        {1.0, 0x1.5bf0a8b145769p+1},
        {-1.0, 0x1.78b56362cef38p-2},
        // The largest finite result, and the next input overflows.
        {0x1.62e42fefa39efp+9, 0x1.fffffffffff2ap+1023},
        {0x1.62e42fefa39fp+9, std::numeric_limits<double>::infinity()},
        // The smallest result 2^-1074, and the next input below gives +0.
        {-0x1.74910d52d3051p+9, 0x0.0000000000001p-1022},
        {-0x1.74910d52d3052p+9, 0.0},
        {-746.0, 0.0},
        {-0x1.748p+9, 0x0.0000000000001p-1022},
        // Around the first subnormal result (e^x = 2^-1022 at x = -708.3964...).
        {-0x1.6232bdd7abcd1p+9, 0x1.000000000027cp-1022},
        {-0x1.6232bdd7abcd2p+9, 0x1.000000000007cp-1022},
        {-0x1.6232bdd7abcd3p+9, 0x0.ffffffffffe7cp-1022},
        // The activation's cut points and the fast path's lower end.
        {709.7822265625, 0x1.ffc045693009dp+1023},
        {-708.39599609375, 0x1.001bb0d6e2626p-1022},
        {-708.396, 0x1.001b6f469cc89p-1022},
        // Where e^x stops rounding to 1.
        {0x1p-54, 1.0},
        {-0x1p-54, 1.0},
        {0x1.0000000000001p-54, 1.0},
        {-0x1.0000000000001p-54, 0x1.fffffffffffffp-1},
        {0x1p-53, 0x1.0000000000001p+0},
        {-0x1p-53, 0x1.fffffffffffffp-1},
    };
    for (const Known& c : cases) {
        EXPECT_EQ(Bits(zelk::Exp(c.x)), Bits(c.y)) << Hex(c.x);
        EXPECT_TRUE(RoundedLikeMpfr(c.x));
    }
}

// Inputs whose e^x lies closest to a midpoint between two doubles: two small ones by hand, and the
// hardest found by tools/exp-check search over 3.1e9 inputs (2^20 consecutive doubles from each of
// 3000 random starts in [-708, 709]; the fast path's rounding test as the filter, failing on 96345
// of them, MPFR measuring those). The comment gives the bits of agreement after the rounding
// bit: e^x lies within about 2^-(53 + 1 + bits) of a midpoint, relative.
TEST(Exponential, HardToRound) {
    const Known cases[] = {
        // Just above 2^-53, e^x = 1 + x + x^2/2 lies just above the midpoint 1 + 2^-53.
        {0x1.0000000000001p-53, 0x1.0000000000001p+0},    // 51 bits
        {0x1.0000000000003p-53, 0x1.0000000000001p+0},    // 50 bits
        {-0x1.3a2f7b5fb965ap+8, 0x1.a77c7d444ddbbp-454},  // 32 bits
        {-0x1.5bd1632994877p+5, 0x1.35e33ed5407cep-63},   // 30 bits
        {0x1.06311b3d0df43p+9, 0x1.708a90873f25dp+756},   // 30 bits
        {-0x1.d7ffd47bd0dd7p+6, 0x1.b233dfc4f2133p-171},  // 29 bits
        {-0x1.4ef101eadcfa8p+8, 0x1.b816d2c1f6c45p-484},  // 29 bits
        {0x1.c6d6ac03bab4ep+8, 0x1.24b64669a1c49p+656},   // 28 bits
        {0x1.009e156a5690bp+7, 0x1.145c49cefa852p+185},   // 28 bits
        {-0x1.11d4e5d09623bp+8, 0x1.ecaa37a867ac7p-396},  // 27 bits
        {0x1.c717655e20ec5p+8, 0x1.78ea070911014p+656},   // 27 bits
        {0x1.31cdd0143f59ep+8, 0x1.226401f67e0e1p+441},   // 27 bits
    };
    for (const Known& c : cases) {
        EXPECT_EQ(Bits(zelk::Exp(c.x)), Bits(c.y)) << Hex(c.x);
        EXPECT_TRUE(RoundedLikeMpfr(c.x));
        double fast;
        EXPECT_FALSE(zelk::detail::ExpFast(c.x, fast)) << Hex(c.x);
        const double x[4] = {c.x, c.x, c.x, c.x};
        double four[4];
        EXPECT_EQ(zelk::detail::ExpFirstStage4(x, four), 0) << Hex(c.x);
        zelk::Exp4(x, four);
        EXPECT_EQ(Bits(four[3]), Bits(c.y)) << Hex(c.x);
    }
}

}  // namespace
