#include "engine/Evaluation.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "engine/Avx2.h"
#include "engine/Exponential.h"
#include "engine/Fields.h"
#include "engine/Numbers.h"

namespace zelk {

namespace {

constexpr double kBiasInput = -1.0;
constexpr double kThreshold = 0.0;
constexpr char kSeparator = '-';
constexpr char kQuote = '"';
// Below this many neurons a layer is summed neuron by neuron: blocks gain nothing.
constexpr std::size_t kSmallLayer = 4;

// Beyond these exponents e^t counts as overflowed (the output is 0) or as 0 (the output is 1).
constexpr double kExpOverflow = 709.7822265625;
constexpr double kExpUnderflow = -708.39599609375;

std::function<void(const std::string&)> overflowReporter;

// Out of line: the forward pass's loops stay small.
[[gnu::noinline, gnu::cold]] void ReportOverflow() {
    // A copy: the reporter may set another reporter while it runs.
    if (const auto report = overflowReporter) {
        report("exp: OVERFLOW error");
    }
}

// The logistic function 1 / (e^t + 1) of t = theta - x. Beyond the limits e^t overflows (the
// output is 0, with a report) or vanishes (the output is exactly 1). Between them e^t is finite
// and positive, so only a potential that is not a number makes the result fail: it gives 0.
[[gnu::always_inline]] inline double Logistic(double t) {
    if (t >= kExpOverflow) [[unlikely]] {
        ReportOverflow();
        return 0.0;
    }
    if (t <= kExpUnderflow) [[unlikely]] {
        return 1.0;
    }
    if (std::isnan(t)) [[unlikely]] {
        return 0.0;
    }
    return 1.0 / (Exp(t) + 1.0);
}

}  // namespace

void SetOverflowReporter(std::function<void(const std::string& message)> report) {
    overflowReporter = std::move(report);
}

double Activation(double x, double theta) { return Logistic(theta - x); }

namespace {

// The buffer that the forward pass keeps between passes, and whether a pass is using it.
struct Scratch {
    std::vector<double> buffer;
    bool inUse = false;
};

// Takes the buffer for a pass when no other pass is using it, and gives it back on every way out.
class ScratchUse {
public:
    explicit ScratchUse(Scratch& scratch) : scratch_(scratch.inUse ? nullptr : &scratch) {
        if (scratch_ != nullptr) {
            scratch_->inUse = true;
        }
    }
    ~ScratchUse() {
        if (scratch_ != nullptr) {
            scratch_->inUse = false;
        }
    }
    ScratchUse(const ScratchUse&) = delete;
    ScratchUse& operator=(const ScratchUse&) = delete;

    bool Taken() const { return scratch_ != nullptr; }

private:
    Scratch* scratch_;
};

// Clears the network's Busy marker on every way out of a pass.
class BusyGuard {
public:
    explicit BusyGuard(Network& network) : network_(network) { network_.Busy = true; }
    ~BusyGuard() { network_.Busy = false; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    Network& network_;
};

// Four neurons' sums side by side so that their independent additions overlap. Each sum starts
// at 0 and runs over its synapses in order, rounded after every step: w[k] * x[k], then added.
void Sums4(const double* const* w, const double* x, std::size_t m, double* sums) {
    double sa = 0.0, sb = 0.0, sc = 0.0, sd = 0.0;
    for (std::size_t k = 0; k < m; ++k) {
        const double xk = x[k];
        sa = sa + w[0][k] * xk;
        sb = sb + w[1][k] * xk;
        sc = sc + w[2][k] * xk;
        sd = sd + w[3][k] * xk;
    }
    sums[0] = sa;
    sums[1] = sb;
    sums[2] = sc;
    sums[3] = sd;
}

#ifdef ZELK_AVX2

// The same sums for 4 x Groups neurons, one neuron per lane of an AVX2 register. Every lane does
// exactly the scalar loop's multiplication and addition per synapse (AVX2 without FMA has no
// fused form), so each sum keeps its bits. The weights are stored per neuron: two synapses of
// four neurons are loaded as (a0 a1 c0 c1) and (b0 b1 d0 d1) and interleaved into (a0 b0 c0 d0)
// and (a1 b1 c1 d1).
template <std::size_t Groups>
[[gnu::target("avx2"), gnu::always_inline]] inline void SumsInRegisters(const double* const* w,
                                                                        const double* x,
                                                                        std::size_t m, __m256d* s) {
    for (std::size_t g = 0; g < Groups; ++g) {
        s[g] = _mm256_setzero_pd();
    }
    std::size_t k = 0;
    for (; k + 2 <= m; k += 2) {
        const __m256d x0 = _mm256_broadcast_sd(x + k);
        const __m256d x1 = _mm256_broadcast_sd(x + k + 1);
        for (std::size_t g = 0; g < Groups; ++g) {
            const double* const* p = w + 4 * g;
            const __m256d ac = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(p[0] + k)),
                                                    _mm_loadu_pd(p[2] + k), 1);
            const __m256d bd = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(p[1] + k)),
                                                    _mm_loadu_pd(p[3] + k), 1);
            s[g] = _mm256_add_pd(s[g], _mm256_mul_pd(_mm256_unpacklo_pd(ac, bd), x0));
            s[g] = _mm256_add_pd(s[g], _mm256_mul_pd(_mm256_unpackhi_pd(ac, bd), x1));
        }
    }
    if (k < m) {
        const __m256d xk = _mm256_broadcast_sd(x + k);
        for (std::size_t g = 0; g < Groups; ++g) {
            const double* const* p = w + 4 * g;
            const __m256d v = _mm256_set_pd(p[3][k], p[2][k], p[1][k], p[0][k]);
            s[g] = _mm256_add_pd(s[g], _mm256_mul_pd(v, xk));
        }
    }
}

