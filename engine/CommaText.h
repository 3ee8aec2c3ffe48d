#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zelk {

// A list of lines as one text: joined by ",", a line holding a blank or control character, a ","
// or a double quote enclosed in double quotes with its quotes doubled; one empty line is "\"\"",
// no lines the empty text.
std::string WriteCommaText(const std::vector<std::string>& lines);

// The lines of a comma text; blanks outside quotes separate lines too, and a "," at the very end
// adds an empty last line. Any text is accepted.
std::vector<std::string> ReadCommaText(std::string_view text);

}  // namespace zelk
