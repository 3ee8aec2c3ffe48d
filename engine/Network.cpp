#include "engine/Network.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <new>
#include <span>

#if __has_include(<unistd.h>)
#include <unistd.h>
#endif

#include "engine/Fields.h"

namespace zelk {

void ValueVector::Resize(int32_t n) {
    Values.assign(n > 0 ? static_cast<std::size_t>(n) : 0, 0.0);
    Count = static_cast<int32_t>(Values.size());
}

void ValueVector::Set(int32_t i, double v) {
    if (i >= 0 && i < Count) {
        Values[static_cast<std::size_t>(i)] = v;
    }
}

double ValueVector::Get(int32_t i) const {
    return i >= 0 && i < Count ? Values[static_cast<std::size_t>(i)] : 0.0;
}

void ValueVector::Clear() {
    Values.clear();
    Count = 0;
}

namespace {

uint32_t randomState = 0;

// The size of one layer: leading white space, an optional sign, then decimal digits up to the
// first other character; no digits give 0. Sizes beyond 32 bits are refused by the caller. `end`
// tells how far it read: after the last digit, or 0 when there is none.
int64_t ReadLayerSize(std::string_view field, std::size_t& end) {
    std::size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || (field[i] >= '\t' && field[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    constexpr int64_t tooLarge = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t size = 0;
    const std::size_t digits = i;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        size = size * 10 + (field[i] - '0');
        if (size > tooLarge) {
            size = tooLarge;  // saturate: any such size is refused anyway
        }
    }
    end = i > digits ? i : 0;
    return negative ? -size : size;
}

// Half of the machine's memory: a network larger than that is refused before it is built, since
// the system would rather end the process than report that the memory cannot be had.
uint64_t MemoryBudget() {
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGE_SIZE)
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages > 0 && pageSize > 0) {
        return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) / 2;
    }
#endif
    return uint64_t{1} << 34;
}

[[noreturn]] void RefuseShape(std::string_view shapeText) {
    throw std::runtime_error("Síť " + TrimBlanks(shapeText) + " je příliš velká");
}

// What the allocator adds to every array: its header and the rounding up of the size.
constexpr uint64_t kAllocationOverhead = 32;

// The memory a network of these counts takes. Every synapse holds a weight and a delta, and input
// neurons have one synapse each; every neuron has two arrays, every layer one.
uint64_t NetworkBytes(uint64_t layers, uint64_t neurons, uint64_t storedSynapses) {
    return storedSynapses * 2 * sizeof(double) +
           neurons * (sizeof(Neuron) + 2 * kAllocationOverhead) +
           layers * (sizeof(Layer) + kAllocationOverhead);
}

// The memory the network holds now.
uint64_t NetworkBytes(const Network& network) {
    uint64_t neurons = 0;
    uint64_t synapses = 0;
    for (const Layer& layer : network.Layers) {
        neurons += layer.Neurons.capacity();
        for (const Neuron& neuron : layer.Neurons) {
            synapses += std::max(neuron.Weight.capacity(), neuron.DeltaWeight.capacity());
        }
    }
    return NetworkBytes(network.Layers.capacity(), neurons, synapses);
}

