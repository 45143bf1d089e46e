// UTF-8 / UTF-16 / Windows-1252 conversions without any toolkit.
#include "util/unTextCodec.h"

#include <cstdint>

namespace quorvel {

namespace {

constexpr char32_t replacementChar = 0xFFFD;

// Windows-1252 bytes 0x80..0x9F; the unassigned ones keep their C1 value.
constexpr char16_t cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Decodes the code point starting at s[i]; advances i past it. Returns
// replacementChar and advances one byte for a malformed sequence.
char32_t decodeUtf8(const std::string& s, std::size_t& i, bool& ok) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  ok = true;
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int len = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  }
  if (len == 0 || i + len > s.size()) {
    ok = false;
    ++i;
    return replacementChar;
  }
  for (int k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) {
      ok = false;
      ++i;
      return replacementChar;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ok = false;
    ++i;
    return replacementChar;
  }
  i += len;
  return cp;
}

} // namespace

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool nextUtf8CodePoint(const std::string& s, std::size_t& i, char32_t& cp) {
  std::size_t at = i;
  bool ok = true;
  cp = decodeUtf8(s, at, ok);
  if (ok)
    i = at;
  return ok;
}

bool isValidUtf8(const std::string& s) {
  std::size_t i = 0;
  bool ok = true;
  while (i < s.size()) {
    // ASCII runs without a call: the gateway checks every text of a batch.
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      continue;
    }
    decodeUtf8(s, i, ok);
    if (!ok)
      return false;
  }
  return true;
}

std::string cp1252ToUtf8(const std::string& s) {
  std::string out;
  out.reserve(s.size() + s.size() / 4);
  for (unsigned char c : s) {
    const char32_t cp = (c >= 0x80 && c < 0xA0) ? cp1252High[c - 0x80] : c;
    appendUtf8(out, cp);
  }
  return out;
}

std::u16string utf8ToUtf16(const std::string& s) {
  std::u16string out;
  out.reserve(s.size());
  std::size_t i = 0;
  bool ok = true;
  while (i < s.size()) {
    const char32_t cp = decodeUtf8(s, i, ok);
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string utf16ToUtf8(const std::u16string& s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = replacementChar;
    }
    appendUtf8(out, cp);
  }
  return out;
}

} // namespace quorvel
