#pragma once

// Shared pieces of the fuzz targets: how a broken property stops the run, and how large a network
// a shape text would build, read independently of the engine so that a target can skip shapes
// whose build would take more memory or time than one fuzz input should.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Engine.h"

namespace zelk::fuzz {

// The input as readable text for a failure message: printable ASCII as it is, the rest escaped.
inline std::string Escaped(std::string_view text) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 32 && u < 127 && c != '\\') {
            out.push_back(c);
        } else {
            out += "\\x";
            out.push_back(digits[u >> 4]);
            out.push_back(digits[u & 15]);
        }
    }
    return out;
}

// A broken property aborts, so libFuzzer keeps the input as a crash and the run fails.
[[noreturn]] inline void Fail(const char* property, const std::string& detail) {
    std::fputs("\n*** broken property: ", stderr);
    std::fputs(property, stderr);
    std::fputs("\n", stderr);
    std::fputs(detail.c_str(), stderr);
    std::fputs("\n", stderr);
    std::abort();
}

#define ZELK_FUZZ_CHECK(condition, detail)            \
    do {                                              \
        if (!(condition)) {                           \
            ::zelk::fuzz::Fail(#condition, (detail)); \
        }                                             \
    } while (false)

// Two doubles are the same when their bits are, or when both are not-a-number: the engine does
// not promise one NaN payload over another.
inline bool SameDouble(double a, double b) {
    if (a != a && b != b) {
        return true;
    }
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x == y;
}

// A weight drawn by the generator: a nonzero multiple of 0.001 of magnitude at most 0.999.
inline bool IsDrawnWeight(double w) {
    const double thousandths = std::round(w * 1000.0);
    return std::fabs(thousandths) >= 1.0 && std::fabs(thousandths) <= 999.0 &&
           SameDouble(w, static_cast<double>(static_cast<int>(thousandths)) * 0.001);
}

// The size of one layer as a shape field gives it: white space, an optional sign, decimal digits
// up to the first other character. Saturated far beyond 32 bits so that no text overflows it.
inline std::int64_t ReadShapeSize(std::string_view field) {
    std::size_t i = 0;
    while (i < field.size() && std::strchr(" \t\n\v\f\r", field[i]) != nullptr && field[i] != 0) {
        ++i;
    }
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    constexpr std::int64_t cap = std::int64_t{1} << 40;
    std::int64_t size = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        size = size * 10 + (field[i] - '0');
        if (size > cap) {
            size = cap;
        }
    }
    return negative ? -size : size;
}

// What a build of a shape text has to do, computed without the engine's build.
struct ShapePlan {
    std::vector<std::int64_t> sizes;   // as read, one per layer
    std::vector<std::int32_t> counts;  // the neuron count each layer gets when the build succeeds
    bool mustRefuse = false;           // a size or the synapse count does not fit in 32 bits
    bool mayRefuse = false;  // a quoted size below the 32-bit range: refused or read as empty
    std::int64_t synapseCount = 0;  // the network's SynapseCount when built
    // Neurons plus stored synapses (input neurons hold one each) of the layers the build has to
    // look at before it knows whether to refuse: what a build or a refusal costs at most.
    std::int64_t cost = 0;
};

inline ShapePlan PlanShape(std::string_view shapeText) {
    ShapePlan plan;
    bool ended = false;
    ForEachField(shapeText, '-', '"', [&](const std::string& field) {
        ended = ended || TrimBlanks(field).empty();
        if (!ended) {
            plan.sizes.push_back(ReadShapeSize(field));
        }
    });
    constexpr std::int64_t maxCount = std::numeric_limits<std::int32_t>::max();
    std::int64_t previous = 1;
    for (std::size_t i = 0; i < plan.sizes.size(); ++i) {
        const std::int64_t size = plan.sizes[i];
        if (size > maxCount) {
            plan.mustRefuse = true;
            return plan;
        }
        if (size < std::numeric_limits<std::int32_t>::min()) {
            plan.mayRefuse = true;
        }
        const std::int64_t count = size > 0 ? size : 0;
        if (i > 0) {
            plan.synapseCount += count * previous;
            if (plan.synapseCount > maxCount) {
                plan.mustRefuse = true;
                return plan;
            }
        }
        plan.cost += count + count * previous;
        plan.counts.push_back(static_cast<std::int32_t>(count));
        previous = count;
    }
    return plan;
}

// Networks up to this many neurons plus synapses keep one fuzz input around a millisecond even
// under the sanitizers; larger ones take no other paths, only longer. The network file target,
// which saves and loads each network three times, stays with smaller ones.
constexpr std::int64_t kMaxShapeCost = 3000;
constexpr std::int64_t kMaxFileShapeCost = 800;

}  // namespace zelk::fuzz
