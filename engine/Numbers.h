#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Fields.h"
#include "engine/Network.h"

namespace zelk {

// Number texts: every number the engine reads or writes. The decimal point is "." whatever the
// locale.

// The number at the start of a text (after white space): an optional sign, digits with at most one
// ".", an optional exponent. "+INF", "-INF", "+NAN", "-NAN" in capitals after a sign. Anything
// else reads as 0.
double ReadNumber(std::string_view text);
// The same, telling in `end` how far it read: the bytes [0, end) make the number, white space
// before it included, and everything from `end` on is ignored. Without a number `end` is 0.
double ReadNumber(std::string_view text, std::size_t& end);

// n values read from a pattern line: fields split at "-" with the double quote as the quote
// character; missing or non-numeric values read as 0, surplus ones are ignored.
ValueVector ReadPattern(std::string_view line, int32_t n);

// One field of a pattern line as ReadPattern reads it. Offsets are bytes of the line: the field
// stands at Span (enclosing quotes included); its number ends at NumberEnd, and what follows up to
// ValueEnd (the end of its characters, before a closing quote) is ignored.
struct PatternField {
    FieldSpan Span;
    std::size_t NumberEnd = 0;
    std::size_t ValueEnd = 0;
    bool Blank = false;  // empty after TrimBlanks: reads as 0
    double Value = 0.0;
};

// Every field of a pattern line, however many the line has; ReadPattern(line, n) gives the Value
// of the first n of them and 0 for the rest.
std::vector<PatternField> ReadPatternFields(std::string_view line);

// The double in the "%.10g" form, for data; infinities and not-a-number values as "+INF", "-INF",
// "+NAN", "-NAN".
std::string FormatNumber(double x);

// The double in the "%f" form, for what is only shown: fixed notation with six decimals.
std::string FormatFixed(double x);

}  // namespace zelk
