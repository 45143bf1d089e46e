// Tests of the string routines: cutting, cleaning, splitting and decoding.
#include "util/unStrings.h"

#include <gtest/gtest.h>

#include <climits>

namespace quorvel {
namespace {

TEST(Strings, LeftRightChop) {
  struct Case {
    std::string s;
    int num;
    std::string left, right, chop;
  };
  const Case cases[] = {
      {"abcdef", 2, "ab", "ef", "cdef"},
      {"abcdef", 0, "", "", "abcdef"},
      {"abcdef", -3, "", "", "abcdef"},
      {"abcdef", 6, "abcdef", "abcdef", ""},
      {"abcdef", 7, "abcdef", "abcdef", ""},
      {"", 1, "", "", ""},
      {std::string("a\0b", 3), 2, std::string("a\0", 2), std::string("\0b", 2), "b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.s + " / " + std::to_string(c.num));
    EXPECT_EQ(leftstr(c.s, c.num), c.left);
    EXPECT_EQ(rightstr(c.s, c.num), c.right);
    EXPECT_EQ(chopfront(c.s, c.num), c.chop);
  }
}

TEST(Strings, Trim) {
  EXPECT_EQ(trim("\t a b \r\n"), "a b");
  EXPECT_EQ(trim("   "), "");
  EXPECT_EQ(trim(" "), "");
  EXPECT_EQ(trim(""), "");
  EXPECT_EQ(trim("x"), "x");
  EXPECT_EQ(trim(std::string("\0\0x\0", 4)), "x");
  EXPECT_EQ(trim("\va\v"), "\va\v"); // only LF, CR, space, TAB and NUL count
}

TEST(Strings, ToNumber) {
  const std::pair<std::string, std::string> cases[] = {
      {"+36 (30) 123-4567", "36301234567"}, {"-12a3", "-123"}, {"-", ""},
      {"-x", "-"},  {"", ""},  {"a-1", "1"},  {"--5", "-5"},  {"\xB2", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(toNumber(in), out) << in;
}

TEST(Strings, ToIntNumber) {
  EXPECT_EQ(toIntNumber(""), 0);
  EXPECT_EQ(toIntNumber("abc"), 0);
  EXPECT_EQ(toIntNumber("credit: 1 234"), 1234);
  EXPECT_EQ(toIntNumber("-2147483648"), INT32_MIN);
  EXPECT_EQ(toIntNumber("2147483647"), INT32_MAX);
  EXPECT_EQ(toIntNumber("000000000000000000042"), 42);
  EXPECT_THROW(toIntNumber("-abc"), EConvertError);
  EXPECT_THROW(toIntNumber("2147483648"), EConvertError);
  EXPECT_THROW(toIntNumber("-2147483649"), EConvertError);
  EXPECT_THROW(toIntNumber("99999999999999999999999"), EConvertError);
}

TEST(Strings, StrToIntIsStrict) {
  const std::pair<std::string, int32_t> good[] = {
      {"0", 0}, {"  17", 17}, {"\t+5", 5}, {"-8", -8}, {"007", 7}};
  for (const auto& [in, v] : good) EXPECT_EQ(StrToInt(in), v) << in;
  const char* bad[] = {"", " ", "-", "+", "12a", "1 2", "0x10", "5 ", "--1", "4294967296"};
  for (const char* in : bad) EXPECT_THROW(StrToInt(in), EConvertError) << in;
  try {
    StrToInt("x1");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_NE(std::string(e.what()).find("'x1'"), std::string::npos);
  }
}

TEST(Strings, Bools) {
  EXPECT_EQ(boolToString(true), "1");
  EXPECT_EQ(boolToString(false), "0");
  EXPECT_TRUE(stringToBool("1"));
  for (const char* s : {"true", " 1", "1 ", "", "0", "01"}) EXPECT_FALSE(stringToBool(s)) << s;
}

TEST(Strings, SplitHead) {
  std::string s = "Name [+3630123] ";
  EXPECT_EQ(splitHead("[", s), "Name ");
  EXPECT_EQ(s, "+3630123] ");
  EXPECT_EQ(splitHead("]", s), "+3630123");
  EXPECT_EQ(s, " ");

  std::string none = "3630123";
  EXPECT_EQ(splitHead("[", none), "");
  EXPECT_EQ(none, "3630123");
  EXPECT_EQ(splitHead("", none), "");
  EXPECT_EQ(none, "3630123");

  std::string multi = "a<>b<>c";
  EXPECT_EQ(splitHead("<>", multi), "a");
  EXPECT_EQ(multi, "b<>c");
  std::string cased = "xAy";
  EXPECT_EQ(splitHead("a", cased), ""); // case matters here
}

TEST(Strings, SplitToList) {
  struct Case {
    std::string pattern, str;
    std::vector<std::string> out;
  };
  const Case cases[] = {
      {";", "a;;b;", {"a", "", "b"}},
      {"AND", "xandy", {"x", "y"}},
      {"and", "xANDyAnDz", {"x", "y", "z"}},
      {";", "", {}},
      {";", ";", {""}},
      {";", ";a", {"", "a"}},
      {"", "abc", {"abc"}},
      {";;", "a;;;b", {"a", ";b"}},
      {"X", "AxBXc", {"A", "B", "c"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> got;
    splittolist(c.pattern, c.str, got);
    EXPECT_EQ(got, c.out) << c.pattern << " in " << c.str;
  }
  std::vector<std::string> kept{"old"};
  splittolist(";", "n", kept);
  EXPECT_EQ(kept, (std::vector<std::string>{"old", "n"}));
}

TEST(Strings, StrReplace) {
  EXPECT_EQ(strReplace("aa", "a", "aaaa"), "aa");
  EXPECT_EQ(strReplace("aa", "b", "aaa"), "ba");
  EXPECT_EQ(strReplace("toolong", "x", "short"), "short");
  EXPECT_EQ(strReplace("", "x", "abc"), "abc");
  EXPECT_EQ(strReplace("a", "aa", "aba"), "aabaa"); // inserted text not searched
  EXPECT_EQ(strReplace("A", "x", "aA"), "ax");
  EXPECT_EQ(strReplace("b", "", "abcb"), "ac");
  EXPECT_EQ(strReplace("abc", "z", "abc"), "z");
}

TEST(Strings, FromXmlReady) {
  const std::pair<std::string, std::string> cases[] = {
      {"&gt;&lt;&amp;&apos;&quot;", "><&'\""},
      {"&amp;lt;", "&lt;"},
      {"&GT;", "&GT;"},
      {"&#38;", "&#38;"},
      {"a&", "a&"},
      {"&gt", "&gt"},
      {"&quot", "&quot"},
      {"x &amp y", "x &amp y"},
      {"", ""},
      {"&&lt;", "&<"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(fromXmlReady(in), out) << in;
}

TEST(Strings, UrlSplitter) {
  struct Case {
    std::string url, host, port, data;
  };
  const Case cases[] = {
      {"https://gw.example/send.php", "gw.example", "443", "/send.php"},
      {"http://gw.example/", "gw.example", "80", "/"},
      {"host:8080", "host", "8080", "/"},
      {"HTTP://Host:81/a?b=c#d", "Host", "81", "/a?b=c#d"},
      {"HtTpS://h", "h", "443", "/"},
      {"ftp://h/x", "ftp", "", "//h/x"},
      {"http://user:pw@h/x", "user", "pw@h", "/x"},
      {"http://h:/x", "h", "", "/x"},
      {"", "", "80", "/"},
  };
  for (const Case& c : cases) {
    std::string host = "?", port = "?", data = "?";
    kaUrlSplitter(c.url, host, port, data);
    EXPECT_EQ(host, c.host) << c.url;
    EXPECT_EQ(port, c.port) << c.url;
    EXPECT_EQ(data, c.data) << c.url;
  }
}

TEST(Strings, FakeSingleLine) {
  EXPECT_EQ(toFakeSingleLine(u"a\\b\r\nc"), u"a\\\\b\\r\\nc");
  EXPECT_EQ(fromFakeSingleLine(u"a\\\\b\\r\\nc"), u"a\\b\r\nc");
  EXPECT_EQ(fromFakeSingleLine(u"a\\xb"), u"ab");
  EXPECT_EQ(fromFakeSingleLine(u"ab\\"), u"ab");
  EXPECT_EQ(fromFakeSingleLine(u"\\\\\\n"), u"\\\n");
  const std::u16string samples[] = {u"", u"\\", u"\\\\n", u"\r\r\n\n\\r",
                                    u"\u00e9\u20ac\\", u"\\n\\\\\n"};
  for (const auto& s : samples) {
    const std::u16string line = toFakeSingleLine(s);
    EXPECT_EQ(line.find_first_of(u"\r\n"), std::u16string::npos);
    EXPECT_EQ(fromFakeSingleLine(line), s);
  }
  EXPECT_EQ(singleline(u"a\r\nb\tc d\u2028"), u"abc d\u2028");
}

} // namespace
} // namespace quorvel
