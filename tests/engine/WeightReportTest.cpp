#include <gtest/gtest.h>

#include "engine/Engine.h"

namespace {
const std::string kClosing(36, '-');
}

TEST(WeightReport, ListsEveryNeuronWithItsWeightsAndBias) {
    zelk::Network network;
    zelk::BuildNetwork(network, "2-3-1");
    auto& n = network.Layers[1].Neurons[0];
    n.Weight = {0.512, -0.083};
    n.BiasWeight = 0.274;
    network.Layers[0].Neurons[1].Weight = {0.001};
    network.Layers[0].Neurons[1].BiasWeight = -0.999;
    network.Layers[2].Neurons[0].Weight = {1.5, -2.25, 1e-7};
    network.Layers[2].Neurons[0].BiasWeight = 12345.5;

    std::vector<std::string> lines = {"earlier"};
    zelk::WriteWeightReport(network, lines);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "earlier");
    EXPECT_EQ(lines[2], "L:0  N:1  w0=0.001000 biasw=-0.999000");
    EXPECT_EQ(lines[3], "L:1  N:0  w0=0.512000 w1=-0.083000 biasw=0.274000");
    EXPECT_TRUE(lines[5].starts_with("L:1  N:2  w0=")) << lines[5];
    EXPECT_EQ(lines[6], "L:2  N:0  w0=1.500000 w1=-2.250000 w2=0.000000 biasw=12345.500000");
    EXPECT_EQ(lines[7], kClosing);
}

TEST(WeightReport, EmptyNetworkAndNeuronsWithoutSynapses) {
    zelk::Network network;
    std::vector<std::string> lines;
    zelk::WriteWeightReport(network, lines);
    EXPECT_EQ(lines, std::vector<std::string>{kClosing});

    zelk::BuildNetwork(network, "2-a-1");
    network.Layers[2].Neurons[0].BiasWeight = -0.5;
    zelk::WriteWeightReport(network, lines);
    ASSERT_EQ(lines.size(), 1u + 3u + 1u);
    EXPECT_EQ(lines[3], "L:2  N:0  biasw=-0.500000");
    EXPECT_EQ(lines[4], kClosing);
}
