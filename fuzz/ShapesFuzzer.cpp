// Shapes and patterns: any shape text builds the network it describes or is refused leaving the
// old one untouched; any pattern lines then evaluate and train it exactly as the reference model
// (tests/support/ReferenceModel.h) does, bit for bit.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "tests/support/ReferenceModel.h"

namespace {

using zelk::fuzz::Escaped;
using zelk::fuzz::IsDrawnWeight;
using zelk::fuzz::SameDouble;

int overflowReports = 0;

std::string Where(std::size_t layer, std::size_t neuron) {
    return " at neuron " + std::to_string(layer) + "-" + std::to_string(neuron);
}

bool SameNeuron(const zelk::Neuron& a, const zelk::Neuron& b) {
    auto same = [](const std::vector<double>& x, const std::vector<double>& y) {
        if (x.size() != y.size()) {
            return false;
        }
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (!SameDouble(x[i], y[i])) {
                return false;
            }
        }
        return true;
    };
    return a.InputCount == b.InputCount && same(a.Weight, b.Weight) &&
           same(a.DeltaWeight, b.DeltaWeight) && SameDouble(a.ErrorTerm, b.ErrorTerm) &&
           SameDouble(a.BiasWeight, b.BiasWeight) &&
           SameDouble(a.DeltaBiasWeight, b.DeltaBiasWeight) &&
           SameDouble(a.Potential, b.Potential) && SameDouble(a.Output, b.Output);
}

// The whole network, bit for bit; names the first neuron that differs.
void CheckSameNetwork(const zelk::Network& actual, const zelk::Network& expected,
                      const std::string& what) {
    ZELK_FUZZ_CHECK(actual.LayerCount == expected.LayerCount &&
                        actual.Layers.size() == expected.Layers.size() &&
                        actual.SynapseCount == expected.SynapseCount &&
                        SameDouble(actual.TrainedSamples, expected.TrainedSamples) &&
                        actual.Busy == expected.Busy,
                    what + ": network counters differ");
    for (std::size_t l = 0; l < expected.Layers.size(); ++l) {
        const zelk::Layer& a = actual.Layers[l];
        const zelk::Layer& e = expected.Layers[l];
        ZELK_FUZZ_CHECK(a.NeuronCount == e.NeuronCount && a.Neurons.size() == e.Neurons.size(),
                        what + ": layer " + std::to_string(l) + " differs");
        for (std::size_t n = 0; n < e.Neurons.size(); ++n) {
            ZELK_FUZZ_CHECK(SameNeuron(a.Neurons[n], e.Neurons[n]), what + Where(l, n));
        }
    }
}

void CheckBuilt(const zelk::Network& network, const zelk::fuzz::ShapePlan& plan,
                const std::string& what) {
    ZELK_FUZZ_CHECK(network.LayerCount == static_cast<int32_t>(plan.counts.size()) &&
                        network.Layers.size() == plan.counts.size(),
                    what + ": " + std::to_string(network.LayerCount) + " layers");
    ZELK_FUZZ_CHECK(network.SynapseCount == plan.synapseCount,
                    what + ": SynapseCount " + std::to_string(network.SynapseCount));
    ZELK_FUZZ_CHECK(network.TrainedSamples == 0.0 && !network.Busy, what);
    std::string shape;
    int32_t previous = 1;
    for (std::size_t l = 0; l < plan.counts.size(); ++l) {
        const zelk::Layer& layer = network.Layers[l];
        ZELK_FUZZ_CHECK(layer.NeuronCount == plan.counts[l] &&
                            layer.Neurons.size() == static_cast<std::size_t>(plan.counts[l]),
                        what + ": layer " + std::to_string(l) + " has " +
                            std::to_string(layer.NeuronCount) + " neurons");
        for (std::size_t n = 0; n < layer.Neurons.size(); ++n) {
            const zelk::Neuron& neuron = layer.Neurons[n];
            ZELK_FUZZ_CHECK(neuron.InputCount == previous &&
                                neuron.Weight.size() == static_cast<std::size_t>(previous) &&
                                neuron.DeltaWeight.size() == static_cast<std::size_t>(previous),
                            what + Where(l, n));
            for (std::size_t s = 0; s < neuron.Weight.size(); ++s) {
                ZELK_FUZZ_CHECK(IsDrawnWeight(neuron.Weight[s]) && neuron.DeltaWeight[s] == 0.0,
                                what + Where(l, n));
            }
            ZELK_FUZZ_CHECK(IsDrawnWeight(neuron.BiasWeight) && neuron.DeltaBiasWeight == 0.0 &&
                                neuron.ErrorTerm == 0.0 && neuron.Potential == 0.0 &&
                                neuron.Output == 0.0,
                            what + Where(l, n));
        }
        shape += (l > 0 ? "-" : "") + std::to_string(plan.counts[l]);
        previous = plan.counts[l];
    }
    ZELK_FUZZ_CHECK(zelk::ShapeText(network) == shape,
                    what + ": ShapeText " + zelk::ShapeText(network));
}