template <std::size_t Groups>
[[gnu::target("avx2")]] void SumsAvx2(const double* const* w, const double* x, std::size_t m,
                                      double* sums) {
    __m256d s[Groups];
    SumsInRegisters<Groups>(w, x, m, s);
    for (std::size_t g = 0; g < Groups; ++g) {
        _mm256_storeu_pd(sums + 4 * g, s[g]);
    }
}
#endif

// The largest block of neurons summed together.
constexpr std::size_t kMaxBlock = 16;

// The synapses of a neuron that meet an output of the layer below.
std::size_t Synapses(const Neuron& neuron, std::size_t below) {
    const std::size_t declared = static_cast<std::size_t>(std::max(neuron.InputCount, 0));
    return std::min(std::min(declared, neuron.Weight.size()), below);
}

// A neuron's sum over its synapses, reading the outputs of the n neurons below one at a time. With
// at most `most` of them (a bound that keeps the compiler from widening the loop).
template <std::size_t most = SIZE_MAX>
[[gnu::always_inline]] inline double SumOverSynapses(const Neuron& neuron, const Neuron* in,
                                                     std::size_t n) {
    const std::size_t m = Synapses(neuron, n);
    const double* w = neuron.Weight.data();
    double sum = 0.0;
    for (std::size_t k = 0; k < most && k < m; ++k) {
        sum = sum + w[k] * in[k].Output;
    }
    return sum;
}

// The potential of a neuron from its sum over the synapses; the bias term comes last. It is kept
// in the pass's own buffer too, where its output will go: an overflow reporter may run another
// pass on the same network before the activation reads it.
inline double Finish(Neuron& neuron, double sum, double* output) {
    sum = sum + neuron.BiasWeight * kBiasInput;
    neuron.Potential = sum;
    *output = sum;
    return sum;
}

#ifdef ZELK_AVX2
// e with Exp(t) in the lanes that the first stage left.
[[gnu::target("avx2"), gnu::noinline, gnu::cold]] __m256d ExpUncertainLanes(__m256d t, __m256d e,
                                                                            int certain) {
    double ts[4];
    double es[4];
    _mm256_storeu_pd(ts, t);
    _mm256_storeu_pd(es, e);
    detail::ExpUncertain4(ts, es, certain);
    return _mm256_loadu_pd(es);
}

// The outputs of n <= 4 neurons from their potentials in a register (unused lanes repeat the last
// neuron's), where each t lies between the limits (no report, no NaN); false, with nothing
// written, elsewhere. The lanes that the exponential's first stage leaves go through Exp. Each
// output is 1 / (e + 1), divided lane by lane as the scalar code divides.
[[gnu::target("avx2,fma"), gnu::always_inline]] inline bool ActivateVector(Neuron* neurons,
                                                                           std::size_t n,
                                                                           double* values,
                                                                           __m256d potential) {
    const __m256d t = _mm256_sub_pd(_mm256_set1_pd(kThreshold), potential);
    int certain;
    __m256d e = detail::ExpFirst4(t, certain);
    const int between = _mm256_movemask_pd(
        _mm256_and_pd(_mm256_cmp_pd(t, _mm256_set1_pd(kExpOverflow), _CMP_LT_OQ),
                      _mm256_cmp_pd(t, _mm256_set1_pd(kExpUnderflow), _CMP_GT_OQ)));
    if (between != 0xf) [[unlikely]] {
        return false;
    }
    if (certain != 0xf) [[unlikely]] {
        e = ExpUncertainLanes(t, e, certain);
    }
    const __m256d output =
        _mm256_div_pd(_mm256_set1_pd(1.0), _mm256_add_pd(e, _mm256_set1_pd(1.0)));
    // Stored straight from the register: the layer above reads `values` next.
    const __m128d low = _mm256_castpd256_pd128(output);
    const __m128d high = _mm256_extractf128_pd(output, 1);
    if (n == 4) {
        _mm256_storeu_pd(values, output);
    } else {
        _mm_store_sd(values, low);
        if (n > 1) {
            _mm_storeh_pd(values + 1, low);
        }
        if (n > 2) {
            _mm_store_sd(values + 2, high);
        }
    }
    _mm_store_sd(&neurons[0].Output, low);
    if (n > 1) {
        _mm_storeh_pd(&neurons[1].Output, low);
    }
    if (n > 2) {
        _mm_store_sd(&neurons[2].Output, high);
    }
    if (n > 3) {
        _mm_storeh_pd(&neurons[3].Output, high);
    }
    return true;
}

