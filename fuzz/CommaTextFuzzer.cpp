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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    if (provider.ConsumeBool()) {
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
