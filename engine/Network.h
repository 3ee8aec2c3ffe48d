#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Fields.h"

namespace zelk {

// One pattern of numbers: the inputs of the input layer, the outputs of the output layer or the
// desired outputs of a training sample. Count always equals Values.size().
struct ValueVector {
    int32_t Count = 0;
    std::vector<double> Values;

    // Discards the old values; n > 0 gives n zeros, n <= 0 an empty vector.
    void Resize(int32_t n);
    // Stores v at index i; an index outside 0 .. Count-1 is ignored.
    void Set(int32_t i, double v);
    // The value at index i, 0.0 outside 0 .. Count-1.
    double Get(int32_t i) const;
    void Clear();
};

// Synapse k of a neuron is the pair (Weight[k], DeltaWeight[k]); on layer L >= 1 it carries the
// Output of neuron k of layer L-1. The bias input is the constant -1.
struct Neuron {
    int32_t InputCount = 0;
    std::vector<double> Weight;
    double ErrorTerm = 0.0;
    std::vector<double> DeltaWeight;
    double BiasWeight = 0.0;
    double DeltaBiasWeight = 0.0;
    double Potential = 0.0;
    double Output = 0.0;
};

struct Layer {
    int32_t NeuronCount = 0;
    std::vector<Neuron> Neurons;
};

// Layer 0 is the input layer, layer LayerCount-1 the output layer.
struct Network {
    int32_t LayerCount = 0;
    std::vector<Layer> Layers;
    int32_t SynapseCount = 0;  // synapses between layers, bias and input-layer synapses not counted
    double TrainedSamples = 0.0;
    bool Busy = false;  // set while a forward pass runs
};

// The largest network a build makes: no use of this program comes near these, and beyond them a
// build, or a load, would take minutes and gigabytes before the window could show the network.
// Larger shapes are refused at once, as are those whose synapse count does not fit in 32 bits or
// that would take more than half of the machine's memory.
inline constexpr std::size_t kMaxLayers = std::size_t{1} << 16;
inline constexpr int64_t kMaxNeurons = int64_t{1} << 24;

// Discards the network and builds a new one from a shape text such as "2-3-1", with fresh random
// weights. A text without sizes gives an empty network. Throws std::runtime_error, leaving the
// network as it was, for a shape beyond the limits above or when memory runs out; the shape is
// checked before anything is allocated.
void BuildNetwork(Network& network, std::string_view shapeText);

// One layer size of a shape text as BuildNetwork reads it. Offsets are bytes of the text: the
// field stands at Span; its size ends at SizeEnd, and what follows up to ValueEnd (the end of its
// characters, before a closing quote) is ignored.
struct ShapeField {
    FieldSpan Span;
    std::size_t SizeEnd = 0;
    std::size_t ValueEnd = 0;
    int64_t Size = 0;  // beyond 32 bits saturated at 2^31; BuildNetwork refuses it
};

// The layer sizes of a shape text, from input to output, and where their list ends: at the start
// of the first field that is blank after trimming, or at the end of the text. What follows is
// ignored. At most maxLayers + 1 layers are kept: one more than the limit tells that there are too
// many, and ListEnd then says nothing.
struct ShapeReading {
    std::vector<ShapeField> Layers;
    std::size_t ListEnd = 0;
};
ShapeReading ReadShape(std::string_view shapeText,
                       std::size_t maxLayers = std::numeric_limits<std::size_t>::max());

// Releases all layers and zeroes the counters.
void ClearNetwork(Network& network);

// Reseeds the generator and draws every weight of layers 1 .. LayerCount-1 anew, each neuron's
// synapse weights before its bias weight; all deltas become 0. Fewer than 2 layers: nothing.
void RandomizeWeights(Network& network);

// Gives a layer n neurons (none for n <= 0) of m synapses each.
void InitLayer(Layer& layer, int32_t n, int32_t m);

// Resets the neuron, then gives it m random synapse weights (none for m <= 0) with zero deltas.
void InitNeuron(Neuron& neuron, int32_t m);

// Drops the synapses, zeroes potential, output, error term and delta bias weight, and draws a
// random bias weight.
void ResetNeuron(Neuron& neuron);

// A nonzero multiple of 0.001 between -0.999 and 0.999; the sign is drawn first.
double RandomWeight();

// Seeds the generator from the UTC time of day in milliseconds.
void SeedRandom();
// Seeds the generator with a given state, for reproducible runs.
void SeedRandom(uint32_t state);

// Advances the 32-bit generator and returns an integer from 0 to n-1 (0 for n < 1).
int32_t RandomBelow(int32_t n);

// The layer sizes joined by "-", as the network file stores them ("2-3-1").
std::string ShapeText(const Network& network);

}  // namespace zelk