// ActivateVector on the potentials in `values`, loaded one by one as they were just stored.
[[gnu::target("avx2,fma")]] bool Activate4Avx2(Neuron* neurons, std::size_t n, double* values) {
    const __m128d v0 = _mm_load_sd(values);
    const __m128d v1 = _mm_load_sd(values + std::min<std::size_t>(1, n - 1));
    const __m128d v2 = _mm_load_sd(values + std::min<std::size_t>(2, n - 1));
    const __m128d v3 = _mm_load_sd(values + std::min<std::size_t>(3, n - 1));
    return ActivateVector(neurons, n, values,
                          _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_unpacklo_pd(v0, v1)),
                                               _mm_unpacklo_pd(v2, v3), 1));
}
#endif

// The outputs of n <= 4 neurons from their potentials in `values`, which they replace, one by
// one: where the first stage cannot answer for all four, and without AVX2 and FMA.
void ActivateLanes(Neuron* neurons, std::size_t n, double* values) {
    for (std::size_t b = 0; b < n; ++b) {
        const double output = Logistic(kThreshold - values[b]);
        neurons[b].Output = output;
        values[b] = output;
    }
}

// The same, the four exponentials computed together where they can be.
inline void Activate4(Neuron* neurons, std::size_t n, double* values) {
#ifdef ZELK_AVX2
    if (detail::UseAvx2Fma() && Activate4Avx2(neurons, n, values)) [[likely]] {
        return;
    }
#endif
    ActivateLanes(neurons, n, values);
}

// The outputs of a layer from its potentials in `outputs`, four neurons at a time, in neuron order
// (the overflow reports too).
void Activate(Layer& layer, double* outputs) {
    Neuron* neurons = layer.Neurons.data();
    const std::size_t count = layer.Neurons.size();
    for (std::size_t j = 0; j < count; j += 4) {
        Activate4(neurons + j, std::min<std::size_t>(count - j, 4), outputs + j);
    }
}

#ifdef ZELK_AVX2
// A layer of four to sixteen neurons with the same number of synapses, one block: the sums stay in
// registers, take the bias term lane by lane as Finish adds it, and go on to the activation once
// every potential is stored (the lanes beyond the layer repeat its last neuron).
template <std::size_t Groups>
[[gnu::target("avx2,fma")]] void ComputeWholeBlockAvx2(Layer& layer, const double* const* w,
                                                       const double* x, std::size_t m,
                                                       double* outputs) {
    Neuron* neurons = layer.Neurons.data();
    const std::size_t count = layer.Neurons.size();
    __m256d s[Groups];
    SumsInRegisters<Groups>(w, x, m, s);
    for (std::size_t g = 0; g < Groups; ++g) {
        const std::size_t first = 4 * g;
        const auto bias = [&](std::size_t lane) {
            return neurons[std::min(first + lane, count - 1)].BiasWeight;
        };
        s[g] = _mm256_add_pd(s[g], _mm256_mul_pd(_mm256_set_pd(bias(3), bias(2), bias(1), bias(0)),
                                                 _mm256_set1_pd(kBiasInput)));
        double potential[4];
        _mm256_storeu_pd(potential, s[g]);
        for (std::size_t b = first; b < std::min(first + 4, count); ++b) {
            neurons[b].Potential = potential[b - first];
            outputs[b] = potential[b - first];
        }
    }
    for (std::size_t g = 0; g < Groups; ++g) {
        const std::size_t first = 4 * g;
        const std::size_t n = std::min<std::size_t>(count - first, 4);
        if (!ActivateVector(neurons + first, n, outputs + first, s[g])) [[unlikely]] {
            ActivateLanes(neurons + first, n, outputs + first);
        }
    }
}
#endif

