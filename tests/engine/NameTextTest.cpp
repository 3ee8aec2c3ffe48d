#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/NameText.h"

using zelk::ReadCommaText;
using zelk::WriteCommaText;
using Lines = std::vector<std::string>;

TEST(WriteCommaText, PatternListsJoinedByCommas) {
    EXPECT_EQ(WriteCommaText({"0-0", "0-1", "1-0", "1-1"}), "0-0,0-1,1-0,1-1");
    EXPECT_EQ(WriteCommaText({"0", "0", "0", "1"}), "0,0,0,1");
    EXPECT_EQ(WriteCommaText({"0.5-0.25"}), "0.5-0.25");
}

TEST(WriteCommaText, EmptyListAndEmptyLines) {
    EXPECT_EQ(WriteCommaText({}), "");
    EXPECT_EQ(WriteCommaText({""}), "\"\"");
    EXPECT_EQ(WriteCommaText({"", ""}), ",");
    EXPECT_EQ(WriteCommaText({"", "a"}), ",a");
    EXPECT_EQ(WriteCommaText({"a", ""}), "a,");
    EXPECT_EQ(WriteCommaText({"a", "", "b"}), "a,,b");
}

TEST(WriteCommaText, QuotesLinesWithBlanksCommasAndQuotes) {
    EXPECT_EQ(WriteCommaText({"0 1", "1-1"}), "\"0 1\",1-1");
    EXPECT_EQ(WriteCommaText({"a,b"}), "\"a,b\"");
    EXPECT_EQ(WriteCommaText({"say \"hi\""}), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(WriteCommaText({"\""}), "\"\"\"\"");
    EXPECT_EQ(WriteCommaText({"a\tb"}), "\"a\tb\"");
    EXPECT_EQ(WriteCommaText({std::string("a\0b", 3)}), std::string("\"a\0b\"", 5));
    EXPECT_EQ(WriteCommaText({"\x1F"}), "\"\x1F\"");
    // ";" is left to the field quoting around the comma text; code 127 and UTF-8 are plain.
    EXPECT_EQ(WriteCommaText({"a;b", "\x7F", "síť"}), "a;b,\x7F,síť");
}

TEST(ReadCommaText, ReadsWrittenPatternLists) {
    EXPECT_EQ(ReadCommaText("0-0,0-1,1-0,1-1"), (Lines{"0-0", "0-1", "1-0", "1-1"}));
    EXPECT_EQ(ReadCommaText("0,0,0,1"), (Lines{"0", "0", "0", "1"}));
    EXPECT_EQ(ReadCommaText(""), Lines{});
    EXPECT_EQ(ReadCommaText("\"\""), Lines{""});
}

TEST(ReadCommaText, BlanksOutsideQuotesSeparateLines) {
    EXPECT_EQ(ReadCommaText("0 1"), (Lines{"0", "1"}));
    EXPECT_EQ(ReadCommaText("  a  ,  b  "), (Lines{"a", "b"}));
    EXPECT_EQ(ReadCommaText("\r\n\ta\r\n"), Lines{"a"});
    EXPECT_EQ(ReadCommaText("   "), Lines{});
    EXPECT_EQ(ReadCommaText("a\x01"
                            "b"),
              (Lines{"a", "b"}));
}

TEST(ReadCommaText, CommasAtTheEdges) {
    EXPECT_EQ(ReadCommaText("a,"), (Lines{"a", ""}));
    EXPECT_EQ(ReadCommaText(","), (Lines{"", ""}));
    EXPECT_EQ(ReadCommaText(",a"), (Lines{"", "a"}));
    EXPECT_EQ(ReadCommaText("a,,b"), (Lines{"a", "", "b"}));
    EXPECT_EQ(ReadCommaText(",,"), (Lines{"", "", ""}));
    // Only a "," that is the very last character adds the empty line.
    EXPECT_EQ(ReadCommaText("a, "), Lines{"a"});
    EXPECT_EQ(ReadCommaText("a ,b"), (Lines{"a", "b"}));
}

TEST(ReadCommaText, QuotedItems) {
    EXPECT_EQ(ReadCommaText("\"x y\",z"), (Lines{"x y", "z"}));
    EXPECT_EQ(ReadCommaText("\"it\"\"s\""), Lines{"it\"s"});
    EXPECT_EQ(ReadCommaText("\"a,b\" , \" c \""), (Lines{"a,b", " c "}));
    EXPECT_EQ(ReadCommaText("\"a;b\";c"), (Lines{"a;b", ";c"}));
    // Without a closing quote the item runs to the end of the text, every character kept.
    EXPECT_EQ(ReadCommaText("\"abc"), Lines{"abc"});
    EXPECT_EQ(ReadCommaText("x,\"a, b"), (Lines{"x", "a, b"}));
    EXPECT_EQ(ReadCommaText("\"a\"\""), Lines{"a\""});
    EXPECT_EQ(ReadCommaText("\""), Lines{""});
    // A quote ends its item; what follows at once is the next item.
    EXPECT_EQ(ReadCommaText("\"a\"b"), (Lines{"a", "b"}));
    // A quote inside an unquoted item is an ordinary character.
    EXPECT_EQ(ReadCommaText("a\"b,c"), (Lines{"a\"b", "c"}));
}

TEST(ReadCommaText, BytesAbove127AreOrdinaryCharacters) {
    EXPECT_EQ(ReadCommaText("síť,čř"), (Lines{"síť", "čř"}));
    EXPECT_EQ(ReadCommaText("a\xA0"
                            "b"),
              Lines{"a\xA0"
                    "b"});
    EXPECT_EQ(ReadCommaText("\xFF"), Lines{"\xFF"});
}

TEST(ReadCommaText, NulEndsAnItemAndStartsTheNext) {
    using namespace std::string_literals;
    EXPECT_EQ(ReadCommaText("a\0b"s), (Lines{"a", "\0b"s}));
    EXPECT_EQ(ReadCommaText("\0"s), Lines{"\0"s});
    EXPECT_EQ(ReadCommaText(" \0\0 ,x"s), (Lines{"\0"s, "\0"s, "x"}));
    EXPECT_EQ(ReadCommaText("a,\0"s), (Lines{"a", "\0"s}));
    EXPECT_EQ(ReadCommaText("\"a\0b\""s), Lines{"a\0b"s});
}

TEST(CommaText, RoundTripOfRandomLineLists) {
    // Weighted towards the characters that the writer must quote or the reader treats specially.
    using namespace std::string_literals;
    const std::string alphabet = " \t\r\n\x01\x1F\0,,\"\";;--01ab\x7F\xA0\xC4\x8D"s;
    std::mt19937 generator(20240611u);
    std::uniform_int_distribution<int> lineCount(0, 6);
    std::uniform_int_distribution<int> lineLength(0, 7);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (int round = 0; round < 5000; ++round) {
        Lines lines(static_cast<std::size_t>(lineCount(generator)));
        for (std::string& line : lines) {
            const int length = lineLength(generator);
            for (int i = 0; i < length; ++i) {
                line += alphabet[pick(generator)];
            }
        }
        const std::string text = WriteCommaText(lines);
        ASSERT_EQ(ReadCommaText(text), lines) << "comma text: " << text;
    }
}

TEST(NameText, LabelThenOneCommaTextPerList) {
    const Lines patterns{"0-0", "0-1", "1-0", "1-1"};
    EXPECT_EQ(zelk::WriteNameText({patterns, patterns, {"0", "0", "0", "0"}}),
              "Zelk - test environment;0-0,0-1,1-0,1-1;0-0,0-1,1-0,1-1;0,0,0,0");
    EXPECT_EQ(zelk::WriteNameText({}), "Zelk - test environment");
    EXPECT_EQ(zelk::WriteNameText({{"a"}, {}, {"b"}}), "Zelk - test environment;a;;b");
    EXPECT_EQ(zelk::WriteNameText({{"a"}, {}, {}}), "Zelk - test environment;a");
    // A comma text with ";" or a quote is quoted once more as a field.
    EXPECT_EQ(zelk::WriteNameText({{"a;b"}, {""}, {}}),
              "Zelk - test environment;\"a;b\";\"\"\"\"\"\"");
}

TEST(NameText, ListsComeBackAndMissingFieldsAreEmpty) {
    const zelk::PatternLists lists{{"0 1", "a;b", "say \"hi\""}, {}, {""}};
    EXPECT_EQ(zelk::ReadNameText(zelk::WriteNameText(lists)), lists);
    EXPECT_EQ(zelk::ReadNameText(""), zelk::PatternLists{});
    // Field 0 is not looked at; fields after the third are ignored.
    EXPECT_EQ(zelk::ReadNameText("anything;x y;;1,2;more"),
              (zelk::PatternLists{{"x", "y"}, {}, {"1", "2"}}));
}

TEST(MeasureCommaText, CountsTheLinesReadCommaTextGivesAndTheLongestAsWritten) {
    using namespace std::string_literals;
    for (const std::string& text : {""s, "a"s, ","s, "a,"s, " a b ,c"s, "\"x\"\"y\",zz"s, "\"open"s,
                                    "\"\"\"\""s, "a\0b"s, ",,,"s}) {
        EXPECT_EQ(zelk::MeasureCommaText(text, 100).Lines, ReadCommaText(text).size())
            << "comma text: " << text;
    }
    EXPECT_EQ(zelk::MeasureCommaText("\"x\"\"y\",zz", 100).LongestLine, 4u);
    EXPECT_EQ(zelk::MeasureCommaText("0-1,1-1-1,1", 100).LongestLine, 5u);
}

TEST(MeasureCommaText, StopsOneLinePastTheLimit) {
    EXPECT_EQ(zelk::MeasureCommaText("a,b,c", 3).Lines, 3u);
    EXPECT_EQ(zelk::MeasureCommaText("a,b,c,d", 3).Lines, 4u);
    // The line after the limit is not even looked at: its length does not count.
    EXPECT_EQ(zelk::MeasureCommaText("a,b,c,d,eeeeee", 3).LongestLine, 1u);
    EXPECT_EQ(zelk::MeasureCommaText(std::string(5'000'000, ','), 1 << 20).Lines,
              (std::size_t{1} << 20) + 1);
}

TEST(MeasureNameText, MeasuresTheThreeListsInTheirOrder) {
    const auto sizes = zelk::MeasureNameText("label;a,bb;;x,y,zzz", 10);
    EXPECT_EQ(sizes[0].Lines, 2u);
    EXPECT_EQ(sizes[0].LongestLine, 2u);
    EXPECT_EQ(sizes[1].Lines, 0u);
    EXPECT_EQ(sizes[2].Lines, 3u);
    EXPECT_EQ(sizes[2].LongestLine, 3u);
}
