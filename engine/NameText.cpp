#include "engine/NameText.h"

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

std::vector<std::string> ReadCommaText(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t p = 0;
    const auto skipBlanks = [&] {
        while (p < text.size() && Code(text[p]) >= 1 && Code(text[p]) <= 32) {
            ++p;
        }
    };

    skipBlanks();
    while (p < text.size()) {
        std::string item;
        if (text[p] == '"') {
            // Up to the next lone quote, a doubled quote standing for one; without a closing
            // quote the item runs to the end of the text.
            ++p;
            while (p < text.size()) {
                if (text[p] == '"') {
                    if (p + 1 < text.size() && text[p + 1] == '"') {
                        item += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += text[p++];
            }
        } else {
            const std::size_t start = p;
            // A NUL is not skipped as a blank, yet it ends an unquoted item like one: taken as
            // the first character of an item, it is kept and the reading always moves on.
            if (text[p] == '\0') {
                ++p;
            }
            while (p < text.size() && text[p] != ',' && Code(text[p]) > 32) {
                ++p;
            }
            item.assign(text.substr(start, p - start));
        }
        lines.push_back(std::move(item));

        skipBlanks();
        if (p < text.size() && text[p] == ',') {
            if (p + 1 == text.size()) {
                lines.emplace_back();
            }
            ++p;
            skipBlanks();
        }
    }
    return lines;
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

PatternLists ReadNameText(std::string_view nameText) {
    PatternLists lists;
    lists.Inputs = ReadCommaText(GetField(nameText, kFieldSeparator, 1, kQuote));
    lists.Samples = ReadCommaText(GetField(nameText, kFieldSeparator, 2, kQuote));
    lists.Desired = ReadCommaText(GetField(nameText, kFieldSeparator, 3, kQuote));
    return lists;
}

}  // namespace zelk
