#include "bench/Workloads.h"

#include <random>

namespace bench {

namespace {

constexpr char separator = '-';
constexpr char quote = '"';

void AddSample(Workload& w, const std::vector<double>& in, const std::vector<double>& out) {
    w.inputLines.push_back(PatternLine(in));
    w.desiredLines.push_back(PatternLine(out));
    // Read back from the text: the vector variants then train on exactly the values that the
    // text variants read.
    w.inputs.push_back(zelk::ReadPattern(w.inputLines.back(), w.sizes.front()));
    w.desired.push_back(zelk::ReadPattern(w.desiredLines.back(), w.sizes.back()));
}

std::vector<double> OneHot(int32_t n, int32_t hot) {
    std::vector<double> v(static_cast<std::size_t>(n), 0.0);
    v[static_cast<std::size_t>(hot)] = 1.0;
    return v;
}

Workload Xor() {
    Workload w{"a", "2-3-1 XOR", "2-3-1", {2, 3, 1}, {}, {}, {}, {}};
    AddSample(w, {0, 0}, {0});
    AddSample(w, {0, 1}, {1});
    AddSample(w, {1, 0}, {1});
    AddSample(w, {1, 1}, {0});
    return w;
}

Workload Encoder() {
    Workload w{"b", "8-16-8 encoder", "8-16-8", {8, 16, 8}, {}, {}, {}, {}};
    for (int32_t i = 0; i < 8; ++i) {
        AddSample(w, OneHot(8, i), OneHot(8, i));
    }
    return w;
}

// Inputs uniform in [0, 1) and a one-hot target of a random class, from a fixed seed so that
// every run trains the same samples.
Workload Random(std::string key, int32_t inputs, int32_t hidden, int32_t classes, int32_t samples,
                uint64_t seed) {
    const std::string shape =
        std::to_string(inputs) + "-" + std::to_string(hidden) + "-" + std::to_string(classes);
    Workload w{std::move(key), shape + " random", shape, {inputs, hidden, classes}, {}, {}, {}, {}};
    std::mt19937_64 generator(seed);
    for (int32_t s = 0; s < samples; ++s) {
        std::vector<double> in(static_cast<std::size_t>(inputs));
        for (double& x : in) {
            x = static_cast<double>(generator() >> 11) * 0x1.0p-53;
        }
        AddSample(
            w, in,
            OneHot(classes, static_cast<int32_t>(generator() % static_cast<uint64_t>(classes))));
    }
    return w;
}

}  // namespace

int64_t Workload::SynapseCount() const {
    int64_t count = 0;
    for (std::size_t i = 1; i < sizes.size(); ++i) {
        count += int64_t{sizes[i - 1]} * sizes[i];
    }
    return count;
}

std::string PatternLine(const std::vector<double>& values) {
    std::string line;
    for (std::size_t i = 0; i < values.size(); ++i) {
        line = zelk::SetField(line, separator, static_cast<int>(i), zelk::FormatNumber(values[i]),
                              quote);
    }
    return line;
}

const std::vector<Workload>& Workloads() {
    static const std::vector<Workload> workloads = {
        Xor(),
        Encoder(),
        Random("c", 64, 32, 10, 200, 64321),
        Random("d", 256, 128, 10, 100, 25612810),
    };
    return workloads;
}

}  // namespace bench
