#include "engine/Training.h"

#include <algorithm>

#include "engine/Evaluation.h"

namespace zelk {

namespace {

constexpr double kLearningRate = 0.1;  // eta
constexpr double kMomentum = 0.5;      // alpha
constexpr double kGain = 1.0;          // G in the derivative of the activation
constexpr double kBiasInput = -1.0;

// The outputs of a layer side by side, the inputs x of the synapses of the layer above.
void GatherOutputs(const Layer& layer, std::vector<double>& outputs) {
    outputs.resize(layer.Neurons.size());
    for (std::size_t i = 0; i < layer.Neurons.size(); ++i) {
        outputs[i] = layer.Neurons[i].Output;
    }
}

// delta = G * o * (1 - o) * e, in exactly this order.
double ErrorTerm(double o, double e) { return kGain * o * (1.0 - o) * e; }

// The errors e[g] of the neurons of a hidden layer from the error terms of the layer above:
// for every neuron k above, in order, e[g] takes delta_k * w_k[g] and then delta_k * b_k. The
// neurons g are independent, so they are walked side by side along w_k.
void HiddenErrors(const Layer& above, std::size_t count, std::vector<double>& errors) {
    errors.assign(count, 0.0);
    double* e = errors.data();
    for (const Neuron& k : above.Neurons) {
        const double delta = k.ErrorTerm;
        const double biasTerm = delta * k.BiasWeight;
        const double* w = k.Weight.data();
        const std::size_t synapses = std::min(count, k.Weight.size());
        for (std::size_t g = 0; g < synapses; ++g) {
            e[g] = e[g] + delta * w[g];
            e[g] = e[g] + biasTerm;
        }
        for (std::size_t g = synapses; g < count; ++g) {
            e[g] = e[g] + biasTerm;
        }
    }
}

// New changes with momentum for every synapse and bias of a layer, then applied at once:
// dw = eta * delta * x + alpha * dwPrev in exactly this order; saved files depend on every rounding.
void UpdateLayer(Layer& layer, const std::vector<double>& x) {
    for (Neuron& neuron : layer.Neurons) {
        const double step = kLearningRate * neuron.ErrorTerm;
        double* w = neuron.Weight.data();
        double* dw = neuron.DeltaWeight.data();
        const std::size_t synapses =
            std::min({neuron.Weight.size(), neuron.DeltaWeight.size(), x.size()});
        for (std::size_t s = 0; s < synapses; ++s) {
            dw[s] = step * x[s] + kMomentum * dw[s];
            w[s] = w[s] + dw[s];
        }
        neuron.DeltaBiasWeight = step * kBiasInput + kMomentum * neuron.DeltaBiasWeight;
        neuron.BiasWeight = neuron.BiasWeight + neuron.DeltaBiasWeight;
    }
}

}  // namespace

void BackPropagationStep(Network& network, const ValueVector& inputs, const ValueVector& desired,
                         bool continueLearning) {
    if (!continueLearning) {
        RandomizeWeights(network);
        network.TrainedSamples = 0.0;
    }
    const auto layers =
        std::min(static_cast<std::size_t>(std::max(network.LayerCount, 0)), network.Layers.size());
    if (layers < 2) {
        return;
    }
    thread_local ValueVector outputs;
    thread_local std::vector<double> errors;
    thread_local std::vector<double> x;
    ForwardPass(network, inputs, outputs);

    Layer& last = network.Layers[layers - 1];
    for (std::size_t g = 0; g < last.Neurons.size(); ++g) {
        Neuron& neuron = last.Neurons[g];
        const double e = desired.Get(static_cast<int32_t>(g)) - neuron.Output;
        neuron.ErrorTerm = ErrorTerm(neuron.Output, e);
    }
    // Going down, layer l's errors read the weights of layer l+1 as they were before this step;
    // only then does layer l+1 take its changes. That is the same as computing every change first
    // and applying them all afterwards.
    for (std::size_t l = layers - 2; l >= 1; --l) {
        Layer& layer = network.Layers[l];
        HiddenErrors(network.Layers[l + 1], layer.Neurons.size(), errors);
        for (std::size_t g = 0; g < layer.Neurons.size(); ++g) {
            Neuron& neuron = layer.Neurons[g];
            neuron.ErrorTerm = ErrorTerm(neuron.Output, errors[g]);
        }
        GatherOutputs(layer, x);
        UpdateLayer(network.Layers[l + 1], x);
    }
    GatherOutputs(network.Layers[0], x);
    UpdateLayer(network.Layers[1], x);
    network.TrainedSamples += 1.0;
}

void TrainSample(Network& network, std::string_view inputLine, std::string_view desiredLine,
                 bool continueLearning) {
    if (network.LayerCount <= 0 || network.Layers.empty()) {
        return;
    }
    const ValueVector inputs = ReadPattern(inputLine, network.Layers.front().NeuronCount);
    const ValueVector desired = ReadPattern(desiredLine, network.Layers.back().NeuronCount);
    BackPropagationStep(network, inputs, desired, continueLearning);
}

}  // namespace zelk
