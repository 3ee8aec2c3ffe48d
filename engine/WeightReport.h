#pragma once

#include <string>
#include <vector>

#include "engine/Network.h"

namespace zelk {

// Appends one line per neuron ("L:1  N:0  w0=0.512000 w1=-0.083000 biasw=0.274000") and a closing
// line of 36 minus signs.
void WriteWeightReport(const Network& network, std::vector<std::string>& lines);

}  // namespace zelk
