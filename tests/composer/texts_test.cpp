// Tests of the composer's toolkit-free parts: status texts, log limit,
// message files.
#include "composer/unComlog.h"
#include "composer/unMsgFile.h"
#include "composer/unSMSStatus.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

std::string lines(int from, int to) {
  std::string s;
  for (int i = from; i <= to; ++i)
    s += "line " + std::to_string(i) + "\n";
  return s;
}

TEST(StatusTexts, PanelsAtTheSmsBoundaries) {
  struct Case {
    std::size_t n;
    std::string chars, sms, left;
  };
  const Case cases[] = {
      {0, "Character: 0", "SMS: 1", "Characters left: 160"},
      {1, "Character: 1", "SMS: 1", "Characters left: 159"},
      {159, "Character: 159", "SMS: 1", "Characters left: 1"},
      {160, "Character: 160", "SMS: 1", "Characters left: 160"},
      {161, "Character: 161", "SMS: 2", "Characters left: 159"},
      {320, "Character: 320", "SMS: 2", "Characters left: 160"},
      {321, "Character: 321", "SMS: 3", "Characters left: 159"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    const auto texts = statusPanelTexts(c.n, "");
    EXPECT_EQ(texts[0], c.chars);
    EXPECT_EQ(texts[1], c.sms);
    EXPECT_EQ(texts[2], c.left);
  }
}

TEST(StatusTexts, CreditPanel) {
  EXPECT_EQ(statusPanelTexts(0, "")[3], "Credits :  unknown");
  EXPECT_EQ(statusPanelTexts(0, "25")[3], "Credits : 25");
  EXPECT_EQ(statusPanelTexts(0, "unlimited")[3], "Credits : unlimited");
}

TEST(StatusTexts, CountsCodePointsWithoutLineBreaks) {
  struct Case {
    std::string text;
    std::size_t n;
  };
  const Case cases[] = {
      {"", 0},
      {"abc", 3},
      {"a\r\nb\nc\rd", 4},
      {"\r\n\r\n", 0},
      {"a\tb", 3},                          // tabs count
      {"\xC3\xA1rv\xC3\xADzt\xC5\xB1r\xC5\x91", 9}, // Hungarian accents: 2 bytes each
      {"\xE2\x82\xAC 5", 3},                // euro sign: 3 bytes
      {"\xF0\x9F\x98\x80!", 2},             // emoji: 4 bytes, one character
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(countStatusCharacters(c.text), c.n);
  }
}

TEST(Comlog, KeepsTheLastFiftyLines) {
  EXPECT_EQ(keepLastLines(lines(1, 60), comlogMaxLines), lines(11, 60));
  EXPECT_EQ(keepLastLines(lines(1, 50), comlogMaxLines), lines(1, 50));
  // Without a final line break the last line still counts as one.
  std::string noFinal = lines(1, 51);
  noFinal.pop_back();
  std::string expected = lines(2, 51);
  expected.pop_back();
  EXPECT_EQ(keepLastLines(noFinal, comlogMaxLines), expected);
  EXPECT_EQ(keepLastLines("", comlogMaxLines), "");
  EXPECT_EQ(keepLastLines("\n\n\n", 2), "\n\n");
}

TEST(MsgFile, EncodesThreeLines) {
  const std::string bytes = encodeMsgFile({"+3612345", "Ann [1];", "Hi\\there\r\nyou"});
  EXPECT_EQ(bytes, "+3612345\r\nAnn [1];\r\nHi\\\\there\\r\\nyou\r\n");
}

TEST(MsgFile, EveryLineBreakIsWrittenAsBackslashRBackslashN) {
  const std::pair<const char*, const char*> cases[] = {
      {"a\r\nb", "a\\r\\nb"},
      {"a\nb", "a\\r\\nb"},
      {"a\rb", "a\\r\\nb"},
      {"a\n\r\nb\r\r\n", "a\\r\\n\\r\\nb\\r\\n\\r\\n"},
  };
  for (const auto& [text, line] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(encodeMsgFile({"to", text, text}),
              std::string("to\r\n") + line + "\r\n" + line + "\r\n");
  }
}

TEST(MsgFile, RoundTripsLineBreaksAndBackslashes) {
  const TMsgFileContent cases[] = {
      {"+3612345", "", "Hi\\there\r\nsecond\r\nthird\\"},
      {"Ann [+36 1] ", "Bob [+36 2] ; ", "\\\\r is not a break"},
      {"", "", ""},
      {"x", "c\r\nc", "\xC3\xA1rv\xC3\xADzt\xC5\xB1r\xC5\x91 \xF0\x9F\x98\x80"},
      {"\xEF\xBB\xBF+36 1", "\xEF\xBB\xBF", "\xEF\xBB\xBFtext"}, // U+FEFF is text too
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto back = decodeMsgFile(encodeMsgFile(c));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->to, c.to);
    EXPECT_EQ(back->cc, c.cc);
    EXPECT_EQ(back->text, c.text);
  }
}

