// Tests of form-value encoding.
#include "util/kaUrl.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(UrlEncode, Bytes) {
  EXPECT_EQ(UrlEncode("Abc 019 z", true), "Abc+019+z");
  EXPECT_EQ(UrlEncode("a b", false), "a%20b");
  EXPECT_EQ(UrlEncode("-_.~*", true), "%2D%5F%2E%7E%2A");
  EXPECT_EQ(UrlEncode("\xE9", true), "%E9");
  EXPECT_EQ(UrlEncode("\r\n&+%", true), "%0D%0A%26%2B%25");
  EXPECT_EQ(UrlEncode(std::string("\0\xFF", 2), true), "%00%FF");
  EXPECT_EQ(UrlEncode("", true), "");
}

TEST(UrlEncode, EveryByte) {
  for (int c = 0; c < 256; ++c) {
    const std::string out = UrlEncode(std::string(1, static_cast<char>(c)), true);
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (alnum) {
      EXPECT_EQ(out, std::string(1, static_cast<char>(c)));
    } else if (c == ' ') {
      EXPECT_EQ(out, "+");
    } else {
      char want[4];
      std::snprintf(want, sizeof want, "%%%02X", c);
      EXPECT_EQ(out, want) << c;
    }
  }
}

} // namespace
} // namespace quorvel
