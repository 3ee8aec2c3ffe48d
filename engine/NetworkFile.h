#pragma once

#include <string>
#include <string_view>

#include "engine/Network.h"

namespace zelk {

// Writes the network with the two free texts into section "NEURON NETWORK" of an INI file. Other
// lines of an existing file stay as they were. All or nothing: a file that cannot be written throws
// std::runtime_error("Unable to write to " + fileName), a name or type text with a line end one
// that names that text, and the old file is untouched.
void SaveNetworkFile(const Network& network, const std::string& fileName, std::string_view nameText,
                     std::string_view typeText);

// Rebuilds the network from an INI file and returns its name, type and shape texts. A file that
// cannot be read or has no section "NEURON NETWORK" throws std::runtime_error and changes nothing.
void LoadNetworkFile(Network& network, const std::string& fileName, std::string& nameText,
                     std::string& typeText, std::string& shapeText);

}  // namespace zelk
