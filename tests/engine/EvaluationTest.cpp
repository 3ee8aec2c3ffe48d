#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/Engine.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// A network of the given shape whose weights are then set by hand.
zelk::Network Built(const char* shape) {
    zelk::Network network;
    zelk::BuildNetwork(network, shape);
    return network;
}

// Collects overflow reports for the life of a test.
struct OverflowLog {
    std::vector<std::string> messages;
    OverflowLog() {
        zelk::SetOverflowReporter([this](const std::string& m) { messages.push_back(m); });
    }
    ~OverflowLog() { zelk::SetOverflowReporter(nullptr); }
};

}  // namespace

TEST(Activation, IsTheLogisticFunctionWithExactExtremes) {
    EXPECT_EQ(zelk::Activation(0.0, 0.0), 0.5);
    EXPECT_EQ(zelk::Activation(1.0, 0.0), 1.0 / (std::exp(-1.0) + 1.0));
    EXPECT_EQ(zelk::Activation(1.0, 1.0), 0.5);
    EXPECT_EQ(zelk::Activation(708.39599609375, 0.0), 1.0);
    EXPECT_EQ(zelk::Activation(800.0, 0.0), 1.0);
    EXPECT_EQ(zelk::Activation(kInf, 0.0), 1.0);
    EXPECT_GT(zelk::Activation(-709.78, 0.0), 0.0);
    OverflowLog log;
    EXPECT_EQ(zelk::Activation(-709.7822265625, 0.0), 0.0);
    EXPECT_EQ(zelk::Activation(-kInf, 0.0), 0.0);
    EXPECT_EQ(zelk::Activation(std::nan(""), 0.0), 0.0);
    EXPECT_EQ(log.messages,
              (std::vector<std::string>{"exp: OVERFLOW error", "exp: OVERFLOW error"}));
}

TEST(ForwardPass, AddsTheBiasTermLastAndLeavesPotentials) {
    zelk::Network network = Built("1-1");
    network.Layers[1].Neurons[0].Weight[0] = 0.5;
    network.Layers[1].Neurons[0].BiasWeight = 0.5;
    EXPECT_EQ(zelk::EvaluatePattern(network, "1"), "0.5");
    EXPECT_EQ(network.Layers[1].Neurons[0].Potential, 0.0);
    EXPECT_EQ(network.Layers[0].Neurons[0].Output, 1.0);
    EXPECT_FALSE(network.Busy);

    // 0.5 + (-0.25) - 0.125 = 0.125
    network = Built("2-1");
    network.Layers[1].Neurons[0].Weight = {0.5, -0.25};
    network.Layers[1].Neurons[0].BiasWeight = 0.125;
    EXPECT_EQ(zelk::EvaluatePattern(network, "1-1"), "0.5312093734");
}

TEST(ForwardPass, SumsEveryNeuronInSynapseOrder) {
    // Six outputs, so that both the neurons summed together and the rest are covered; the
    // weights are chosen so that another order of the sum would round differently.
    zelk::Network network = Built("3-6");
    const std::vector<double> x = {1e16, 1.0, -1e16};
    for (int32_t j = 0; j < 6; ++j) {
        auto& n = network.Layers[1].Neurons[static_cast<std::size_t>(j)];
        n.Weight = {1.0, 1.0 + j, 1.0};
        n.BiasWeight = -0.5 * j;
    }
    zelk::ValueVector inputs;
    inputs.Resize(3);
    for (int32_t i = 0; i < 3; ++i) {
        inputs.Set(i, x[static_cast<std::size_t>(i)]);
    }
    zelk::ValueVector outputs;
    zelk::ForwardPass(network, inputs, outputs);
    ASSERT_EQ(outputs.Count, 6);
    for (int32_t j = 0; j < 6; ++j) {
        const auto& n = network.Layers[1].Neurons[static_cast<std::size_t>(j)];
        double sum = 0.0;
        sum = sum + n.Weight[0] * x[0];
        sum = sum + n.Weight[1] * x[1];
        sum = sum + n.Weight[2] * x[2];
        sum = sum + n.BiasWeight * -1.0;
        EXPECT_EQ(n.Potential, sum) << j;
        EXPECT_EQ(outputs.Get(j), 1.0 / (std::exp(-sum) + 1.0)) << j;
    }
}

