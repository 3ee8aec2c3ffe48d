#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "engine/Engine.h"

namespace {

zelk::Network Built(const char* shape) {
    zelk::Network network;
    zelk::BuildNetwork(network, shape);
    return network;
}

void SetNeuron(zelk::Neuron& n, std::vector<double> weights, double bias) {
    n.Weight = std::move(weights);
    n.InputCount = static_cast<int32_t>(n.Weight.size());
    n.DeltaWeight.assign(n.Weight.size(), 0.0);
    n.BiasWeight = bias;
    n.DeltaBiasWeight = 0.0;
}

double Round6(double x) { return std::round(x * 1e6) / 1e6; }

// The 1-1-1 network of the worked example: hidden w = 0.5, b = 0.2; output w = 0.4, b = 0.3.
zelk::Network WorkedExample() {
    zelk::Network network = Built("1-1-1");
    SetNeuron(network.Layers[1].Neurons[0], {0.5}, 0.2);
    SetNeuron(network.Layers[2].Neurons[0], {0.4}, 0.3);
    return network;
}

}  // namespace

TEST(TrainSample, WorkedExampleToSixDecimals) {
    zelk::Network network = WorkedExample();
    zelk::TrainSample(network, "1", "1", true);
    const auto& hidden = network.Layers[1].Neurons[0];
    const auto& output = network.Layers[2].Neurons[0];
    EXPECT_EQ(Round6(hidden.Output), 0.574443);
    EXPECT_EQ(Round6(output.Output), 0.482451);
    EXPECT_EQ(Round6(output.ErrorTerm), 0.129228);
    EXPECT_EQ(Round6(hidden.ErrorTerm), 0.022114);
    EXPECT_EQ(Round6(output.Weight[0]), 0.407423);
    EXPECT_EQ(Round6(output.BiasWeight), 0.287077);
    EXPECT_EQ(Round6(hidden.Weight[0]), 0.502211);
    EXPECT_EQ(Round6(hidden.BiasWeight), 0.197789);
    EXPECT_EQ(network.TrainedSamples, 1.0);
}

TEST(TrainSample, WorkedExampleBitForBit) {
    // Values of an independent model of the step that follows the same operation order.
    zelk::Network network = WorkedExample();
    zelk::TrainSample(network, "1", "1", true);
    EXPECT_EQ(network.Layers[1].Neurons[0].Weight[0], 0.5022113559117233);
    EXPECT_EQ(network.Layers[1].Neurons[0].BiasWeight, 0.19778864408827668);
    EXPECT_EQ(network.Layers[2].Neurons[0].Weight[0], 0.4074233916654976);
    EXPECT_EQ(network.Layers[2].Neurons[0].BiasWeight, 0.2870772245294449);
}

TEST(TrainSample, ReturnsTheSumOfTheOutputErrorsBeforeTheWeightsChange) {
    // 2-1-2 with desired 1 and 0: the sum of |1 - o0| and |0 - o1| from the forward pass that the
    // step makes before its changes, as a separate pass gives them.
    zelk::Network network = Built("2-1-2");
    SetNeuron(network.Layers[1].Neurons[0], {0.7, -0.3}, 0.1);
    SetNeuron(network.Layers[2].Neurons[0], {0.9}, -0.2);
    SetNeuron(network.Layers[2].Neurons[1], {-0.8}, 0.4);
    zelk::Network before = network;
    zelk::EvaluatePattern(before, "1-0.5");
    const double expected = std::fabs(1.0 - before.Layers[2].Neurons[0].Output) +
                            std::fabs(0.0 - before.Layers[2].Neurons[1].Output);

    EXPECT_EQ(std::bit_cast<uint64_t>(zelk::TrainSample(network, "1-0.5", "1", true)),
              std::bit_cast<uint64_t>(expected));
    // Nothing to measure without a second layer.
    zelk::Network single = Built("3");
    EXPECT_EQ(zelk::TrainSample(single, "1-1-1", "0-0-0", true), 0.0);
}

TEST(TrainSample, SecondStepCarriesHalfOfTheFirstChange) {
    zelk::Network network = WorkedExample();
    zelk::TrainSample(network, "1", "1", true);
    const auto first = network.Layers[2].Neurons[0];
    zelk::TrainSample(network, "1", "1", true);
    const auto& output = network.Layers[2].Neurons[0];
    const double expected =
        0.1 * output.ErrorTerm * network.Layers[1].Neurons[0].Output + 0.5 * first.DeltaWeight[0];
    EXPECT_EQ(output.DeltaWeight[0], expected);
    EXPECT_EQ(output.Weight[0], first.Weight[0] + expected);
    EXPECT_EQ(output.DeltaBiasWeight, 0.1 * output.ErrorTerm * -1.0 + 0.5 * first.DeltaBiasWeight);
    EXPECT_EQ(network.TrainedSamples, 2.0);
}