#ifdef ZELK_AVX2
// A layer of fewer than four neurons: the sums as in ComputeLayer, and the potentials kept in a
// register for the activation as well (lanes from j on take neuron j's). False, with the
// potentials in `outputs`, where ActivateVector cannot take them. At most `most` neurons below.
template <std::size_t most = SIZE_MAX>
[[gnu::target("avx2,fma"), gnu::always_inline]] inline bool SmallLayerVector(Layer& layer,
                                                                             const Layer& below,
                                                                             std::size_t n,
                                                                             double* outputs) {
    const Neuron* in = below.Neurons.data();
    __m256d potentials = _mm256_setzero_pd();
    std::size_t j = 0;
    for (Neuron& neuron : layer.Neurons) {
        const __m256d all =
            _mm256_set1_pd(Finish(neuron, SumOverSynapses<most>(neuron, in, n), outputs + j));
        potentials = j == 0   ? all
                     : j == 1 ? _mm256_blend_pd(potentials, all, 0b1110)
                              : _mm256_blend_pd(potentials, all, 0b1100);
        ++j;
    }
    return j == 0 || ActivateVector(layer.Neurons.data(), j, outputs, potentials);
}

template <std::size_t most = SIZE_MAX>
[[gnu::target("avx2,fma")]] void ComputeSmallLayerAvx2(Layer& layer, const Layer& below,
                                                       std::size_t n, double* outputs) {
    if (!SmallLayerVector<most>(layer, below, n, outputs)) {
        ActivateLanes(layer.Neurons.data(), layer.Neurons.size(), outputs);
    }
}
#endif

// The outputs of one layer, written to `outputs`, from the n outputs x of the layer below: first
// every potential, then the activations four at a time.
// Neurons with the same number of synapses are summed in blocks (16 with AVX2, otherwise 4); a
// short block is filled up with repeats of its last neuron, whose sums are dropped.
void ComputeLayer(Layer& layer, std::size_t count, const Layer& below, const double* x,
                  std::size_t n, double* outputs) {
    // Below four neurons blocks gain nothing: each sum on its own, reading the outputs from the
    // neurons below one at a time. (Loaded two at once from x, where they were just stored one at
    // a time, they would wait until the stores reach the cache, on every step of a small net.)
    if (count < kSmallLayer) {
#ifdef ZELK_AVX2
        if (detail::UseAvx2Fma()) {
            ComputeSmallLayerAvx2(layer, below, n, outputs);
            return;
        }
#endif
        const Neuron* in = below.Neurons.data();
        double* potential = outputs;
        for (Neuron& neuron : layer.Neurons) {
            Finish(neuron, SumOverSynapses(neuron, in, n), potential++);
        }
        Activate(layer, outputs);
        return;
    }
    const bool avx2 = detail::UseAvx2();
    const std::size_t widest = avx2 ? kMaxBlock : 4;
    const double* w[kMaxBlock];
    double sums[kMaxBlock];
    for (std::size_t j = 0; j < count;) {
        const std::size_t m = Synapses(layer.Neurons[j], n);
        const std::size_t limit = std::min(count - j, widest);
        w[0] = layer.Neurons[j].Weight.data();
        std::size_t block = 1;
        while (block < limit && Synapses(layer.Neurons[j + block], n) == m) {
            w[block] = layer.Neurons[j + block].Weight.data();
            ++block;
        }
        const std::size_t filled = (block + 3) / 4 * 4;
        for (std::size_t b = block; b < filled; ++b) {
            w[b] = w[block - 1];
        }
#ifdef ZELK_AVX2
        if (block == count && detail::UseAvx2Fma()) {
            switch (filled / 4) {
                case 1:
                    ComputeWholeBlockAvx2<1>(layer, w, x, m, outputs);
                    return;
                case 2:
                    ComputeWholeBlockAvx2<2>(layer, w, x, m, outputs);
                    return;
                case 3:
                    ComputeWholeBlockAvx2<3>(layer, w, x, m, outputs);
                    return;
                default:
                    ComputeWholeBlockAvx2<4>(layer, w, x, m, outputs);
                    return;
            }
        }
        if (avx2) {
            switch (filled / 4) {
                case 1:
                    SumsAvx2<1>(w, x, m, sums);
                    break;
                case 2:
                    SumsAvx2<2>(w, x, m, sums);
                    break;
                case 3:
                    SumsAvx2<3>(w, x, m, sums);
                    break;
                default:
                    SumsAvx2<4>(w, x, m, sums);
                    break;
            }
        } else {
            Sums4(w, x, m, sums);
        }
#else
        Sums4(w, x, m, sums);
#endif
        for (std::size_t b = 0; b < block; ++b) {
            Finish(layer.Neurons[j + b], sums[b], outputs + j + b);
        }
        j += block;
    }
    Activate(layer, outputs);
}