// The values of a pattern line, read field by field.
std::vector<double> Pattern(std::string_view line, std::size_t n) {
    std::vector<double> values(n);
    for (std::size_t i = 0; i < n; ++i) {
        values[i] = zelk::ReadNumber(zelk::GetField(line, '-', static_cast<int>(i), '"'));
    }
    return values;
}

// The reference model's forward pass on a copy; gives how many neurons overflow the exponential.
int Forward(zelk::Network& network, const std::vector<double>& inputs) {
    zelk::reference::Saturation saturation;
    zelk::reference::Forward(network, inputs, saturation);
    return saturation.Overflows;
}

void CheckEvaluate(zelk::Network& network, const std::string& line) {
    const std::string what =
        "shape " + zelk::ShapeText(network) + " input \"" + Escaped(line) + "\"";
    zelk::Network expected = network;
    int overflows = 0;
    if (!expected.Layers.empty()) {
        overflows = Forward(expected, Pattern(line, expected.Layers[0].Neurons.size()));
    }
    overflowReports = 0;
    const std::string output = zelk::EvaluatePattern(network, line);
    ZELK_FUZZ_CHECK(overflowReports == overflows, what + ": " + std::to_string(overflowReports) +
                                                      " overflow reports, expected " +
                                                      std::to_string(overflows));
    CheckSameNetwork(network, expected, what);
    if (network.Layers.empty()) {
        ZELK_FUZZ_CHECK(output.empty(), what + " gave \"" + Escaped(output) + "\"");
        return;
    }
    const zelk::Layer& last = network.Layers.back();
    ZELK_FUZZ_CHECK(last.Neurons.empty() == output.empty(),
                    what + " gave \"" + Escaped(output) + "\"");
    // One scan for all fields: a field lookup per value would make wide layers quadratic.
    std::vector<std::string> fields;
    zelk::ForEachField(output, '-', '"',
                       [&](const std::string& field) { fields.push_back(field); });
    ZELK_FUZZ_CHECK(fields.size() == std::max<std::size_t>(last.Neurons.size(), 1),
                    what + " gave \"" + Escaped(output) + "\"");
    for (std::size_t r = 0; r < last.Neurons.size(); ++r) {
        ZELK_FUZZ_CHECK(fields[r] == zelk::FormatNumber(last.Neurons[r].Output),
                        what + " gave \"" + Escaped(output) + "\", field " + std::to_string(r));
    }
}

void CheckTrain(zelk::Network& network, const std::string& inputLine,
                const std::string& desiredLine, bool continueLearning) {
    const std::string what = "shape " + zelk::ShapeText(network) + " sample \"" +
                             Escaped(inputLine) + "\" / \"" + Escaped(desiredLine) + "\"" +
                             (continueLearning ? "" : " anew");
    zelk::Network expected = network;
    if (continueLearning && expected.Layers.size() >= 2) {
        zelk::reference::Saturation saturation;
        zelk::reference::Step(expected, Pattern(inputLine, expected.Layers.front().Neurons.size()),
                              Pattern(desiredLine, expected.Layers.back().Neurons.size()),
                              saturation);
    }
    zelk::TrainSample(network, inputLine, desiredLine, continueLearning);
    if (continueLearning || network.Layers.empty()) {
        CheckSameNetwork(network, expected, what);
        return;
    }
    if (network.Layers.size() < 2) {
        // Too few layers to train: starting anew only sets the count back to 0.
        expected.TrainedSamples = 0.0;
        CheckSameNetwork(network, expected, what);
        return;
    }
    // Starting anew draws every weight above the input layer again, from the clock, so only the
    // shape, the count and the untouched input layer can be checked.
    ZELK_FUZZ_CHECK(network.TrainedSamples == 1.0 && !network.Busy &&
                        network.LayerCount == expected.LayerCount &&
                        network.SynapseCount == expected.SynapseCount,
                    what);
    for (std::size_t l = 0; l < network.Layers.size(); ++l) {
        ZELK_FUZZ_CHECK(network.Layers[l].Neurons.size() == expected.Layers[l].Neurons.size(),
                        what);
        for (std::size_t n = 0; n < network.Layers[l].Neurons.size(); ++n) {
            const zelk::Neuron& a = network.Layers[l].Neurons[n];
            const zelk::Neuron& e = expected.Layers[l].Neurons[n];
            ZELK_FUZZ_CHECK(a.InputCount == e.InputCount && a.Weight.size() == e.Weight.size() &&
                                a.DeltaWeight.size() == e.DeltaWeight.size(),
                            what + Where(l, n));
            if (l == 0) {
                zelk::Neuron input = a;
                input.Potential = e.Potential;
                input.Output = e.Output;
                ZELK_FUZZ_CHECK(SameNeuron(input, e),
                                what + ": input neuron changed" + Where(l, n));
            }
        }
    }
}

