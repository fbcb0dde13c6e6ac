#include <gtest/gtest.h>

#include "drive/text.h"

namespace vestrel {
namespace {

TEST(FormatText, IntegersAsWsprintfFormatsThem) {
    EXPECT_EQ(FormatText(u"%d|%i|%u", {-150, 7, 42u}), u"-150|7|42");
    EXPECT_EQ(FormatText(u"%d", {0xFFFFFFFFu}), u"-1");  // 32-bit signed view
    EXPECT_EQ(FormatText(u"0x%X 0x%x", {0x3Au, 255}), u"0x3A 0xff");
    EXPECT_EQ(FormatText(u"%03d", {7}), u"007");
    EXPECT_EQ(FormatText(u"[%5d|%-5d|%05d]", {42, 42, -42}), u"[   42|42   |-0042]");
    EXPECT_EQ(FormatText(u"%I64d %lld %u", {5000000000LL, -5000000000LL, -1}),
              u"5000000000 -5000000000 4294967295");
}

TEST(FormatText, TextsAndCharacters) {
    EXPECT_EQ(FormatText(u"%s%C%03d.%s", {u"C:\\t4k\\Temp\\", u'D', 3, u"iso"}),
              u"C:\\t4k\\Temp\\D003.iso");
    EXPECT_EQ(FormatText(u"%c:\\ %ls %.3s", {u'e', u"wide", u"abcdef"}), u"e:\\ wide abc");
    EXPECT_EQ(FormatText(u"100%% done", {}), u"100% done");
}

TEST(FormatText, MissingOrMismatchedArgumentsFormatAsNothing) {
    EXPECT_EQ(FormatText(u"a%db%sc", {}), u"abc");
    EXPECT_EQ(FormatText(u"%s|%d", {5, u"x"}), u"|");
    EXPECT_EQ(FormatText(u"%q %", {1}), u"%q %");
    // Widths are capped, so no format can ask for an enormous text.
    EXPECT_EQ(FormatText(u"%99999999999999999999d", {1}).size(), 1000u);
}

TEST(Utf8, RoundTripsAndRepairsMalformedInput) {
    std::u16string s = u"t4k Vestrel\u2122 \U0001F4BF";
    EXPECT_EQ(FromUtf8(ToUtf8(s)), s);
    EXPECT_EQ(ToUtf8(u"\u2122"), "\xE2\x84\xA2");
    EXPECT_EQ(FromUtf8("a\xE2\x84"), u"a\uFFFD");  // cut short
    EXPECT_EQ(FromUtf8("\xFF"
                       "b"),
              u"\uFFFDb");
    EXPECT_EQ(FromUtf8("\xC0\x80\xE0\x80\xAF"), u"\uFFFD\uFFFD");  // overlong NUL and "/"
    EXPECT_EQ(FromLatin1("\xE9"), u"\u00E9");
}

}  // namespace
}  // namespace vestrel
