#include "keyboard/Cp1252.h"

#include <gtest/gtest.h>

#include <string>

namespace kest {
namespace {

std::string allBytes() {
    std::string s;
    for (int b = 0; b < 256; ++b) s += static_cast<char>(b);
    return s;
}

// Every byte survives Unicode and UTF-8; undefined bytes keep their value; characters
// outside the code page have none.
TEST(Cp1252RoundTrip, EveryByteSurvivesUnicodeAndUtf8AndOtherCharactersHaveNone) {
    for (int b = 0; b < 256; ++b) {
        auto c = static_cast<unsigned char>(b);
        EXPECT_EQ(unicodeToCp1252(cp1252ToUnicode(c)), b) << b;
    }
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(allBytes())), allBytes());
    EXPECT_EQ(cp1252ToUnicode(0x80), U'\u20AC');
    EXPECT_EQ(cp1252ToUnicode(0x9F), U'\u0178');
    EXPECT_EQ(cp1252ToUnicode(0x81), U'\u0081');
    EXPECT_EQ(cp1252ToUnicode(0xE9), U'\u00E9');
    EXPECT_EQ(cp1252ToUtf8("\x80\xe9"
                           "A"),
              "\u20AC\u00E9A");
    EXPECT_EQ(utf8ToCp1252("\u2019\u0153\u00FF"), "\x92\x9c\xff");
    for (char32_t u : {U'\u0080', U'\u0085', U'\u0100', U'\U0001F600'})
        EXPECT_EQ(unicodeToCp1252(u), -1) << static_cast<unsigned>(u);  // 0x80 is the euro sign
    EXPECT_EQ(utf8ToCp1252("a\u4E2Db\U0001F600c"), "a?b?c");
}

TEST(Cp1252Unmappable, InvalidUtf8BytesAreTakenAsTheyAre) {
    EXPECT_EQ(utf8ToCp1252("a\xe9z"), "a\xe9z");                      // Latin-1 text
    EXPECT_EQ(utf8ToCp1252("\xc3"), "\xc3");                          // cut short at the end
    EXPECT_EQ(utf8ToCp1252("\xc3("), "\xc3(");                        // bad continuation
    EXPECT_EQ(utf8ToCp1252("\xc0\xaf"), "\xc0\xaf");                  // overlong '/'
    EXPECT_EQ(utf8ToCp1252("\xed\xa0\x80"), "\xed\xa0\x80");          // surrogate
    EXPECT_EQ(utf8ToCp1252("\xf4\x90\x80\x80"), "\xf4\x90\x80\x80");  // above U+10FFFF
    EXPECT_EQ(utf8ToCp1252("\xff\xfe"), "\xff\xfe");
}

TEST(Cp1252Upper, LettersOfTheCodePage) {
    EXPECT_EQ(cp1252Upper("abc xyz {enter} 123"), "ABC XYZ {ENTER} 123");
    EXPECT_EQ(cp1252Upper("\xe0\xe9\xf6\xf8\xfe"), "\xc0\xc9\xd6\xd8\xde");
    EXPECT_EQ(cp1252Upper("\x9a\x9c\x9e\xff"), "\x8a\x8c\x8e\x9f");
    // No capital in the code page: sharp s, micro sign; not a letter: division sign.
    EXPECT_EQ(cp1252Upper("\xdf\xb5\xf7"), "\xdf\xb5\xf7");
}

TEST(Cp1252Upper, OnlyLowerCaseLettersChangeAndOnlyOnce) {
    for (int b = 0; b < 256; ++b) {
        auto c = static_cast<unsigned char>(b);
        unsigned char upper = cp1252Upper(c);
        EXPECT_EQ(cp1252Upper(upper), upper) << b;
        if (upper != c) {
            // The change agrees with Unicode: same letter, capital form.
            EXPECT_NE(cp1252ToUnicode(upper), cp1252ToUnicode(c)) << b;
            EXPECT_TRUE((b >= 'a' && b <= 'z') || b >= 0x9A) << b;
        }
    }
}

TEST(Utf8ToUnicode, TitlesKeepEveryCharacterAndMarkBrokenBytes) {
    EXPECT_EQ(utf8ToUnicode("\xC3\x96l \xE2\x82\xAC \xF0\x9F\x98\x80"),
              std::u32string(U"\u00D6l \u20AC \U0001F600"));
    // A lone continuation byte and a cut-off sequence: one mark each, the rest kept.
    EXPECT_EQ(utf8ToUnicode("a\x80"
                            "b\xE2\x82"),
              std::u32string(U"a\uFFFDb\uFFFD\uFFFD"));
}

}  // namespace
}  // namespace kest
