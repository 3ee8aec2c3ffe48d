#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/Network.h"

namespace zelk {

// Number texts: every number the engine reads or writes. The decimal point is "." whatever the
// locale.

// The number at the start of a text (after white space): an optional sign, digits with at most one
// ".", an optional exponent. "+INF", "-INF", "+NAN", "-NAN" in capitals after a sign. Anything
// else reads as 0.
double ReadNumber(std::string_view text);

// n values read from a pattern line: fields split at "-" with the double quote as the quote
// character; missing or non-numeric values read as 0, surplus ones are ignored.
ValueVector ReadPattern(std::string_view line, int32_t n);

// The double in the "%.10g" form, for data; infinities and not-a-number values as "+INF", "-INF",
// "+NAN", "-NAN".
std::string FormatNumber(double x);

// The double in the "%f" form, for what is only shown: fixed notation with six decimals.
std::string FormatFixed(double x);

}  // namespace zelk
