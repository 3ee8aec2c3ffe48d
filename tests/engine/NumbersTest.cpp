#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "engine/Numbers.h"

using zelk::FormatFixed;
using zelk::FormatNumber;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

std::vector<double> Pattern(const char* line, int32_t n) {
    return zelk::ReadPattern(line, n).Values;
}

}  // namespace

TEST(ReadNumber, ReadsTheLongestNumberPrefix) {
    EXPECT_EQ(zelk::ReadNumber(" 0.5"), 0.5);
    EXPECT_EQ(zelk::ReadNumber(".5"), 0.5);
    EXPECT_EQ(zelk::ReadNumber("5."), 5.0);
    EXPECT_EQ(zelk::ReadNumber("1e2"), 100.0);
    EXPECT_EQ(zelk::ReadNumber("1e"), 1.0);
    EXPECT_EQ(zelk::ReadNumber("1e+"), 1.0);
    EXPECT_EQ(zelk::ReadNumber("2E-1x"), 0.2);
    EXPECT_EQ(zelk::ReadNumber("-3.25"), -3.25);
    EXPECT_EQ(zelk::ReadNumber("+7"), 7.0);
    EXPECT_EQ(zelk::ReadNumber("\t\n\v\f\r 8"), 8.0);
    EXPECT_EQ(zelk::ReadNumber("1.2.3"), 1.2);
    EXPECT_EQ(zelk::ReadNumber("0,5"), 0.0);
    EXPECT_EQ(zelk::ReadNumber("0x10"), 0.0);
    EXPECT_EQ(zelk::ReadNumber("0.1"), 0.1);
    EXPECT_EQ(zelk::ReadNumber("0.7310585786"), 0.7310585786);
}

TEST(ReadNumber, AnythingElseReadsAsZero) {
    for (const char* text : {"abc", "INF", "inf", "", "+", "-", ".", "+.", "e5", " - 1", "NAN",
                             "+inf", "-nan", "++1"}) {
        const double v = zelk::ReadNumber(text);
        EXPECT_EQ(v, 0.0) << text;
    }
}

TEST(ReadNumber, OutOfRangeAndSpecialWords) {
    EXPECT_EQ(zelk::ReadNumber("1e400"), kInf);
    EXPECT_EQ(zelk::ReadNumber("-1e400"), -kInf);
    EXPECT_EQ(zelk::ReadNumber("1e-400"), 0.0);
    EXPECT_EQ(zelk::ReadNumber("0.0000001e-320"), 0.0);
    EXPECT_EQ(zelk::ReadNumber("1000000e303"), kInf);
    EXPECT_EQ(zelk::ReadNumber("1e99999999999999999999999"), kInf);
    EXPECT_EQ(zelk::ReadNumber("0e99999999999999999999999"), 0.0);
    EXPECT_EQ(zelk::ReadNumber("4.9e-324"), std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(zelk::ReadNumber("+INF"), kInf);
    EXPECT_EQ(zelk::ReadNumber("-INFINITY"), -kInf);
    EXPECT_TRUE(std::isnan(zelk::ReadNumber("+NAN")));
    EXPECT_FALSE(std::signbit(zelk::ReadNumber("+NAN")));
    EXPECT_TRUE(std::signbit(zelk::ReadNumber("-NAN")));
}

TEST(ReadNumber, IgnoresACommaLocale) {
    // Qt sets the process locale from the desktop; numbers must still use ".".
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    if (!std::setlocale(LC_ALL, "cs_CZ.UTF-8") && !std::setlocale(LC_ALL, "de_DE.UTF-8")) {
        GTEST_SKIP() << "no comma locale installed";
    }
    EXPECT_EQ(zelk::ReadNumber("0.5"), 0.5);
    EXPECT_EQ(zelk::FormatNumber(0.5), "0.5");
    EXPECT_EQ(zelk::FormatFixed(-1.5), "-1.500000");
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(ReadPattern, ReadsOneValuePerNeuron) {
    EXPECT_EQ(Pattern("1", 2), (std::vector<double>{1, 0}));
    EXPECT_EQ(Pattern("", 2), (std::vector<double>{0, 0}));
    EXPECT_EQ(Pattern("1-0-7", 2), (std::vector<double>{1, 0}));
    EXPECT_EQ(Pattern("0,5-1", 2), (std::vector<double>{0, 1}));
    EXPECT_EQ(Pattern(" 0.5 - 1 ", 2), (std::vector<double>{0.5, 1}));
    EXPECT_EQ(Pattern("1e2-0", 2), (std::vector<double>{100, 0}));
    EXPECT_EQ(Pattern("1e-2", 2), (std::vector<double>{1, 2}));
    EXPECT_EQ(Pattern("\"-0.5\"-1", 2), (std::vector<double>{-0.5, 1}));
    EXPECT_EQ(Pattern("\"1e-2\"", 1), (std::vector<double>{0.01}));
    EXPECT_EQ(zelk::ReadPattern("1-2", 0).Count, 0);
    EXPECT_EQ(zelk::ReadPattern("1-2", -3).Count, 0);
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

TEST(ReadNumber, TellsWhereTheNumberEnds) {
    const auto end = [](const char* text) {
        std::size_t e = 99;
        zelk::ReadNumber(text, e);
        return e;
    };
    EXPECT_EQ(end(" 0.5"), 4u);
    EXPECT_EQ(end("0,5"), 1u);
    EXPECT_EQ(end("1e"), 1u);
    EXPECT_EQ(end("1e6x"), 3u);
    EXPECT_EQ(end("-INFx"), 4u);
    EXPECT_EQ(end("abc"), 0u);
    EXPECT_EQ(end("  "), 0u);
    EXPECT_EQ(end("+"), 0u);
}

TEST(ReadPatternFields, ReadsEveryFieldAsReadPatternDoes) {
    for (const char* line :
         {"0,5-1", "-1", "\"-1\"-1-1", "1", "", "1e-2", "\"a\"\"b\"-x", " 0.5 - 1 ", "1-0-7"}) {
        const std::vector<zelk::PatternField> fields = zelk::ReadPatternFields(line);
        const std::vector<double> values = Pattern(line, static_cast<int32_t>(fields.size()));
        ASSERT_EQ(fields.size(), values.size()) << line;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            EXPECT_EQ(fields[i].Value, values[i]) << line << " field " << i;
        }
    }
}

TEST(ReadPatternFields, GivesTheBytesReadAndIgnored) {
    // "0,5": the number is "0", ",5" is ignored; "-1": an empty field, then "1".
    auto fields = zelk::ReadPatternFields("0,5-1");
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields[0].Span.Begin, 0u);
    EXPECT_EQ(fields[0].Span.End, 3u);
    EXPECT_EQ(fields[0].NumberEnd, 1u);
    EXPECT_EQ(fields[0].ValueEnd, 3u);
    EXPECT_EQ(fields[1].NumberEnd, 5u);

    fields = zelk::ReadPatternFields("-1");
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_TRUE(fields[0].Blank);
    EXPECT_EQ(fields[0].Span.End, 0u);
    EXPECT_FALSE(fields[1].Blank);

    // A quoted value: offsets inside the quotes; the closing quote is not part of the value.
    fields = zelk::ReadPatternFields("\"-1x\"-2");
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields[0].Span.End, 5u);
    EXPECT_EQ(fields[0].NumberEnd, 3u);
    EXPECT_EQ(fields[0].ValueEnd, 4u);
    EXPECT_EQ(fields[0].Value, -1.0);
}
