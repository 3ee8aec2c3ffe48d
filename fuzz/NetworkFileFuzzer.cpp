// Network file: any bytes as an INI file load as the file's rules say (read here by a small
// reader of their own) or are refused leaving the network and the texts untouched; what loaded
// saves into a new file and over the original, and each loads back as the same network.

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "fuzz/FuzzSupport.h"

namespace {

namespace fs = std::filesystem;
using zelk::fuzz::Escaped;
using zelk::fuzz::IsDrawnWeight;
using zelk::fuzz::SameDouble;

fs::path workFolder;

void RemoveWorkFolder() {
    std::error_code error;
    fs::remove_all(workFolder, error);
}

void WriteFile(const fs::path& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ZELK_FUZZ_CHECK(file != nullptr, "cannot create " + path.string());
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ZELK_FUZZ_CHECK(std::fclose(file) == 0 && written, "cannot write " + path.string());
}

std::string ReadFile(const fs::path& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ZELK_FUZZ_CHECK(file != nullptr, "cannot open " + path.string());
    std::string text;
    char buffer[4096];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, count);
    }
    std::fclose(file);
    return text;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return lower;
}

// The lines of an INI file by its rules: lines end at LF (a CR before it belongs to the line end);
// a header is a line whose first non-blank character is "[" with a "]" after it, named by what
// stands between them; ";" starts a comment; a key line has a "=", with names and values taken
// without surrounding blanks; names fold ASCII case; repeated headers make one section.
struct Line {
    std::string_view text;  // without the line end
    bool header = false;
    bool inSection = false;  // a key line of section "NEURON NETWORK"
    std::string_view key;    // spelt as in the file
    std::string_view value;
};

std::vector<Line> ReadLines(std::string_view text) {
    std::vector<Line> lines;
    bool inside = false;
    std::size_t start = 0;
    while (start < text.size()) {
        // CR LF, LF and a lone CR each end a line.
        std::size_t end = start;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') {
            ++end;
        }
        Line line;
        line.text = text.substr(start, end - start);
        std::string_view rest = line.text;
        if (start == 0 && rest.substr(0, 3) == "\xEF\xBB\xBF") {
            rest.remove_prefix(3);
        }
        start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
        while (!rest.empty() && IsBlank(rest.front())) {
            rest.remove_prefix(1);
        }
        const std::size_t close = rest.rfind(']');
        if (!rest.empty() && rest.front() == '[') {
            if (close != std::string_view::npos && close > 0) {
                line.header = true;
                inside = Lower(Trim(rest.substr(1, close - 1))) == "neuron network";
            }
        } else if (inside && (rest.empty() || rest.front() != ';')) {
            const std::size_t equals = rest.find('=');
            if (equals != std::string_view::npos) {
                line.inSection = true;
                line.key = Trim(rest.substr(0, equals));
                line.value = Trim(rest.substr(equals + 1));
            }
        }
        lines.push_back(line);
    }
    return lines;
}

// The keys of section "NEURON NETWORK"; the first of repeated keys counts.
struct Section {
    bool found = false;
    std::map<std::string, std::string> keys;

    std::string Read(std::string_view key) const {
        const auto place = keys.find(Lower(key));
        return place == keys.end() ? std::string() : place->second;
    }
};

Section ReadSection(std::string_view text) {
    Section section;
    bool inside = false;
    for (const Line& line : ReadLines(text)) {
        if (line.header) {
            const std::size_t open = line.text.find('[');
            const std::size_t close = line.text.rfind(']');
            inside = Lower(Trim(line.text.substr(open + 1, close - open - 1))) == "neuron network";
            section.found = section.found || inside;
        }
        if (line.inSection) {
            section.keys.try_emplace(Lower(line.key), std::string(line.value));
        }
    }
    return section;
}

