// The same bits on every machine: trains a few fixed networks and computes e^x of fixed inputs,
// and compares checksums of every activation, weight and delta weight (and of the weights'
// ten-digit texts) with the ones stored below. A program of its own, without GoogleTest, so that
// the test command can cross-build it for other processors and systems and run it there (under
// qemu and Wine). Exits with 1 on any difference.

#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/Engine.h"

namespace {

// FNV-1a over 64-bit words.
struct Checksum {
    uint64_t value = 0xcbf29ce484222325u;
    void Add(uint64_t word) {
        for (int b = 0; b < 8; ++b) {
            value = (value ^ ((word >> (8 * b)) & 0xffu)) * 0x100000001b3u;
        }
    }
    void Add(double x) { Add(std::bit_cast<uint64_t>(x)); }
    void Add(const std::string& text) {
        for (const char c : text) {
            Add(static_cast<uint64_t>(static_cast<unsigned char>(c)));
        }
    }
};

// SplitMix64: the same numbers everywhere, unlike the standard distributions.
struct Generator {
    uint64_t state;
    uint64_t Next() {
        uint64_t z = (state += 0x9e3779b97f4a7c15u);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
        return z ^ (z >> 31);
    }
    // Uniform in [low, high), computed exactly the same way everywhere.
    double Uniform(double low, double high) {
        return low + (high - low) * (static_cast<double>(Next() >> 11) * 0x1p-53);
    }
};

// e^x of a million inputs over the whole finite range of results and beyond it.
uint64_t ExpChecksum() {
    Generator generator{1};
    Checksum sum;
    double x[4];
    double y[4];
    for (int n = 0; n < 250000; ++n) {
        for (double& v : x) {
            const uint64_t kind = generator.Next() % 4;
            v = kind == 0   ? generator.Uniform(-750.0, 712.0)
                : kind == 1 ? generator.Uniform(-20.0, 20.0)
                : kind == 2 ? generator.Uniform(-1.0, 1.0) * 0x1p-20
                            : generator.Uniform(-710.0, 710.0);
        }
        zelk::Exp4(x, y);
        for (int j = 0; j < 4; ++j) {
            sum.Add(y[j]);
            sum.Add(zelk::Exp(x[j]));
        }
    }
    return sum.value;
}

// A network of the given sizes trained online for `cycles` cycles over its samples, the
// checksum of everything after every step, and of the weights' texts at the end.
uint64_t TrainingChecksum(const std::vector<int32_t>& sizes, int samples, int cycles, double low,
                          double high, uint64_t seed) {
    zelk::SeedRandom(static_cast<uint32_t>(seed));
    zelk::Network network;
    network.LayerCount = static_cast<int32_t>(sizes.size());
    network.Layers.resize(sizes.size());
    for (std::size_t l = 0; l < sizes.size(); ++l) {
        zelk::InitLayer(network.Layers[l], sizes[l], l == 0 ? 1 : sizes[l - 1]);
    }
    Generator generator{seed};
    std::vector<zelk::ValueVector> inputs(static_cast<std::size_t>(samples));
    std::vector<zelk::ValueVector> desired(static_cast<std::size_t>(samples));
    for (int s = 0; s < samples; ++s) {
        zelk::ValueVector& in = inputs[static_cast<std::size_t>(s)];
        zelk::ValueVector& out = desired[static_cast<std::size_t>(s)];
        in.Resize(sizes.front());
        out.Resize(sizes.back());
        for (int32_t i = 0; i < sizes.front(); ++i) {
            in.Set(i, generator.Uniform(low, high));
        }
        for (int32_t i = 0; i < sizes.back(); ++i) {
            out.Set(i, generator.Uniform(0.0, 1.0));
        }
    }
    Checksum sum;
    int reports = 0;
    zelk::SetOverflowReporter([&reports](const std::string&) { ++reports; });
    for (int cycle = 0; cycle < cycles; ++cycle) {
        for (int s = 0; s < samples; ++s) {
            zelk::BackPropagationStep(network, inputs[static_cast<std::size_t>(s)],
                                      desired[static_cast<std::size_t>(s)], true);
            for (const zelk::Layer& layer : network.Layers) {
                for (const zelk::Neuron& neuron : layer.Neurons) {
                    sum.Add(neuron.Output);
                    for (std::size_t k = 0; k < neuron.Weight.size(); ++k) {
                        sum.Add(neuron.Weight[k]);
                        sum.Add(neuron.DeltaWeight[k]);
                    }
                    sum.Add(neuron.BiasWeight);
                    sum.Add(neuron.DeltaBiasWeight);
                }
            }
        }
    }
    zelk::SetOverflowReporter({});
    for (const zelk::Layer& layer : network.Layers) {
        for (const zelk::Neuron& neuron : layer.Neurons) {
            for (const double w : neuron.Weight) {
                sum.Add(zelk::FormatNumber(w));
            }
            sum.Add(zelk::FormatNumber(neuron.BiasWeight));
        }
    }
    sum.Add(static_cast<uint64_t>(reports));
    return sum.value;
}

uint64_t Xor() { return TrainingChecksum({2, 3, 1}, 4, 2000, 0.0, 1.0, 11); }
uint64_t Encoder() { return TrainingChecksum({8, 16, 8}, 8, 300, 0.0, 1.0, 12); }
uint64_t Deep() { return TrainingChecksum({10, 24, 24, 6}, 30, 60, -3.0, 3.0, 13); }
uint64_t Wide() { return TrainingChecksum({64, 32, 10}, 40, 10, 0.0, 1.0, 14); }
// Inputs large enough for the exponential's overflow and for outputs of exactly 1.
uint64_t Saturating() { return TrainingChecksum({4, 5, 3}, 20, 50, -900.0, 900.0, 15); }

struct Case {
    const char* name;
    uint64_t expected;
    uint64_t (*compute)();
};

const Case kCases[] = {
    {"exp of a million inputs", 0x423be7203e18caa5u, ExpChecksum},
    {"2-3-1 on XOR-like samples", 0x8ae3b81006235594u, Xor},
    {"8-16-8", 0x33305e19420b1d04u, Encoder},
    {"10-24-24-6", 0x6740fb657cd18785u, Deep},
    {"64-32-10", 0xe75097929cb8ae83u, Wide},
    {"4-5-3 saturating", 0x7e8981ef1f06adb1u, Saturating},
};

}  // namespace

// The C library's exp over the same inputs, printed and not compared: it shows whether a setting
// (GLIBC_TUNABLES hiding FMA and AVX2) really changes the C library's code.
uint64_t LibraryExpChecksum() {
    Generator generator{1};
    Checksum sum;
    for (int n = 0; n < 1000000; ++n) {
        sum.Add(std::exp(generator.Uniform(-20.0, 20.0)));
    }
    return sum.value;
}

int main() {
    std::printf("%-28s %016" PRIx64 " (not compared)\n", "the C library's exp",
                LibraryExpChecksum());
    int failures = 0;
    for (const Case& c : kCases) {
        const uint64_t got = c.compute();
        const bool same = got == c.expected;
        std::printf("%-28s %016" PRIx64 " %s\n", c.name, got, same ? "ok" : "DIFFERS");
        if (!same) {
            std::printf("%-28s %016" PRIx64 " expected\n", "", c.expected);
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
