#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/Engine.h"
#include "support/ReferenceModel.h"

// The engine computes several neurons' sums at once and walks its arrays in whatever way is
// fastest; these tests pin that every result is still bit for bit the one of the reference model,
// which follows the prescribed operation order one rounding at a time.

namespace {

using Values = std::vector<double>;
using zelk::reference::Saturation;

uint64_t Bits(double x) { return std::bit_cast<uint64_t>(x); }

bool SameBits(const Values& a, const Values& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Bits(a[i]) != Bits(b[i])) {
            return false;
        }
    }
    return true;
}

// Every number the step reads or writes, compared bit for bit; the first difference is named.
::testing::AssertionResult SameNetwork(const zelk::Network& network, const zelk::Network& model) {
    for (std::size_t l = 0; l < model.Layers.size(); ++l) {
        for (std::size_t i = 0; i < model.Layers[l].Neurons.size(); ++i) {
            const zelk::Neuron& n = network.Layers[l].Neurons[i];
            const zelk::Neuron& p = model.Layers[l].Neurons[i];
            const std::string where = "layer " + std::to_string(l) + " neuron " + std::to_string(i);
            if (!SameBits(n.Weight, p.Weight) || !SameBits(n.DeltaWeight, p.DeltaWeight)) {
                return ::testing::AssertionFailure() << where << ": weights or deltas differ";
            }
            if (Bits(n.BiasWeight) != Bits(p.BiasWeight) ||
                Bits(n.DeltaBiasWeight) != Bits(p.DeltaBiasWeight)) {
                return ::testing::AssertionFailure() << where << ": bias or its delta differs";
            }
            if (Bits(n.Potential) != Bits(p.Potential) || Bits(n.Output) != Bits(p.Output)) {
                return ::testing::AssertionFailure() << where << ": potential or output differs";
            }
            if (l > 0 && Bits(n.ErrorTerm) != Bits(p.ErrorTerm)) {
                return ::testing::AssertionFailure() << where << ": error term differs";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// A network of the given sizes with weights from the engine's generator in a fixed state.
zelk::Network MakeNetwork(const std::vector<int32_t>& sizes, uint32_t seed) {
    zelk::SeedRandom(seed);
    zelk::Network network;
    network.LayerCount = static_cast<int32_t>(sizes.size());
    network.Layers.resize(sizes.size());
    for (std::size_t l = 0; l < sizes.size(); ++l) {
        zelk::InitLayer(network.Layers[l], sizes[l], l == 0 ? 1 : sizes[l - 1]);
        if (l > 0) {
            network.SynapseCount += sizes[l - 1] * sizes[l];
        }
    }
    return network;
}

zelk::ValueVector Vector(const Values& values) {
    zelk::ValueVector v;
    v.Resize(static_cast<int32_t>(values.size()));
    v.Values = values;
    return v;
}

struct Sample {
    Values inputs, desired;
};

// Inputs uniform in [low, high), desired values uniform in [0, 1).
std::vector<Sample> MakeSamples(std::size_t count, int32_t inputs, int32_t outputs, double low,
                                double high, uint64_t seed) {
    std::mt19937_64 generator(seed);
    auto uniform = [&generator] { return static_cast<double>(generator() >> 11) * 0x1.0p-53; };
    std::vector<Sample> samples(count);
    for (Sample& s : samples) {
        for (int32_t i = 0; i < inputs; ++i) {
            s.inputs.push_back(low + (high - low) * uniform());
        }
        for (int32_t i = 0; i < outputs; ++i) {
            s.desired.push_back(uniform());
        }
    }
    return samples;
}

// Trains engine and reference model side by side and compares everything after every step; gives
// the reference model's counts of saturated outputs.
Saturation ExpectSameTraining(const std::vector<int32_t>& sizes, int cycles,
                              std::size_t sampleCount, double low, double high) {
    zelk::Network network = MakeNetwork(sizes, 20240611u);
    zelk::Network model = network;
    Saturation saturation;
    const auto samples =
        MakeSamples(sampleCount, sizes.front(), sizes.back(), low, high, 977u + sizes.size());
    std::vector<zelk::ValueVector> inputs, desired;
    for (const Sample& s : samples) {
        inputs.push_back(Vector(s.inputs));
        desired.push_back(Vector(s.desired));
    }
    int reported = 0;
    zelk::SetOverflowReporter([&reported](const std::string&) { ++reported; });
    for (int cycle = 0; cycle < cycles; ++cycle) {
        for (std::size_t j = 0; j < samples.size(); ++j) {
            zelk::BackPropagationStep(network, inputs[j], desired[j], true);
            zelk::reference::Step(model, samples[j].inputs, samples[j].desired, saturation);
            if (!SameNetwork(network, model)) {
                ADD_FAILURE() << SameNetwork(network, model).message() << " after cycle " << cycle
                              << " sample " << j;
                zelk::SetOverflowReporter({});
                return saturation;
            }
        }
    }
    zelk::SetOverflowReporter({});
    EXPECT_EQ(reported, saturation.Overflows);
    EXPECT_EQ(network.TrainedSamples,
              static_cast<double>(cycles) * static_cast<double>(samples.size()));
    return saturation;
}

TEST(Exactness, SmallNetworksTrainLikeTheReferenceModel) {
    ExpectSameTraining({2, 3, 1}, 300, 4, 0.0, 1.0);
    ExpectSameTraining({8, 16, 8}, 100, 8, 0.0, 1.0);
    ExpectSameTraining({1, 1, 1}, 200, 3, -1.0, 1.0);
}

TEST(Exactness, WideNetworksTrainLikeTheReferenceModel) {
    ExpectSameTraining({64, 32, 10}, 5, 60, 0.0, 1.0);
    ExpectSameTraining({256, 128, 10}, 1, 12, -1.0, 1.0);
}

// Layer sizes that are no multiple of any block width, odd synapse counts, and more layers:
// every remainder path of the blocked loops is taken.
TEST(Exactness, OddShapesAndFourLayersTrainLikeTheReferenceModel) {
    ExpectSameTraining({13, 37, 21, 5}, 20, 10, -2.0, 2.0);
    ExpectSameTraining({3, 7, 6, 9, 2}, 50, 5, -1.0, 1.0);
    ExpectSameTraining({33, 17, 1}, 40, 7, 0.0, 1.0);
    ExpectSameTraining({5, 1, 4}, 100, 6, 0.0, 1.0);
}

// Inputs in the hundreds drive potentials past both ends of the exponential: outputs of exactly
// 0 and 1, and one overflow report per neuron and pass, as in the reference model; also in a net of
// small layers, whose step has a forward pass of its own.
TEST(Exactness, SaturatedNeuronsTrainLikeTheReferenceModel) {
    for (const auto& [sizes, range] : {std::pair{std::vector<int32_t>{6, 9, 3}, 900.0},
                                       std::pair{std::vector<int32_t>{2, 3, 2}, 3000.0}}) {
        const Saturation saturation = ExpectSameTraining(sizes, 30, 8, -range, range);
        EXPECT_GT(saturation.Overflows, 0);
        EXPECT_GT(saturation.Ones, 0);
    }
}

TEST(Exactness, ForwardPassGivesTheReferenceOutputs) {
    const std::vector<int32_t> sizes = {19, 23, 7};
    zelk::Network network = MakeNetwork(sizes, 4242u);
    zelk::Network model = network;
    Saturation saturation;
    for (const Sample& s : MakeSamples(20, 19, 7, -3.0, 3.0, 5u)) {
        zelk::ValueVector outputs;
        zelk::ForwardPass(network, Vector(s.inputs), outputs);
        zelk::reference::Forward(model, s.inputs, saturation);
        Values expected;
        for (const zelk::Neuron& n : model.Layers.back().Neurons) {
            expected.push_back(n.Output);
        }
        EXPECT_TRUE(SameBits(outputs.Values, expected));
        EXPECT_TRUE(SameNetwork(network, model));
    }
}

// Infinite and not-a-number inputs make potentials of every kind: outputs of 0 (also for a
// potential that is not a number) and 1 exactly as in the reference model.
TEST(Exactness, ForwardPassHandlesNonFiniteInputsLikeTheReferenceModel) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<int32_t> sizes = {4, 9, 5};
    zelk::Network network = MakeNetwork(sizes, 777u);
    zelk::Network model = network;
    Saturation saturation;
    int reported = 0;
    zelk::SetOverflowReporter([&reported](const std::string&) { ++reported; });
    for (const Values& inputs : {Values{inf, 0, 0, 0}, Values{-inf, 1, 0, 0}, Values{nan, 0, 1, 0},
                                 Values{inf, -inf, 0, 1}, Values{1e300, -1e300, 1e300, 0}}) {
        zelk::ValueVector outputs;
        zelk::ForwardPass(network, Vector(inputs), outputs);
        zelk::reference::Forward(model, inputs, saturation);
        EXPECT_TRUE(SameNetwork(network, model));
    }
    zelk::SetOverflowReporter({});
    EXPECT_EQ(reported, saturation.Overflows);
    EXPECT_GT(saturation.Overflows, 0);
    EXPECT_GT(saturation.Ones, 0);
}

// The number in a text that is a whole decimal number, read the way the standard library does
// (correctly rounded); a leading "+" is not part of that syntax.
double StandardRead(std::string text) {
    if (!text.empty() && text[0] == '+') {
        text.erase(0, 1);
    }
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    EXPECT_EQ(result.ec, std::errc()) << text;
    EXPECT_EQ(result.ptr, text.data() + text.size()) << text;
    return value;
}

// Decimal texts of every length and form, all of them within the double range.
std::vector<std::string> NumberTexts(std::size_t count, uint64_t seed) {
    std::mt19937_64 generator(seed);
    auto below = [&generator](uint64_t n) { return static_cast<int>(generator() % n); };
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < count; ++i) {
        std::string text;
        const int sign = below(4);
        if (sign == 1) text += '-';
        if (sign == 2) text += '+';
        const int whole = below(4) == 0 ? 0 : 1 + below(20);
        const int fraction = below(3) == 0 ? 0 : 1 + below(26);
        for (int d = 0; d < whole; ++d) text += static_cast<char>('0' + below(10));
        if (fraction > 0 || whole == 0 || below(4) == 0) text += '.';
        for (int d = 0; d < (whole == 0 && fraction == 0 ? 1 : fraction); ++d) {
            text += static_cast<char>('0' + below(10));
        }
        if (below(3) == 0) {
            text += below(2) == 0 ? 'e' : 'E';
            const int exponentSign = below(3);
            if (exponentSign == 1) text += '-';
            if (exponentSign == 2) text += '+';
            text += std::to_string(below(40));
        }
        texts.push_back(text);
    }
    return texts;
}

TEST(Exactness, ReadNumberRoundsLikeTheStandardLibrary) {
    for (const std::string& text : NumberTexts(200000, 17u)) {
        ASSERT_EQ(Bits(zelk::ReadNumber(text)), Bits(StandardRead(text))) << text;
        // What follows the number is not read.
        ASSERT_EQ(Bits(zelk::ReadNumber(" \t" + text + "e-x.5")), Bits(StandardRead(text))) << text;
    }
    // The texts the engine writes itself read back exactly as the standard library reads them.
    std::mt19937_64 generator(99u);
    for (int i = 0; i < 100000; ++i) {
        const double x = std::ldexp(static_cast<double>(generator() >> 11), -53 - i % 40);
        const std::string text = zelk::FormatNumber(x);
        ASSERT_EQ(Bits(zelk::ReadNumber(text)), Bits(StandardRead(text))) << text;
    }
    for (const char* text : {"9007199254740993", "0.9007199254740993", "1e22", "1e23",
                             "123456789012345678901234567890", "0.1e-22", "4.9e-324", "1e308"}) {
        EXPECT_EQ(Bits(zelk::ReadNumber(text)), Bits(StandardRead(text))) << text;
    }
}

// Field i of a pattern line read as ReadNumber of GetField: quoted values, doubled quotes, blanks
// and text between the numbers included.
TEST(Exactness, ReadPatternReadsEveryFieldLikeGetField) {
    const std::vector<std::string> pieces = {"0.5", "\"-0.25\"", "",           " 1e3",
                                             "7x",  "\"\"",      "\"a\"\"-\"", "1.5\"",
                                             "-",   "\"1-2\"3",  "2E-2",       "\"4.5e-05\""};
    std::mt19937_64 generator(3u);
    for (int i = 0; i < 20000; ++i) {
        std::string line;
        const int fields = static_cast<int>(generator() % 9);
        for (int f = 0; f < fields; ++f) {
            if (f > 0) line += '-';
            line += pieces[generator() % pieces.size()];
        }
        const int32_t n = static_cast<int32_t>(generator() % 10);
        const zelk::ValueVector pattern = zelk::ReadPattern(line, n);
        ASSERT_EQ(pattern.Count, n);
        for (int32_t f = 0; f < n; ++f) {
            const double expected = zelk::ReadNumber(zelk::GetField(line, '-', f, '"'));
            ASSERT_EQ(Bits(pattern.Values[static_cast<std::size_t>(f)]), Bits(expected))
                << line << " field " << f;
        }
    }
}

// Four exponentials at once (the first stage where the processor has AVX2 and FMA) give exactly the
// scalar bits, whatever the lanes hold: values of every kind side by side, including those that
// leave the first stage (subnormal and zero results, overflow, tiny values, NaN, inf).
TEST(Exactness, VectorExponentialGivesTheScalarBits) {
    const double specials[] = {0.0,
                               -0.0,
                               1e-300,
                               0x1p-54,
                               -720.0,
                               -746.0,
                               709.9,
                               0x1.62e42fefa39efp+9,
                               -708.39599609375,
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN()};
    std::mt19937_64 generator(17u);
    std::uniform_real_distribution<double> range(-750.0, 712.0);
    std::uniform_real_distribution<double> small(-1.0, 1.0);
    for (int i = 0; i < 200000; ++i) {
        double x[4];
        for (double& v : x) {
            const uint64_t kind = generator() % 16;
            v = kind < 10   ? range(generator)
                : kind < 14 ? small(generator)
                            : specials[generator() % std::size(specials)];
        }
        double vector[4];
        zelk::Exp4(x, vector);
        for (int j = 0; j < 4; ++j) {
            ASSERT_EQ(Bits(vector[j]), Bits(zelk::Exp(x[j]))) << x[j];
        }
    }
}

}  // namespace
