#include "engine/WeightReport.h"

#include "engine/Numbers.h"

namespace zelk {

void WriteWeightReport(const Network& network, std::vector<std::string>& lines) {
    for (std::size_t l = 0; l < network.Layers.size(); ++l) {
        const Layer& layer = network.Layers[l];
        for (std::size_t n = 0; n < layer.Neurons.size(); ++n) {
            const Neuron& neuron = layer.Neurons[n];
            // "L:1" + " " + " N:0" + " " gives the two blanks before "N:" and before the weights.
            std::string line = "L:" + std::to_string(l) + "  N:" + std::to_string(n) + " ";
            for (std::size_t s = 0; s < neuron.Weight.size(); ++s) {
                line += " w" + std::to_string(s) + "=" + FormatFixed(neuron.Weight[s]);
            }
            line += " biasw=" + FormatFixed(neuron.BiasWeight);
            lines.push_back(std::move(line));
        }
    }
    lines.emplace_back(36, '-');
}

}  // namespace zelk
