// Tests of the SMS coding and part counter, and of cutting texts into parts.
#include "util/unSMSParts.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel {
namespace {

std::string times(std::size_t n, const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i)
    out += s;
  return out;
}

struct Case {
  const char* name;
  std::string text;
  SmsCoding coding;
  std::size_t units;
  std::size_t parts;
  char32_t firstNonGsm;
};

TEST(SmsParts, Table) {
  const auto G = SmsCoding::gsm7;
  const auto U = SmsCoding::ucs2;
  const Case cases[] = {
      {"empty", "", G, 0, 1, 0},
      {"plain", "Hello @ $ _ Y!", G, 14, 1, 0},
      {"GSM accents and signs", "£¥èéùìòàÇÄÖÑÜ§¿äöñüÉÆæßØøÅå¤¡", G, 29, 1, 0},
      {"Greek capitals", "ΔΦΓΛΩΠΨΣΘΞ", G, 10, 1, 0},
      {"extension characters count two", "€[]{}\\^~|\f", G, 20, 1, 0},
      {"160 GSM", times(160, "a"), G, 160, 1, 0},
      {"161 GSM", times(161, "a"), G, 161, 2, 0},
      {"80 extension = 160", times(80, "€"), G, 160, 1, 0},
      {"81 extension", times(81, "{"), G, 162, 2, 0},
      {"153*2 GSM", times(306, "a"), G, 306, 2, 0},
      {"153*2+1 GSM", times(307, "a"), G, 307, 3, 0},
      {"extension not split at a part boundary", times(152, "a") + "€" + times(152, "a"), G,
       306, 3, 0},
      {"acute a is not GSM", "Olá", U, 3, 1, U'á'},
      {"o double acute", "Szőlő", U, 5, 1, U'ő'},
      {"tab is not GSM", "a\tb", U, 3, 1, U'\t'},
      {"grave accent sign is not GSM", "`", U, 1, 1, U'`'},
      {"70 UCS-2", times(70, "ő"), U, 70, 1, U'ő'},
      {"71 UCS-2", times(71, "ő"), U, 71, 2, U'ő'},
      {"67*2 UCS-2", times(134, "ж"), U, 134, 2, U'ж'},
      {"67*2+1 UCS-2", times(135, "ж"), U, 135, 3, U'ж'},
      {"outside the BMP counts two", "😀", U, 2, 1, U'😀'},
      {"mixed: GSM characters count one in UCS-2", "€ ő", U, 3, 1, U'ő'},
      {"malformed UTF-8", "a\xFF", U, 2, 1, U'\uFFFD'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SmsParts p = smsParts(c.text);
    EXPECT_EQ(p.coding, c.coding);
    EXPECT_EQ(p.units, c.units);
    EXPECT_EQ(p.parts, c.parts);
    EXPECT_EQ(p.firstNonGsm, c.firstNonGsm);
    EXPECT_EQ(splitSmsParts(c.text).size(), c.parts);
  }
}

TEST(SmsParts, SplitKeepsTextAndLimits) {
  const std::string gsm = times(400, "x");
  const auto gsmParts = splitSmsParts(gsm);
  ASSERT_EQ(gsmParts.size(), 3u);
  EXPECT_EQ(gsmParts[0].size(), 153u);
  EXPECT_EQ(gsmParts[2].size(), 94u);
  EXPECT_EQ(gsmParts[0] + gsmParts[1] + gsmParts[2], gsm);

  const std::string wide = times(66, "ж") + "😀" + times(3, "ж");
  const auto wideParts = splitSmsParts(wide);
  ASSERT_EQ(wideParts.size(), 2u);
  EXPECT_EQ(wideParts[0], times(66, "ж"));  // the pair does not fit the 67th unit
  EXPECT_EQ(wideParts[1], "😀жжж");
}

// A 16-bit concatenation reference makes the header one byte longer: 152
// GSM characters or 66 UCS-2 units a part.
TEST(SmsParts, SixteenBitReferenceLeavesOneUnitLessAPart) {
  struct Case {
    std::string text;
    std::size_t partsEightBit, partsSixteenBit, firstPart;
  };
  const Case cases[] = {
      {times(160, "x"), 1, 1, 160},
      {times(304, "x"), 2, 2, 152},
      {times(305, "x"), 2, 3, 152},
      {times(132, "ж"), 2, 2, 66 * 2},
      {times(134, "ж"), 2, 3, 66 * 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.size());
    EXPECT_EQ(smsParts(c.text).parts, c.partsEightBit);
    EXPECT_EQ(smsParts(c.text, SmsReference::sixteenBit).parts, c.partsSixteenBit);
    const auto texts = splitSmsParts(c.text, SmsReference::sixteenBit);
    EXPECT_EQ(texts.size(), c.partsSixteenBit);
    EXPECT_EQ(texts[0].size(), c.firstPart);
  }
}

TEST(SmsParts, Description) {
  EXPECT_EQ(smsPartsDescription(smsParts(times(100, "ő"))),
            "2 parts, Unicode: 'ő' is not in the GSM alphabet");
  EXPECT_EQ(smsPartsDescription(smsParts("Hi")), "1 part, GSM alphabet");
}

} // namespace
} // namespace quorvel
