#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/Engine.h"

namespace bench {

// One training workload: a shape and its samples, both as the pattern-line texts the window
// trains on and as the vectors read back from them, so every variant learns the same numbers.
struct Workload {
    std::string key;    // short name used in benchmark names ("a")
    std::string title;  // e.g. "2-3-1 XOR"
    std::string shape;  // shape text for BuildNetwork
    std::vector<int32_t> sizes;
    std::vector<std::string> inputLines;
    std::vector<std::string> desiredLines;
    std::vector<zelk::ValueVector> inputs;
    std::vector<zelk::ValueVector> desired;

    int64_t SampleCount() const { return static_cast<int64_t>(inputLines.size()); }
    // Synapses between layers, biases not counted (as Network::SynapseCount).
    int64_t SynapseCount() const;
};

// The four workloads a) to d), built once.
const std::vector<Workload>& Workloads();

// The values joined by "-" in the "%.10g" form, quoted where a value holds "-".
std::string PatternLine(const std::vector<double>& values);

}  // namespace bench
