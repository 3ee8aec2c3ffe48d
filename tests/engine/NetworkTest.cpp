#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <fstream>
#include <stdexcept>

#include "FileTestSupport.h"
#include "engine/Engine.h"

namespace {

std::vector<int32_t> LayerSizes(const zelk::Network& network) {
    std::vector<int32_t> sizes;
    for (const zelk::Layer& layer : network.Layers) {
        sizes.push_back(layer.NeuronCount);
        EXPECT_EQ(static_cast<std::size_t>(layer.NeuronCount), layer.Neurons.size());
    }
    EXPECT_EQ(static_cast<std::size_t>(network.LayerCount), network.Layers.size());
    return sizes;
}

bool IsRandomWeight(double w) {
    const double thousandths = std::round(w * 1000.0);
    return w != 0.0 && std::fabs(w) <= 0.999 && thousandths * 0.001 == w;
}

}  // namespace

TEST(ValueVector, ReadsOutsideAsZeroAndIgnoresWritesOutside) {
    zelk::ValueVector v;
    v.Resize(3);
    EXPECT_EQ(v.Count, 3);
    v.Set(1, 2.5);
    v.Set(3, 9.0);
    v.Set(-1, 9.0);
    EXPECT_EQ(v.Get(1), 2.5);
    EXPECT_EQ(v.Get(3), 0.0);
    EXPECT_EQ(v.Get(-1), 0.0);
    v.Resize(2);
    EXPECT_EQ(v.Values, (std::vector<double>{0.0, 0.0}));
    v.Resize(-4);
    EXPECT_EQ(v.Count, 0);
    EXPECT_TRUE(v.Values.empty());
    v.Resize(1);
    v.Clear();
    EXPECT_EQ(v.Count, 0);
}

TEST(Random, FollowsTheLinearCongruentialSequence) {
    // state <- state * 134775813 + 1, result = upper half of state * n.
    zelk::SeedRandom(0);
    std::vector<int32_t> draws;
    for (int i = 0; i < 5; ++i) {
        draws.push_back(zelk::RandomBelow(1000));
    }
    EXPECT_EQ(draws, (std::vector<int32_t>{0, 31, 861, 202, 272}));

    zelk::SeedRandom(0xFFFFFFFFu);
    EXPECT_EQ(zelk::RandomBelow(2147483647), 2080095741);
    EXPECT_EQ(zelk::RandomBelow(2147483647), 433171958);
    EXPECT_EQ(zelk::RandomBelow(2147483647), 1115652048);
}

TEST(Random, WeightDrawsSignFirstThenOneOf999Magnitudes) {
    zelk::SeedRandom(12345);
    const std::vector<double> expected = {0.29, 0.554, -0.342, 0.08, 0.923, -0.321};
    for (const double w : expected) {
        EXPECT_EQ(zelk::RandomWeight(), w);
    }
    zelk::SeedRandom(7);
    for (int i = 0; i < 20000; ++i) {
        ASSERT_TRUE(IsRandomWeight(zelk::RandomWeight()));
    }
}

