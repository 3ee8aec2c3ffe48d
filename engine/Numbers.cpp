#include "engine/Numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "engine/Fields.h"

namespace zelk {

namespace {

constexpr char kSeparator = '-';
constexpr char kQuote = '"';

// The quick reading of ReadNumber: up to 19 digits fit in 64 bits, integers up to 2^53 and powers
// of ten up to 10^22 are exact doubles.
constexpr std::size_t kFastDigits = 19;
constexpr uint64_t kExactInteger = uint64_t{1} << 53;
constexpr int64_t kExactPowers = 22;
constexpr double kPowersOfTen[kExactPowers + 1] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal exponent of the first nonzero digit of a number text that did not fit a double:
// above 0 it overflowed, below it underflowed.
int64_t DecimalExponent(std::string_view mantissa, std::string_view exponent) {
    int64_t power = 0;
    bool negativePower = false;
    std::size_t i = 0;
    if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) {
        negativePower = exponent[0] == '-';
        i = 1;
    }
    for (; i < exponent.size(); ++i) {
        power = std::min<int64_t>(power * 10 + (exponent[i] - '0'), int64_t{1} << 40);
    }
    if (negativePower) {
        power = -power;
    }
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_not_of("0.");
    if (first == std::string_view::npos) {
        return power;
    }
    const auto position = static_cast<int64_t>(first);
    const auto pointPosition = static_cast<int64_t>(point);
    return power +
           (position < pointPosition ? pointPosition - position - 1 : pointPosition - position);
}

// The digits of a plain decimal, digits with at most one "." among or after them: the integer
// they form (exact while there are at most 19), how many there are and how many follow the point.
struct Decimal {
    uint64_t mantissa = 0;
    std::size_t digits = 0;
    std::size_t fractionDigits = 0;
};

// Scans a plain decimal from p and gives the position after it.
const char* ScanDecimal(const char* p, const char* end, Decimal& decimal) {
    const char* const start = p;
    for (; p < end && IsDigit(*p); ++p) {
        decimal.mantissa = decimal.mantissa * 10 + static_cast<uint64_t>(*p - '0');
    }
    decimal.digits = static_cast<std::size_t>(p - start);
    if (p < end && *p == '.') {
        const char* const fraction = ++p;
        for (; p < end && IsDigit(*p); ++p) {
            decimal.mantissa = decimal.mantissa * 10 + static_cast<uint64_t>(*p - '0');
        }
        decimal.fractionDigits = static_cast<std::size_t>(p - fraction);
        decimal.digits += decimal.fractionDigits;
    }
    return p;
}

// The value of mantissa x 10^(exponent - fractionDigits) when it can be had quickly: an integer of
// at most 2^53 and a power of ten of at most 10^22 are both exact doubles, so one multiplication
// or division rounds correctly, to the very value the full conversion gives.
bool QuickValue(const Decimal& decimal, int64_t exponent, double& value) {
    if (decimal.digits > kFastDigits || decimal.mantissa > kExactInteger) {
        return false;
    }
    const int64_t power = exponent - static_cast<int64_t>(decimal.fractionDigits);
    if (power < -kExactPowers || power > kExactPowers) {
        return false;
    }
    const double m = static_cast<double>(decimal.mantissa);
    value = power < 0 ? m / kPowersOfTen[-power] : m * kPowersOfTen[power];
    return true;
}

// ReadNumber, telling in `end` how far it read: one reader for the values and for what the window
// marks as not read.
double ReadNumberTo(std::string_view text, std::size_t& end) {
    end = 0;
    std::size_t i = 0;
    while (i < text.size() && IsWhiteSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    bool signed_ = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        signed_ = true;
        ++i;
    }
    const std::string_view rest = text.substr(i);
    if (signed_ && rest.starts_with("INF")) {
        end = i + 3;
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    }
    if (signed_ && rest.starts_with("NAN")) {
        end = i + 3;
        const double nan = std::numeric_limits<double>::quiet_NaN();
        return negative ? -nan : nan;
    }

    const char* const begin = text.data() + i;
    const char* const last = text.data() + text.size();
    Decimal decimal;
    const char* p = ScanDecimal(begin, last, decimal);
    if (decimal.digits == 0) {
        return 0.0;
    }
    const char* const mantissaEnd = p;
    int64_t exponent = 0;
    if (p < last && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        bool negativeExponent = false;
        if (q < last && (*q == '+' || *q == '-')) {
            negativeExponent = *q == '-';
            ++q;
        }
        if (q < last && IsDigit(*q)) {
            for (; q < last && IsDigit(*q); ++q) {
                exponent = std::min<int64_t>(exponent * 10 + (*q - '0'), int64_t{1} << 40);
            }
            exponent = negativeExponent ? -exponent : exponent;
            p = q;
        }
    }

    end = static_cast<std::size_t>(p - text.data());
    double value = 0.0;
    if (!QuickValue(decimal, exponent, value)) {
        const auto result = std::from_chars(begin, p, value);
        if (result.ec == std::errc::result_out_of_range) {
            const std::string_view mantissa(begin, static_cast<std::size_t>(mantissaEnd - begin));
            const std::string_view exponentText =
                mantissaEnd < p ? std::string_view(mantissaEnd + 1,
                                                   static_cast<std::size_t>(p - mantissaEnd - 1))
                                : std::string_view{};
            value = DecimalExponent(mantissa, exponentText) > 0
                        ? std::numeric_limits<double>::infinity()
                        : 0.0;
        }
    }
    return negative ? -value : value;
}

}  // namespace

