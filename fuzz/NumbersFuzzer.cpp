// Number texts: ReadNumber on any bytes agrees with a small grammar written here; FormatNumber and
// FormatFixed give the "%.10g" and "%f" texts (std::to_chars is the reference, as it follows
// printf's rules without its locale); a FormatNumber text reads back to the same text.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "fuzz/FuzzSupport.h"

namespace {

using zelk::fuzz::Escaped;
using zelk::fuzz::SameDouble;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsWhiteSpace(char c) { return c != 0 && std::strchr(" \t\n\v\f\r", c) != nullptr; }

std::string Bits(double x) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::hex);
    return std::string(buffer, result.ptr);
}

enum class Kind { NoNumber, Number, Infinity, NotANumber };

struct Reading {
    Kind kind = Kind::NoNumber;
    bool negative = false;
    std::string_view digits;    // the number without its sign: mantissa and exponent
    std::string_view mantissa;  // digits and the point
    std::string_view exponent;  // after "e": optional sign and digits
};

// The longest prefix that is a number: blanks, a sign, digits with at most one point (at least
// one digit), then "e" or "E", an optional sign and digits; a sign followed by "INF" or "NAN".
Reading Parse(std::string_view text) {
    Reading reading;
    std::size_t i = 0;
    while (i < text.size() && IsWhiteSpace(text[i])) {
        ++i;
    }
    bool sign = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        sign = true;
        reading.negative = text[i] == '-';
        ++i;
    }
    if (sign && text.substr(i, 3) == "INF") {
        reading.kind = Kind::Infinity;
        return reading;
    }
    if (sign && text.substr(i, 3) == "NAN") {
        reading.kind = Kind::NotANumber;
        return reading;
    }
    const std::size_t start = i;
    std::size_t digits = 0;
    bool point = false;
    while (i < text.size() && (IsDigit(text[i]) || (text[i] == '.' && !point))) {
        digits += IsDigit(text[i]) ? 1 : 0;
        point = point || text[i] == '.';
        ++i;
    }
    if (digits == 0) {
        reading.negative = false;
        return reading;
    }
    reading.kind = Kind::Number;
    reading.mantissa = text.substr(start, i - start);
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        std::size_t k = j;
        while (k < text.size() && IsDigit(text[k])) {
            ++k;
        }
        if (k > j) {
            reading.exponent = text.substr(i + 1, k - i - 1);
            i = k;
        }
    }
    reading.digits = text.substr(start, i - start);
    return reading;
}

// Above 0 when the number is too large for a double, below when it is too small: the power of
// ten of its first nonzero digit, far from 0 for any text that from_chars cannot hold.
std::int64_t PowerOfTen(const Reading& reading) {
    std::int64_t power = 0;
    std::size_t i = 0;
    bool negative = false;
    if (!reading.exponent.empty() && (reading.exponent[0] == '+' || reading.exponent[0] == '-')) {
        negative = reading.exponent[0] == '-';
        i = 1;
    }
    for (; i < reading.exponent.size(); ++i) {
        power = std::min<std::int64_t>(power * 10 + (reading.exponent[i] - '0'), 1'000'000'000);
    }
    power = negative ? -power : power;
    std::int64_t position = 0;  // of the digit relative to the point, 0 for the units
    const std::size_t point = std::min(reading.mantissa.find('.'), reading.mantissa.size());
    for (std::size_t k = 0; k < reading.mantissa.size(); ++k) {
        const char c = reading.mantissa[k];
        if (c == '.' || c == '0') {
            continue;
        }
        position = k < point ? static_cast<std::int64_t>(point - k - 1)
                             : -static_cast<std::int64_t>(k - point);
        break;
    }
    return power + position;
}

void CheckReadNumber(std::string_view text) {
    const double actual = zelk::ReadNumber(text);
    const Reading reading = Parse(text);
    const std::string what = "ReadNumber(\"" + Escaped(text) + "\") gave " + Bits(actual) + " (" +
                             zelk::FormatNumber(actual) + ")";
    // How far it read: the bytes before that end alone read as the same number, and a number ends
    // where the grammar's does.
    std::size_t end = 0;
    ZELK_FUZZ_CHECK(SameDouble(zelk::ReadNumber(text, end), actual) && end <= text.size(), what);
    ZELK_FUZZ_CHECK(SameDouble(zelk::ReadNumber(text.substr(0, end)), actual),
                    what + ", read to " + std::to_string(end));
    if (reading.kind == Kind::NoNumber) {
        ZELK_FUZZ_CHECK(end == 0, what + ", read to " + std::to_string(end));
    } else if (reading.kind == Kind::Number) {
        const auto numberEnd =
            static_cast<std::size_t>(reading.digits.data() - text.data()) + reading.digits.size();
        ZELK_FUZZ_CHECK(end == numberEnd, what + ", read to " + std::to_string(end));
    }
    switch (reading.kind) {
        case Kind::NoNumber:
            ZELK_FUZZ_CHECK(actual == 0.0, what);
            return;
        case Kind::Infinity:
            ZELK_FUZZ_CHECK(std::isinf(actual) && std::signbit(actual) == reading.negative, what);
            return;
        case Kind::NotANumber:
            ZELK_FUZZ_CHECK(std::isnan(actual) && std::signbit(actual) == reading.negative, what);
            return;
        case Kind::Number:
            break;
    }
    double magnitude = 0.0;
    const char* first = reading.digits.data();
    const char* last = first + reading.digits.size();
    const auto result = std::from_chars(first, last, magnitude, std::chars_format::general);
    ZELK_FUZZ_CHECK(result.ptr == last, "reference stopped early on " + what);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large reads as an infinity of its sign, too small as zero.
        if (PowerOfTen(reading) > 0) {
            ZELK_FUZZ_CHECK(std::isinf(actual) && std::signbit(actual) == reading.negative, what);
        } else {
            ZELK_FUZZ_CHECK(actual == 0.0, what);
        }
        return;
    }
    ZELK_FUZZ_CHECK(result.ec == std::errc(), "reference failed on " + what);
    const double expected = reading.negative ? -magnitude : magnitude;
    ZELK_FUZZ_CHECK(SameDouble(actual, expected), what + ", expected " + Bits(expected));
}

