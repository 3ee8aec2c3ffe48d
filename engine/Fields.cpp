#include "engine/Fields.h"

namespace zelk {

namespace {

// Calls `keep(i)` for every character i of the field that its value keeps, in order: enclosing
// quotes dropped, and of two quotes in a row the first one kept.
template <class Keep>
void ForEachValueCharacter(std::string_view field, char quote, Keep&& keep) {
    std::size_t begin = 0;
    std::size_t end = field.size();
    if (end >= 2 && field.front() == quote && field.back() == quote) {
        begin = 1;
        end -= 1;
    }
    for (std::size_t i = begin; i < end; ++i) {
        keep(i);
        if (field[i] == quote && i + 1 < end && field[i + 1] == quote) {
            ++i;
        }
    }
}

}  // namespace

std::string UnquoteField(std::string_view field, char quote) {
    std::string value;
    value.reserve(field.size());
    ForEachValueCharacter(field, quote, [&](std::size_t i) { value.push_back(field[i]); });
    return value;
}

std::size_t FieldOffset(std::string_view field, std::size_t valueOffset, char quote) {
    const bool enclosed = field.size() >= 2 && field.front() == quote && field.back() == quote;
    std::size_t offset = enclosed ? field.size() - 1 : field.size();
    std::size_t kept = 0;
    bool found = false;
    ForEachValueCharacter(field, quote, [&](std::size_t i) {
        if (!found && kept++ == valueOffset) {
            offset = i;
            found = true;
        }
    });
    return offset;
}

FieldSpan FieldSpanAt(std::string_view text, char separator, int index, char quote) {
    if (index < 0) {
        return {text.size(), text.size()};
    }
    // The field starts after the index-th separator met outside quotes. Right after such a
    // separator the quote state is off again, so a fresh scan from there ends at the same place
    // as a scan from the start of the text would.
    bool quoted = false;
    std::size_t start = 0;
    int separators = 0;
    for (std::size_t i = 0; i < text.size() && separators < index; ++i) {
        if (text[i] == quote) {
            quoted = !quoted;
        } else if (text[i] == separator && !quoted) {
            ++separators;
            start = i + 1;
        }
    }
    if (separators < index) {
        return {text.size(), text.size()};
    }
    quoted = false;
    std::size_t end = start;
    for (; end < text.size(); ++end) {
        if (text[end] == quote) {
            quoted = !quoted;
        } else if (text[end] == separator && !quoted) {
            break;
        }
    }
    return {start, end};
}

std::string GetField(std::string_view text, char separator, int index, char quote) {
    const FieldSpan span = FieldSpanAt(text, separator, index, quote);
    return UnquoteField(text.substr(span.Begin, span.End - span.Begin), quote);
}

std::string QuoteField(std::string_view value, char separator, char quote) {
    if (value.find(separator) == std::string_view::npos &&
        value.find(quote) == std::string_view::npos) {
        return std::string(value);
    }
    std::string quoted;
    quoted.reserve(value.size() + 2);
    quoted.push_back(quote);
    for (const char c : value) {
        quoted.push_back(c);
        if (c == quote) {
            quoted.push_back(quote);
        }
    }
    quoted.push_back(quote);
    return quoted;
}

std::string SetField(std::string_view text, char separator, int index, std::string_view value,
                     char quote) {
    if (index < 0) {
        return std::string(text);
    }
    const std::string q = QuoteField(value, separator, quote);
    std::string result;
    result.reserve(text.size() + q.size() + 1);

    // Every separator outside quotes ends one field; the field that ends there is copied with its
    // leading separator, or replaced when it is the one asked for.
    bool quoted = false;
    int field = 0;
    std::size_t fieldStart = 0;  // position of the field's leading separator (0 for field 0)
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == quote) {
            quoted = !quoted;
        } else if (text[i] == separator && !quoted) {
            if (field == index) {
                if (field > 0) {
                    result.push_back(separator);
                }
                result += q;
            } else {
                result.append(text.substr(fieldStart, i - fieldStart));
            }
            ++field;
            fieldStart = i;
        }
    }

    // The final field, after the last separator, is still to be placed.
    const int separators = field;
    if (index > separators) {
        result.append(text.substr(fieldStart));
        result.append(static_cast<std::size_t>(index - separators), separator);
        result += q;
    } else if (index == separators) {
        if (separators > 0) {
            result.push_back(separator);
        }
        result += q;
    } else {
        result.append(text.substr(fieldStart));
    }

    // An empty last field never survives: the text never ends with the separator.
    while (!result.empty() && result.back() == separator) {
        result.pop_back();
    }
    return result;
}

std::string Join(const std::vector<std::string>& texts, char separator) {
    std::size_t size = texts.size();
    for (const std::string& text : texts) {
        size += text.size();
    }
    std::string joined;
    joined.reserve(size);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) {
            joined += separator;
        }
        joined += texts[i];
    }
    return joined;
}

std::string_view TrimmedView(std::string_view text) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string TrimBlanks(std::string_view text) { return std::string(TrimmedView(text)); }

}  // namespace zelk