// Builds the network of the given layer sizes into `network`, replacing it only once it is
// complete. False when memory runs out, with the old network as it was and every byte of the
// half-built one released again: the refusal then has memory to tell the user.
bool BuildInPlaceOf(Network& network, const std::vector<int64_t>& sizes, int32_t synapses) {
    try {
        Network built;
        SeedRandom();
        built.Layers.resize(sizes.size());
        built.LayerCount = static_cast<int32_t>(sizes.size());
        int32_t inputs = 1;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            const auto size = static_cast<int32_t>(sizes[i] > 0 ? sizes[i] : 0);
            InitLayer(built.Layers[i], size, inputs);
            inputs = size;
        }
        built.SynapseCount = synapses;
        network = std::move(built);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

void SeedRandom(uint32_t state) { randomState = state; }

void SeedRandom() {
    using namespace std::chrono;
    const auto now = system_clock::now().time_since_epoch();
    const auto msOfDay = duration_cast<milliseconds>(now).count() % (24LL * 60 * 60 * 1000);
    // ((hour * 60 + minute) * 60 + second) * 1000 + millisecond of the UTC time of day.
    SeedRandom(static_cast<uint32_t>(msOfDay));
}

int32_t RandomBelow(int32_t n) {
    randomState = randomState * 134775813u + 1u;
    if (n < 1) {
        return 0;
    }
    return static_cast<int32_t>((uint64_t{randomState} * static_cast<uint32_t>(n)) >> 32);
}

double RandomWeight() {
    const bool negative = RandomBelow(2) == 1;
    const int32_t magnitude = 1 + RandomBelow(999);
    return (negative ? -magnitude : magnitude) * 0.001;
}

void ResetNeuron(Neuron& neuron) {
    neuron.InputCount = 0;
    neuron.Weight.clear();
    neuron.Weight.shrink_to_fit();
    neuron.Potential = 0.0;
    neuron.Output = 0.0;
    neuron.ErrorTerm = 0.0;
    neuron.DeltaWeight.clear();
    neuron.DeltaWeight.shrink_to_fit();
    neuron.BiasWeight = RandomWeight();
    neuron.DeltaBiasWeight = 0.0;
}

void InitNeuron(Neuron& neuron, int32_t m) {
    ResetNeuron(neuron);
    if (m <= 0) {
        return;
    }
    neuron.Weight.resize(static_cast<std::size_t>(m));
    neuron.DeltaWeight.assign(static_cast<std::size_t>(m), 0.0);
    neuron.InputCount = m;
    // Synapse weights are drawn in synapse order, after the bias weight drawn by the reset.
    for (double& weight : neuron.Weight) {
        weight = RandomWeight();
    }
}

void InitLayer(Layer& layer, int32_t n, int32_t m) {
    layer.Neurons.clear();
    layer.Neurons.shrink_to_fit();
    layer.NeuronCount = 0;
    if (n <= 0) {
        return;
    }
    // A new neuron starts in the reset state, which draws its first bias weight; InitNeuron then
    // resets it again. Both draws belong to the generator's sequence of a build.
    layer.Neurons.resize(static_cast<std::size_t>(n));
    for (Neuron& neuron : layer.Neurons) {
        ResetNeuron(neuron);
    }
    layer.NeuronCount = n;
    for (Neuron& neuron : layer.Neurons) {
        InitNeuron(neuron, m);
    }
}

void ClearNetwork(Network& network) {
    network.LayerCount = 0;
    network.Layers.clear();
    network.Layers.shrink_to_fit();
    network.SynapseCount = 0;
    network.TrainedSamples = 0.0;
    network.Busy = false;
}

ShapeReading ReadShape(std::string_view shapeText, std::size_t maxLayers) {
    // The layer list ends at the first field that is blank after trimming.
    ShapeReading reading;
    reading.ListEnd = shapeText.size();
    bool ended = false;
    ForEachFieldSpan(shapeText, '-', '"', [&](FieldSpan span) {
        if (ended || reading.Layers.size() > maxLayers) {
            return;
        }
        const std::string_view text = shapeText.substr(span.Begin, span.End - span.Begin);
        const std::string value = UnquoteField(text, '"');
        if (TrimmedView(value).empty()) {
            ended = true;
            reading.ListEnd = span.Begin;
            return;
        }
        ShapeField field;
        field.Span = span;
        std::size_t end = 0;
        field.Size = ReadLayerSize(value, end);
        field.SizeEnd = span.Begin + FieldOffset(text, end, '"');
        field.ValueEnd = span.Begin + FieldOffset(text, value.size(), '"');
        reading.Layers.push_back(field);
    });
    return reading;
}

void BuildNetwork(Network& network, std::string_view shapeText) {
    // Reading stops past the layer limit: a shape of millions of layers is refused before its
    // sizes are even kept.
    const ShapeReading shape = ReadShape(shapeText, kMaxLayers);
    if (shape.Layers.size() > kMaxLayers) {
        RefuseShape(shapeText);
    }
    std::vector<int64_t> sizes;
    sizes.reserve(shape.Layers.size());
    for (const ShapeField& field : shape.Layers) {
        sizes.push_back(field.Size);
    }

    // A layer of zero, negative or unreadable size has no neurons and adds no synapses.
    constexpr int64_t maxCount = std::numeric_limits<int32_t>::max();
    int64_t synapses = 0;
    int64_t neurons = 0;
    int64_t previous = 1;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const int64_t size = sizes[i] > 0 ? sizes[i] : 0;
        if (size > maxCount) {
            RefuseShape(shapeText);
        }
        if (i > 0) {
            synapses += size * previous;
            if (synapses > maxCount) {
                RefuseShape(shapeText);
            }
        }
        neurons += size;
        if (neurons > kMaxNeurons) {
            RefuseShape(shapeText);
        }
        previous = size;
    }
    // The new network is built beside the old one, which it replaces only when complete.
    const uint64_t inputSynapses =
        sizes.empty() || sizes[0] <= 0 ? 0 : static_cast<uint64_t>(sizes[0]);
    const uint64_t bytes = NetworkBytes(sizes.size(), static_cast<uint64_t>(neurons),
                                        static_cast<uint64_t>(synapses) + inputSynapses) +
                           NetworkBytes(network);
    if (bytes > MemoryBudget() || !BuildInPlaceOf(network, sizes, static_cast<int32_t>(synapses))) {
        RefuseShape(shapeText);
    }
}

void RandomizeWeights(Network& network) {
    if (network.LayerCount < 2) {
        return;
    }
    SeedRandom();
    for (int32_t l = 1; l < network.LayerCount; ++l) {
        for (Neuron& neuron : network.Layers[static_cast<std::size_t>(l)].Neurons) {
            // Here the bias weight is drawn after the synapse weights.
            for (int32_t k = 0; k < neuron.InputCount; ++k) {
                neuron.Weight[static_cast<std::size_t>(k)] = RandomWeight();
                neuron.DeltaWeight[static_cast<std::size_t>(k)] = 0.0;
            }
            neuron.BiasWeight = RandomWeight();
            neuron.DeltaBiasWeight = 0.0;
        }
    }
}

std::string ShapeText(const Network& network) {
    const std::size_t layers = static_cast<std::size_t>(std::max(network.LayerCount, 0));
    return Join(
        std::span(network.Layers).first(layers), '-',
        [](std::string& text, const Layer& layer) { text += std::to_string(layer.NeuronCount); });
}

}  // namespace zelk
