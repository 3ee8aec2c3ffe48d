#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Engine.h"

using zelk::GetField;
using zelk::QuoteField;
using zelk::SetField;
using zelk::TrimBlanks;

// The apostrophe stands in for the quote character, so that the cases read plainly.
constexpr char kQ = '\'';

TEST(GetField, CountsFieldsFromZero) {
    EXPECT_EQ(GetField("2-3-1", '-', 0, kQ), "2");
    EXPECT_EQ(GetField("2-3-1", '-', 2, kQ), "1");
    EXPECT_EQ(GetField("2-3-1", '-', 3, kQ), "");
    EXPECT_EQ(GetField("2-3-1", '-', -1, kQ), "");
    EXPECT_EQ(GetField("", '-', 0, kQ), "");
    EXPECT_EQ(GetField("2--3", '-', 1, kQ), "");
    EXPECT_EQ(GetField("2--3", '-', 2, kQ), "3");
    EXPECT_EQ(GetField(" 2 - 3 ", '-', 0, kQ), " 2 ");
}

TEST(GetField, QuotesProtectSeparatorsAndDoubleUp) {
    EXPECT_EQ(GetField("a-'b-c'-d", '-', 1, kQ), "b-c");
    EXPECT_EQ(GetField("a-'b-c'-d", '-', 2, kQ), "d");
    EXPECT_EQ(GetField("'it''s'", '-', 0, kQ), "it's");
    EXPECT_EQ(GetField("a'b", '-', 0, kQ), "a'b");
    EXPECT_EQ(GetField("'", '-', 0, kQ), "'");
    EXPECT_EQ(GetField("''", '-', 0, kQ), "");
    // An unbalanced quote protects everything after it.
    EXPECT_EQ(GetField("a'b-c", '-', 1, kQ), "");
    EXPECT_EQ(GetField("\"-0.5\"-1", '-', 0, '"'), "-0.5");
    EXPECT_EQ(GetField("\"-0.5\"-1", '-', 1, '"'), "1");
}

TEST(SetField, ReplacesAppendsAndDropsTrailingSeparators) {
    std::string text = SetField("", '-', 0, "0.5", kQ);
    EXPECT_EQ(text, "0.5");
    EXPECT_EQ(SetField(text, '-', 1, "0.25", kQ), "0.5-0.25");
    EXPECT_EQ(SetField("a-b-c", '-', 1, "X", kQ), "a-X-c");
    EXPECT_EQ(SetField("a-b-c", '-', 2, "", kQ), "a-b");
    EXPECT_EQ(SetField("a", '-', 3, "X", kQ), "a---X");
    EXPECT_EQ(SetField("", '-', 2, "X", kQ), "--X");
    EXPECT_EQ(SetField("a-b", '-', 1, "", kQ), "a");
    EXPECT_EQ(SetField("a", '-', 0, "x-y", kQ), "'x-y'");
    EXPECT_EQ(SetField("a", '-', 0, "it's", kQ), "'it''s'");
    EXPECT_EQ(SetField("a-b", '-', -1, "X", kQ), "a-b");
    EXPECT_EQ(SetField("a-'b-c'-d", '-', 2, "X", kQ), "a-'b-c'-X");
    EXPECT_EQ(SetField("---", '-', 0, "", kQ), "");
}

TEST(QuoteField, QuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(QuoteField("", '-', kQ), "");
    EXPECT_EQ(QuoteField("abc", '-', kQ), "abc");
    EXPECT_EQ(QuoteField("a-b", '-', kQ), "'a-b'");
    EXPECT_EQ(QuoteField("'", '-', kQ), "''''");
}

TEST(SetField, EveryValueSetComesBackThroughGetField) {
    const std::vector<std::string> values = {"plain", "",      "with-sep", "it's",  "'",   "''",
                                             "-",     "a'b-c", " x ",      "''-''", "last"};
    std::string text;
    for (std::size_t i = 0; i < values.size(); ++i) {
        text = SetField(text, '-', static_cast<int>(i), values[i], kQ);
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(GetField(text, '-', static_cast<int>(i), kQ), values[i]) << "field " << i;
    }
    std::vector<std::string> seen;
    zelk::ForEachField(text, '-', kQ, [&](const std::string& v) { seen.push_back(v); });
    EXPECT_EQ(seen, values);
}

TEST(TrimBlanks, RemovesControlCharactersAndBlanks) {
    EXPECT_EQ(TrimBlanks(" \t2 \r\n"), "2");
    EXPECT_EQ(TrimBlanks("   "), "");
    EXPECT_EQ(TrimBlanks(" a b "), "a b");
    EXPECT_EQ(TrimBlanks("\xc5\xa1"), "\xc5\xa1");  // UTF-8 bytes are not blanks
}

TEST(Join, SeparatorOnlyBetweenItems) {
    EXPECT_EQ(zelk::Join({}, '-'), "");
    EXPECT_EQ(zelk::Join({""}, '-'), "");
    EXPECT_EQ(zelk::Join({"", ""}, '-'), "-");
    EXPECT_EQ(zelk::Join({"0-0", "", "1"}, '\n'), "0-0\n\n1");
    const auto appendNumber = [](std::string& text, int v) { text += std::to_string(v); };
    EXPECT_EQ(zelk::Join(std::vector<int>{1, 22, 3}, ',', appendNumber), "1,22,3");
}

TEST(FieldSpanAt, CutsWhereGetFieldCuts) {
    const std::string text = "a-\"b-c\"-\"\"-";
    for (int i = -1; i < 6; ++i) {
        const zelk::FieldSpan span = zelk::FieldSpanAt(text, '-', i, '"');
        EXPECT_EQ(zelk::UnquoteField(
                      std::string_view(text).substr(span.Begin, span.End - span.Begin), '"'),
                  zelk::GetField(text, '-', i, '"'))
            << i;
    }
    EXPECT_EQ(zelk::FieldSpanAt(text, '-', 1, '"').Begin, 2u);
    EXPECT_EQ(zelk::FieldSpanAt(text, '-', 1, '"').End, 7u);
}

TEST(FieldOffset, MapsValueCharactersBackToTheField) {
    // "a""b" enclosed: the value a"b; its characters stand at 1, 2 and 4, its end at 5.
    const std::string field = "\"a\"\"b\"";
    EXPECT_EQ(zelk::FieldOffset(field, 0, '"'), 1u);
    EXPECT_EQ(zelk::FieldOffset(field, 1, '"'), 2u);
    EXPECT_EQ(zelk::FieldOffset(field, 2, '"'), 4u);
    EXPECT_EQ(zelk::FieldOffset(field, 3, '"'), 5u);
    EXPECT_EQ(zelk::FieldOffset("ab", 2, '"'), 2u);
}
