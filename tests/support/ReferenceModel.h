#pragma once

// The readable form of the forward pass and the training step: one neuron, one synapse and one
// rounding at a time, in the order that every result of the engine depends on. The engine computes
// several neurons at once and walks its arrays in whatever way is fastest; the exactness tests and
// the shapes fuzz target hold it to these loops bit for bit.

#include <cmath>
#include <cstddef>
#include <vector>

#include "engine/Exponential.h"
#include "engine/Network.h"

namespace zelk::reference {

// How many outputs of the passes saturated: 0 by overflow of the exponential (each one reported
// by the engine), and exactly 1 by underflow.
struct Saturation {
    int Overflows = 0;
    int Ones = 0;
};

// The logistic function 1 / (e^(0 - x) + 1), e^t correctly rounded, with its rules at the ends of
// the double range; a potential that is not a number gives 0.
inline double Logistic(double x, Saturation& saturation) {
    const double t = 0.0 - x;
    if (t >= 709.7822265625) {
        ++saturation.Overflows;
        return 0.0;
    }
    if (t <= -708.39599609375) {
        ++saturation.Ones;
        return 1.0;
    }
    const double y = 1.0 / (zelk::Exp(t) + 1.0);
    return std::isnan(y) ? 0.0 : y;
}

// The forward pass, one value per input neuron: input neurons pass their value through; every
// other neuron sums w[k] * x[k] over its synapses in order from 0, then adds its bias weight times
// the bias input -1, and its output is the logistic function of that potential.
inline void Forward(Network& network, const std::vector<double>& inputs, Saturation& saturation) {
    std::vector<Neuron>& input = network.Layers[0].Neurons;
    for (std::size_t i = 0; i < input.size(); ++i) {
        input[i].Potential = inputs[i];
        input[i].Output = inputs[i];
    }
    for (std::size_t l = 1; l < network.Layers.size(); ++l) {
        const std::vector<Neuron>& below = network.Layers[l - 1].Neurons;
        for (Neuron& neuron : network.Layers[l].Neurons) {
            double sum = 0.0;
            for (std::size_t k = 0; k < neuron.Weight.size(); ++k) {
                sum = sum + neuron.Weight[k] * below[k].Output;
            }
            sum = sum + neuron.BiasWeight * -1.0;
            neuron.Potential = sum;
            neuron.Output = Logistic(sum, saturation);
        }
    }
}

// One step of back-propagation with momentum (learning rate 0.1, momentum 0.5, gain 1) on a
// network of at least two layers, one desired value per output neuron:
// 1. the forward pass;
// 2. from the output layer down, each neuron's error term delta = 1 * o * (1 - o) * e, where e is
//    desired - o on the output layer, and below it the sum over the neurons k of the layer above,
//    in order, of delta_k * w_k[g] and then delta_k * b_k, read from the weights before the step;
//    each change dw = 0.1 * delta * x + 0.5 * dwPrev, the bias's with the input x = -1;
// 3. every change added to its weight;
// 4. the sample counted.
inline void Step(Network& network, const std::vector<double>& inputs,
                 const std::vector<double>& desired, Saturation& saturation) {
    Forward(network, inputs, saturation);
    const std::size_t top = network.Layers.size() - 1;
    for (std::size_t l = top; l >= 1; --l) {
        std::vector<Neuron>& layer = network.Layers[l].Neurons;
        const std::vector<Neuron>& below = network.Layers[l - 1].Neurons;
        for (std::size_t g = 0; g < layer.size(); ++g) {
            Neuron& neuron = layer[g];
            const double o = neuron.Output;
            double e = 0.0;
            if (l == top) {
                e = desired[g] - o;
            } else {
                for (const Neuron& k : network.Layers[l + 1].Neurons) {
                    e = e + k.ErrorTerm * k.Weight[g];
                    e = e + k.ErrorTerm * k.BiasWeight;
                }
            }
            neuron.ErrorTerm = 1.0 * o * (1.0 - o) * e;
            for (std::size_t s = 0; s < neuron.DeltaWeight.size(); ++s) {
                neuron.DeltaWeight[s] =
                    0.1 * neuron.ErrorTerm * below[s].Output + 0.5 * neuron.DeltaWeight[s];
            }
            neuron.DeltaBiasWeight = 0.1 * neuron.ErrorTerm * -1.0 + 0.5 * neuron.DeltaBiasWeight;
        }
    }
    for (std::size_t l = 1; l <= top; ++l) {
        for (Neuron& neuron : network.Layers[l].Neurons) {
            for (std::size_t s = 0; s < neuron.Weight.size(); ++s) {
                neuron.Weight[s] = neuron.Weight[s] + neuron.DeltaWeight[s];
            }
            neuron.BiasWeight = neuron.BiasWeight + neuron.DeltaBiasWeight;
        }
    }
    network.TrainedSamples = network.TrainedSamples + 1.0;
}

}  // namespace zelk::reference
