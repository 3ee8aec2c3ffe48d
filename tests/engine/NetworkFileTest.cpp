#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "FileTestSupport.h"
#include "engine/Network.h"
#include "engine/NetworkFile.h"

namespace fs = std::filesystem;
using testing::ThrowsMessage;
using testing::Value;
using zelk::BuildNetwork;
using zelk::LoadNetworkFile;
using zelk::Network;
using zelk::Neuron;
using zelk::SaveNetworkFile;
using zelktest::Entries;
using zelktest::ReadFile;
using zelktest::RunInChild;
using zelktest::TemporaryDirectory;
using zelktest::WriteFile;

namespace {

// Root writes files whatever their permission bits say; other users do not.
bool PermissionBitsApply(const fs::path& directory) {
    const std::string probe = (directory / "probe").string();
    WriteFile(probe, "probe");
    fs::permissions(probe, fs::perms::owner_read, fs::perm_options::replace);
    std::FILE* file = std::fopen(probe.c_str(), "ab");
    if (file != nullptr) {
        std::fclose(file);
    }
    fs::remove(probe);
    return file == nullptr;
}

const std::string kWorkedName = "Zelk - test environment;0-0,0-1,1-0,1-1;0-0,0-1,1-0,1-1;0,0,0,1";

const std::string kWorkedExample =
    "[NEURON NETWORK]\r\n"
    "Name=Zelk - test environment;0-0,0-1,1-0,1-1;0-0,0-1,1-0,1-1;0,0,0,1\r\n"
    "Type=\r\n"
    "Network=2-1\r\n"
    "Neuron0-0=1\r\n"
    "Neuron0-0_Weight=Input\r\n"
    "Neuron0-0_DeltaWeight=Input\r\n"
    "Neuron0-1=1\r\n"
    "Neuron0-1_Weight=Input\r\n"
    "Neuron0-1_DeltaWeight=Input\r\n"
    "NeuronBias0=-1\r\n"
    "Neuron1-0=0.5312093734\r\n"
    "Neuron1-0_Weight=0.5,-0.25,0.125\r\n"
    "Neuron1-0_DeltaWeight=0.001,-0.002,0.0005\r\n";

// The "2-1" network after an evaluation of the inputs 1 and 1.
Network WorkedExampleNetwork() {
    Network network;
    BuildNetwork(network, "2-1");
    for (Neuron& input : network.Layers[0].Neurons) {
        input.Potential = input.Output = 1.0;
    }
    Neuron& output = network.Layers[1].Neurons[0];
    output.Weight = {0.5, -0.25};
    output.BiasWeight = 0.125;
    output.DeltaWeight = {0.001, -0.002};
    output.DeltaBiasWeight = 0.0005;
    output.Potential = 0.5 + -0.25 - 0.125;
    output.Output = 1.0 / (std::exp(-output.Potential) + 1.0);
    return network;
}

// What a build draws: a nonzero multiple of 0.001 no larger than 0.999; never a value that a
// list walk could have read from the test files below.
bool IsBuildWeight(double w) {
    const double thousandths = w * 1000.0;
    return w != 0.0 && std::abs(w) <= 0.999 &&
           std::abs(thousandths - std::round(thousandths)) < 1e-6;
}

void ExpectEqualFieldByField(const Network& actual, const Network& expected) {
    ASSERT_EQ(actual.LayerCount, expected.LayerCount);
    ASSERT_EQ(actual.Layers.size(), expected.Layers.size());
    EXPECT_EQ(actual.SynapseCount, expected.SynapseCount);
    EXPECT_EQ(actual.TrainedSamples, expected.TrainedSamples);
    for (std::size_t i = 0; i < expected.Layers.size(); ++i) {
        ASSERT_EQ(actual.Layers[i].NeuronCount, expected.Layers[i].NeuronCount);
        for (std::size_t j = 0; j < expected.Layers[i].Neurons.size(); ++j) {
            SCOPED_TRACE("neuron " + std::to_string(i) + "-" + std::to_string(j));
            const Neuron& a = actual.Layers[i].Neurons[j];
            const Neuron& e = expected.Layers[i].Neurons[j];
            EXPECT_EQ(a.InputCount, e.InputCount);
            EXPECT_EQ(a.Weight, e.Weight);
            EXPECT_EQ(a.DeltaWeight, e.DeltaWeight);
            EXPECT_EQ(a.BiasWeight, e.BiasWeight);
            EXPECT_EQ(a.DeltaBiasWeight, e.DeltaBiasWeight);
            EXPECT_EQ(a.ErrorTerm, e.ErrorTerm);
            EXPECT_EQ(a.Potential, e.Potential);
            EXPECT_EQ(a.Output, e.Output);
        }
    }
}

struct Loaded {
    Network network;
    std::string name, type, shape;
};

Loaded Load(const std::string& fileName) {
    Loaded loaded;
    LoadNetworkFile(loaded.network, fileName, loaded.name, loaded.type, loaded.shape);
    return loaded;
}

Loaded LoadText(const TemporaryDirectory& directory, const std::string& text) {
    const std::string file = directory.File("load.ini");
    WriteFile(file, text);
    return Load(file);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

TEST(SaveNetworkFile, WorkedExampleByteForByte) {
    TemporaryDirectory directory;
    const std::string file = directory.File("xor.ini");
    SaveNetworkFile(WorkedExampleNetwork(), file, kWorkedName, "");
    EXPECT_EQ(ReadFile(file), kWorkedExample);
    EXPECT_EQ(Entries(directory.Path()), std::set<std::string>{"xor.ini"});
}

TEST(SaveNetworkFile, KeyOrderNumberFormsAndBiasKeys) {
    TemporaryDirectory directory;
    Network network;
    BuildNetwork(network, "1-2-1");
    network.Layers[0].Neurons[0].Output = 0.25;
    network.Layers[0].Neurons[0].Weight = {0.7};  // never written: layer 0 is "Input"
    Neuron& a = network.Layers[1].Neurons[0];
    a.Output = 0.75;
    a.Weight = {0.5};
    a.BiasWeight = -0.125;
    a.DeltaWeight = {0.001};
    a.DeltaBiasWeight = 0.0;
    Neuron& b = network.Layers[1].Neurons[1];
    b.Output = 1.0 / 3.0;
    b.Weight = {-std::numeric_limits<double>::infinity()};
    b.BiasWeight = 1e-5;
    b.DeltaWeight = {0.0};
    b.DeltaBiasWeight = -0.0625;
    Neuron& c = network.Layers[2].Neurons[0];
    c.Output = 0.1 + 0.2;
    c.Weight = {1e10, 123456789012.0};
    c.BiasWeight = 0.0;
    c.DeltaWeight = {-2.5e-7, 0.0001};
    c.DeltaBiasWeight = 0.999999999999;
    const std::string file = directory.File("net.ini");
    SaveNetworkFile(network, file, "n", "t");
    EXPECT_EQ(ReadFile(file),
              "[NEURON NETWORK]\r\n"
              "Name=n\r\n"
              "Type=t\r\n"
              "Network=1-2-1\r\n"
              "Neuron0-0=0.25\r\n"
              "Neuron0-0_Weight=Input\r\n"
              "Neuron0-0_DeltaWeight=Input\r\n"
              "NeuronBias0=-1\r\n"
              "Neuron1-0=0.75\r\n"
              "Neuron1-0_Weight=0.5,-0.125\r\n"
              "Neuron1-0_DeltaWeight=0.001,0\r\n"
              "Neuron1-1=0.3333333333\r\n"
              "Neuron1-1_Weight=-INF,1e-05\r\n"
              "Neuron1-1_DeltaWeight=0,-0.0625\r\n"
              "NeuronBias1=-1\r\n"
              "Neuron2-0=0.3\r\n"
              "Neuron2-0_Weight=1e+10,1.23456789e+11,0\r\n"
              "Neuron2-0_DeltaWeight=-2.5e-07,0.0001,1\r\n");

    const Loaded loaded = Load(file);
    EXPECT_EQ(loaded.network.Layers[1].Neurons[1].Weight[0],
              -std::numeric_limits<double>::infinity());
    EXPECT_EQ(loaded.network.Layers[2].Neurons[0].Weight[1], 123456789000.0);
}

TEST(SaveNetworkFile, OneLayerAndEmptyNetworks) {
    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    Network single;
    BuildNetwork(single, "2");
    single.Layers[0].Neurons[1].Output = -0.5;
    SaveNetworkFile(single, file, "", "");
    EXPECT_EQ(ReadFile(file),
              "[NEURON NETWORK]\r\nName=\r\nType=\r\nNetwork=2\r\n"
              "Neuron0-0=0\r\nNeuron0-0_Weight=Input\r\nNeuron0-0_DeltaWeight=Input\r\n"
              "Neuron0-1=-0.5\r\nNeuron0-1_Weight=Input\r\nNeuron0-1_DeltaWeight=Input\r\n");

    const std::string emptyFile = directory.File("empty.ini");
    SaveNetworkFile(Network(), emptyFile, "", "");
    EXPECT_EQ(ReadFile(emptyFile), "[NEURON NETWORK]\r\nName=\r\nType=\r\nNetwork=\r\n");
    Loaded loaded;
    BuildNetwork(loaded.network, "2-3-1");
    LoadNetworkFile(loaded.network, emptyFile, loaded.name, loaded.type, loaded.shape);
    EXPECT_EQ(loaded.network.LayerCount, 0);
    EXPECT_EQ(loaded.shape, "");
}

TEST(LoadNetworkFile, WorkedExample) {
    TemporaryDirectory directory;
    const Loaded loaded = LoadText(directory, kWorkedExample);
    EXPECT_EQ(loaded.name, kWorkedName);
    EXPECT_EQ(loaded.type, "");
    EXPECT_EQ(loaded.shape, "2-1");
    const Network& network = loaded.network;
    ASSERT_EQ(network.LayerCount, 2);
    ASSERT_EQ(network.Layers[0].NeuronCount, 2);
    ASSERT_EQ(network.Layers[1].NeuronCount, 1);
    EXPECT_EQ(network.SynapseCount, 2);
    EXPECT_EQ(network.TrainedSamples, 0.0);
    for (const Neuron& input : network.Layers[0].Neurons) {
        EXPECT_EQ(input.Output, 1.0);
        EXPECT_EQ(input.Weight, std::vector<double>{1.0});
        EXPECT_EQ(input.DeltaWeight, std::vector<double>{0.0});
        EXPECT_TRUE(IsBuildWeight(input.BiasWeight)) << input.BiasWeight;
        EXPECT_EQ(input.DeltaBiasWeight, 0.0);
    }
    const Neuron& output = network.Layers[1].Neurons[0];
    EXPECT_EQ(output.Output, 0.5312093734);
    EXPECT_EQ(output.Weight, (std::vector<double>{0.5, -0.25}));
    EXPECT_EQ(output.BiasWeight, 0.125);
    EXPECT_EQ(output.DeltaWeight, (std::vector<double>{0.001, -0.002}));
    EXPECT_EQ(output.DeltaBiasWeight, 0.0005);
    EXPECT_EQ(output.Potential, 0.0);
    EXPECT_EQ(output.ErrorTerm, 0.0);
}

TEST(NetworkFile, SaveThenLoadKeepsTenSignificantDigits) {
    // Each value with the double nearest to it rounded to ten significant digits.
    const std::vector<std::pair<double, double>> values = {
        {1.0 / 3.0, 0.3333333333},
        {-2.0 / 3.0, -0.6666666667},
        {123456.78901234, 123456.789},
        {-9.87654321012e-7, -9.87654321e-7},
        {12345678901.5, 12345678900.0},
        {0.1 + 0.2, 0.3},
        {-0.25, -0.25},
        {2.5e-300, 2.5e-300},
        {0.99999999996, 1.0},
        {std::exp(1.0), 2.718281828},
    };
    Network network;
    BuildNetwork(network, "3-4-2");
    std::size_t next = 0;
    const auto take = [&] { return values[next++ % values.size()].first; };
    for (std::size_t i = 0; i < network.Layers.size(); ++i) {
        for (Neuron& neuron : network.Layers[i].Neurons) {
            neuron.Output = take();
            for (double& w : neuron.Weight) {
                w = take();
            }
            neuron.BiasWeight = take();
            for (double& d : neuron.DeltaWeight) {
                d = take();
            }
            neuron.DeltaBiasWeight = take();
        }
    }

    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    SaveNetworkFile(network, file, "", "");
    const Loaded loaded = Load(file);
    ASSERT_EQ(loaded.shape, "3-4-2");

    next = 0;
    const auto expected = [&] { return values[next++ % values.size()].second; };
    for (std::size_t i = 0; i < network.Layers.size(); ++i) {
        for (std::size_t j = 0; j < network.Layers[i].Neurons.size(); ++j) {
            SCOPED_TRACE("neuron " + std::to_string(i) + "-" + std::to_string(j));
            const Neuron& neuron = loaded.network.Layers[i].Neurons[j];
            EXPECT_EQ(neuron.Output, expected());
            if (i == 0) {
                // The input layer's weights are not stored; a load makes them 1 and 0.
                next += 4;
                EXPECT_EQ(neuron.Weight, std::vector<double>{1.0});
                EXPECT_EQ(neuron.DeltaWeight, std::vector<double>{0.0});
                continue;
            }
            for (const double w : neuron.Weight) {
                EXPECT_EQ(w, expected());
            }
            EXPECT_EQ(neuron.BiasWeight, expected());
            for (const double d : neuron.DeltaWeight) {
                EXPECT_EQ(d, expected());
            }
            EXPECT_EQ(neuron.DeltaBiasWeight, expected());
        }
    }
}

TEST(SaveNetworkFile, SmallerNetworkOverLargerOneKeepsStaleKeys) {
    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    Network large;
    BuildNetwork(large, "2-3-1");
    SaveNetworkFile(large, file, "large", "old type");
    const std::string before = ReadFile(file);

    SaveNetworkFile(WorkedExampleNetwork(), file, kWorkedName, "");

    // The keys of the 2-1 network take their new values where they stand; the others stay.
    std::map<std::string, std::string> written;
    for (const std::string& line : Lines(kWorkedExample)) {
        written[line.substr(0, line.find('='))] = line;
    }
    std::string expected;
    for (std::string line : Lines(before)) {
        const auto found = written.find(line.substr(0, line.find('=')));
        expected += (found != written.end() ? found->second : line) + "\n";
    }
    EXPECT_EQ(ReadFile(file), expected);
    EXPECT_NE(expected.find("Neuron2-0_Weight="), std::string::npos);
    EXPECT_NE(expected.find("NeuronBias1=-1"), std::string::npos);

    const Loaded loaded = Load(file);
    EXPECT_EQ(loaded.shape, "2-1");
    Network worked = WorkedExampleNetwork();
    for (std::size_t j = 0; j < 2; ++j) {
        Neuron& input = worked.Layers[0].Neurons[j];
        // What a load makes of an input neuron: weight 1, delta 0, the bias drawn by the build.
        input.Potential = 0.0;
        input.Weight = {1.0};
        input.DeltaWeight = {0.0};
        input.BiasWeight = loaded.network.Layers[0].Neurons[j].BiasWeight;
    }
    worked.Layers[1].Neurons[0].Potential = 0.0;
    worked.Layers[1].Neurons[0].Output = 0.5312093734;
    ExpectEqualFieldByField(loaded.network, worked);
}

TEST(LoadNetworkFile, SectionWithOnlyTheShape) {
    TemporaryDirectory directory;
    const Loaded loaded = LoadText(directory, "[NEURON NETWORK]\r\nNetwork=2-2-1\r\n");
    EXPECT_EQ(loaded.name, "");
    EXPECT_EQ(loaded.type, "");
    EXPECT_EQ(loaded.shape, "2-2-1");
    const Network& network = loaded.network;
    ASSERT_EQ(network.LayerCount, 3);
    EXPECT_EQ(network.SynapseCount, 6);
    for (const Neuron& input : network.Layers[0].Neurons) {
        EXPECT_EQ(input.Output, 0.0);
        EXPECT_EQ(input.Weight, std::vector<double>{1.0});
        EXPECT_EQ(input.DeltaWeight, std::vector<double>{0.0});
        EXPECT_TRUE(IsBuildWeight(input.BiasWeight));
    }
    for (std::size_t i = 1; i < 3; ++i) {
        for (const Neuron& neuron : network.Layers[i].Neurons) {
            EXPECT_EQ(neuron.Output, 0.0);
            EXPECT_EQ(neuron.Weight, std::vector<double>(network.Layers[i - 1].Neurons.size()));
            EXPECT_EQ(neuron.DeltaWeight, neuron.Weight);
            EXPECT_EQ(neuron.BiasWeight, 0.0);
            EXPECT_EQ(neuron.DeltaBiasWeight, 0.0);
        }
    }
}

TEST(LoadNetworkFile, ListWalks) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    struct Case {
        std::string list;
        // weight 0, weight 1 and the bias; nullopt: left as the build made it
        std::optional<double> values[3];
    };
    const Case cases[] = {
        {"0.0625", {0.0625, std::nullopt, std::nullopt}},
        {"0.0625,,x,7", {0.0625, 0.0, 0.0}},
        {"1,2,3,4,5", {1.0, 2.0, 3.0}},
        {"0.0625,0.0125", {0.0625, 0.0125, std::nullopt}},
        {"1,", {1.0, 0.0, 0.0}},
        {"", {0.0, 0.0, 0.0}},
        {",", {0.0, 0.0, 0.0}},
        {" 2.5e1 ,-1", {25.0, -1.0, std::nullopt}},
        {"+INF,-1e999,abc", {inf, -inf, 0.0}},
        {"0,5,7", {0.0, 5.0, 7.0}},
    };
    TemporaryDirectory directory;
    for (const Case& c : cases) {
        SCOPED_TRACE("list \"" + c.list + "\"");
        const Loaded loaded = LoadText(directory,
                                       "[NEURON NETWORK]\r\nNetwork=2-1\r\n"
                                       "Neuron1-0_Weight=" +
                                           c.list + "\r\nNeuron1-0_DeltaWeight=" + c.list + "\r\n");
        const Neuron& neuron = loaded.network.Layers[1].Neurons[0];
        const double weights[3] = {neuron.Weight[0], neuron.Weight[1], neuron.BiasWeight};
        const double deltas[3] = {neuron.DeltaWeight[0], neuron.DeltaWeight[1],
                                  neuron.DeltaBiasWeight};
        for (int k = 0; k < 3; ++k) {
            if (c.values[k]) {
                EXPECT_EQ(weights[k], *c.values[k]) << "weight " << k;
                EXPECT_EQ(deltas[k], *c.values[k]) << "delta " << k;
            } else {
                EXPECT_TRUE(IsBuildWeight(weights[k])) << "weight " << k << ": " << weights[k];
                EXPECT_EQ(deltas[k], 0.0) << "delta " << k;
            }
        }
    }
}

TEST(LoadNetworkFile, InputLayerListsAreNotRead) {
    TemporaryDirectory directory;
    const Loaded loaded = LoadText(directory,
                                   "[NEURON NETWORK]\r\nNetwork=1-1\r\nNeuron0-0=0.5\r\n"
                                   "Neuron0-0_Weight=0.3,0.0625\r\nNeuron0-0_DeltaWeight=7,8\r\n");
    const Neuron& input = loaded.network.Layers[0].Neurons[0];
    EXPECT_EQ(input.Output, 0.5);
    EXPECT_EQ(input.Weight, std::vector<double>{1.0});
    EXPECT_EQ(input.DeltaWeight, std::vector<double>{0.0});
    EXPECT_TRUE(IsBuildWeight(input.BiasWeight)) << input.BiasWeight;
    EXPECT_EQ(input.DeltaBiasWeight, 0.0);
}

TEST(NetworkFile, ShapeComesFromLayerSizesAndNeuronWithoutSynapses) {
    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    Network network;
    BuildNetwork(network, "2-a-1");
    Neuron& output = network.Layers[2].Neurons[0];
    output.BiasWeight = 0.375;
    output.DeltaBiasWeight = -0.5;
    SaveNetworkFile(network, file, "", "");
    EXPECT_EQ(ReadFile(file),
              "[NEURON NETWORK]\r\nName=\r\nType=\r\nNetwork=2-0-1\r\n"
              "Neuron0-0=0\r\nNeuron0-0_Weight=Input\r\nNeuron0-0_DeltaWeight=Input\r\n"
              "Neuron0-1=0\r\nNeuron0-1_Weight=Input\r\nNeuron0-1_DeltaWeight=Input\r\n"
              "NeuronBias0=-1\r\nNeuronBias1=-1\r\n"
              "Neuron2-0=0\r\nNeuron2-0_Weight=0.375\r\nNeuron2-0_DeltaWeight=-0.5\r\n");

    const Loaded loaded = Load(file);
    EXPECT_EQ(loaded.shape, "2-0-1");
    ASSERT_EQ(loaded.network.LayerCount, 3);
    EXPECT_EQ(loaded.network.Layers[1].NeuronCount, 0);
    const Neuron& back = loaded.network.Layers[2].Neurons[0];
    EXPECT_EQ(back.InputCount, 0);
    EXPECT_EQ(back.BiasWeight, 0.375);
    EXPECT_EQ(back.DeltaBiasWeight, -0.5);
}

TEST(SaveNetworkFile, ForeignSectionsCommentsAndBlankLinesSurvive) {
    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    WriteFile(file,
              "; my notes\r\n"
              "[Other]\r\n"
              "key=value\r\n"
              "\r\n"
              "[neuron network]\r\n"
              "name=old\r\n"
              "; keep me\r\n"
              "TYPE=old type\r\n"
              "\r\n"
              "[Last]\n"
              "x=1");
    SaveNetworkFile(WorkedExampleNetwork(), file, kWorkedName, "");
    const std::string rest = kWorkedExample.substr(kWorkedExample.find("Network="));
    EXPECT_EQ(ReadFile(file),
              "; my notes\r\n"
              "[Other]\r\n"
              "key=value\r\n"
              "\r\n"
              "[neuron network]\r\n"
              "name=" +
                  kWorkedName +
                  "\r\n"
                  "; keep me\r\n"
                  "TYPE=\r\n" +
                  rest +
                  "\r\n"
                  "[Last]\r\n"
                  "x=1\r\n");
    EXPECT_EQ(Load(file).name, kWorkedName);
}

TEST(LoadNetworkFile, NamesIgnoreCaseAndLfLineEnds) {
    TemporaryDirectory directory;
    const Loaded loaded = LoadText(directory,
                                   "[ neuron network ]\nNETWORK=1-1\nneuron1-0=0.75\n"
                                   "NEURON1-0_WEIGHT=0.25,0.5\nneuron1-0_deltaweight=0.125,-1\n"
                                   "name=síť\ntype=y");
    EXPECT_EQ(loaded.name, "síť");
    EXPECT_EQ(loaded.type, "y");
    EXPECT_EQ(loaded.shape, "1-1");
    const Neuron& neuron = loaded.network.Layers[1].Neurons[0];
    EXPECT_EQ(neuron.Output, 0.75);
    EXPECT_EQ(neuron.Weight, std::vector<double>{0.25});
    EXPECT_EQ(neuron.BiasWeight, 0.5);
    EXPECT_EQ(neuron.DeltaWeight, std::vector<double>{0.125});
    EXPECT_EQ(neuron.DeltaBiasWeight, -1.0);
}

TEST(LoadNetworkFile, LoneCrLineEndsLoadAsCrLfDoes) {
    std::string oldMac = kWorkedExample;
    for (std::size_t at = oldMac.find("\r\n"); at != std::string::npos;
         at = oldMac.find("\r\n", at + 1)) {
        oldMac.erase(at + 1, 1);
    }
    ASSERT_EQ(oldMac.find('\n'), std::string::npos);
    TemporaryDirectory directory;
    Loaded loaded = LoadText(directory, oldMac);
    const Loaded expected = LoadText(directory, kWorkedExample);
    EXPECT_EQ(loaded.name, kWorkedName);
    EXPECT_EQ(loaded.shape, "2-1");
    // The file holds no bias of the input neurons: the build draws them.
    for (std::size_t j = 0; j < 2; ++j) {
        loaded.network.Layers[0].Neurons[j].BiasWeight =
            expected.network.Layers[0].Neurons[j].BiasWeight;
    }
    ExpectEqualFieldByField(loaded.network, expected.network);
}

TEST(NetworkFile, LongNameAndLongWeightListComeBackWhole) {
    std::string name = "Zelk - test environment;";
    while (name.size() < 3000) {
        name += "0-1,\"síť 1\",";
    }
    Network network;
    BuildNetwork(network, "300-1");
    Neuron& output = network.Layers[1].Neurons[0];
    for (std::size_t k = 0; k < output.Weight.size(); ++k) {
        output.Weight[k] = static_cast<double>(k + 1) / 1024.0;
        output.DeltaWeight[k] = -static_cast<double>(k + 1) / 512.0;
    }
    output.BiasWeight = 0.875;
    output.DeltaBiasWeight = -0.875;

    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    SaveNetworkFile(network, file, name, "");
    const Loaded loaded = Load(file);
    EXPECT_EQ(loaded.name, name);
    const Neuron& back = loaded.network.Layers[1].Neurons[0];
    EXPECT_EQ(back.Weight, output.Weight);
    EXPECT_EQ(back.DeltaWeight, output.DeltaWeight);
    EXPECT_EQ(back.BiasWeight, 0.875);
    EXPECT_EQ(back.DeltaBiasWeight, -0.875);
}

TEST(SaveNetworkFile, ReadOnlyFileIsRefusedAndKept) {
    TemporaryDirectory directory;
    const fs::path folder = directory.Path() / "user";
    fs::create_directory(folder);
    const std::string file = (folder / "net.ini").string();
    const std::string old = "[NEURON NETWORK]\r\nNetwork=1\r\n";
    WriteFile(file, old);
    const Network network = WorkedExampleNetwork();
    const auto attempt = [&] {
        return Value([&] { SaveNetworkFile(network, file, kWorkedName, ""); },
                     ThrowsMessage<std::runtime_error>("Unable to write to " + file))
                   ? 0
                   : 1;
    };

    int code = 0;
    if (PermissionBitsApply(folder)) {
        fs::permissions(file, fs::perms::owner_read | fs::perms::group_read,
                        fs::perm_options::replace);
        code = attempt();
    } else {
        // Root writes read-only files. A child that gives up root meets the permission bits
        // like any user, in a folder it may write, where only the file's own bits refuse.
        ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
        ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
        fs::permissions(file, fs::perms::owner_read | fs::perms::group_read,
                        fs::perm_options::replace);
        code = RunInChild([&] {
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) {
                return 2;
            }
            return attempt();
        });
        if (code == 2) {
            GTEST_SKIP() << "cannot give up root to meet the permission bits";
        }
    }
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(Entries(folder), std::set<std::string>{"net.ini"});
}

