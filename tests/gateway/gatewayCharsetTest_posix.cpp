// The code pages of legacy clients, byte for byte against the C library's iconv.
#include "gateway/gatewayCharset.h"

#include "util/unTextCodec.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace quorvel::gateway {
namespace {

// What glibc makes of one byte in \p charset, as UTF-8; U+FFFD where it
// defines no character.
std::string iconvByte(const std::string& charset, unsigned char byte) {
  iconv_t cd = iconv_open("UTF-32LE", charset.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return "no iconv for " + charset;
  char in = static_cast<char>(byte);
  char32_t out[2] = {0, 0};
  char* ip = &in;
  char* op = reinterpret_cast<char*>(out);
  size_t inLeft = 1, outLeft = sizeof out;
  const bool ok = iconv(cd, &ip, &inLeft, &op, &outLeft) != static_cast<size_t>(-1) &&
                  iconv(cd, nullptr, nullptr, &op, &outLeft) != static_cast<size_t>(-1);  // composing pages hold it back
  iconv_close(cd);
  std::string utf8;
  appendUtf8(utf8, ok && outLeft == sizeof out - 4 ? out[0] : U'\uFFFD');
  return utf8;
}

TEST(Charset, EveryByteOfEveryCodePageAsIconvDecodesIt) {
  const char* const pages[] = {"windows-874",  "windows-1250", "windows-1251", "windows-1252", "windows-1253",
                               "windows-1254", "windows-1255", "windows-1256", "windows-1257", "windows-1258",
                               "iso-8859-1",   "iso-8859-2",   "iso-8859-15"};
  for (const char* page : pages) {
    ASSERT_EQ(canonicalCharset(page), page);
    for (int b = 0; b < 256; ++b) {
      const std::string byte(1, static_cast<char>(b));
      EXPECT_EQ(decodeCodePage(byte, page), iconvByte(page, static_cast<unsigned char>(b))) << page << " byte " << b;
    }
  }
}

TEST(Charset, Utf8StaysAndOtherBytesAreTheCodePage) {
  struct Case {
    std::string bytes, charset, utf8;
  };
  const std::vector<Case> cases = {
      {"caf\xC3\xA9", "windows-1250", "caf\u00E9"},  // valid UTF-8 is never re-read
      {"caf\xE9", "windows-1252", "caf\u00E9"},
      {"\xF5r\xFCl\xF5", "Windows-1250", "\u0151r\u00FCl\u0151"},
      {"\xE9\xC3\xA9", "windows-1252", "\u00E9\u00C3\u00A9"},  // a text is one or the other, as a whole
      {"\x81", "windows-1252", "\uFFFD"},
      {"\xE9", "no-such-page", "\u00E9"},  // the default
      {"", "windows-1251", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(clientTextToUtf8(c.bytes, c.charset), c.utf8) << c.bytes;
}

TEST(Charset, NamesAreKnownWhateverTheirCase) {
  EXPECT_EQ(canonicalCharset("WINDOWS-1250"), "windows-1250");
  EXPECT_EQ(canonicalCharset("ISO-8859-2"), "iso-8859-2");
  EXPECT_EQ(canonicalCharset("utf-8"), "");
  EXPECT_EQ(canonicalCharset("windows-12500"), "");
  EXPECT_EQ(knownCharsets().rfind("windows-874, windows-1250, windows-1251, ", 0), 0u) << knownCharsets();
}

} // namespace
} // namespace quorvel::gateway