// The values a stored list gives positions 0 .. count (the last one the bias); nullopt where the
// list has ended and the build's value stays.
std::vector<std::optional<double>> WalkList(std::string_view list, int32_t count) {
    std::vector<std::optional<double>> values;
    std::optional<std::size_t> cursor = 0;
    for (int32_t k = 0; k <= count; ++k) {
        if (!cursor) {
            values.emplace_back();
            continue;
        }
        values.emplace_back(zelk::ReadNumber(list.substr(*cursor)));
        if (*cursor < list.size()) {
            const std::size_t comma = list.find(',', *cursor);
            cursor = comma == std::string_view::npos ? std::nullopt
                                                     : std::optional<std::size_t>(comma + 1);
        }
    }
    return values;
}

std::string NeuronKey(std::size_t layer, std::size_t neuron) {
    return "Neuron" + std::to_string(layer) + "-" + std::to_string(neuron);
}

// A value read from the list, or one left by the build: a drawn weight, a zero delta.
void CheckValue(double actual, const std::optional<double>& stored, bool weight,
                const std::string& what) {
    if (stored) {
        ZELK_FUZZ_CHECK(SameDouble(actual, *stored), what + " is " + zelk::FormatNumber(actual) +
                                                         ", file says " +
                                                         zelk::FormatNumber(*stored));
    } else {
        ZELK_FUZZ_CHECK(weight ? IsDrawnWeight(actual) : actual == 0.0,
                        what + " kept from the build is " + zelk::FormatNumber(actual));
    }
}

void CheckLoaded(const zelk::Network& network, const Section& section,
                 const zelk::fuzz::ShapePlan& plan, const std::string& what) {
    ZELK_FUZZ_CHECK(network.LayerCount == static_cast<int32_t>(plan.counts.size()) &&
                        network.Layers.size() == plan.counts.size() &&
                        network.SynapseCount == plan.synapseCount &&
                        network.TrainedSamples == 0.0 && !network.Busy,
                    what + ": loaded shape " + zelk::ShapeText(network));
    int32_t previous = 1;
    for (std::size_t i = 0; i < network.Layers.size(); ++i) {
        const zelk::Layer& layer = network.Layers[i];
        ZELK_FUZZ_CHECK(layer.NeuronCount == plan.counts[i] &&
                            layer.Neurons.size() == static_cast<std::size_t>(plan.counts[i]),
                        what + ": loaded shape " + zelk::ShapeText(network));
        for (std::size_t j = 0; j < layer.Neurons.size(); ++j) {
            const zelk::Neuron& neuron = layer.Neurons[j];
            const std::string key = NeuronKey(i, j);
            const std::string at = what + ": " + key;
            ZELK_FUZZ_CHECK(neuron.InputCount == previous &&
                                neuron.Weight.size() == static_cast<std::size_t>(previous) &&
                                neuron.DeltaWeight.size() == static_cast<std::size_t>(previous),
                            at + " synapses");
            CheckValue(neuron.Output, zelk::ReadNumber(section.Read(key)), false, at + " output");
            if (i == 0) {
                // The input layer's lists are never read: weight 1, delta 0, the build's bias.
                ZELK_FUZZ_CHECK(neuron.Weight[0] == 1.0 && neuron.DeltaWeight[0] == 0.0 &&
                                    IsDrawnWeight(neuron.BiasWeight) &&
                                    neuron.DeltaBiasWeight == 0.0,
                                at + " input synapse");
                continue;
            }
            const auto weights = WalkList(section.Read(key + "_Weight"), neuron.InputCount);
            const auto deltas = WalkList(section.Read(key + "_DeltaWeight"), neuron.InputCount);
            for (std::size_t k = 0; k < neuron.Weight.size(); ++k) {
                const std::string s = " synapse " + std::to_string(k);
                CheckValue(neuron.Weight[k], weights[k], true, at + s + " weight");
                CheckValue(neuron.DeltaWeight[k], deltas[k], false, at + s + " delta");
            }
            CheckValue(neuron.BiasWeight, weights.back(), true, at + " bias weight");
            CheckValue(neuron.DeltaBiasWeight, deltas.back(), false, at + " delta bias weight");
        }
        previous = plan.counts[i];
    }
}

