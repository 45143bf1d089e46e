// Decoding of application/x-www-form-urlencoded request bodies.
#include "gateway/gatewayForm.h"

#include <array>

namespace quorvel::gateway {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The characters that end a run of text taken over as it is ("=" only counts in a name).
constexpr std::array<bool, 256> kSpecial = [] {
  std::array<bool, 256> table{};
  for (unsigned char c : {'&', '%', '+', '\r', '\n', '='}) table[c] = true;
  return table;
}();

bool special(char c, bool inValue) {
  return kSpecial[static_cast<unsigned char>(c)] && !(inValue && c == '=');
}

} // namespace

void FormReader::putRun(std::string_view run) {
  flushLineBreaks();
  target().append(run);
  started_ = true;
}

void FormReader::flushLineBreaks() {
  if (lineBreaks_.empty()) return;
  target().append(lineBreaks_);
  lineBreaks_.clear();
  started_ = true;
}

void FormReader::endField() {
  if (started_) sink_(name_, value_);
  name_.clear();
  value_.clear();
  inValue_ = false;
  started_ = false;
}

void FormReader::feed(std::string_view piece) {
  size_t i = 0;
  while (good_ && i < piece.size()) {
    if (escapeDigits_ >= 0) {
      const int digit = hexValue(piece[i++]);
      if (digit < 0) {
        good_ = false;
        break;
      }
      escapeValue_ = escapeValue_ * 16 + digit;
      if (++escapeDigits_ == 2) {
        escapeDigits_ = -1;
        target() += static_cast<char>(escapeValue_);
      }
      continue;
    }
    size_t end = i;
    while (end < piece.size() && !special(piece[end], inValue_)) ++end;
    if (end > i) {
      putRun(piece.substr(i, end - i));
      i = end;
      continue;
    }
    switch (const char c = piece[i++]) {
      case '\r':
      case '\n': lineBreaks_ += c; break;
      case '+':
        flushLineBreaks();
        target() += ' ';
        started_ = true;
        break;
      case '&':
        flushLineBreaks();
        endField();
        break;
      case '=':
        flushLineBreaks();
        inValue_ = true;
        started_ = true;
        break;
      case '%':
        flushLineBreaks();
        started_ = true;
        escapeDigits_ = 0;
        escapeValue_ = 0;
        break;
    }
  }
  // Nothing of a broken body is kept.
  if (!good_) {
    name_ = std::string();
    value_ = std::string();
    lineBreaks_ = std::string();
  }
}

bool FormReader::finish() {
  if (escapeDigits_ >= 0) good_ = false;
  if (!good_) return false;
  lineBreaks_.clear();
  endField();
  return true;
}

std::optional<std::string> formDecode(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%') {
      if (i + 2 >= text.size()) return std::nullopt;
      const int hi = hexValue(text[i + 1]);
      const int lo = hexValue(text[i + 2]);
      if (hi < 0 || lo < 0) return std::nullopt;
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::vector<FormField>> parseForm(const std::string& body) {
  std::vector<FormField> fields;
  FormReader reader([&](const std::string& name, const std::string& value) { fields.emplace_back(name, value); });
  reader.feed(body);
  if (!reader.finish()) return std::nullopt;
  return fields;
}

std::size_t unescapeInPlace(char* text) {
  const auto hex = [](char c) {
    const char l = static_cast<char>(c | 0x20);
    return c >= '0' && c <= '9' ? c - '0' : l >= 'a' && l <= 'f' ? l - 'a' + 10 : -1;
  };
  char* out = text;
  for (char* in = text; *in; ++in, ++out) {
    if (*in == '+') {
      *out = ' ';
    } else if (*in == '%' && hex(in[1]) >= 0 && hex(in[2]) >= 0) {
      *out = static_cast<char>(hex(in[1]) * 16 + hex(in[2]));
      in += 2;
    } else {
      *out = *in;
    }
  }
  *out = '\0';
  return static_cast<std::size_t>(out - text);
}

} // namespace quorvel::gateway
