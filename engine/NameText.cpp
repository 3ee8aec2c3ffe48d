#include "engine/NameText.h"

#include <algorithm>

#include "engine/Fields.h"

namespace zelk {

namespace {

// Codes are compared unsigned: bytes of UTF-8 sequences are ordinary characters.
unsigned Code(char c) { return static_cast<unsigned char>(c); }

bool NeedsQuotes(std::string_view line) {
    for (const char c : line) {
        if (Code(c) <= 32 || c == ',' || c == '"') {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string WriteCommaText(const std::vector<std::string>& lines) {
    // Written plainly, one empty line would be the empty text, which reads back as no lines.
    if (lines.size() == 1 && lines.front().empty()) {
        return "\"\"";
    }
    return Join(lines, ',', [](std::string& text, const std::string& line) {
        if (!NeedsQuotes(line)) {
            text += line;
            return;
        }
        text += '"';
        for (const char c : line) {
            if (c == '"') {
                text += '"';
            }
            text += c;
        }
        text += '"';
    });
}

namespace {

// Walks the items of a comma text in order: visit(raw, quoted) gets an unquoted item as it stands
// and a quoted one without its quotes, its doubled quotes still doubled, and returns false to stop
// the walk. A "," at the very end gives a last, empty item.
template <class Visit>
void WalkCommaText(std::string_view text, Visit&& visit) {
    std::size_t p = 0;
    const auto skipBlanks = [&] {
        while (p < text.size() && Code(text[p]) >= 1 && Code(text[p]) <= 32) {
            ++p;
        }
    };

    skipBlanks();
    while (p < text.size()) {
        bool quoted = false;
        std::size_t start = p;
        std::size_t end = p;
        if (text[p] == '"') {
            // Up to the next lone quote, a doubled quote standing for one; without a closing
            // quote the item runs to the end of the text.
            quoted = true;
            start = ++p;
            end = text.size();
            while (p < text.size()) {
                if (text[p] == '"') {
                    if (p + 1 < text.size() && text[p + 1] == '"') {
                        p += 2;
                        continue;
                    }
                    end = p++;
                    break;
                }
                ++p;
            }
        } else {
            // A NUL is not skipped as a blank, yet it ends an unquoted item like one: taken as
            // the first character of an item, it is kept and the reading always moves on.
            if (text[p] == '\0') {
                ++p;
            }
            while (p < text.size() && text[p] != ',' && Code(text[p]) > 32) {
                ++p;
            }
            end = p;
        }
        if (!visit(text.substr(start, end - start), quoted)) {
            return;
        }

        skipBlanks();
        if (p < text.size() && text[p] == ',') {
            ++p;
            if (p == text.size() && !visit(std::string_view(), false)) {
                return;
            }
            skipBlanks();
        }
    }
}

}  // namespace

std::vector<std::string> ReadCommaText(std::string_view text) {
    std::vector<std::string> lines;
    WalkCommaText(text, [&](std::string_view raw, bool quoted) {
        std::string& line = lines.emplace_back();
        if (!quoted) {
            line.assign(raw);
            return true;
        }
        line.reserve(raw.size());
        for (std::size_t i = 0; i < raw.size(); ++i) {
            line += raw[i];
            // Inside the quotes a quote only ever comes doubled.
            if (raw[i] == '"') {
                ++i;
            }
        }
        return true;
    });
    return lines;
}

CommaTextSize MeasureCommaText(std::string_view text, std::size_t maxLines) {
    CommaTextSize size;
    WalkCommaText(text, [&](std::string_view raw, bool /*quoted*/) {
        ++size.Lines;
        size.LongestLine = std::max(size.LongestLine, raw.size());
        return size.Lines <= maxLines;
    });
    return size;
}

}  // namespace zelk

namespace zelk {

namespace {

constexpr char kFieldSeparator = ';';
constexpr char kQuote = '"';

}  // namespace

std::string WriteNameText(const PatternLists& lists) {
    std::string text = SetField({}, kFieldSeparator, 0, kNameLabel, kQuote);
    text = SetField(text, kFieldSeparator, 1, WriteCommaText(lists.Inputs), kQuote);
    text = SetField(text, kFieldSeparator, 2, WriteCommaText(lists.Samples), kQuote);
    return SetField(text, kFieldSeparator, 3, WriteCommaText(lists.Desired), kQuote);
}

std::array<CommaTextSize, 3> MeasureNameText(std::string_view nameText, std::size_t maxLines) {
    std::array<CommaTextSize, 3> sizes;
    for (int k = 0; k < 3; ++k) {
        sizes[static_cast<std::size_t>(k)] =
            MeasureCommaText(GetField(nameText, kFieldSeparator, k + 1, kQuote), maxLines);
    }
    return sizes;
}

PatternLists ReadNameText(std::string_view nameText) {
    PatternLists lists;
    lists.Inputs = ReadCommaText(GetField(nameText, kFieldSeparator, 1, kQuote));
    lists.Samples = ReadCommaText(GetField(nameText, kFieldSeparator, 2, kQuote));
    lists.Desired = ReadCommaText(GetField(nameText, kFieldSeparator, 3, kQuote));
    return lists;
}

}  // namespace zelk
