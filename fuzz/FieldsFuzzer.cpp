// Delimited fields: any text, separator and quote character go through GetField, SetField,
// QuoteField, TrimBlanks and ForEachField without a fault, and a text built only by SetField gives
// back every value that was set.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"

namespace {

using zelk::fuzz::Escaped;

// The callers use "-" or ";" with the double quote; any other pair is fuzzed as well.
void ChooseCharacters(FuzzedDataProvider& provider, char& separator, char& quote) {
    switch (provider.ConsumeIntegralInRange(0, 3)) {
        case 0:
            separator = '-';
            quote = '"';
            break;
        case 1:
            separator = ';';
            quote = '"';
            break;
        case 2:
            separator = ',';
            quote = '\'';
            break;
        default:
            separator = provider.ConsumeIntegral<char>();
            quote = provider.ConsumeIntegral<char>();
            break;
    }
}

std::string Describe(std::string_view text, char separator, char quote) {
    return "text \"" + Escaped(text) + "\" separator \"" + Escaped({&separator, 1}) +
           "\" quote \"" + Escaped({&quote, 1}) + "\"";
}

// Separators outside quotes, counted the way every field operation counts them.
int CountSeparators(std::string_view text, char separator, char quote) {
    bool quoted = false;
    int count = 0;
    for (const char c : text) {
        if (c == quote) {
            quoted = !quoted;
        } else if (c == separator && !quoted) {
            ++count;
        }
    }
    return count;
}

bool QuotesBalanced(std::string_view text, char quote) {
    std::size_t count = 0;
    for (const char c : text) {
        count += c == quote ? 1 : 0;
    }
    return count % 2 == 0;
}

void CheckTrimBlanks(std::string_view text) {
    const std::string trimmed = zelk::TrimBlanks(text);
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    ZELK_FUZZ_CHECK(trimmed.empty() || (!blank(trimmed.front()) && !blank(trimmed.back())),
                    "TrimBlanks of \"" + Escaped(text) + "\" gave \"" + Escaped(trimmed) + "\"");
    std::size_t begin = 0;
    while (begin < text.size() && blank(text[begin])) {
        ++begin;
    }
    // Only blanks go: whatever lies between the first and the last other character stays.
    ZELK_FUZZ_CHECK(text.substr(begin, trimmed.size()) == trimmed,
                    "TrimBlanks of \"" + Escaped(text) + "\" gave \"" + Escaped(trimmed) + "\"");
}

// Arbitrary text: every operation is total; with distinct separator and quote, ForEachField and
// GetField agree, QuoteField reads back, and SetField on a text with balanced quotes replaces
// exactly the field asked for.
void CheckArbitraryText(FuzzedDataProvider& provider, char separator, char quote) {
    const std::string text = provider.ConsumeRandomLengthString(256);
    const std::string value = provider.ConsumeRandomLengthString(32);
    const int index = provider.ConsumeIntegralInRange(-2, 40);
    CheckTrimBlanks(text);

    const std::string field = zelk::GetField(text, separator, index, quote);
    const std::string set = zelk::SetField(text, separator, index, value, quote);
    const std::string quotedValue = zelk::QuoteField(value, separator, quote);
    if (index < 0) {
        ZELK_FUZZ_CHECK(field.empty(), Describe(text, separator, quote));
        ZELK_FUZZ_CHECK(set == text, Describe(text, separator, quote));
    }
    if (separator == quote) {
        return;  // a character that both quotes and separates has no defined reading
    }

    const std::string what = Describe(text, separator, quote) + " value \"" + Escaped(value) +
                             "\" index " + std::to_string(index);
    ZELK_FUZZ_CHECK(zelk::GetField(quotedValue, separator, 0, quote) == value, what);
    ZELK_FUZZ_CHECK(CountSeparators(quotedValue, separator, quote) == 0, what);

    std::vector<std::string> fields;
    zelk::ForEachField(text, separator, quote, [&](const std::string& f) { fields.push_back(f); });
    ZELK_FUZZ_CHECK(
        fields.size() == static_cast<std::size_t>(CountSeparators(text, separator, quote)) + 1,
        what);
    for (std::size_t i = 0; i <= fields.size(); ++i) {
        const std::string expected = i < fields.size() ? fields[i] : std::string();
        ZELK_FUZZ_CHECK(zelk::GetField(text, separator, static_cast<int>(i), quote) == expected,
                        what + " field " + std::to_string(i));
    }

    if (index >= 0 && QuotesBalanced(text, quote)) {
        ZELK_FUZZ_CHECK(set.empty() || set.back() != separator, what + " gave \"" + Escaped(set));
        for (int i = 0; i <= static_cast<int>(fields.size()) + index + 1; ++i) {
            const std::string expected =
                i == index ? value : zelk::GetField(text, separator, i, quote);
            ZELK_FUZZ_CHECK(zelk::GetField(set, separator, i, quote) == expected,
                            what + " gave \"" + Escaped(set) + "\", field " + std::to_string(i));
        }
    }
}

// A text built only by SetField: every value set reads back, a value set as an empty last field
// is gone, and the text has exactly as many fields as values remain.
void CheckBuiltText(FuzzedDataProvider& provider, char separator, char quote) {
    if (separator == quote) {
        return;
    }
    std::string text;
    std::vector<std::string> model;
    std::string history;
    const int steps = provider.ConsumeIntegralInRange(1, 12);
    for (int step = 0; step < steps && provider.remaining_bytes() > 0; ++step) {
        const int index = provider.ConsumeIntegralInRange(0, 15);
        const std::string value = provider.ConsumeRandomLengthString(24);
        text = zelk::SetField(text, separator, index, value, quote);
        history += " [" + std::to_string(index) + "]=\"" + Escaped(value) + "\"";

        if (model.size() <= static_cast<std::size_t>(index)) {
            model.resize(static_cast<std::size_t>(index) + 1);
        }
        model[static_cast<std::size_t>(index)] = value;
        while (!model.empty() && model.back().empty()) {
            model.pop_back();
        }

        const std::string what = Describe(text, separator, quote) + " after" + history;
        ZELK_FUZZ_CHECK(text.empty() == model.empty(), what);
        if (!model.empty()) {
            ZELK_FUZZ_CHECK(static_cast<std::size_t>(CountSeparators(text, separator, quote)) + 1 ==
                                model.size(),
                            what);
        }
        for (std::size_t i = 0; i < model.size() + 2; ++i) {
            const std::string expected = i < model.size() ? model[i] : std::string();
            ZELK_FUZZ_CHECK(zelk::GetField(text, separator, static_cast<int>(i), quote) == expected,
                            what + " field " + std::to_string(i));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    char separator = '-';
    char quote = '"';
    ChooseCharacters(provider, separator, quote);
    if (provider.ConsumeBool()) {
        CheckArbitraryText(provider, separator, quote);
    } else {
        CheckBuiltText(provider, separator, quote);
    }
    return 0;
}
