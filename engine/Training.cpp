#include "engine/Training.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/Avx2.h"
#include "engine/Evaluation.h"
#include "engine/Numbers.h"

// The readable form of this algorithm is the reference model in tests/support/ReferenceModel.h:
// one neuron, one synapse and one rounding at a time. The loops below fuse, block and vectorise
// its sweeps for speed, and the exactness tests hold them to it bit for bit.

namespace zelk {

namespace {

constexpr double kLearningRate = 0.1;  // eta
constexpr double kMomentum = 0.5;      // alpha
constexpr double kGain = 1.0;          // G in the derivative of the activation
constexpr double kBiasInput = -1.0;

// The outputs of a layer side by side, the inputs x of the synapses of the layer above.
void GatherOutputs(const Layer& layer, std::vector<double>& outputs) {
    outputs.resize(layer.Neurons.size());
    double* x = outputs.data();
    for (const Neuron& neuron : layer.Neurons) {
        *x++ = neuron.Output;
    }
}

// delta = G * o * (1 - o) * e, in exactly this order.
double ErrorTerm(double o, double e) { return kGain * o * (1.0 - o) * e; }

// What one neuron k of the layer above brings to a step: its error term and the two products
// built from it, its arrays, and how far along them each sweep goes.
struct Terms {
    double delta;
    double biasTerm;  // delta_k * b_k, added to the errors below
    double step;      // eta * delta_k
    double* w;
    double* dw;
    std::size_t withWeight;  // synapses that meet an output below: the errors read them
    std::size_t updated;     // those of them that also have a delta weight: they change