// Two networks hold the same in the file's terms: shape, and every output, weight and delta
// written as the file writes numbers. The input layer's bias weights are not in the file.
void CheckSameInFile(const zelk::Network& actual, const zelk::Network& expected,
                     const std::string& what) {
    ZELK_FUZZ_CHECK(zelk::ShapeText(actual) == zelk::ShapeText(expected) &&
                        actual.SynapseCount == expected.SynapseCount &&
                        actual.TrainedSamples == 0.0,
                    what + ": shape " + zelk::ShapeText(actual));
    auto same = [&](double a, double e, const std::string& where) {
        ZELK_FUZZ_CHECK(zelk::FormatNumber(a) == zelk::FormatNumber(e),
                        what + ": " + where + " is " + zelk::FormatNumber(a) + ", was " +
                            zelk::FormatNumber(e));
    };
    for (std::size_t i = 0; i < expected.Layers.size(); ++i) {
        for (std::size_t j = 0; j < expected.Layers[i].Neurons.size(); ++j) {
            const zelk::Neuron& a = actual.Layers[i].Neurons[j];
            const zelk::Neuron& e = expected.Layers[i].Neurons[j];
            const std::string key = NeuronKey(i, j);
            ZELK_FUZZ_CHECK(a.Weight.size() == e.Weight.size(), what + ": " + key);
            same(a.Output, e.Output, key + " output");
            for (std::size_t k = 0; k < e.Weight.size(); ++k) {
                same(a.Weight[k], e.Weight[k], key + " weight " + std::to_string(k));
                same(a.DeltaWeight[k], e.DeltaWeight[k], key + " delta " + std::to_string(k));
            }
            if (i > 0) {
                same(a.BiasWeight, e.BiasWeight, key + " bias weight");
                same(a.DeltaBiasWeight, e.DeltaBiasWeight, key + " delta bias weight");
            }
        }
    }
}

// The number list of a neuron above the input layer: its synapse values, then its bias value.
std::string NumberList(const std::vector<double>& values, double bias) {
    std::string list;
    for (const double value : values) {
        list += zelk::FormatNumber(value) + ",";
    }
    return list + zelk::FormatNumber(bias);
}

// What a save writes into a file that did not exist: the section, the texts, the shape, then every
// neuron's three keys layer by layer and after every layer but the last its bias key.
std::string ExpectedNewFile(const zelk::Network& network, std::string_view name,
                            std::string_view type) {
    std::string shape;
    for (std::size_t i = 0; i < network.Layers.size(); ++i) {
        shape += (i > 0 ? "-" : "") + std::to_string(network.Layers[i].Neurons.size());
    }
    std::string text = "[NEURON NETWORK]\r\nName=" + std::string(name) +
                       "\r\nType=" + std::string(type) + "\r\nNetwork=" + shape + "\r\n";
    for (std::size_t i = 0; i < network.Layers.size(); ++i) {
        for (std::size_t j = 0; j < network.Layers[i].Neurons.size(); ++j) {
            const zelk::Neuron& neuron = network.Layers[i].Neurons[j];
            const std::string key = NeuronKey(i, j);
            text += key + "=" + zelk::FormatNumber(neuron.Output) + "\r\n";
            text += key +
                    "_Weight=" + (i == 0 ? "Input" : NumberList(neuron.Weight, neuron.BiasWeight)) +
                    "\r\n";
            text += key + "_DeltaWeight=" +
                    (i == 0 ? "Input" : NumberList(neuron.DeltaWeight, neuron.DeltaBiasWeight)) +
                    "\r\n";
        }
        if (i + 1 < network.Layers.size()) {
            text += "NeuronBias" + std::to_string(i) + "=-1\r\n";
        }
    }
    return text;
}

// The key names, folded, that a save of the network writes.
std::set<std::string> WrittenKeys(const zelk::Network& network) {
    std::set<std::string> keys{"name", "type", "network"};
    for (std::size_t i = 0; i < network.Layers.size(); ++i) {
        for (std::size_t j = 0; j < network.Layers[i].Neurons.size(); ++j) {
            const std::string key = Lower(NeuronKey(i, j));
            keys.insert({key, key + "_weight", key + "_deltaweight"});
        }
        if (i + 1 < network.Layers.size()) {
            keys.insert("neuronbias" + std::to_string(i));
        }
    }
    return keys;
}