// The text as a pattern line: every field that ReadPatternFields tells of reads as ReadPattern
// reads that value, and its offsets lie in order inside the line.
void CheckPatternFields(std::string_view line) {
    const std::vector<zelk::PatternField> fields = zelk::ReadPatternFields(line);
    const zelk::ValueVector values =
        zelk::ReadPattern(line, static_cast<std::int32_t>(fields.size()));
    ZELK_FUZZ_CHECK(values.Values.size() == fields.size(),
                    "ReadPatternFields(\"" + Escaped(line) + "\")");
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const zelk::PatternField& field = fields[i];
        const std::string what = "field " + std::to_string(i) + " of \"" + Escaped(line) + "\"";
        ZELK_FUZZ_CHECK(SameDouble(field.Value, values.Values[i]), what);
        ZELK_FUZZ_CHECK(field.Span.Begin <= field.NumberEnd && field.NumberEnd <= field.ValueEnd &&
                            field.ValueEnd <= field.Span.End && field.Span.End <= line.size(),
                        what);
    }
}

std::string NonFiniteText(double x) {
    if (std::isinf(x)) {
        return x < 0 ? "-INF" : "+INF";
    }
    return std::signbit(x) ? "-NAN" : "+NAN";
}

std::string Reference(double x, std::chars_format format, int precision) {
    if (!std::isfinite(x)) {
        return NonFiniteText(x);
    }
    char buffer[512];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, x, format, precision);
    ZELK_FUZZ_CHECK(result.ec == std::errc(), "reference failed on " + Bits(x));
    return std::string(buffer, result.ptr);
}

void CheckFormats(double x) {
    const std::string text = zelk::FormatNumber(x);
    ZELK_FUZZ_CHECK(text == Reference(x, std::chars_format::general, 10),
                    "FormatNumber(" + Bits(x) + ") gave \"" + Escaped(text) + "\"");
    const std::string fixed = zelk::FormatFixed(x);
    ZELK_FUZZ_CHECK(fixed == Reference(x, std::chars_format::fixed, 6),
                    "FormatFixed(" + Bits(x) + ") gave \"" + Escaped(fixed) + "\"");

    // Ten significant digits survive a write and a read: the read value writes the same text.
    // Only the values next to the largest double round to a text beyond it, which reads as an
    // infinity like every number too large for a double.
    const double back = zelk::ReadNumber(text);
    const std::string again = zelk::FormatNumber(back);
    if (std::isinf(back) && std::isfinite(x)) {
        ZELK_FUZZ_CHECK(text == "1.797693135e+308" || text == "-1.797693135e+308",
                        "FormatNumber(" + Bits(x) + ") = \"" + text + "\" read back as " + again);
        return;
    }
    ZELK_FUZZ_CHECK(again == text, "FormatNumber(" + Bits(x) + ") = \"" + text +
                                       "\" read back as " + Bits(back) + " = \"" + again + "\"");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckReadNumber(text);
    CheckFormats(zelk::ReadNumber(text));
    CheckPatternFields(text);
    // The first eight bytes as a double reach every bit pattern, NaN payloads and subnormals too.
    if (size >= sizeof(double)) {
        double x = 0.0;
        std::memcpy(&x, data, sizeof x);
        CheckFormats(x);
    }
    return 0;
}