    Terms(Neuron& k, std::size_t below)
        : delta(k.ErrorTerm),
          biasTerm(k.ErrorTerm * k.BiasWeight),
          step(kLearningRate * k.ErrorTerm),
          w(k.Weight.data()),
          dw(k.DeltaWeight.data()),
          withWeight(std::min(below, k.Weight.size())),
          updated(std::min(withWeight, k.DeltaWeight.size())) {}
};

// The bias takes its change like a synapse whose input is the constant -1.
[[gnu::always_inline]] inline void UpdateBias(Neuron& neuron, double step) {
    neuron.DeltaBiasWeight = step * kBiasInput + kMomentum * neuron.DeltaBiasWeight;
    neuron.BiasWeight = neuron.BiasWeight + neuron.DeltaBiasWeight;
}

// Layer l+1 meets layer l twice in a step: the errors e[g] of layer l read its weights as they
// were, and then it takes its own changes, which need the outputs x[g] of layer l. One walk along
// each neuron k's weights does both: e[g] takes delta_k * w_k[g] and then delta_k * b_k (for
// every k in order, so each e[g] is summed exactly as one k after the other), and only then does
// w_k[g] change: dw = eta * delta * x + alpha * dwPrev in exactly this order; saved files depend
// on every rounding. This finishes neuron k from synapse g on, one synapse at a time; at most
// `left` synapses are still to change (a bound that keeps the compiler from widening the loop).
template <std::size_t left = SIZE_MAX, class Inputs>
[[gnu::always_inline]] inline void ErrorsAndUpdateFrom(const Terms& t, Neuron& k, const Inputs& x,
                                                       double* e, std::size_t count,
                                                       std::size_t g) {
    for (std::size_t i = 0; i < left && g < t.updated; ++i, ++g) {
        e[g] = e[g] + t.delta * t.w[g];
        e[g] = e[g] + t.biasTerm;
        t.dw[g] = t.step * x[g] + kMomentum * t.dw[g];
        t.w[g] = t.w[g] + t.dw[g];
    }
    for (; g < t.withWeight; ++g) {
        e[g] = e[g] + t.delta * t.w[g];
        e[g] = e[g] + t.biasTerm;
    }
    for (; g < count; ++g) {
        e[g] = e[g] + t.biasTerm;
    }
    UpdateBias(k, t.step);
}

// The changes of a neuron of the first hidden layer, whose errors nobody reads, from synapse s on.
template <std::size_t left = SIZE_MAX, class Inputs>
[[gnu::always_inline]] inline void UpdateFrom(const Terms& t, Neuron& k, const Inputs& x,
                                              std::size_t s) {
    for (std::size_t i = 0; i < left && s < t.updated; ++i, ++s) {
        t.dw[s] = t.step * x[s] + kMomentum * t.dw[s];
        t.w[s] = t.w[s] + t.dw[s];
    }
    UpdateBias(k, t.step);
}

void ErrorsAndUpdatePlain(Layer& above, const double* x, double* e, std::size_t count) {
    for (Neuron& k : above.Neurons) {
        ErrorsAndUpdateFrom(Terms(k, count), k, x, e, count, 0);
    }
}

void UpdateLayerPlain(Layer& layer, const double* x, std::size_t count) {
    for (Neuron& k : layer.Neurons) {
        UpdateFrom(Terms(k, count), k, x, 0);
    }
}

#ifdef ZELK_AVX2

// The same loops four synapses at a time in AVX2 registers, chosen at run time. Each lane does
// the scalar loop's multiplications and additions in the same order; AVX2 without FMA has no
// fused form, so every value keeps its bits.
[[gnu::target("avx2")]] void ErrorsAndUpdateAvx2(Layer& above, const double* x, double* e,
                                                 std::size_t count) {
    const __m256d momentum = _mm256_set1_pd(kMomentum);
    for (Neuron& k : above.Neurons) {
        const Terms t(k, count);
        const __m256d delta = _mm256_set1_pd(t.delta);
        const __m256d biasTerm = _mm256_set1_pd(t.biasTerm);
        const __m256d step = _mm256_set1_pd(t.step);
        std::size_t g = 0;
        for (; g + 4 <= t.updated; g += 4) {
            const __m256d w = _mm256_loadu_pd(t.w + g);
            __m256d errors = _mm256_add_pd(_mm256_loadu_pd(e + g), _mm256_mul_pd(delta, w));
            errors = _mm256_add_pd(errors, biasTerm);
            _mm256_storeu_pd(e + g, errors);
            const __m256d change =
                _mm256_add_pd(_mm256_mul_pd(step, _mm256_loadu_pd(x + g)),
                              _mm256_mul_pd(momentum, _mm256_loadu_pd(t.dw + g)));
            _mm256_storeu_pd(t.dw + g, change);
            _mm256_storeu_pd(t.w + g, _mm256_add_pd(w, change));
        }
        ErrorsAndUpdateFrom<3>(t, k, x, e, count, g);
    }
}

[[gnu::target("avx2")]] void UpdateLayerAvx2(Layer& layer, const double* x, std::size_t count) {
    const __m256d momentum = _mm256_set1_pd(kMomentum);
    for (Neuron& k : layer.Neurons) {
        const Terms t(k, count);
        const __m256d step = _mm256_set1_pd(t.step);
        std::size_t s = 0;
        for (; s + 4 <= t.updated; s += 4) {
            const __m256d change =
                _mm256_add_pd(_mm256_mul_pd(step, _mm256_loadu_pd(x + s)),
                              _mm256_mul_pd(momentum, _mm256_loadu_pd(t.dw + s)));
            _mm256_storeu_pd(t.dw + s, change);
            _mm256_storeu_pd(t.w + s, _mm256_add_pd(_mm256_loadu_pd(t.w + s), change));
        }
        UpdateFrom<3>(t, k, x, s);
    }
}
#endif

// The errors of layer l, from 0, while layer l+1 takes its changes; x are the outputs of layer l.
void ErrorsAndUpdate(Layer& above, const std::vector<double>& x, std::vector<double>& errors) {
    errors.resize(x.size());
    std::fill(errors.begin(), errors.end(), 0.0);
#ifdef ZELK_AVX2
    if (detail::UseAvx2()) {
        ErrorsAndUpdateAvx2(above, x.data(), errors.data(), x.size());
        return;
    }
#endif
    ErrorsAndUpdatePlain(above, x.data(), errors.data(), x.size());
}

// The changes of layer 1 from the n outputs x of the input layer.
void UpdateLayer(Layer& layer, const double* x, std::size_t n) {
#ifdef ZELK_AVX2
    if (detail::UseAvx2()) {
        UpdateLayerAvx2(layer, x, n);
        return;
    }
#endif
    UpdateLayerPlain(layer, x, n);
}

// Below four neurons a layer gains nothing from registers: the same loops one synapse at a
// time, the outputs read from the neurons themselves and the errors kept in a small array. (Loaded
// several at once from a buffer where they were just stored one at a time, the values would wait
// until the stores reach the cache, on every step of a small net.)
constexpr std::size_t kSmallLayer = 4;

// The outputs of a small layer read straight from its neurons, in place of a buffer of x[g].
struct OutputsOf {
    const Neuron* neurons;
    double operator[](std::size_t g) const { return neurons[g].Output; }
};

void SmallErrorsAndUpdate(Layer& above, Layer& layer) {
    const std::size_t count = layer.Neurons.size();
    Neuron* below = layer.Neurons.data();
    double e[kSmallLayer - 1] = {0.0, 0.0, 0.0};
    for (Neuron& k : above.Neurons) {
        ErrorsAndUpdateFrom<kSmallLayer - 1>(Terms(k, count), k, OutputsOf{below}, e, count, 0);
    }
    for (std::size_t g = 0; g < count; ++g) {
        below[g].ErrorTerm = ErrorTerm(below[g].Output, e[g]);
    }
}

void SmallUpdate(Layer& layer, const Layer& input) {
    const std::size_t count = input.Neurons.size();
    for (Neuron& k : layer.Neurons) {
        UpdateFrom<kSmallLayer - 1>(Terms(k, count), k, OutputsOf{input.Neurons.data()}, 0);
    }
}

}  // namespace

double BackPropagationStep(Network& network, const ValueVector& inputs, const ValueVector& desired,
                           bool continueLearning) {
    if (!continueLearning) {
        RandomizeWeights(network);
        network.TrainedSamples = 0.0;
    }
    const auto layers =
        std::min(static_cast<std::size_t>(std::max(network.LayerCount, 0)), network.Layers.size());
    if (layers < 2) {
        return 0.0;
    }
    // Kept between steps so that a step allocates nothing once it has run. A step inside the
    // overflow reporter may use them too: the reporter runs only within the forward pass, before
    // this step touches them, and ForwardPass writes `outputs` last, after every report.
    thread_local ValueVector outputs;
    thread_local std::vector<double> errors;
    thread_local std::vector<double> x;
    if (!detail::SmallForwardPass(network, layers, inputs)) {
        ForwardPass(network, inputs, outputs);
    }

    Layer& last = network.Layers[layers - 1];
    const std::size_t given =
        std::min(static_cast<std::size_t>(std::max(desired.Count, 0)), desired.Values.size());
    std::size_t g = 0;
    // |e| = |desired - output| = |output - desired| exactly; summed in output order.
    double runningError = 0.0;
    for (Neuron& neuron : last.Neurons) {
        const double e = (g < given ? desired.Values[g] : 0.0) - neuron.Output;
        neuron.ErrorTerm = ErrorTerm(neuron.Output, e);
        runningError = runningError + std::fabs(e);
        ++g;
    }
    // Going down, layer l's errors read the weights of layer l+1 as they were before this step;
    // only then does layer l+1 take its changes. That is the same as computing every change first
    // and applying them all afterwards.
    for (std::size_t l = layers - 2; l >= 1; --l) {
        Layer& layer = network.Layers[l];
        if (layer.Neurons.size() < kSmallLayer) {
            SmallErrorsAndUpdate(network.Layers[l + 1], layer);
            continue;
        }
        GatherOutputs(layer, x);
        ErrorsAndUpdate(network.Layers[l + 1], x, errors);
        const double* e = errors.data();
        for (Neuron& neuron : layer.Neurons) {
            neuron.ErrorTerm = ErrorTerm(neuron.Output, *e++);
        }
    }
    // The input layer's outputs are the inputs themselves when all of them were given.
    const Layer& input = network.Layers[0];
    if (input.Neurons.size() < kSmallLayer) {
        SmallUpdate(network.Layers[1], input);
    } else if (static_cast<std::size_t>(std::max(inputs.Count, 0)) >= input.Neurons.size() &&
               inputs.Values.size() >= input.Neurons.size()) {
        UpdateLayer(network.Layers[1], inputs.Values.data(), input.Neurons.size());
    } else {
        GatherOutputs(input, x);
        UpdateLayer(network.Layers[1], x.data(), x.size());
    }
    network.TrainedSamples += 1.0;
    return runningError;
}

double TrainSample(Network& network, std::string_view inputLine, std::string_view desiredLine,
                   bool continueLearning) {
    if (network.LayerCount <= 0 || network.Layers.empty()) {
        return 0.0;
    }
    const ValueVector inputs = ReadPattern(inputLine, network.Layers.front().NeuronCount);
    const ValueVector desired = ReadPattern(desiredLine, network.Layers.back().NeuronCount);
    return BackPropagationStep(network, inputs, desired, continueLearning);
}

}  // namespace zelk
