#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/Network.h"

namespace zelk {

// The logistic function 1 / (e^(theta - x) + 1); exactly 1 far above theta, exactly 0 far below
// it (with an overflow report), and 0 when the result cannot be computed.
double Activation(double x, double theta);

// Runs the network on the inputs (missing ones read as 0) and resizes and fills `outputs` with the
// outputs of the last layer; every neuron keeps its Potential and Output. An empty network leaves
// `outputs` untouched.
void ForwardPass(Network& network, const ValueVector& inputs, ValueVector& outputs);

// The output line of an input pattern line: the outputs in the "%.10g" form joined by "-",
// quoted where they hold "-". Empty for an empty network.
std::string EvaluatePattern(Network& network, std::string_view inputLine);

// Sets the function that hears of an overflow of the exponential ("exp: OVERFLOW error"), once per
// neuron per pass; an empty function silences the reports.
void SetOverflowReporter(std::function<void(const std::string& message)> report);

namespace detail {

// ForwardPass for a training step through the first `layers` layers (at least 2, at most as many
// as the network has), when each of them has fewer than four neurons and the processor has AVX2
// and FMA: the same potentials, outputs and overflow reports, without ForwardPass's buffers and
// without `outputs` (the step reads the outputs from the neurons). False, with nothing done, for
// any other network.
bool SmallForwardPass(Network& network, std::size_t layers, const ValueVector& inputs);

}  // namespace detail

}  // namespace zelk