TEST(SaveNetworkFile, UnwritablePlacesAreRefusedAndNothingIsCreated) {
    TemporaryDirectory directory;
    const std::string plain = directory.File("plain.txt");
    WriteFile(plain, "a file, not a directory");
    const fs::path folder = directory.Path() / "folder.ini";
    fs::create_directory(folder);
    const Network network = WorkedExampleNetwork();
    for (const std::string& file :
         {directory.File("missing/net.ini"), plain + "/net.ini", folder.string()}) {
        EXPECT_THAT([&] { SaveNetworkFile(network, file, kWorkedName, ""); },
                    ThrowsMessage<std::runtime_error>("Unable to write to " + file));
    }
    EXPECT_EQ(ReadFile(plain), "a file, not a directory");
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_EQ(Entries(directory.Path()), (std::set<std::string>{"folder.ini", "plain.txt"}));
}

TEST(SaveNetworkFile, TextWithLineEndIsRefusedAndFileKept) {
    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    WriteFile(file, kWorkedExample);
    const std::string kept = " obsahuje konec řádku, který soubor INI nemůže uložit; soubor " +
                             file + " zůstal beze změny";
    EXPECT_THAT([&] { SaveNetworkFile(WorkedExampleNetwork(), file, "a\r\nNetwork=9", ""); },
                ThrowsMessage<std::runtime_error>("Text klíče Name" + kept));
    EXPECT_THAT([&] { SaveNetworkFile(WorkedExampleNetwork(), file, "", "b\nc"); },
                ThrowsMessage<std::runtime_error>("Text klíče Type" + kept));
    EXPECT_THAT([&] { SaveNetworkFile(WorkedExampleNetwork(), file, "lone\rCR", ""); },
                ThrowsMessage<std::runtime_error>("Text klíče Name" + kept));
    EXPECT_EQ(ReadFile(file), kWorkedExample);
    EXPECT_EQ(Entries(directory.Path()), std::set<std::string>{"net.ini"});
}

