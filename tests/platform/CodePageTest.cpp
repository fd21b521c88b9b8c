#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace platform;

struct TCodePageCase {
    int CodePage;
    std::string Bytes;
    std::string Utf8;
};

TEST(CodePage, RoundTripsCyrillicAndLatin) {
    const TCodePageCase cases[] = {
        {1251, "\xCF\xF0\xE8\xE2\xE5\xF2 \xB8\xA8", "Привет ёЁ"},
        {866, "\x8F\xE0\xA8\xA2\xA5\xE2 \xF1\xF0", "Привет ёЁ"},
        {1252, "caf\xE9 \x80", "café €"},
        {437, "\x82\xE1", "éß"},
        {850, "\x90\xA5", "ÉÑ"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.CodePage);
        EXPECT_EQ(CodePageToUtf8(c.Bytes, c.CodePage), c.Utf8);
        EXPECT_EQ(Utf8ToCodePage(c.Utf8, c.CodePage), c.Bytes);
    }
}

TEST(CodePage, UnmappableAndMalformedBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCodePage("a€中b", 866), "a??b");
    EXPECT_EQ(Utf8ToCodePage(std::string("x\xD0"), 1251), "x?");
    EXPECT_EQ(Utf8ToCodePage(std::string("\xFF\xC3\xA9z"), 1252), "?\xE9z");
    EXPECT_EQ(CodePageToUtf8("\x98", 1251), "\xEF\xBF\xBD"); // undefined in 1251
}

TEST(CodePage, UnknownCodePageKeepsAscii) {
    EXPECT_FALSE(IsCodePageSupported(12345));
    EXPECT_EQ(CodePageToUtf8("ab\xC0", 12345), "ab\xEF\xBF\xBD");
}
