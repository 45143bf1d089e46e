// One registry root held in memory, and its .reg export text form.
#include "registry/hive.h"

#include "registry/winreg.h"

#include <cstdio>

namespace quorvel::winreg::detail {

namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";

// A backslash sorts before every other byte, so that "a\b" follows "a"
// directly and not after "a b".
unsigned orderOf(char c) {
  return c == '\\' ? 0u : static_cast<unsigned char>(c) + 1u;
}

bool startsWithPath(const std::string& folded, const std::string& prefix) {
  return folded.size() > prefix.size() &&
         folded.compare(0, prefix.size(), prefix) == 0 &&
         folded[prefix.size()] == '\\';
}

// --- UTF-8 and UTF-16 -------------------------------------------------------

// Decodes one code point at \p i; -1 for a malformed sequence.
long decodeUtf8(const std::string& s, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i++]);
  if (b0 < 0x80) return b0;
  int extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC0 ? 1 : -1;
  if (extra < 0 || b0 > 0xF4) return -1;
  long cp = b0 & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size()) return -1;
    const auto b = static_cast<unsigned char>(s[i++]);
    if ((b & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (b & 0x3F);
  }
  static const long minimum[] = {0, 0x80, 0x800, 0x10000};
  if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    return -1;
  return cp;
}

void appendUtf8(std::string& out, unsigned long cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Windows-1252 bytes 0x80..0x9F; the five unassigned ones keep their value.
constexpr unsigned short kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Text that is not UTF-8 was written in the Western Windows code page, as
// older editors and the Windows registry editor's ANSI exports do.
std::string asUtf8(const std::string& s) {
  if (isUtf8(s)) return s;
  std::string out;
  for (unsigned char c : s)
    appendUtf8(out, c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c);
  return out;
}

// UTF-8 text to UTF-16LE bytes followed by the terminating zero unit.
std::string toUtf16le(const std::string& s) {
  std::string out;
  auto unit = [&](unsigned long u) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  };
  for (std::size_t i = 0; i < s.size();) {
    long cp = decodeUtf8(s, i);
    if (cp < 0) cp = 0xFFFD;
    if (cp >= 0x10000) {
      unit(0xD800 + ((cp - 0x10000) >> 10));
      unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      unit(static_cast<unsigned long>(cp));
    }
  }
  unit(0);
  return out;
}

// UTF-16LE bytes up to the first zero unit, as UTF-8.
std::string fromUtf16le(const std::string& b) {
  std::string out;
  for (std::size_t i = 0; i + 1 < b.size(); i += 2) {
    unsigned long u = static_cast<unsigned char>(b[i]) |
                      (static_cast<unsigned long>(static_cast<unsigned char>(b[i + 1])) << 8);
    if (u == 0) break;
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < b.size()) {
      const unsigned long lo = static_cast<unsigned char>(b[i + 2]) |
          (static_cast<unsigned long>(static_cast<unsigned char>(b[i + 3])) << 8);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
        i += 2;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD; // a lone surrogate
    appendUtf8(out, u);
  }
  return out;
}

// --- writing ----------------------------------------------------------------

// A quoted name or text; a line break (possible in names read from "\n")
// is written as that escape so that the line stays one line.
std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

std::string hexBytes(const std::string& bytes) {
  std::string out;
  char buf[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x",
                  static_cast<unsigned char>(bytes[i]));
    out += buf;
  }
  return out;
}

bool printable(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  return isUtf8(s);
}

std::string formatData(const Value& v) {
  char buf[32];
  if (v.type == REG_SZ && printable(v.data)) return quoted(v.data);
  if (v.type == REG_DWORD && v.data.size() == 4) {
    uint32_t d = 0;
    for (int k = 3; k >= 0; --k) d = (d << 8) | static_cast<unsigned char>(v.data[k]);
    std::snprintf(buf, sizeof buf, "dword:%08x", d);
    return buf;
  }
  if (v.type == REG_BINARY) return "hex:" + hexBytes(v.data);
  const bool text = v.type == REG_SZ || v.type == REG_EXPAND_SZ;
  std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
  return buf + hexBytes(text ? toUtf16le(v.data) : v.data);
}

// --- reading ----------------------------------------------------------------

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string trimmed(const std::string& s) {
  std::size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r')) --b;
  return s.substr(a, b - a);
}

// Reads a quoted string starting at \p i (on the opening quote) as UTF-8.
bool readQuoted(const std::string& s, std::size_t& i, std::string& out) {
  if (i >= s.size() || s[i] != '"') return false;
  std::string raw;
  for (++i; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      ++i;
      out += asUtf8(raw);
      return true;
    }
    if (c == '\\') {
      if (++i == s.size()) return false;
      c = s[i];
      if (c == 'n') c = '\n'; // written by some registry editors
      else if (c != '\\' && c != '"') return false;
    }
    raw.push_back(c);
  }
  return false;
}