TEST(EvaluatePattern, EdgeNetworks) {
    zelk::Network network;
    EXPECT_EQ(zelk::EvaluatePattern(network, "0-1"), "");
    network = Built("2");
    EXPECT_EQ(zelk::EvaluatePattern(network, "0.5-0.25"), "0.5-0.25");
    EXPECT_EQ(zelk::EvaluatePattern(network, "\"-1\"-2"), "\"-1\"-2");
    network = Built("2-x");
    EXPECT_EQ(zelk::EvaluatePattern(network, "1-1"), "");
    network = Built("1");
    EXPECT_EQ(zelk::EvaluatePattern(network, "1e400"), "+INF");
    EXPECT_EQ(zelk::EvaluatePattern(network, "+INF"), "+INF");
    EXPECT_EQ(zelk::EvaluatePattern(network, "\"-INF\""), "\"-INF\"");
    EXPECT_EQ(zelk::EvaluatePattern(network, "\"1e-7\""), "\"1e-07\"");

    // Without input neurons every output neuron answers from its bias alone.
    network = Built("x-2");
    network.Layers[1].Neurons[0].BiasWeight = 0.25;
    network.Layers[1].Neurons[1].BiasWeight = -0.5;
    const std::string expected = zelk::FormatNumber(1.0 / (std::exp(0.25) + 1.0)) + "-" +
                                 zelk::FormatNumber(1.0 / (std::exp(-0.5) + 1.0));
    EXPECT_EQ(zelk::EvaluatePattern(network, "7-7"), expected);
    EXPECT_EQ(zelk::EvaluatePattern(network, ""), expected);
}

TEST(EvaluatePattern, FreshNetworkGivesOneValueBetweenZeroAndOne) {
    zelk::Network network = Built("2-3-1");
    const std::string line = zelk::EvaluatePattern(network, "0-1");
    EXPECT_EQ(line.find('-'), std::string::npos);
    const double v = zelk::ReadNumber(line);
    EXPECT_GT(v, 0.0);
    EXPECT_LT(v, 1.0);
}

TEST(EvaluatePattern, SmallOutputsAreQuotedAndExtremesReportOverflowOncePerNeuron) {
    zelk::Network network = Built("1-3");
    auto& n = network.Layers[1].Neurons;
    n[0].Weight[0] = 800.0;   // potential 800: output exactly 1
    n[1].Weight[0] = -800.0;  // potential -800: output 0, reported
    n[2].Weight[0] = -10.0;   // potential -10: 4.53978687e-05
    for (auto& neuron : n) {
        neuron.BiasWeight = 0.0;
    }
    OverflowLog log;
    EXPECT_EQ(zelk::EvaluatePattern(network, "1"), "1-0-\"4.53978687e-05\"");
    EXPECT_EQ(log.messages, (std::vector<std::string>{"exp: OVERFLOW error"}));
    EXPECT_FALSE(network.Busy);
}

TEST(ForwardPass, ClearsBusyWhenTheReporterThrows) {
    zelk::Network network = Built("1-1");
    network.Layers[1].Neurons[0].Weight[0] = -800.0;
    zelk::SetOverflowReporter([](const std::string&) { throw std::runtime_error("stop"); });
    EXPECT_THROW(zelk::EvaluatePattern(network, "1"), std::runtime_error);
    zelk::SetOverflowReporter(nullptr);
    EXPECT_FALSE(network.Busy);
    EXPECT_EQ(zelk::EvaluatePattern(network, "0"),
              zelk::FormatNumber(zelk::Activation(-network.Layers[1].Neurons[0].BiasWeight, 0)));
}

TEST(ForwardPass, EmptyNetworkLeavesOutputsUntouched) {
    zelk::Network network;
    zelk::ValueVector inputs;
    zelk::ValueVector outputs;
    outputs.Resize(2);
    outputs.Set(0, 3.0);
    zelk::ForwardPass(network, inputs, outputs);
    EXPECT_EQ(outputs.Values, (std::vector<double>{3.0, 0.0}));
    EXPECT_FALSE(network.Busy);
}

// The window's overflow box runs a nested event loop, in which another network may be evaluated
// while the first pass waits for the reporter. That pass needs scratch space of its own: a shared
// buffer that grows under the waiting pass would leave it writing through freed memory.
TEST(ForwardPass, ReporterMayEvaluateAnotherNetwork) {
    // The last hidden neuron overflows on "1-1", after the outputs of the others are stored.
    zelk::Network outer = Built("2-5-3");
    outer.Layers[1].Neurons[4].Weight = {-800.0, 0.0};
    zelk::Network expected = outer;
    const std::string expectedLine = zelk::EvaluatePattern(expected, "1-1");
    // Wider than anything evaluated before, so that a shared buffer would have to grow.
    zelk::Network other = Built("100000-1-1");
    zelk::Network otherCopy = other;

    std::vector<std::string> inner;
    zelk::SetOverflowReporter(
        [&](const std::string&) { inner.push_back(zelk::EvaluatePattern(other, "1")); });
    const std::string line = zelk::EvaluatePattern(outer, "1-1");
    zelk::SetOverflowReporter(nullptr);
    const std::string otherLine = zelk::EvaluatePattern(otherCopy, "1");
    EXPECT_EQ(line, expectedLine);
    EXPECT_EQ(inner, std::vector<std::string>{otherLine});
    for (std::size_t j = 0; j < 3; ++j) {
        EXPECT_EQ(outer.Layers[2].Neurons[j].Potential, expected.Layers[2].Neurons[j].Potential);
    }
}
