#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zelk {

// Field `index` (from 0) of a text cut by `separator`; a pair of `quote` characters protects the
// separators between them, enclosing quotes are dropped and doubled quotes read as one.
// A negative index or a field past the end reads as empty.
std::string GetField(std::string_view text, char separator, int index, char quote);

// The text with field `index` replaced by `value` (quoted where needed), or appended after empty
// fields when the text is shorter. Separators at the end of the result are removed.
std::string SetField(std::string_view text, char separator, int index, std::string_view value,
                     char quote);

// The value as it is written into a field: unchanged unless it holds the separator or the quote,
// otherwise enclosed in quotes with every quote doubled.
std::string QuoteField(std::string_view value, char separator, char quote);

// The text without leading and trailing characters of code 32 or below.
std::string TrimBlanks(std::string_view text);
// The same as a view into the text, for readers that need no copy.
std::string_view TrimmedView(std::string_view text);

// Where a field stands in its text as GetField cuts it: the bytes [Begin, End), enclosing quotes
// included, the separators around it not.
struct FieldSpan {
    std::size_t Begin = 0;
    std::size_t End = 0;
};

// The place of field `index` (from 0); a negative index or a field past the end gives an empty
// span at the end of the text.
FieldSpan FieldSpanAt(std::string_view text, char separator, int index, char quote);

// Calls `visit(span)` for every field of the text in order, in one scan.
template <class Visit>
void ForEachFieldSpan(std::string_view text, char separator, char quote, Visit&& visit);

// Calls `visit(value)` for every field of the text in order, each value exactly as GetField gives
// it; one scan of the text instead of one per field.
template <class Visit>
void ForEachField(std::string_view text, char separator, char quote, Visit&& visit);

// The value of one field, [begin, end) of a text: enclosing quotes dropped, doubled quotes as one.
std::string UnquoteField(std::string_view field, char quote);
// Where character `valueOffset` of that value stands in the field. The value's end, and any offset
// beyond it, is the end of the field's characters: before a closing quote.
std::size_t FieldOffset(std::string_view field, std::size_t valueOffset, char quote);

// The items joined by the separator, each written by `append(text, item)`.
template <class Items, class Append>
std::string Join(const Items& items, char separator, Append&& append) {
    std::string text;
    bool first = true;
    for (const auto& item : items) {
        if (!first) {
            text += separator;
        }
        first = false;
        append(text, item);
    }
    return text;
}

// The texts joined by the separator.
std::string Join(const std::vector<std::string>& texts, char separator);

template <class Visit>
void ForEachFieldSpan(std::string_view text, char separator, char quote, Visit&& visit) {
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == quote) {
            quoted = !quoted;
        } else if (c == separator && !quoted) {
            visit(FieldSpan{start, i});
            start = i + 1;
        }
    }
    visit(FieldSpan{start, text.size()});
}

template <class Visit>
void ForEachField(std::string_view text, char separator, char quote, Visit&& visit) {
    ForEachFieldSpan(text, separator, quote, [&](FieldSpan span) {
        visit(UnquoteField(text.substr(span.Begin, span.End - span.Begin), quote));
    });
}

}  // namespace zelk