TEST(MsgFile, MalformedTextIsWrittenAsReplacementCharacters) {
  const auto back = decodeMsgFile(encodeMsgFile({"\xC3\xA1 \xFF", "\xFF", "\xC3\xA9\xFF"}));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->to, "\xC3\xA1 \xEF\xBF\xBD");
  EXPECT_EQ(back->cc, "\xEF\xBF\xBD");
  EXPECT_EQ(back->text, "\xC3\xA9\xEF\xBF\xBD");
}

TEST(MsgFile, ToFieldCannotBreakTheLayout) {
  const auto back = decodeMsgFile(encodeMsgFile({"a\r\nb", "cc", "text"}));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->to, "a  b");
  EXPECT_EQ(back->cc, "cc");
  EXPECT_EQ(back->text, "text");
}

TEST(MsgFile, ReadsAnyLineEndAndIgnoresExtraLines) {
  for (const std::string bytes : {"a\nb\nc", "a\rb\rc\r", "a\r\nb\nc\rextra\r\nmore"}) {
    const auto content = decodeMsgFile(bytes);
    ASSERT_TRUE(content.has_value()) << bytes;
    EXPECT_EQ(content->to, "a");
    EXPECT_EQ(content->cc, "b");
    EXPECT_EQ(content->text, "c");
  }
}

TEST(MsgFile, FewerThanThreeLinesGiveNothing) {
  EXPECT_FALSE(decodeMsgFile("").has_value());
  EXPECT_FALSE(decodeMsgFile("to\r\n").has_value());
  EXPECT_FALSE(decodeMsgFile("to\r\ncc\r\n").has_value());
  // A third line that is empty still counts.
  const auto empty = decodeMsgFile("to\r\ncc\r\n\r\n");
  ASSERT_TRUE(empty.has_value());
  EXPECT_EQ(empty->text, "");
}

TEST(MsgFile, UnknownEscapeIsDropped) {
  const auto content = decodeMsgFile("to\r\n\r\na\\tb\\\r\n");
  ASSERT_TRUE(content.has_value());
  EXPECT_EQ(content->text, "ab");
}

TEST(MsgFile, ReadsWindows1252Files) {
  // "Árvíz €5 – ok" in the Western Windows code page.
  const std::string bytes = "+36\r\n\r\n\xC1rv\xEDz \x80"
                            "5 \x96 ok\r\n";
  const auto content = decodeMsgFile(bytes);
  ASSERT_TRUE(content.has_value());
  EXPECT_EQ(content->text, "\xC3\x81rv\xC3\xADz \xE2\x82\xAC"
                           "5 \xE2\x80\x93 ok");
}

TEST(MsgFile, SkipsAUtf8ByteOrderMark) {
  const auto content = decodeMsgFile("\xEF\xBB\xBF+36\r\n\r\nhi\r\n");
  ASSERT_TRUE(content.has_value());
  EXPECT_EQ(content->to, "+36");
}

} // namespace
} // namespace quorvel
