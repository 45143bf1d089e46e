// Text helpers of the mail library: case folding for searches, and the small encodings mail and vCard use.
#include "mapi/mapitext.h"

#include <cctype>

namespace quorvel::mapi {

namespace {

uint32_t foldCodePoint(uint32_t cp) {
  if (cp < 0x80)
    return cp >= 'A' && cp <= 'Z' ? cp + 32 : cp;
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)
    return cp + 32;
  if (cp == 0x178)
    return 0xFF;
  if (cp >= 0x100 && cp <= 0x17F) {
    // Pairs of capital and small letters; the middle block pairs the other
    // way round.
    bool oddCapital = (cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E);
    if (cp == 0x130 || cp == 0x131 || cp == 0x138 || cp == 0x149 || cp == 0x17F)
      return cp == 0x130 ? 'i' : cp;
    if (oddCapital)
      return (cp & 1) ? cp + 1 : cp;
    return (cp & 1) ? cp : cp + 1;
  }
  if (cp >= 0x391 && cp <= 0x3AB && cp != 0x3A2)
    return cp + 32;
  if (cp >= 0x410 && cp <= 0x42F)
    return cp + 32;
  if (cp >= 0x400 && cp <= 0x40F)
    return cp + 80;
  return cp;
}

} // namespace

std::string ensureUtf8(const std::string& s) { return isValidUtf8(s) ? s : cp1252ToUtf8(s); }

std::string utf16ToUtf8(const std::string& s) {
  if (s.size() < 2)
    return s;
  bool le = uint8_t(s[0]) == 0xFF && uint8_t(s[1]) == 0xFE;
  bool be = uint8_t(s[0]) == 0xFE && uint8_t(s[1]) == 0xFF;
  if (!le && !be)
    return s;
  auto unit = [&](size_t i) {
    uint8_t a = uint8_t(s[i]), b = uint8_t(s[i + 1]);
    return uint32_t(le ? (b << 8 | a) : (a << 8 | b));
  };
  std::u16string units;
  units.reserve(s.size() / 2);
  for (size_t i = 2; i + 1 < s.size(); i += 2)
    units += char16_t(unit(i));
  return quorvel::utf16ToUtf8(units);
}

std::string lowerAscii(std::string s) {
  for (char& c : s)
    c = char(std::tolower(uint8_t(c)));
  return s;
}

bool equalsNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && lowerAscii(a) == lowerAscii(b);
}

std::string foldCase(const std::string& s) {
  std::string out;
  char32_t cp = 0;
  for (size_t i = 0; i < s.size();) {
    size_t at = i;
    if (nextUtf8CodePoint(s, i, cp)) {
      appendUtf8(out, foldCodePoint(cp));
    } else {
      out.push_back(s[at]);
      i = at + 1;
    }
  }
  return out;
}

std::string trimmed(const std::string& s) {
  const char* blanks = " \t\r\n";
  size_t b = s.find_first_not_of(blanks);
  if (b == std::string::npos)
    return "";
  return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}

std::string base64Encode(const std::string& data) {
  static const char* alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < data.size(); i += 3) {
    uint32_t v = uint32_t(uint8_t(data[i])) << 16 | uint32_t(uint8_t(data[i + 1])) << 8 |
                 uint8_t(data[i + 2]);
    for (int k = 18; k >= 0; k -= 6)
      out.push_back(alphabet[(v >> k) & 0x3F]);
  }
  if (i < data.size()) {
    uint32_t v = uint32_t(uint8_t(data[i])) << 16;
    if (i + 1 < data.size())
      v |= uint32_t(uint8_t(data[i + 1])) << 8;
    out.push_back(alphabet[(v >> 18) & 0x3F]);
    out.push_back(alphabet[(v >> 12) & 0x3F]);
    out.push_back(i + 1 < data.size() ? alphabet[(v >> 6) & 0x3F] : '=');
    out.push_back('=');
  }
  return out;
}

std::string quotedPrintableDecode(const std::string& s) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9')
      return c - '0';
    c = char(std::toupper(uint8_t(c)));
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
  };
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '=') {
      out.push_back(s[i]);
      continue;
    }
    if (i + 1 < s.size() && (s[i + 1] == '\n' || s[i + 1] == '\r')) {
      i += (s[i + 1] == '\r' && i + 2 < s.size() && s[i + 2] == '\n') ? 2 : 1;
      continue;
    }
    if (i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
      out.push_back(char(hex(s[i + 1]) * 16 + hex(s[i + 2])));
      i += 2;
      continue;
    }
    if (i + 1 == s.size())
      break; // a soft break at the very end
    out.push_back('=');
  }
  return out;
}

} // namespace quorvel::mapi