// A save over an existing file keeps every line of it in place; only the first line of each key
// that the save writes takes the new value, under its name as the file spells it. New keys and a
// missing section header add lines, nothing else; every line ends in CR LF.
void CheckKeptLines(std::string_view original, std::string_view saved,
                    const std::set<std::string>& written, const std::string& what) {
    for (std::size_t i = saved.find('\n'); i != std::string_view::npos;
         i = saved.find('\n', i + 1)) {
        ZELK_FUZZ_CHECK(i > 0 && saved[i - 1] == '\r', what + ": a line ends without CR LF");
    }
    ZELK_FUZZ_CHECK(saved.size() >= 2 && saved.substr(saved.size() - 2) == "\r\n",
                    what + ": the last line ends without CR LF");
    const std::vector<Line> before = ReadLines(original);
    const std::vector<Line> after = ReadLines(saved);
    auto added = [&](const Line& line) {
        return line.text == "[NEURON NETWORK]" ||
               (line.inSection && written.contains(Lower(line.key)) &&
                line.text.starts_with(std::string(line.key) + "="));
    };
    std::set<std::string> replaced;
    std::size_t j = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        const Line& line = before[i];
        const bool replace = line.inSection && written.contains(Lower(line.key)) &&
                             replaced.insert(Lower(line.key)).second;
        auto matches = [&](const Line& candidate) {
            return replace ? candidate.inSection && candidate.key == line.key &&
                                 candidate.text.starts_with(std::string(line.key) + "=")
                           : candidate.text == line.text;
        };
        while (j < after.size() && !matches(after[j])) {
            ZELK_FUZZ_CHECK(added(after[j]), what + ": line " + std::to_string(i + 1) + " \"" +
                                                 Escaped(line.text) + "\" became \"" +
                                                 Escaped(after[j].text) + "\"");
            ++j;
        }
        ZELK_FUZZ_CHECK(j < after.size(), what + ": line " + std::to_string(i + 1) + " \"" +
                                              Escaped(line.text) + "\" is gone");
        ++j;
    }
    for (; j < after.size(); ++j) {
        ZELK_FUZZ_CHECK(added(after[j]),
                        what + ": the line \"" + Escaped(after[j].text) + "\" was added");
    }
}

struct Loaded {
    zelk::Network network;
    std::string name;
    std::string type;
    std::string shape;
};

Loaded LoadBack(const fs::path& file, const std::string& what) {
    Loaded loaded;
    try {
        zelk::LoadNetworkFile(loaded.network, file.string(), loaded.name, loaded.type,
                              loaded.shape);
    } catch (const std::runtime_error& error) {
        zelk::fuzz::Fail("a saved file loads", what + ": " + error.what());
    }
    return loaded;
}