double ReadNumber(std::string_view text) {
    std::size_t end = 0;
    return ReadNumberTo(text, end);
}

double ReadNumber(std::string_view text, std::size_t& end) { return ReadNumberTo(text, end); }

ValueVector ReadPattern(std::string_view line, int32_t n) {
    ValueVector pattern;
    pattern.Resize(n);
    const std::size_t count = pattern.Values.size();
    const char* const end = line.data() + line.size();
    const char* start = line.data();
    for (std::size_t i = 0; i < count;) {
        // Most fields are plain numbers such as "0.25": read them in one scan.
        Decimal decimal;
        const char* p = ScanDecimal(start, end, decimal);
        double value = 0.0;
        if (decimal.digits > 0 && (p == end || *p == kSeparator) && QuickValue(decimal, 0, value)) {
            pattern.Values[i++] = value;
            if (p == end) {
                break;  // the last field; the values after it stay 0
            }
            start = p + 1;
            continue;
        }
        // A field without quote characters is its own value. From the first quote character on,
        // the quote state matters and the fields are cut the general way.
        p = start;
        while (p < end && *p != kSeparator && *p != kQuote) {
            ++p;
        }
        if (p < end && *p == kQuote) {
            const std::string_view rest(start, static_cast<std::size_t>(end - start));
            ForEachField(rest, kSeparator, kQuote, [&](const std::string& field) {
                if (i < count) {
                    pattern.Values[i] = ReadNumber(field);
                }
                ++i;
            });
            break;
        }
        pattern.Values[i++] =
            ReadNumber(std::string_view(start, static_cast<std::size_t>(p - start)));
        if (p == end) {
            break;
        }
        start = p + 1;
    }
    return pattern;
}

std::vector<PatternField> ReadPatternFields(std::string_view line) {
    std::vector<PatternField> fields;
    ForEachFieldSpan(line, kSeparator, kQuote, [&](FieldSpan span) {
        const std::string_view text = line.substr(span.Begin, span.End - span.Begin);
        const std::string value = UnquoteField(text, kQuote);
        PatternField field;
        field.Span = span;
        std::size_t end = 0;
        field.Value = ReadNumber(value, end);
        field.NumberEnd = span.Begin + FieldOffset(text, end, kQuote);
        field.ValueEnd = span.Begin + FieldOffset(text, value.size(), kQuote);
        field.Blank = TrimmedView(value).empty();
        fields.push_back(field);
    });
    return fields;
}

namespace {

// Infinities and not-a-number values as the number texts write them, or empty for a finite x.
std::string NonFiniteText(double x) {
    if (std::isinf(x)) {
        return x < 0 ? "-INF" : "+INF";
    }
    if (std::isnan(x)) {
        return std::signbit(x) ? "-NAN" : "+NAN";
    }
    return {};
}

}  // namespace

std::string FormatNumber(double x) {
    if (!std::isfinite(x)) {
        return NonFiniteText(x);
    }
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::general, 10);
    return std::string(buffer, result.ptr);
}

std::string FormatFixed(double x) {
    if (!std::isfinite(x)) {
        return NonFiniteText(x);
    }
    // The largest double has 309 digits before the point.
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, 6);
    return std::string(buffer, result.ptr);
}

}  // namespace zelk