// An input neuron passes its value through, without weights and without activation; the inputs
// not given read as 0. The values go to `values` too where it is not null. Returns the count.
[[gnu::always_inline]] inline std::size_t PassInputs(Layer& input, const ValueVector& inputs,
                                                     double* values) {
    const std::size_t given =
        std::min(static_cast<std::size_t>(std::max(inputs.Count, 0)), inputs.Values.size());
    const double* in = inputs.Values.data();
    std::size_t n = 0;
    for (Neuron& neuron : input.Neurons) {
        const double v = n < given ? in[n] : 0.0;
        neuron.Potential = v;
        neuron.Output = v;
        if (values != nullptr) {
            values[n] = v;
        }
        ++n;
    }
    return n;
}

}  // namespace

void ForwardPass(Network& network, const ValueVector& inputs, ValueVector& outputs) {
    // One thread runs every pass, so no pass can find another under way: the marker is set and
    // cleared, never waited for.
    BusyGuard busy(network);
    if (network.LayerCount <= 0 || network.Layers.empty()) {
        return;
    }
    const std::size_t layers =
        std::min(static_cast<std::size_t>(network.LayerCount), network.Layers.size());
    // The outputs of every layer side by side, each layer's values contiguous: the inputs of the
    // layer above. Kept between passes so that a pass allocates nothing once it has run. An
    // overflow reporter may run another pass while this one holds pointers into the buffer (the
    // window's box runs a nested event loop): that pass finds it in use and takes one of its own.
    thread_local Scratch shared;
    std::vector<double> own;
    const ScratchUse use(shared);
    std::vector<double>& values = use.Taken() ? shared.buffer : own;
    std::size_t total = 0;
    for (std::size_t l = 0; l < layers; ++l) {
        total += network.Layers[l].Neurons.size();
    }
    if (values.size() < total) {
        values.resize(total);
    }

    double* below = values.data();
    std::size_t n = PassInputs(network.Layers[0], inputs, below);
    for (std::size_t l = 1; l < layers; ++l) {
        Layer& layer = network.Layers[l];
        const std::size_t count = layer.Neurons.size();
        double* current = below + n;
        ComputeLayer(layer, count, network.Layers[l - 1], below, n, current);
        below = current;
        n = count;
    }
    outputs.Values.resize(n);
    std::copy_n(below, n, outputs.Values.begin());
    outputs.Count = static_cast<int32_t>(n);
}

#ifdef ZELK_AVX2
namespace {

[[gnu::target("avx2,fma")]] void SmallForwardPassAvx2(Network& network, std::size_t layers,
                                                      const ValueVector& inputs) {
    const BusyGuard busy(network);
    std::size_t n = PassInputs(network.Layers[0], inputs, nullptr);
    double values[kSmallLayer];
    for (std::size_t l = 1; l < layers; ++l) {
        ComputeSmallLayerAvx2<kSmallLayer - 1>(network.Layers[l], network.Layers[l - 1], n, values);
        n = network.Layers[l].Neurons.size();
    }
}

}  // namespace
#endif

bool detail::SmallForwardPass(Network& network, std::size_t layers, const ValueVector& inputs) {
#ifdef ZELK_AVX2
    if (!detail::UseAvx2Fma()) {
        return false;
    }
    for (std::size_t l = 0; l < layers; ++l) {
        if (network.Layers[l].Neurons.size() >= kSmallLayer) {
            return false;
        }
    }
    SmallForwardPassAvx2(network, layers, inputs);
    return true;
#else
    (void)network;
    (void)layers;
    (void)inputs;
    return false;
#endif
}

std::string EvaluatePattern(Network& network, std::string_view inputLine) {
    if (network.LayerCount <= 0 || network.Layers.empty()) {
        return {};
    }
    const ValueVector inputs = ReadPattern(inputLine, network.Layers.front().NeuronCount);
    // A pass inside the overflow reporter may fill it too, but ForwardPass writes its own outputs
    // last, after every report.
    thread_local ValueVector outputs;
    ForwardPass(network, inputs, outputs);
    // Joining the fields gives what SetField field by field would: no value is ever empty.
    return Join(outputs.Values, kSeparator, [](std::string& line, double output) {
        line += QuoteField(FormatNumber(output), kSeparator, kQuote);
    });
}

}  // namespace zelk