TEST(TrainSample, XorForThreeCyclesMatchesAnIndependentModelBitForBit) {
    zelk::Network network = Built("2-2-1");
    SetNeuron(network.Layers[1].Neurons[0], {0.1, -0.2}, 0.3);
    SetNeuron(network.Layers[1].Neurons[1], {-0.4, 0.5}, -0.6);
    SetNeuron(network.Layers[2].Neurons[0], {0.7, -0.8}, 0.9);
    const char* samples[4][2] = {{"0-0", "0"}, {"0-1", "1"}, {"1-0", "1"}, {"1-1", "0"}};
    for (int cycle = 0; cycle < 3; ++cycle) {
        for (const auto& sample : samples) {
            zelk::TrainSample(network, sample[0], sample[1], true);
        }
    }
    // Hex literals from the model: weights, bias, deltas, delta bias of each neuron.
    const auto& h0 = network.Layers[1].Neurons[0];
    const auto& h1 = network.Layers[1].Neurons[1];
    const auto& o = network.Layers[2].Neurons[0];
    EXPECT_EQ(h0.Weight, (std::vector<double>{0x1.f258234eadec6p-4, -0x1.705f274942387p-3}));
    EXPECT_EQ(h0.BiasWeight, 0x1.0a4d2e7708b8ap-2);
    EXPECT_EQ(h0.DeltaWeight, (std::vector<double>{0x1.be04757f81b7cp-11, -0x1.98dfa4fa54444p-11}));
    EXPECT_EQ(h0.DeltaBiasWeight, -0x1.0148ade3fbd48p-9);
    EXPECT_EQ(h1.Weight, (std::vector<double>{-0x1.984ae573f42a1p-2, 0x1.007444d83dbcdp-1}));
    EXPECT_EQ(h1.BiasWeight, -0x1.343bf024a89ccp-1);
    EXPECT_EQ(h1.DeltaWeight, (std::vector<double>{0x1.f06de61952420p-15, -0x1.f8f79f5d62eeep-16}));
    EXPECT_EQ(h1.DeltaBiasWeight, -0x1.a743e5b50a9cap-14);
    EXPECT_EQ(o.Weight, (std::vector<double>{0x1.7cc4a7eafd685p-1, -0x1.76f06557aa786p-1}));
    EXPECT_EQ(o.BiasWeight, 0x1.97365c8c7054fp-1);
    EXPECT_EQ(o.DeltaWeight, (std::vector<double>{0x1.2f7167c31ef15p-9, 0x1.6d953c90f3bc6p-9}));
    EXPECT_EQ(o.DeltaBiasWeight, -0x1.4c6932c3d139dp-8);
    EXPECT_EQ(network.TrainedSamples, 12.0);
}

TEST(TrainSample, HiddenErrorTakesTheBiasWeightsOfTheLayerAbove) {
    // With two output neurons the hidden error is d0*w0 + d0*b0 + d1*w1 + d1*b1, in that order.
    zelk::Network network = Built("1-1-2");
    SetNeuron(network.Layers[1].Neurons[0], {0.3}, -0.1);
    SetNeuron(network.Layers[2].Neurons[0], {0.6}, 0.2);
    SetNeuron(network.Layers[2].Neurons[1], {-0.7}, 0.4);
    zelk::TrainSample(network, "1", "1-0", true);
    const auto& out = network.Layers[2].Neurons;
    const double o = network.Layers[1].Neurons[0].Output;
    double e = 0.0;
    e = e + out[0].ErrorTerm * 0.6;
    e = e + out[0].ErrorTerm * 0.2;
    e = e + out[1].ErrorTerm * -0.7;
    e = e + out[1].ErrorTerm * 0.4;
    EXPECT_EQ(network.Layers[1].Neurons[0].ErrorTerm, 1.0 * o * (1.0 - o) * e);
}

TEST(TrainSample, ReadsMissingAndSurplusValuesAsTheLinesSay) {
    zelk::Network a = Built("2-2");
    zelk::Network b = a;
    zelk::TrainSample(a, "1", "", true);
    zelk::ValueVector in;
    in.Resize(2);
    in.Set(0, 1.0);
    zelk::ValueVector desired;
    desired.Resize(2);
    zelk::BackPropagationStep(b, in, desired, true);
    EXPECT_EQ(a.Layers[1].Neurons[1].Weight, b.Layers[1].Neurons[1].Weight);

    zelk::Network c = a;
    zelk::Network d = a;
    zelk::TrainSample(c, "0.5-1-9", "1-0-1", true);
    zelk::TrainSample(d, "0.5-1", "1", true);
    EXPECT_EQ(c.Layers[1].Neurons[0].Weight, d.Layers[1].Neurons[0].Weight);
    EXPECT_EQ(c.Layers[1].Neurons[0].BiasWeight, d.Layers[1].Neurons[0].BiasWeight);
}

