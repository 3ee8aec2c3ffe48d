#include "engine/NetworkFile.h"

#include <cstddef>
#include <stdexcept>
#include <utility>

#include "engine/Fields.h"
#include "engine/IniFile.h"
#include "engine/Numbers.h"

namespace zelk {

namespace {

constexpr std::string_view kSection = "NEURON NETWORK";

std::string NeuronKey(std::size_t layer, std::size_t neuron) {
    return "Neuron" + std::to_string(layer) + "-" + std::to_string(neuron);
}

// The S synapse values in synapse order, then the bias value, joined by ",".
std::string NumberList(const std::vector<double>& synapses, int32_t count, double bias) {
    std::string list;
    for (int32_t k = 0; k < count; ++k) {
        list += FormatNumber(synapses[static_cast<std::size_t>(k)]);
        list += ',';
    }
    list += FormatNumber(bias);
    return list;
}

// Walks a stored list into the neuron's synapse values and its bias value: positions 0 .. S-1
// are the synapses, position S the bias. A list that ends early leaves the later positions as
// they are; a list that ends in "," reads 0 for every later position.
void WalkList(std::string_view list, bool inputLayer, std::vector<double>& synapses, double& bias,
              double inputValue, int32_t count) {
    std::size_t cursor = 0;
    for (int32_t k = 0; k <= count; ++k) {
        if (inputLayer) {
            // An input neuron passes its value through: its one weight is 1 and its delta 0,
            // whatever the file says; its bias keeps the value of the build.
            if (k < count) {
                synapses[static_cast<std::size_t>(k)] = inputValue;
            }
        } else {
            const double value = ReadNumber(list.substr(cursor));
            if (k < count) {
                synapses[static_cast<std::size_t>(k)] = value;
            } else {
                bias = value;
            }
        }
        if (cursor < list.size()) {
            const std::size_t comma = list.find(',', cursor);
            if (comma == std::string_view::npos) {
                return;
            }
            cursor = comma + 1;
        }
    }
}

std::runtime_error LineEndError(const std::string& key, const std::string& fileName) {
    return std::runtime_error("Text klíče " + key +
                              " obsahuje konec řádku, který soubor INI nemůže uložit; soubor " +
                              fileName + " zůstal beze změny");
}

// A network file that large would describe a network far beyond what the window can use; reading
// it whole would take the memory and the time of a network that large.
std::runtime_error TooLargeError(const std::string& fileName, std::string_view consequence) {
    return std::runtime_error("Soubor " + fileName + " je větší než 1 GiB; " +
                              std::string(consequence));
}

}  // namespace

void SaveNetworkFile(const Network& network, const std::string& fileName, std::string_view nameText,
                     std::string_view typeText) {
    // A line end would end the key's line early: what follows could not be read back, and might
    // even plant keys of its own. The text is at fault, not the file, which stays as it was.
    for (const auto& [key, text] : {std::pair{"Name", nameText}, std::pair{"Type", typeText}}) {
        if (text.find_first_of("\r\n") != std::string_view::npos) {
            throw LineEndError(key, fileName);
        }
    }
    // The old file's other sections and lines are kept, so it has to be read first; one that
    // exists but cannot be read could not be kept and is left alone.
    IniFile ini;
    switch (ini.Load(fileName)) {
        case IniFile::LoadResult::Unreadable:
            throw WriteError(fileName);
        case IniFile::LoadResult::TooLarge:
            throw TooLargeError(
                fileName, "do tak velkého souboru nelze síť uložit, soubor zůstal beze změny.");
        case IniFile::LoadResult::Loaded:
        case IniFile::LoadResult::Missing:
            break;
    }
    ini.Write(kSection, "Name", nameText);
    ini.Write(kSection, "Type", typeText);
    ini.Write(kSection, "Network", ShapeText(network));
    for (std::size_t i = 0; i < static_cast<std::size_t>(network.LayerCount); ++i) {
        const Layer& layer = network.Layers[i];
        for (std::size_t j = 0; j < static_cast<std::size_t>(layer.NeuronCount); ++j) {
            const Neuron& neuron = layer.Neurons[j];
            const std::string key = NeuronKey(i, j);
            ini.Write(kSection, key, FormatNumber(neuron.Output));
            if (i == 0) {
                ini.Write(kSection, key + "_Weight", "Input");
                ini.Write(kSection, key + "_DeltaWeight", "Input");
            } else {
                ini.Write(kSection, key + "_Weight",
                          NumberList(neuron.Weight, neuron.InputCount, neuron.BiasWeight));
                ini.Write(
                    kSection, key + "_DeltaWeight",
                    NumberList(neuron.DeltaWeight, neuron.InputCount, neuron.DeltaBiasWeight));
            }
        }
        // The constant bias input that this layer offers to the next one.
        if (i + 1 < static_cast<std::size_t>(network.LayerCount)) {
            ini.Write(kSection, "NeuronBias" + std::to_string(i), "-1");
        }
    }
    ini.Save(fileName);
}

void LoadNetworkFile(Network& network, const std::string& fileName, std::string& nameText,
                     std::string& typeText, std::string& shapeText) {
    IniFile ini;
    const IniFile::LoadResult result = ini.Load(fileName);
    if (result == IniFile::LoadResult::TooLarge) {
        throw TooLargeError(fileName, "tak velký soubor sítě nelze načíst.");
    }
    if (result != IniFile::LoadResult::Loaded) {
        throw std::runtime_error("Soubor " + fileName + " nelze načíst.");
    }
    if (!ini.HasSection(kSection)) {
        throw std::runtime_error("Soubor " + fileName + " neobsahuje neuronovou síť.");
    }
    std::string name = ini.Read(kSection, "Name", "");
    std::string type = ini.Read(kSection, "Type", "");
    std::string shape = ini.Read(kSection, "Network", "");

    // Built aside: the caller's network and texts change only once the whole load has worked.
    Network loaded;
    BuildNetwork(loaded, shape);
    for (std::size_t i = 0; i < static_cast<std::size_t>(loaded.LayerCount); ++i) {
        Layer& layer = loaded.Layers[i];
        for (std::size_t j = 0; j < static_cast<std::size_t>(layer.NeuronCount); ++j) {
            Neuron& neuron = layer.Neurons[j];
            const std::string key = NeuronKey(i, j);
            neuron.Output = ReadNumber(ini.Read(kSection, key, ""));
            WalkList(ini.Read(kSection, key + "_Weight", ""), i == 0, neuron.Weight,
                     neuron.BiasWeight, 1.0, neuron.InputCount);
            WalkList(ini.Read(kSection, key + "_DeltaWeight", ""), i == 0, neuron.DeltaWeight,
                     neuron.DeltaBiasWeight, 0.0, neuron.InputCount);
        }
    }

    network = std::move(loaded);
    nameText = std::move(name);
    typeText = std::move(type);
    shapeText = std::move(shape);
}

}  // namespace zelk