TEST(NetworkFile, FileOverOneGibibyteIsRefusedAndKept) {
    TemporaryDirectory directory;
    const std::string file = directory.File("large.ini");
    WriteFile(file, kWorkedExample);
    // Sparse: the size costs no disk.
    fs::resize_file(file, (std::uintmax_t{1} << 30) + 1);
    Network network = WorkedExampleNetwork();
    std::string name, type, shape;
    EXPECT_THAT([&] { LoadNetworkFile(network, file, name, type, shape); },
                ThrowsMessage<std::runtime_error>(
                    "Soubor " + file + " je větší než 1 GiB; tak velký soubor sítě nelze načíst."));
    EXPECT_THAT([&] { SaveNetworkFile(network, file, kWorkedName, ""); },
                ThrowsMessage<std::runtime_error>("Soubor " + file +
                                                  " je větší než 1 GiB; do tak velkého souboru "
                                                  "nelze síť uložit, soubor zůstal beze změny."));
    EXPECT_EQ(fs::file_size(file), (std::uintmax_t{1} << 30) + 1);
    EXPECT_EQ(Entries(directory.Path()), std::set<std::string>{"large.ini"});
}

TEST(SaveNetworkFile, Utf16FileIsRefusedAndKeptByteForByte) {
    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    for (const std::string& bytes : {std::string("\xFF\xFE[\0N\0]\0\r\0\n\0", 12),
                                     std::string("\xFE\xFF\0[\0N\0]\0\r\0\n", 12)}) {
        WriteFile(file, bytes);
        EXPECT_THAT([&] { SaveNetworkFile(WorkedExampleNetwork(), file, kWorkedName, ""); },
                    ThrowsMessage<std::runtime_error>(
                        "Soubor " + file +
                        " je v kódování UTF-16, do kterého Zelk neumí zapisovat; soubor zůstal "
                        "beze změny."));
        EXPECT_EQ(ReadFile(file), bytes);
    }
    EXPECT_EQ(Entries(directory.Path()), std::set<std::string>{"net.ini"});
}

