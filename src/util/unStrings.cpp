// Small string routines used to cut gateway answers and user input apart.
#include "util/unStrings.h"

#include <climits>
#include <cstddef>

namespace quorvel {

namespace {

bool isBlank(char c) {
  return c == '\n' || c == '\r' || c == ' ' || c == '\t' || c == '\0';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string asciiLower(const std::string& s) {
  std::string out(s);
  for (char& c : out) c = lowerAscii(c);
  return out;
}

// The first position from `from` on where `lower` (already in lower case)
// stands in `s`, ASCII case ignored; npos when absent or empty.
std::size_t findIgnoringCase(const std::string& s, const std::string& lower,
                             std::size_t from) {
  if (lower.empty() || s.size() < lower.size()) return std::string::npos;
  const char first = lower[0];
  const char firstUpper = first >= 'a' && first <= 'z' ? static_cast<char>(first - 'a' + 'A') : first;
  const std::size_t last = s.size() - lower.size();
  for (std::size_t i = from; i <= last; ++i) {
    if (s[i] != first && s[i] != firstUpper) continue;
    std::size_t k = 1;
    while (k < lower.size() && lowerAscii(s[i + k]) == lower[k]) ++k;
    if (k == lower.size()) return i;
  }
  return std::string::npos;
}

// Whether `what` stands in `s` at byte offset `at`.
bool startsAt(const std::string& s, std::size_t at, const char* what,
              std::size_t len) {
  return s.size() - at >= len && s.compare(at, len, what, len) == 0;
}

} // namespace

int32_t StrToInt(const std::string& s) {
  auto fail = [&]() -> EConvertError {
    return EConvertError("'" + s + "' is not a valid integer value");
  };
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  if (i == s.size()) throw fail();
  // Accumulate as a negative number so that INT32_MIN fits.
  int64_t value = 0;
  for (; i < s.size(); ++i) {
    if (!isDigit(s[i])) throw fail();
    value = value * 10 - (s[i] - '0');
    if (value < INT32_MIN) throw fail();
  }
  if (!negative) {
    if (value < -static_cast<int64_t>(INT32_MAX)) throw fail();
    value = -value;
  }
  return static_cast<int32_t>(value);
}

std::string leftstr(const std::string& s, int num) {
  if (num <= 0) return {};
  return s.substr(0, static_cast<std::size_t>(num));
}

std::string rightstr(const std::string& s, int num) {
  if (num <= 0) return {};
  const auto n = static_cast<std::size_t>(num);
  return n >= s.size() ? s : s.substr(s.size() - n);
}

std::string chopfront(const std::string& s, int num) {
  if (num <= 0) return s;
  const auto n = static_cast<std::size_t>(num);
  return n > s.size() ? std::string() : s.substr(n);
}

std::string trim(const std::string& s) {
  std::size_t first = 0;
  std::size_t last = s.size();
  while (first < last && isBlank(s[first])) ++first;
  while (last > first && isBlank(s[last - 1])) --last;
  return s.substr(first, last - first);
}

std::string toNumber(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  if (s.size() > 1 && s[0] == '-') out.push_back('-');
  for (char c : s)
    if (isDigit(c)) out.push_back(c);
  return out;
}

int32_t toIntNumber(const std::string& s) {
  std::string t = toNumber(s);
  if (t.empty()) t = "0";
  return StrToInt(t);
}

std::string boolToString(bool b) { return b ? "1" : "0"; }

bool stringToBool(const std::string& s) { return s == "1"; }

std::string splitHead(const std::string& pattern, std::string& s) {
  if (pattern.empty()) return {};
  const std::size_t p = s.find(pattern);
  if (p == std::string::npos) return {};
  std::string head = s.substr(0, p);
  s.erase(0, p + pattern.size());
  return head;
}

void splittolist(const std::string& pattern, const std::string& str,
                 std::vector<std::string>& targetlist) {
  // One moving start instead of cutting the rest off at every segment, and
  // no lower-case copy of the text.
  const std::string lp = asciiLower(pattern);
  // Counting first lets the list grow once, which matters for long lists.
  std::size_t count = 1;
  for (std::size_t p = 0; (p = findIgnoringCase(str, lp, p)) != std::string::npos; p += lp.size())
    ++count;
  targetlist.reserve(targetlist.size() + count);
  std::size_t start = 0;
  for (std::size_t p; (p = findIgnoringCase(str, lp, start)) != std::string::npos;) {
    targetlist.emplace_back(str, start, p - start);
    start = p + lp.size();
  }
  if (start < str.size()) targetlist.emplace_back(str, start);
}

std::string strReplace(const std::string& mit, const std::string& mire,
                       const std::string& hol) {
  if (mit.empty() || mit.size() > hol.size()) return hol;
  std::string out;
  out.reserve(hol.size());
  std::size_t start = 0;
  for (std::size_t p; (p = hol.find(mit, start)) != std::string::npos;) {
    out.append(hol, start, p - start).append(mire);
    start = p + mit.size();
  }
  out.append(hol, start, std::string::npos);
  return out;
}

std::string fromXmlReady(const std::string& encoded) {
  struct Entity {
    const char* name;
    std::size_t len;
    char decoded;
  };
  static const Entity entities[] = {{"gt;", 3, '>'},
                                    {"lt;", 3, '<'},
                                    {"amp;", 4, '&'},
                                    {"apos;", 5, '\''},
                                    {"quot;", 5, '"'}};
  std::string out;
  out.reserve(encoded.size());
  for (std::size_t x = 0; x < encoded.size();) {
    const char c = encoded[x++];
    if (c != '&') {
      out.push_back(c);
      continue;
    }
    char decoded = '&';
    for (const Entity& e : entities) {
      if (startsAt(encoded, x, e.name, e.len)) {
        decoded = e.decoded;
        x += e.len;
        break;
      }
    }
    out.push_back(decoded);
  }
  return out;
}

void kaUrlSplitter(const std::string& url, std::string& host, std::string& port,
                   std::string& data) {
  std::string rest = url;
  bool https = false;
  const std::string head = asciiLower(leftstr(rest, 8));
  if (head.compare(0, 7, "http://") == 0) {
    rest.erase(0, 7);
  } else if (head == "https://") {
    https = true;
    rest.erase(0, 8);
  }
  std::string hostPart;
  const std::size_t p = rest.find('/');
  if (p != std::string::npos) {
    hostPart = rest.substr(0, p);
    data = rest.substr(p);
  } else {
    hostPart = rest;
    data = "/";
  }
  const std::size_t q = hostPart.find(':');
  if (q != std::string::npos) {
    host = hostPart.substr(0, q);
    port = hostPart.substr(q + 1);
  } else {
    host = hostPart;
    port = https ? "443" : "80";
  }
}

std::u16string toFakeSingleLine(const std::u16string& s) {
  std::u16string out;
  out.reserve(s.size());
  for (char16_t c : s) {
    switch (c) {
    case u'\\': out += u"\\\\"; break;
    case u'\r': out += u"\\r"; break;
    case u'\n': out += u"\\n"; break;
    default: out.push_back(c);
    }
  }
  return out;
}

std::u16string fromFakeSingleLine(const std::u16string& s) {
  std::u16string out;
  out.reserve(s.size());
  for (std::size_t x = 0; x < s.size(); ++x) {
    if (s[x] != u'\\') {
      out.push_back(s[x]);
      continue;
    }
    if (++x == s.size()) break; // a backslash at the very end is dropped
    switch (s[x]) {
    case u'\\': out.push_back(u'\\'); break;
    case u'r': out.push_back(u'\r'); break;
    case u'n': out.push_back(u'\n'); break;
    default: break; // unknown escapes vanish with their backslash
    }
  }
  return out;
}

std::u16string singleline(const std::u16string& s) {
  std::u16string out;
  out.reserve(s.size());
  for (char16_t c : s)
    if (c != u'\n' && c != u'\r' && c != u'\t') out.push_back(c);
  return out;
}

} // namespace quorvel