void CheckWeightReport(const zelk::Network& network) {
    std::vector<std::string> lines{"kept"};
    zelk::WriteWeightReport(network, lines);
    std::size_t i = 1;
    for (std::size_t l = 0; l < network.Layers.size(); ++l) {
        for (std::size_t n = 0; n < network.Layers[l].Neurons.size(); ++n, ++i) {
            const zelk::Neuron& neuron = network.Layers[l].Neurons[n];
            std::string line = "L:" + std::to_string(l) + "  N:" + std::to_string(n) + " ";
            for (std::size_t s = 0; s < neuron.Weight.size(); ++s) {
                line += " w" + std::to_string(s) + "=" + zelk::FormatFixed(neuron.Weight[s]);
            }
            line += " biasw=" + zelk::FormatFixed(neuron.BiasWeight);
            ZELK_FUZZ_CHECK(i < lines.size() && lines[i] == line,
                            "weight report line " + std::to_string(i) + " of shape " +
                                zelk::ShapeText(network));
        }
    }
    ZELK_FUZZ_CHECK(lines.size() == i + 1 && lines[0] == "kept" && lines[i] == std::string(36, '-'),
                    "weight report end of shape " + zelk::ShapeText(network));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zelk::SetOverflowReporter([](const std::string& message) {
        ZELK_FUZZ_CHECK(message == "exp: OVERFLOW error", message);
        ++overflowReports;
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const std::string shape = provider.ConsumeRandomLengthString(96);
    const zelk::fuzz::ShapePlan plan = zelk::fuzz::PlanShape(shape);
    if (plan.cost > zelk::fuzz::kMaxShapeCost) {
        return 0;  // a valid network too large to fuzz quickly
    }

    // A network that a refused build must leave exactly as it was.
    zelk::Network network;
    zelk::BuildNetwork(network, "2-1");
    network.Layers[1].Neurons[0].Output = 0.25;
    const zelk::Network before = network;
    const std::string what = "BuildNetwork(\"" + Escaped(shape) + "\")";
    try {
        zelk::BuildNetwork(network, shape);
    } catch (const std::runtime_error& error) {
        ZELK_FUZZ_CHECK(plan.mustRefuse || plan.mayRefuse, what + " threw " + error.what());
        CheckSameNetwork(network, before, what + " refused");
        return 0;
    }
    ZELK_FUZZ_CHECK(!plan.mustRefuse, what + " built a network too large for 32-bit counts");
    CheckBuilt(network, plan, what);
    CheckWeightReport(network);

    while (provider.remaining_bytes() > 0) {
        switch (provider.ConsumeIntegralInRange(0, 3)) {
            case 0:
                CheckEvaluate(network, provider.ConsumeRandomLengthString(64));
                break;
            case 1: {
                const std::string inputLine = provider.ConsumeRandomLengthString(64);
                const std::string desiredLine = provider.ConsumeRandomLengthString(64);
                CheckTrain(network, inputLine, desiredLine, true);
                break;
            }
            case 2: {
                const std::string inputLine = provider.ConsumeRandomLengthString(64);
                const std::string desiredLine = provider.ConsumeRandomLengthString(64);
                CheckTrain(network, inputLine, desiredLine, false);
                break;
            }
            default:
                CheckWeightReport(network);
                break;
        }
    }
    return 0;
}
