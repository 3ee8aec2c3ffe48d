// Comma texts: any list of lines is written in the one defined form and reads back as the same
// lines; any text reads without a fault, and what it reads as survives a write and a read.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"

namespace {

using zelk::fuzz::Escaped;

std::string DescribeLines(const std::vector<std::string>& lines) {
    std::string text = std::to_string(lines.size()) + " lines:";
    for (const std::string& line : lines) {
        text += " \"" + Escaped(line) + "\"";
    }
    return text;
}

// The written form: lines joined by ",", a line with a character of code 32 or below, a "," or
// a double quote enclosed in double quotes with its quotes doubled; one empty line alone is "".
std::string ExpectedCommaText(const std::vector<std::string>& lines) {
    if (lines.size() == 1 && lines[0].empty()) {
        return "\"\"";
    }
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            text.push_back(',');
        }
        bool quote = false;
        for (const char c : lines[i]) {
            quote = quote || static_cast<unsigned char>(c) <= 32 || c == ',' || c == '"';
        }
        if (!quote) {
            text += lines[i];
            continue;
        }
        text.push_back('"');
        for (const char c : lines[i]) {
            text.push_back(c);
            if (c == '"') {
                text.push_back('"');
            }
        }
        text.push_back('"');
    }
    return text;
}

void CheckRoundTrip(const std::vector<std::string>& lines) {
    const std::string written = zelk::WriteCommaText(lines);
    ZELK_FUZZ_CHECK(written == ExpectedCommaText(lines),
                    DescribeLines(lines) + " written as \"" + Escaped(written) + "\"");
    const std::vector<std::string> read = zelk::ReadCommaText(written);
    ZELK_FUZZ_CHECK(read == lines, DescribeLines(lines) + " written as \"" + Escaped(written) +
                                       "\" read back as " + DescribeLines(read));
}

// The window keeps its three pattern lists in the name text of the network file. Pane lines have
// no line ends. The lists must come back as they were, and the name text must be one the file
// keeps verbatim: no line end, no blank at either end (values are read without surrounding
// blanks).
void CheckWindowLists(FuzzedDataProvider& provider) {
    zelk::PatternLists lists;
    std::vector<std::string>* const parts[] = {&lists.Inputs, &lists.Samples, &lists.Desired};
    std::string what = "lists";
    for (std::vector<std::string>* list : parts) {
        const int count = provider.ConsumeIntegralInRange(0, 6);
        for (int i = 0; i < count; ++i) {
            std::string line = provider.ConsumeRandomLengthString(32);
            std::erase_if(line, [](char c) { return c == '\n' || c == '\r'; });
            list->push_back(std::move(line));
        }
        what += " [" + DescribeLines(*list) + "]";
    }
    const std::string name = zelk::WriteNameText(lists);
    what += " in the name text \"" + Escaped(name) + "\"";
    ZELK_FUZZ_CHECK(name.find_first_of("\r\n") == std::string::npos && !name.empty() &&
                        static_cast<unsigned char>(name.front()) > 32 &&
                        static_cast<unsigned char>(name.back()) > 32,
                    what);
    // Field by field: the label, then the comma text of each list.
    ZELK_FUZZ_CHECK(zelk::GetField(name, ';', 0, '"') == zelk::kNameLabel, what);
    for (int k = 0; k < 3; ++k) {
        ZELK_FUZZ_CHECK(zelk::GetField(name, ';', k + 1, '"') == zelk::WriteCommaText(*parts[k]),
                        what + ": field " + std::to_string(k + 1));
    }
    const zelk::PatternLists read = zelk::ReadNameText(name);
    ZELK_FUZZ_CHECK(read == lists, what + " read back as [" + DescribeLines(read.Inputs) + "] [" +
                                       DescribeLines(read.Samples) + "] [" +
                                       DescribeLines(read.Desired) + "]");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const int mode = provider.ConsumeIntegralInRange(0, 2);
    if (mode == 2) {
        CheckWindowLists(provider);
    } else if (mode == 1) {
        std::vector<std::string> lines;
        const int count = provider.ConsumeIntegralInRange(0, 16);
        for (int i = 0; i < count; ++i) {
            lines.push_back(provider.ConsumeRandomLengthString(64));
        }
        CheckRoundTrip(lines);
    } else {
        const std::string text = provider.ConsumeRemainingBytesAsString();
        const std::vector<std::string> lines = zelk::ReadCommaText(text);
        // Every line but a final empty one needs at least one character of the text.
        ZELK_FUZZ_CHECK(lines.size() <= text.size() + 1,
                        "\"" + Escaped(text) + "\" read as " + DescribeLines(lines));
        CheckRoundTrip(lines);
    }
    return 0;
}
