#include <gtest/gtest.h>

#include <string>

#include "engine/TextEncoding.h"

TEST(Windows1250ToUtf8, CzechLettersComeBackExactly) {
    // ě š č ř ž ý á í é ů ú Ť as a Czech system writes them.
    EXPECT_EQ(zelk::Windows1250ToUtf8("\xEC\x9A\xE8\xF8\x9E\xFD\xE1\xED\xE9\xF9\xFA\x8D"),
              "ěščřžýáíéůúŤ");
    EXPECT_EQ(zelk::Windows1250ToUtf8("P\xF8\xEDli\x9A \x9Elu\x9Dou\xE8k\xFD k\xF9\xF2"),
              "Příliš žluťoučký kůň");
    EXPECT_EQ(zelk::Windows1250ToUtf8("\x80\x84\x96\xA0\xFF"), "€„–\u00A0˙");
    // Unassigned bytes keep their codes.
    EXPECT_EQ(zelk::Windows1250ToUtf8("\x81\x98"), "\u0081\u0098");
    EXPECT_EQ(zelk::Windows1250ToUtf8("0-1,\"a;b\""), "0-1,\"a;b\"");
}

TEST(IsValidUtf8, AcceptsWellFormedTextOnly) {
    EXPECT_TRUE(zelk::IsValidUtf8(""));
    EXPECT_TRUE(zelk::IsValidUtf8("0-1,ěščřž€\U0001F600"));
    EXPECT_FALSE(zelk::IsValidUtf8("\xEC"));              // a lead byte at the end
    EXPECT_FALSE(zelk::IsValidUtf8("\x9A"));              // a stray continuation byte
    EXPECT_FALSE(zelk::IsValidUtf8("\xC0\x80"));          // overlong
    EXPECT_FALSE(zelk::IsValidUtf8("\xE0\x80\x80"));      // overlong
    EXPECT_FALSE(zelk::IsValidUtf8("\xED\xA0\x80"));      // a surrogate
    EXPECT_FALSE(zelk::IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
    EXPECT_FALSE(zelk::IsValidUtf8("\xE8\xF8\x9E"));      // čřž in Windows-1250
}

TEST(TextAsUtf8, KeepsUtf8AndReadsAnythingElseAsWindows1250) {
    EXPECT_EQ(zelk::TextAsUtf8("Zelk;0-1;ěš"), "Zelk;0-1;ěš");
    EXPECT_EQ(zelk::TextAsUtf8("Zelk;\xEC\x9A"), "Zelk;ěš");
}
