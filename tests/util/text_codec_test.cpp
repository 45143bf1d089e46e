// Tests of the UTF-8, UTF-16 and Windows-1252 conversions.
#include "util/unTextCodec.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(TextCodec, ValidatesUtf8) {
  EXPECT_TRUE(isValidUtf8(""));
  EXPECT_TRUE(isValidUtf8("plain"));
  EXPECT_TRUE(isValidUtf8("\xC3\xA1\xE2\x82\xAC\xF0\x9F\x98\x80"));
  EXPECT_FALSE(isValidUtf8("\xE1"));             // cp1252 a-acute
  EXPECT_FALSE(isValidUtf8("\xC0\xAF"));         // overlong "/"
  EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));     // surrogate
  EXPECT_FALSE(isValidUtf8("\xE2\x82"));         // cut short
  EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80")); // beyond U+10FFFF
}

TEST(TextCodec, Converts) {
  EXPECT_EQ(cp1252ToUtf8("\x80\x9F\xFF"), "\xE2\x82\xAC\xC5\xB8\xC3\xBF");
  const std::string text = "a\xC3\xA1\xE2\x82\xAC\xF0\x9F\x98\x80";
  const std::u16string wide = utf8ToUtf16(text);
  EXPECT_EQ(wide, (std::u16string{u'a', 0x00E1, 0x20AC, 0xD83D, 0xDE00}));
  EXPECT_EQ(utf16ToUtf8(wide), text);
  EXPECT_EQ(utf16ToUtf8(std::u16string{0xD83D, u'x'}), "\xEF\xBF\xBDx");
  EXPECT_EQ(utf8ToUtf16("\xE1x"), (std::u16string{0xFFFD, u'x'}));
}

TEST(TextCodec, StepsOverCodePointsAndStopsAtMalformedOnes) {
  const std::string text = "a\xC3\xA1\xF0\x9F\x98\x80\xE2\x82";
  std::size_t i = 0;
  char32_t cp = 0;
  const char32_t expected[] = {U'a', 0xE1, 0x1F600};
  for (char32_t e : expected) {
    ASSERT_TRUE(nextUtf8CodePoint(text, i, cp));
    EXPECT_EQ(cp, e);
  }
  EXPECT_EQ(i, 7u);
  EXPECT_FALSE(nextUtf8CodePoint(text, i, cp)); // cut short
  EXPECT_EQ(i, 7u);

  std::string out;
  for (char32_t c : expected)
    appendUtf8(out, c);
  EXPECT_EQ(out, text.substr(0, 7));
}

} // namespace
} // namespace quorvel
