#include "engine/Evaluation.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

#include "engine/Fields.h"

namespace zelk {

namespace {

constexpr double kBiasInput = -1.0;
constexpr double kThreshold = 0.0;
constexpr char kSeparator = '-';
constexpr char kQuote = '"';

// Beyond these exponents e^t counts as overflowed (the output is 0) or as 0 (the output is 1).
constexpr double kExpOverflow = 709.7822265625;
constexpr double kExpUnderflow = -708.39599609375;

std::function<void(const std::string&)> overflowReporter;

bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal exponent of the first nonzero digit of a number text that did not fit a double:
// above 0 it overflowed, below it underflowed.
int64_t DecimalExponent(std::string_view mantissa, std::string_view exponent) {
    int64_t power = 0;
    bool negativePower = false;
    std::size_t i = 0;
    if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) {
        negativePower = exponent[0] == '-';
        i = 1;
    }
    for (; i < exponent.size(); ++i) {
        power = std::min<int64_t>(power * 10 + (exponent[i] - '0'), int64_t{1} << 40);
    }
    if (negativePower) {
        power = -power;
    }
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_not_of("0.");
    if (first == std::string_view::npos) {
        return power;
    }
    const auto position = static_cast<int64_t>(first);
    const auto pointPosition = static_cast<int64_t>(point);
    return power + (position < pointPosition ? pointPosition - position - 1
                                             : pointPosition - position);
}

}  // namespace

double ReadNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsWhiteSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    bool signed_ = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        signed_ = true;
        ++i;
    }
    const std::string_view rest = text.substr(i);
    if (signed_ && rest.starts_with("INF")) {
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    }
    if (signed_ && rest.starts_with("NAN")) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        return negative ? -nan : nan;
    }

    const std::size_t start = i;
    std::size_t digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (IsDigit(text[i])) {
            ++digits;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) {
        return 0.0;
    }
    const std::size_t mantissaEnd = i;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j])) {
                ++j;
            }
            i = j;
        }
    }

    double value = 0.0;
    const auto result = std::from_chars(text.data() + start, text.data() + i, value);
    if (result.ec == std::errc::result_out_of_range) {
        const std::string_view mantissa = text.substr(start, mantissaEnd - start);
        const std::string_view exponent =
            mantissaEnd < i ? text.substr(mantissaEnd + 1, i - mantissaEnd - 1) : std::string_view{};
        value = DecimalExponent(mantissa, exponent) > 0 ? std::numeric_limits<double>::infinity()
                                                        : 0.0;
    }
    return negative ? -value : value;
}

ValueVector ReadPattern(std::string_view line, int32_t n) {
    ValueVector pattern;
    pattern.Resize(n);
    int32_t i = 0;
    ForEachField(line, kSeparator, kQuote, [&](const std::string& field) {
        if (i < pattern.Count) {
            pattern.Values[static_cast<std::size_t>(i)] = ReadNumber(field);
        }
        ++i;
    });
    return pattern;
}

void SetOverflowReporter(std::function<void(const std::string& message)> report) {
    overflowReporter = std::move(report);
}

double Activation(double x, double theta) {
    const double t = theta - x;
    if (t >= kExpOverflow) {
        if (overflowReporter) {
            overflowReporter("exp: OVERFLOW error");
        }
        return 0.0;
    }
    if (t <= kExpUnderflow) {
        return 1.0;
    }
    const double y = 1.0 / (std::exp(t) + 1.0);
    // A result that cannot be computed (a potential that is not a number) gives 0.
    return std::isnan(y) ? 0.0 : y;
}