bool readHexList(const std::string& s, std::string& out) {
  const std::string t = trimmed(s);
  if (t.empty()) return true;
  std::size_t i = 0;
  while (true) {
    while (i < t.size() && t[i] == ' ') ++i;
    if (i + 1 >= t.size() || hexDigit(t[i]) < 0 || hexDigit(t[i + 1]) < 0) return false;
    out.push_back(static_cast<char>(hexDigit(t[i]) * 16 + hexDigit(t[i + 1])));
    i += 2;
    while (i < t.size() && t[i] == ' ') ++i;
    if (i == t.size()) return true;
    if (t[i++] != ',') return false;
  }
}

bool readHexNumber(const std::string& s, uint32_t& out, std::size_t maxDigits) {
  if (s.empty() || s.size() > maxDigits) return false;
  out = 0;
  for (char c : s) {
    if (hexDigit(c) < 0) return false;
    out = out * 16 + static_cast<uint32_t>(hexDigit(c));
  }
  return true;
}

// Parses the data after "=" into \p v; sets \p remove for "-".
bool readData(const std::string& text, Value& v, bool& remove) {
  const std::string t = trimmed(text);
  remove = t == "-";
  if (remove) return true;
  if (!t.empty() && t[0] == '"') {
    std::size_t i = 0;
    v.type = REG_SZ;
    return readQuoted(t, i, v.data) && i == t.size();
  }
  if (t.rfind("dword:", 0) == 0) {
    uint32_t d;
    if (!readHexNumber(t.substr(6), d, 8)) return false;
    v.type = REG_DWORD;
    v.data.clear();
    for (int k = 0; k < 4; ++k) v.data.push_back(static_cast<char>((d >> (8 * k)) & 0xFF));
    return true;
  }
  if (t.rfind("hex:", 0) == 0) {
    v.type = REG_BINARY;
    return readHexList(t.substr(4), v.data);
  }
  if (t.rfind("hex(", 0) == 0) {
    const std::size_t close = t.find("):", 4);
    if (close == std::string::npos || !readHexNumber(t.substr(4, close - 4), v.type, 8))
      return false;
    std::string bytes;
    if (!readHexList(t.substr(close + 2), bytes)) return false;
    if (v.type == REG_SZ || v.type == REG_EXPAND_SZ) {
      if (bytes.size() % 2 != 0) return false;
      v.data = fromUtf16le(bytes);
    } else {
      v.data = bytes;
    }
    return true;
  }
  return false;
}

// Whether \p line is a value line whose data is hex bytes, the only data
// that is wrapped across lines.
bool startsHexData(const std::string& line) {
  std::size_t i = 0;
  std::string name;
  if (line.empty()) return false;
  if (line[0] == '@') i = 1;
  else if (!readQuoted(line, i, name)) return false;
  while (i < line.size() && line[i] == ' ') ++i;
  if (i >= line.size() || line[i] != '=') return false;
  const std::string data = trimmed(line.substr(i + 1));
  return data.rfind("hex:", 0) == 0 || data.rfind("hex(", 0) == 0;
}

// Joins hex data ending in a backslash with the next line, as long hex values
// are wrapped (a backslash ending any other line is that line's own text);
// records the first line number of each logical line.
std::vector<std::pair<int, std::string>> logicalLines(const std::string& text) {
  std::vector<std::pair<int, std::string>> lines;
  std::size_t start = 0;
  int number = 0;
  bool continuing = false;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = trimmed(text.substr(start, end - start));
    start = end + 1;
    ++number;
    const bool wrapped = !line.empty() && line.back() == '\\';
    if (continuing) {
      lines.back().second += line;
    } else {
      lines.emplace_back(number, line);
      continuing = wrapped && startsHexData(line);
    }
    continuing = continuing && wrapped;
    if (continuing) lines.back().second.pop_back();
  }
  return lines;
}

} // namespace

// --- model ------------------------------------------------------------------

std::string fold(const std::string& s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::vector<std::string> splitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool isUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();)
    if (decodeUtf8(s, i) < 0) return false;
  return true;
}

namespace {

char foldChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// fold(a) == fold(b) without making either; keys with many values are
// searched once per value read.
bool sameFolded(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (foldChar(a[i]) != foldChar(b[i])) return false;
  return true;
}

} // namespace

Value* Key::find(const std::string& name) {
  for (Value& v : values)
    if (sameFolded(v.name, name)) return &v;
  return nullptr;
}

bool PathOrder::operator()(const std::string& a, const std::string& b) const {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return orderOf(a[i]) < orderOf(b[i]);
  return a.size() < b.size();
}

