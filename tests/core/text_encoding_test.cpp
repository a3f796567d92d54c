#include "core/text_encoding.h"

#include <gtest/gtest.h>

namespace zelmar::text {
namespace {

TEST(TrimHorizontalSpace, TabsAndSpaceSeparatorsButNotLineBreaks)
{
    EXPECT_EQ(trimHorizontalSpace("  a b  "), "a b");
    EXPECT_EQ(trimHorizontalSpace("\t\u00A0\u2003x\u3000\u202F"), "x");
    EXPECT_EQ(trimHorizontalSpace("\u1680\u205F\u2000\u200Ay\u2009"), "y");
    EXPECT_EQ(trimHorizontalSpace("\nx\r"), "\nx\r");
    EXPECT_EQ(trimHorizontalSpace("\u200Bx"), "\u200Bx"); // zero-width space is not Zs
    EXPECT_EQ(trimHorizontalSpace("   "), "");
    EXPECT_EQ(trimHorizontalSpace(""), "");
    // Broken UTF-8 at either end stops the trimming but survives.
    EXPECT_EQ(trimHorizontalSpace(" \xE3\x80 "), "\xE3\x80");
    EXPECT_EQ(trimHorizontalSpace("\x80 a"), "\x80 a");
}

TEST(Utf16, RoundTripsAndReplacesBrokenInput)
{
    const std::string text = "電錶 \u03A9 \u00B5A \U0001F600";
    EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(text)), text);
    EXPECT_EQ(utf8ToUtf16("\U0001F600"), std::u16string(u"\xD83D\xDE00"));
    EXPECT_EQ(utf8ToUtf16("a\xFF"
                          "b"),
        std::u16string(u"a\uFFFDb"));
    EXPECT_EQ(utf8ToUtf16("\xC0\xAF"), std::u16string(u"\uFFFD\uFFFD")); // overlong
    EXPECT_EQ(utf8ToUtf16("\xED\xA0\x80").size(), 3u); // encoded surrogate
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\uFFFD");
    EXPECT_EQ(wideToUtf8(utf8ToWide("Zelmar 電錶")), "Zelmar 電錶");
}

} // namespace
} // namespace zelmar::text