namespace {

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

// The potentials of one layer from the outputs x of the layer below. Four neurons are summed
// together so that their independent sums overlap; each sum still runs over its synapses in
// order, rounded after every step, with the bias term last.
void ComputeLayer(Layer& layer, const std::vector<double>& x, std::vector<double>& outputs) {
    const std::size_t count = layer.Neurons.size();
    outputs.resize(count);
    auto synapses = [&x](const Neuron& neuron) {
        return std::min({static_cast<std::size_t>(std::max(neuron.InputCount, 0)),
                         neuron.Weight.size(), x.size()});
    };
    auto finish = [&](std::size_t j, double sum) {
        Neuron& neuron = layer.Neurons[j];
        sum = sum + neuron.BiasWeight * kBiasInput;
        neuron.Potential = sum;
        neuron.Output = Activation(sum, kThreshold);
        outputs[j] = neuron.Output;
    };

    std::size_t j = 0;
    for (; j + 4 <= count; j += 4) {
        const Neuron& a = layer.Neurons[j];
        const Neuron& b = layer.Neurons[j + 1];
        const Neuron& c = layer.Neurons[j + 2];
        const Neuron& d = layer.Neurons[j + 3];
        const std::size_t m = synapses(a);
        if (synapses(b) != m || synapses(c) != m || synapses(d) != m) {
            break;
        }
        const double* wa = a.Weight.data();
        const double* wb = b.Weight.data();
        const double* wc = c.Weight.data();
        const double* wd = d.Weight.data();
        double sa = 0.0, sb = 0.0, sc = 0.0, sd = 0.0;
        for (std::size_t k = 0; k < m; ++k) {
            const double xk = x[k];
            sa = sa + wa[k] * xk;
            sb = sb + wb[k] * xk;
            sc = sc + wc[k] * xk;
            sd = sd + wd[k] * xk;
        }
        finish(j, sa);
        finish(j + 1, sb);
        finish(j + 2, sc);
        finish(j + 3, sd);
    }
    for (; j < count; ++j) {
        const Neuron& neuron = layer.Neurons[j];
        const std::size_t m = synapses(neuron);
        double sum = 0.0;
        for (std::size_t k = 0; k < m; ++k) {
            sum = sum + neuron.Weight[k] * x[k];
        }
        finish(j, sum);
    }
}

}  // namespace

void ForwardPass(Network& network, const ValueVector& inputs, ValueVector& outputs) {
    // One thread runs every pass, so no pass can find another under way: the marker is set and
    // cleared, never waited for.
    BusyGuard busy(network);
    if (network.LayerCount <= 0 || network.Layers.empty()) {
        return;
    }
    thread_local std::vector<double> below;
    thread_local std::vector<double> current;

    // An input neuron passes its value through, without weights and without activation.
    Layer& input = network.Layers[0];
    below.resize(input.Neurons.size());
    for (std::size_t i = 0; i < input.Neurons.size(); ++i) {
        const double v = inputs.Get(static_cast<int32_t>(i));
        input.Neurons[i].Potential = v;
        input.Neurons[i].Output = v;
        below[i] = v;
    }
    const std::size_t layers = std::min(static_cast<std::size_t>(network.LayerCount),
                                        network.Layers.size());
    for (std::size_t l = 1; l < layers; ++l) {
        ComputeLayer(network.Layers[l], below, current);
        std::swap(below, current);
    }
    outputs.Resize(static_cast<int32_t>(below.size()));
    std::copy(below.begin(), below.end(), outputs.Values.begin());
}

std::string EvaluatePattern(Network& network, std::string_view inputLine) {
    if (network.LayerCount <= 0 || network.Layers.empty()) {
        return {};
    }
    const ValueVector inputs = ReadPattern(inputLine, network.Layers.front().NeuronCount);
    thread_local ValueVector outputs;
    ForwardPass(network, inputs, outputs);
    // Appending field after field gives what SetField would: no value is ever empty.
    std::string line;
    for (int32_t r = 0; r < outputs.Count; ++r) {
        if (r > 0) {
            line.push_back(kSeparator);
        }
        line += QuoteField(FormatNumber(outputs.Get(r)), kSeparator, kQuote);
    }
    return line;
}

}  // namespace zelk