Hive::Hive(std::string rootName) : rootName_(std::move(rootName)) { keys_[""] = Key{}; }

Key* Hive::find(const std::string& path) {
  auto it = keys_.find(fold(path));
  return it == keys_.end() ? nullptr : &it->second;
}

Key& Hive::create(const std::string& path, bool* created) {
  if (created) *created = false;
  Key* key = &keys_[""];
  for (const std::string& part : splitPath(path)) {
    // Existing parents keep the case they were written with.
    const std::string written = key->path.empty() ? part : key->path + "\\" + part;
    auto [it, inserted] = keys_.try_emplace(fold(written));
    if (inserted) {
      it->second.path = written;
      if (created) *created = true;
    }
    key = &it->second;
  }
  return *key;
}

bool Hive::hasSubkeys(const std::string& path) const {
  const std::string f = fold(path);
  auto it = keys_.upper_bound(f);
  return it != keys_.end() && (f.empty() || startsWithPath(it->first, f));
}

std::vector<std::string> Hive::subkeyNames(const std::string& path) const {
  const std::string f = fold(path);
  std::vector<std::string> names;
  std::string last;
  for (auto it = keys_.upper_bound(f);
       it != keys_.end() && (f.empty() || startsWithPath(it->first, f)); ++it) {
    // The first path part below the key, as it was written.
    const std::string rest = it->second.path.substr(f.empty() ? 0 : f.size() + 1);
    const std::string name = rest.substr(0, rest.find('\\'));
    if (name.empty() || fold(name) == last) continue;
    last = fold(name);
    names.push_back(name);
  }
  return names;
}

void Hive::removeTree(const std::string& path) {
  const std::string f = fold(path);
  if (f.empty()) {
    keys_.clear();
    keys_[""] = Key{};
    return;
  }
  auto it = keys_.lower_bound(f);
  while (it != keys_.end() && (it->first == f || startsWithPath(it->first, f)))
    it = keys_.erase(it);
}

std::string Hive::serialise() const {
  std::string out = std::string(kHeader) + "\n\n";
  for (const auto& [folded, key] : keys_) {
    if (folded.empty() && key.values.empty()) continue;
    out += "[" + rootName_ + (key.path.empty() ? "" : "\\" + key.path) + "]\n";
    for (const Value& v : key.values)
      out += (v.name.empty() ? std::string("@") : quoted(v.name)) + "=" + formatData(v) + "\n";
    out += "\n";
  }
  return out;
}

bool parseHive(const std::string& input, Hive& hive, ParseError& error) {
  std::string text = input;
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  auto fail = [&](int line, const char* reason) {
    error.line = line;
    error.reason = reason;
    return false;
  };
  Key* section = nullptr;
  bool headerSeen = false;
  for (const auto& [number, raw] : logicalLines(text)) {
    const std::string line = trimmed(raw);
    if (line.empty() || line[0] == ';') continue;
    // A zero byte would cut the text short wherever it is used as a C string.
    if (line.find('\0') != std::string::npos) return fail(number, "zero byte in the line");
    if (!headerSeen) {
      if (line != kHeader) return fail(number, "not a registry export (header missing)");
      headerSeen = true;
      continue;
    }
    if (line[0] == '[') {
      if (line.back() != ']') return fail(number, "unterminated key name");
      std::string path = line.substr(1, line.size() - 2);
      const bool remove = !path.empty() && path[0] == '-';
      if (remove) path.erase(0, 1);
      const std::string root = fold(hive.rootName());
      if (fold(path.substr(0, root.size())) != root ||
          (path.size() > root.size() && path[root.size()] != '\\'))
        return fail(number, "key outside this root");
      path.erase(0, root.size());
      if (remove) {
        hive.removeTree(path);
        section = nullptr;
      } else {
        section = &hive.create(path);
      }
      continue;
    }
    if (line[0] != '"' && line[0] != '@') return fail(number, "unreadable line");
    Value v;
    std::size_t i = 1;
    if (line[0] == '"') {
      i = 0;
      if (!readQuoted(line, i, v.name)) return fail(number, "unterminated value name");
    }
    while (i < line.size() && line[i] == ' ') ++i;
    if (i >= line.size() || line[i] != '=') return fail(number, "missing '=' after value name");
    bool remove = false;
    if (!readData(line.substr(i + 1), v, remove)) return fail(number, "unreadable value data");
    if (!section) return fail(number, "value outside a key");
    Value* existing = section->find(v.name);
    if (remove) {
      if (existing) section->values.erase(section->values.begin() + (existing - section->values.data()));
    } else if (existing) {
      existing->type = v.type;
      existing->data = std::move(v.data);
    } else {
      section->values.push_back(std::move(v));
    }
  }
  return true;
}

} // namespace quorvel::winreg::detail