TEST(TrainSample, StartingAnewRedrawsWeightsAndRestartsTheCount) {
    zelk::Network network = WorkedExample();
    for (int i = 0; i < 5; ++i) {
        zelk::TrainSample(network, "1", "1", true);
    }
    const auto input = network.Layers[0].Neurons[0];
    zelk::TrainSample(network, "1", "1", false);
    EXPECT_EQ(network.TrainedSamples, 1.0);
    // The change of this step carries no momentum from the earlier training.
    const auto& output = network.Layers[2].Neurons[0];
    EXPECT_EQ(output.DeltaWeight[0],
              0.1 * output.ErrorTerm * network.Layers[1].Neurons[0].Output + 0.5 * 0.0);
    EXPECT_EQ(network.Layers[0].Neurons[0].Weight, input.Weight);
    EXPECT_EQ(network.Layers[0].Neurons[0].BiasWeight, input.BiasWeight);
}

TEST(TrainSample, SmallNetworksChangeNothingButTheCount) {
    zelk::Network empty;
    zelk::TrainSample(empty, "1", "1", false);
    EXPECT_EQ(empty.LayerCount, 0);
    EXPECT_EQ(empty.TrainedSamples, 0.0);

    zelk::Network single = Built("2");
    single.TrainedSamples = 4;
    const auto before = single.Layers[0].Neurons;
    zelk::TrainSample(single, "1-1", "0-0", false);
    EXPECT_EQ(single.TrainedSamples, 0.0);
    zelk::TrainSample(single, "1-1", "0-0", true);
    EXPECT_EQ(single.TrainedSamples, 0.0);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(single.Layers[0].Neurons[i].Weight, before[i].Weight);
        EXPECT_EQ(single.Layers[0].Neurons[i].BiasWeight, before[i].BiasWeight);
    }
}

TEST(TrainSample, NeverTouchesTheInputLayer) {
    zelk::Network network = Built("3-4-2");
    const auto before = network.Layers[0].Neurons;
    for (int i = 0; i < 50; ++i) {
        zelk::TrainSample(network, "1-0-1", "1-0", true);
    }
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(network.Layers[0].Neurons[i].Weight, before[i].Weight);
        EXPECT_EQ(network.Layers[0].Neurons[i].BiasWeight, before[i].BiasWeight);
        EXPECT_EQ(network.Layers[0].Neurons[i].DeltaWeight, before[i].DeltaWeight);
    }
    EXPECT_EQ(network.TrainedSamples, 50.0);
}

TEST(TrainSample, LearnsXor) {
    // From fixed weights, a few thousand cycles bring every output to the right side of 0.5.
    zelk::Network network = Built("2-3-1");
    zelk::SeedRandom(4242);
    for (std::size_t l = 1; l < 3; ++l) {
        for (auto& n : network.Layers[l].Neurons) {
            for (auto& w : n.Weight) {
                w = zelk::RandomWeight();
            }
            n.BiasWeight = zelk::RandomWeight();
        }
    }
    const char* samples[4][2] = {{"0-0", "0"}, {"0-1", "1"}, {"1-0", "1"}, {"1-1", "0"}};
    for (int cycle = 0; cycle < 10000; ++cycle) {
        for (const auto& s : samples) {
            zelk::TrainSample(network, s[0], s[1], true);
        }
    }
    for (const auto& s : samples) {
        const double out = zelk::ReadNumber(zelk::EvaluatePattern(network, s[0]));
        EXPECT_NEAR(out, zelk::ReadNumber(s[1]), 0.2) << s[0];
    }
}

// A training step whose pass reports an overflow to a reporter that trains another network (as the
// window's overflow box could, with its nested event loop) ends exactly as without that reporter.
TEST(TrainSample, ReporterMayTrainAnotherNetwork) {
    // The last hidden neuron overflows on "1-1", after the outputs of the others are stored.
    zelk::Network outer = Built("2-5-4-3");
    outer.Layers[1].Neurons[4].Weight = {-800.0, 0.0};
    zelk::Network expected = outer;
    zelk::TrainSample(expected, "1-1", "1-0-1", true);
    // Wider than anything trained before, so that shared scratch space would have to grow.
    zelk::Network other = Built("200000-4-1");
    zelk::Network otherExpected = other;

    int reports = 0;
    zelk::SetOverflowReporter([&](const std::string&) {
        ++reports;
        zelk::TrainSample(other, "1", "1", true);
    });
    zelk::TrainSample(outer, "1-1", "1-0-1", true);
    zelk::SetOverflowReporter(nullptr);
    zelk::TrainSample(otherExpected, "1", "1", true);
    EXPECT_EQ(reports, 1);
    for (const auto& [actual, wanted] : {std::pair{&outer, &expected}, {&other, &otherExpected}}) {
        for (std::size_t l = 1; l < wanted->Layers.size(); ++l) {
            for (std::size_t j = 0; j < wanted->Layers[l].Neurons.size(); ++j) {
                const zelk::Neuron& a = actual->Layers[l].Neurons[j];
                const zelk::Neuron& e = wanted->Layers[l].Neurons[j];
                EXPECT_EQ(a.Weight, e.Weight) << l << "-" << j;
                EXPECT_EQ(a.DeltaWeight, e.DeltaWeight) << l << "-" << j;
                EXPECT_EQ(a.BiasWeight, e.BiasWeight) << l << "-" << j;
            }
        }
    }
}