TEST(LoadNetworkFile, RefusedLoadChangesNothing) {
    TemporaryDirectory directory;
    const std::string plain = directory.File("plain.txt");
    WriteFile(plain, "hello");
    const std::string foreign = directory.File("foreign.ini");
    WriteFile(foreign, "[Other]\r\nNetwork=2-1\r\n");
    const std::string empty = directory.File("empty.ini");
    WriteFile(empty, "");
    const std::string tooLarge = directory.File("large.ini");
    WriteFile(tooLarge, "[NEURON NETWORK]\r\nName=large\r\nNetwork=3000000000-1\r\n");

    const struct {
        std::string file;
        std::string message;
    } cases[] = {
        {directory.File("missing.ini"),
         "Soubor " + directory.File("missing.ini") + " nelze načíst."},
        {directory.Path().string(), "Soubor " + directory.Path().string() + " nelze načíst."},
        {plain + "/net.ini", "Soubor " + plain + "/net.ini nelze načíst."},
        {foreign, "Soubor " + foreign + " neobsahuje neuronovou síť."},
        {empty, "Soubor " + empty + " neobsahuje neuronovou síť."},
        {plain, "Soubor " + plain + " neobsahuje neuronovou síť."},
        {tooLarge, "Síť 3000000000-1 je příliš velká"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Network network = WorkedExampleNetwork();
        network.TrainedSamples = 12.0;
        network.Layers[1].Neurons[0].ErrorTerm = 0.25;
        const Network before = network;
        std::string name = "name", type = "type", shape = "shape";
        EXPECT_THAT([&] { LoadNetworkFile(network, c.file, name, type, shape); },
                    ThrowsMessage<std::runtime_error>(c.message));
        ExpectEqualFieldByField(network, before);
        EXPECT_EQ(name, "name");
        EXPECT_EQ(type, "type");
        EXPECT_EQ(shape, "shape");
    }
}
