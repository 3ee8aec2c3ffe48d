#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/Engine.h"

using zelk::FormatFixed;
using zelk::FormatNumber;
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
    const std::vector<std::string> values = {"plain", "", "with-sep", "it's", "'", "''",
                                             "-",     "a'b-c", " x ", "''-''", "last"};
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

TEST(FormatNumber, WritesTenSignificantDigits) {
    EXPECT_EQ(FormatNumber(0.5), "0.5");
    EXPECT_EQ(FormatNumber(0.7310585786300049), "0.7310585786");
    EXPECT_EQ(FormatNumber(0.999999999999), "1");
    EXPECT_EQ(FormatNumber(0.0001), "0.0001");
    EXPECT_EQ(FormatNumber(4.5397868702434395e-05), "4.53978687e-05");
    EXPECT_EQ(FormatNumber(1e10), "1e+10");
    EXPECT_EQ(FormatNumber(123456789012.0), "1.23456789e+11");
    EXPECT_EQ(FormatNumber(9999999999.0), "9999999999");
    EXPECT_EQ(FormatNumber(0.0), "0");
    EXPECT_EQ(FormatNumber(-0.25), "-0.25");
    EXPECT_EQ(FormatNumber(0.1 + 0.2), "0.3");
    EXPECT_EQ(FormatNumber(1e100), "1e+100");
    EXPECT_EQ(FormatNumber(1e-5), "1e-05");
}

TEST(FormatNumber, NonFiniteValuesAreWordsWithSign) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(FormatNumber(inf), "+INF");
    EXPECT_EQ(FormatNumber(-inf), "-INF");
    EXPECT_EQ(FormatNumber(std::copysign(nan, 1.0)), "+NAN");
    EXPECT_EQ(FormatNumber(std::copysign(nan, -1.0)), "-NAN");
    EXPECT_EQ(FormatFixed(-inf), "-INF");
}

TEST(FormatFixed, WritesSixDecimals) {
    EXPECT_EQ(FormatFixed(0.5), "0.500000");
    EXPECT_EQ(FormatFixed(-0.123), "-0.123000");
    EXPECT_EQ(FormatFixed(1234.5), "1234.500000");
    EXPECT_EQ(FormatFixed(1e-7), "0.000000");
    EXPECT_EQ(FormatFixed(1e20), "100000000000000000000.000000");
    EXPECT_EQ(FormatFixed(0.0000005), "0.000000");  // the double lies just below the half
    EXPECT_EQ(FormatFixed(2.5e-6), "0.000003");
}