// A name or type text that the INI line cannot hold: the save must refuse it whole.
bool HasLineEnd(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::error_code error;
    workFolder = fs::temp_directory_path(error) / ("zelk-fuzz-" + std::to_string(getpid()));
    fs::create_directories(workFolder, error);
    ZELK_FUZZ_CHECK(!error, "cannot create " + workFolder.string());
    std::atexit(RemoveWorkFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Section section = ReadSection(text);
    const std::string storedShape = section.Read("Network");
    const zelk::fuzz::ShapePlan plan = zelk::fuzz::PlanShape(storedShape);
    if (plan.cost > zelk::fuzz::kMaxFileShapeCost) {
        return 0;  // a valid network too large to fuzz quickly
    }
    const fs::path original = workFolder / "original.ini";
    const fs::path fresh = workFolder / "fresh.ini";
    const fs::path again = workFolder / "again.ini";
    const fs::path over = workFolder / "over.ini";
    std::error_code error;
    fs::remove(fresh, error);
    fs::remove(again, error);
    WriteFile(original, text);
    // libFuzzer prints the input itself; the messages only say which step broke.
    const std::string what = "the file";

    // What a refused load must leave exactly as it was.
    Loaded first;
    zelk::BuildNetwork(first.network, "2-1");
    first.network.Layers[1].Neurons[0].Output = 0.25;
    first.name = "name before";
    first.type = "type before";
    first.shape = "shape before";
    const zelk::Network before = first.network;
    try {
        zelk::LoadNetworkFile(first.network, original.string(), first.name, first.type,
                              first.shape);
    } catch (const std::runtime_error& refusal) {
        ZELK_FUZZ_CHECK(!section.found || plan.mustRefuse || plan.mayRefuse,
                        what + " refused: " + refusal.what());
        CheckSameInFile(first.network, before, what + " refused");
        ZELK_FUZZ_CHECK(SameDouble(first.network.Layers[0].Neurons[0].BiasWeight,
                                   before.Layers[0].Neurons[0].BiasWeight) &&
                            first.name == "name before" && first.type == "type before" &&
                            first.shape == "shape before",
                        what + " refused but changed the network or the texts");
        return 0;
    }
    ZELK_FUZZ_CHECK(section.found && !plan.mustRefuse, what + " loaded");
    ZELK_FUZZ_CHECK(first.name == section.Read("Name") && first.type == section.Read("Type") &&
                        first.shape == storedShape,
                    what + " loaded the texts \"" + Escaped(first.name) + "\", \"" +
                        Escaped(first.type) + "\", \"" + Escaped(first.shape) + "\"");
    CheckLoaded(first.network, section, plan, what);

    // The window reads its three pattern lists back from the name text.
    zelk::ReadNameText(first.name);

    if (HasLineEnd(first.name) || HasLineEnd(first.type)) {
        try {
            zelk::SaveNetworkFile(first.network, fresh.string(), first.name, first.type);
        } catch (const std::runtime_error&) {
            ZELK_FUZZ_CHECK(!fs::exists(fresh), what + ": a refused save left a file");
            return 0;
        }
        zelk::fuzz::Fail("a text with a line end is refused", what);
    }

    // Into a new file: it loads back as the same network, and saving that gives the same bytes.
    zelk::SaveNetworkFile(first.network, fresh.string(), first.name, first.type);
    const Loaded second = LoadBack(fresh, what + " saved anew");
    ZELK_FUZZ_CHECK(second.name == first.name && second.type == first.type &&
                        second.shape == zelk::ShapeText(first.network),
                    what + " saved anew gave the texts \"" + Escaped(second.name) + "\", \"" +
                        Escaped(second.type) + "\", \"" + Escaped(second.shape) + "\"");
    CheckSameInFile(second.network, first.network, what + " saved anew");
    ZELK_FUZZ_CHECK(ReadFile(fresh) == ExpectedNewFile(first.network, first.name, first.type),
                    what + " saved anew as \"" + Escaped(ReadFile(fresh)) + "\"");
    zelk::SaveNetworkFile(second.network, again.string(), second.name, second.type);
    ZELK_FUZZ_CHECK(ReadFile(again) == ReadFile(fresh), what + " saved twice differs");

    // Over the original: the other lines stay, and the file loads as the network saved. A file
    // that begins as UTF-16 does is refused and kept byte for byte: its line ends are not ours.
    WriteFile(over, text);
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
        try {
            zelk::SaveNetworkFile(first.network, over.string(), first.name, first.type);
        } catch (const std::runtime_error&) {
            ZELK_FUZZ_CHECK(ReadFile(over) == text, what + ": a refused save changed the file");
            return 0;
        }
        zelk::fuzz::Fail("a UTF-16 file is refused", what);
    }
    zelk::SaveNetworkFile(first.network, over.string(), first.name, first.type);
    CheckKeptLines(text, ReadFile(over), WrittenKeys(first.network), what + " saved over");
    const Loaded third = LoadBack(over, what + " saved over");
    ZELK_FUZZ_CHECK(third.name == first.name && third.type == first.type &&
                        third.shape == zelk::ShapeText(first.network),
                    what + " saved over gave the texts \"" + Escaped(third.name) + "\", \"" +
                        Escaped(third.type) + "\", \"" + Escaped(third.shape) + "\"");
    CheckSameInFile(third.network, first.network, what + " saved over");
    return 0;
}