TEST(Random, NeuronDrawsBiasBeforeSynapsesAndLayerResetsEachNeuronFirst) {
    zelk::SeedRandom(99);
    std::vector<double> draws;
    for (int i = 0; i < 12; ++i) {
        draws.push_back(zelk::RandomWeight());
    }

    zelk::Neuron neuron;
    zelk::SeedRandom(99);
    zelk::InitNeuron(neuron, 2);
    EXPECT_EQ(neuron.BiasWeight, draws[0]);
    EXPECT_EQ(neuron.Weight, (std::vector<double>{draws[1], draws[2]}));
    EXPECT_EQ(neuron.DeltaWeight, (std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(neuron.InputCount, 2);

    // Two new neurons each start from a reset (one draw), then each is initialised.
    zelk::Layer layer;
    zelk::SeedRandom(99);
    zelk::InitLayer(layer, 2, 2);
    ASSERT_EQ(layer.NeuronCount, 2);
    EXPECT_EQ(layer.Neurons[0].BiasWeight, draws[2]);
    EXPECT_EQ(layer.Neurons[0].Weight, (std::vector<double>{draws[3], draws[4]}));
    EXPECT_EQ(layer.Neurons[1].BiasWeight, draws[5]);
    EXPECT_EQ(layer.Neurons[1].Weight, (std::vector<double>{draws[6], draws[7]}));

    zelk::InitLayer(layer, 0, 5);
    EXPECT_EQ(layer.NeuronCount, 0);
    EXPECT_TRUE(layer.Neurons.empty());
    zelk::InitNeuron(neuron, -1);
    EXPECT_EQ(neuron.InputCount, 0);
    EXPECT_TRUE(neuron.Weight.empty());
    EXPECT_TRUE(neuron.DeltaWeight.empty());
}

TEST(BuildNetwork, ReadsLayerSizesFromTheShapeText) {
    struct Case {
        const char* shape;
        std::vector<int32_t> sizes;
        int32_t synapses;
    };
    const std::vector<Case> cases = {
        {"2-3-1", {2, 3, 1}, 9},
        {"2-3-3-1", {2, 3, 3, 1}, 18},
        {"", {}, 0},
        {"   ", {}, 0},
        {"-2", {}, 0},
        {"2--3", {2}, 0},
        {"2-3-", {2, 3}, 6},
        {" 2 - 3 ", {2, 3}, 6},
        {"2-a-1", {2, 0, 1}, 0},
        {"\"2-3\"-1", {2, 1}, 2},
        {"4", {4}, 0},
        {"3x-2.5", {3, 2}, 6},
        {"x3-1", {0, 1}, 0},
        {"+2-1", {2, 1}, 2},
        // A quoted negative size gives a layer without neurons and adds no synapses.
        {"2-\"-3\"-4", {2, 0, 4}, 0},
    };
    for (const Case& c : cases) {
        zelk::Network network;
        zelk::BuildNetwork(network, c.shape);
        EXPECT_EQ(LayerSizes(network), c.sizes) << c.shape;
        EXPECT_EQ(network.SynapseCount, c.synapses) << c.shape;
    }
}

TEST(BuildNetwork, GivesRandomWeightsZeroDeltasAndConsistentSynapses) {
    zelk::Network network;
    zelk::BuildNetwork(network, "2-3-1");
    network.TrainedSamples = 5;
    zelk::BuildNetwork(network, "2-3-1");
    EXPECT_EQ(network.TrainedSamples, 0.0);
    EXPECT_FALSE(network.Busy);
    for (std::size_t l = 0; l < network.Layers.size(); ++l) {
        for (const zelk::Neuron& n : network.Layers[l].Neurons) {
            const int32_t inputs = l == 0 ? 1 : network.Layers[l - 1].NeuronCount;
            EXPECT_EQ(n.InputCount, inputs);
            ASSERT_EQ(n.Weight.size(), static_cast<std::size_t>(inputs));
            EXPECT_EQ(n.DeltaWeight, std::vector<double>(static_cast<std::size_t>(inputs), 0.0));
            for (const double w : n.Weight) {
                EXPECT_TRUE(IsRandomWeight(w)) << w;
            }
            EXPECT_TRUE(IsRandomWeight(n.BiasWeight));
            EXPECT_EQ(n.DeltaBiasWeight, 0.0);
            EXPECT_EQ(n.Output, 0.0);
        }
    }
    zelk::BuildNetwork(network, "2-a-1");
    EXPECT_EQ(network.Layers[2].Neurons[0].InputCount, 0);
    EXPECT_TRUE(network.Layers[2].Neurons[0].Weight.empty());
}

TEST(BuildNetwork, RefusesTooLargeShapesAndKeepsTheOldNetwork) {
    zelk::Network network;
    zelk::BuildNetwork(network, "2-3-1");
    network.Layers[1].Neurons[0].Weight[0] = 0.125;
    network.TrainedSamples = 7;
    for (const char* shape : {"100000-100000-100000", "2147483648", "99999999999999999999-1",
                              "65536-65536", "2000000000-2000000000-2", "16777216-0-1"}) {
        EXPECT_THAT([&] { zelk::BuildNetwork(network, shape); },
                    testing::ThrowsMessage<std::runtime_error>(std::string("Síť ") + shape +
                                                               " je příliš velká"));
        EXPECT_EQ(LayerSizes(network), (std::vector<int32_t>{2, 3, 1}));
        EXPECT_EQ(network.SynapseCount, 9);
        EXPECT_EQ(network.Layers[1].Neurons[0].Weight[0], 0.125);
        EXPECT_EQ(network.TrainedSamples, 7.0);
    }
}

TEST(BuildNetwork, TakesAtMostTwoToTheSixteenLayers) {
    const auto ones = [](std::size_t layers) {
        std::string shape = "1";
        for (std::size_t i = 1; i < layers; ++i) shape += "-1";
        return shape;
    };
    zelk::Network network;
    zelk::BuildNetwork(network, ones(65536));
    EXPECT_EQ(network.LayerCount, 65536);
    const std::string tooMany = ones(65537);
    EXPECT_THAT([&] { zelk::BuildNetwork(network, tooMany); },
                testing::ThrowsMessage<std::runtime_error>("Síť " + tooMany + " je příliš velká"));
    EXPECT_EQ(network.LayerCount, 65536);
}

// Ten million layers would take seconds and gigabytes to build; the refusal comes within a second
// of processor time, before anything is allocated for them.
TEST(BuildNetwork, RefusesMillionsOfLayersAtOnce) {
    std::string layers;
    layers.reserve(20'000'000);
    for (int i = 0; i < 10'000'000; ++i) layers += i == 0 ? "1" : "-1";
    const int code = zelktest::RunInChild([&] {
        const rlimit seconds{1, 1};
        if (setrlimit(RLIMIT_CPU, &seconds) != 0) {
            return 2;
        }
        zelk::Network network;
        try {
            zelk::BuildNetwork(network, layers);
        } catch (const std::runtime_error&) {
            return network.LayerCount == 0 ? 0 : 3;
        }
        return 4;
    });
    EXPECT_EQ(code, 0);
}

// A process limit that the size check cannot see makes the build run out of memory halfway. The
// refusal still reaches the user, since the half-built network is released before it is made.
TEST(BuildNetwork, ExhaustedMemoryGivesTheRefusalAndKeepsTheOldNetwork) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#else
    const int code = zelktest::RunInChild([] {
        zelk::Network network;
        zelk::BuildNetwork(network, "2-3-1");
        network.Layers[1].Neurons[0].Weight[0] = 0.125;
        // Room for the 4 000 000 neurons, not for the arrays of their synapses.
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const auto limit = static_cast<rlim_t>(pages) * 4096 + (rlim_t{512} << 20);
        const rlimit memory{limit, limit};
        if (pages <= 0 || setrlimit(RLIMIT_AS, &memory) != 0) {
            return 2;
        }
        // A long text after the blank field that ends the layer list makes the message long:
        // it needs memory of its own.
        const std::string shape = "1-4000000--" + std::string(1 << 20, 'x');
        try {
            zelk::BuildNetwork(network, shape);
            return 3;
        } catch (const std::runtime_error& error) {
            if (std::string(error.what()) != "Síť " + shape + " je příliš velká") {
                return 4;
            }
        } catch (...) {
            return 5;
        }
        return LayerSizes(network) == std::vector<int32_t>{2, 3, 1} &&
                       network.Layers[1].Neurons[0].Weight[0] == 0.125
                   ? 0
                   : 6;
    });
    EXPECT_EQ(code, 0);
#endif
}

TEST(ClearNetwork, ReleasesEverything) {
    zelk::Network network;
    zelk::BuildNetwork(network, "3-2");
    network.TrainedSamples = 3;
    network.Busy = true;
    zelk::ClearNetwork(network);
    EXPECT_EQ(network.LayerCount, 0);
    EXPECT_TRUE(network.Layers.empty());
    EXPECT_EQ(network.SynapseCount, 0);
    EXPECT_EQ(network.TrainedSamples, 0.0);
    EXPECT_FALSE(network.Busy);
}

TEST(RandomizeWeights, RedrawsLayersAboveTheInputOnly) {
    zelk::Network network;
    zelk::BuildNetwork(network, "3");
    const zelk::Network single = network;
    zelk::RandomizeWeights(network);
    EXPECT_EQ(network.Layers[0].Neurons[1].Weight, single.Layers[0].Neurons[1].Weight);
    EXPECT_EQ(network.Layers[0].Neurons[1].BiasWeight, single.Layers[0].Neurons[1].BiasWeight);

    zelk::BuildNetwork(network, "2-3-1");
    for (auto& layer : network.Layers) {
        for (auto& n : layer.Neurons) {
            n.DeltaBiasWeight = 0.5;
            n.Output = 0.25;
            n.ErrorTerm = 0.125;
            std::fill(n.DeltaWeight.begin(), n.DeltaWeight.end(), 0.5);
        }
    }
    network.TrainedSamples = 11;
    const zelk::Network before = network;
    zelk::RandomizeWeights(network);
    EXPECT_EQ(network.TrainedSamples, 11.0);
    for (std::size_t i = 0; i < 2; ++i) {
        const auto& n = network.Layers[0].Neurons[i];
        EXPECT_EQ(n.Weight, before.Layers[0].Neurons[i].Weight);
        EXPECT_EQ(n.BiasWeight, before.Layers[0].Neurons[i].BiasWeight);
        EXPECT_EQ(n.DeltaBiasWeight, 0.5);
    }
    for (std::size_t l = 1; l < 3; ++l) {
        for (const auto& n : network.Layers[l].Neurons) {
            EXPECT_EQ(n.DeltaWeight, std::vector<double>(n.Weight.size(), 0.0));
            EXPECT_EQ(n.DeltaBiasWeight, 0.0);
            EXPECT_EQ(n.Output, 0.25);
            EXPECT_EQ(n.ErrorTerm, 0.125);
            EXPECT_TRUE(IsRandomWeight(n.BiasWeight));
        }
    }
}

TEST(ShapeText, JoinsTheBuiltLayerSizes) {
    zelk::Network network;
    EXPECT_EQ(zelk::ShapeText(network), "");
    zelk::BuildNetwork(network, " 2 -a- 1x");
    EXPECT_EQ(zelk::ShapeText(network), "2-0-1");
}

TEST(ReadShape, TellsWhereSizesAndTheListEnd) {
    // "2,3-1": the first size reads as 2, ",3" is ignored; the list goes on to the end.
    zelk::ShapeReading shape = zelk::ReadShape("2,3-1");
    ASSERT_EQ(shape.Layers.size(), 2u);
    EXPECT_EQ(shape.Layers[0].Size, 2);
    EXPECT_EQ(shape.Layers[0].SizeEnd, 1u);
    EXPECT_EQ(shape.Layers[0].ValueEnd, 3u);
    EXPECT_EQ(shape.Layers[1].Span.Begin, 4u);
    EXPECT_EQ(shape.ListEnd, 5u);

    // "2--3": the empty second field ends the list, at its start.
    shape = zelk::ReadShape("2--3");
    ASSERT_EQ(shape.Layers.size(), 1u);
    EXPECT_EQ(shape.ListEnd, 2u);

    // A field without digits reads nothing.
    shape = zelk::ReadShape("a-1");
    ASSERT_EQ(shape.Layers.size(), 2u);
    EXPECT_EQ(shape.Layers[0].Size, 0);
    EXPECT_EQ(shape.Layers[0].SizeEnd, 0u);
}
