#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zelk {

// The window's three pattern lists travel in the name text of a network file: the label, then
// each list as a comma text, in fields separated by ";" with the double quote as quote character.

// A list of lines as one text: joined by ",", a line holding a blank or control character, a ","
// or a double quote enclosed in double quotes with its quotes doubled; one empty line is "\"\"",
// no lines the empty text.
std::string WriteCommaText(const std::vector<std::string>& lines);

// The lines of a comma text; blanks outside quotes separate lines too, and a "," at the very end
// adds an empty last line. Any text is accepted.
std::vector<std::string> ReadCommaText(std::string_view text);

// How many lines a comma text holds and how many bytes the longest of them takes as written
// (quotes included), found without making the lines. The count stops once it passes maxLines,
// so a text of millions of lines costs no more than one of maxLines + 1.
struct CommaTextSize {
    std::size_t Lines = 0;
    std::size_t LongestLine = 0;  // of the lines counted
};
CommaTextSize MeasureCommaText(std::string_view text, std::size_t maxLines);

// The input patterns, the training inputs and the desired outputs, one line each.
struct PatternLists {
    std::vector<std::string> Inputs;
    std::vector<std::string> Samples;
    std::vector<std::string> Desired;

    bool operator==(const PatternLists&) const = default;
};

// Field 0 of every name text the window writes; a load never looks at it.
inline constexpr std::string_view kNameLabel = "Zelk - test environment";

// The name text of the lists: the label, then the three comma texts. Trailing empty fields are
// dropped, so with three empty lists it is the label alone.
std::string WriteNameText(const PatternLists& lists);

// The lists of a name text, fields 1 to 3 read as comma texts; a missing or empty field gives an
// empty list.
PatternLists ReadNameText(std::string_view nameText);

// The sizes of the three lists of a name text, in the order of PatternLists, each measured as
// MeasureCommaText does.
std::array<CommaTextSize, 3> MeasureNameText(std::string_view nameText, std::size_t maxLines);

}  // namespace zelk
