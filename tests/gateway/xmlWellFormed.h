// A small XML 1.0 well-formedness check for the gateway's answers, without an XML library.
#pragma once

#include "util/unTextCodec.h"

#include <cctype>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace quorvel::gateway::test {

namespace detail {

// The Char production of XML 1.0.
inline bool xmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

inline bool nameChar(char c, bool first) {
  const auto u = static_cast<unsigned char>(c);
  if (std::isalpha(u) || c == '_' || c == ':' || u >= 0x80) return true;
  return !first && (std::isdigit(u) || c == '-' || c == '.');
}

// Walks one document; error() holds the first fault found.
class Checker {
public:
  explicit Checker(const std::string& doc) : s_(doc) {}

  std::string run() {
    if (!chars()) return error_;
    if (s_.compare(0, 5, "<?xml") == 0) {
      const size_t end = s_.find("?>");
      if (end == std::string::npos) return "unterminated XML declaration";
      i_ = end + 2;
    }
    skipSpace();
    if (!element()) return error_.empty() ? "no root element" : error_;
    skipSpace();
    if (i_ != s_.size()) return "content after the root element at " + std::to_string(i_);
    return {};
  }

private:
  bool fail(const std::string& why) {
    if (error_.empty()) error_ = why + " at byte " + std::to_string(i_);
    return false;
  }

  bool chars() {
    while (i_ < s_.size()) {
      char32_t c = 0;
      const size_t at = i_;
      if (!nextUtf8CodePoint(s_, i_, c)) return fail("invalid UTF-8");
      if (!xmlChar(c)) {
        i_ = at;
        char hex[16];
        std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(c));
        return fail(std::string("character ") + hex + " not allowed");
      }
    }
    i_ = 0;
    return true;
  }

  void skipSpace() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) ++i_;
  }

  bool name(std::string& out) {
    const size_t start = i_;
    while (i_ < s_.size() && nameChar(s_[i_], i_ == start)) ++i_;
    out = s_.substr(start, i_ - start);
    return !out.empty() || fail("a name expected");
  }

  bool reference() {
    const size_t end = s_.find(';', i_);
    if (end == std::string::npos) return fail("unterminated reference");
    const std::string ref = s_.substr(i_ + 1, end - i_ - 1);
    i_ = end + 1;
    static const std::set<std::string> named = {"amp", "lt", "gt", "quot", "apos"};
    if (named.count(ref)) return true;
    if (ref.size() < 2 || ref[0] != '#') return fail("unknown entity &" + ref + ";");
    const bool hex = ref[1] == 'x';
    const std::string digits = ref.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8) return fail("bad character reference");
    for (char c : digits)
      if (!(hex ? std::isxdigit(static_cast<unsigned char>(c)) : std::isdigit(static_cast<unsigned char>(c))))
        return fail("bad character reference");
    const unsigned long value = std::stoul(digits, nullptr, hex ? 16 : 10);
    return xmlChar(static_cast<char32_t>(value)) || fail("reference to a character XML cannot carry");
  }

  bool attributes(bool& empty) {
    std::set<std::string> seen;
    for (;;) {
      const size_t before = i_;
      skipSpace();
      if (i_ >= s_.size()) return fail("unterminated start tag");
      if (s_.compare(i_, 2, "/>") == 0 || s_[i_] == '>') {
        empty = s_[i_] == '/';
        i_ += empty ? 2 : 1;
        return true;
      }
      if (i_ == before) return fail("space expected before an attribute");
      std::string attr;
      if (!name(attr)) return false;
      if (!seen.insert(attr).second) return fail("attribute " + attr + " repeated");
      skipSpace();
      if (i_ >= s_.size() || s_[i_] != '=') return fail("= expected");
      ++i_;
      skipSpace();
      if (i_ >= s_.size() || (s_[i_] != '"' && s_[i_] != '\'')) return fail("quoted value expected");
      const char quote = s_[i_++];
      while (i_ < s_.size() && s_[i_] != quote) {
        if (s_[i_] == '<') return fail("< in an attribute value");
        if (s_[i_] == '&') {
          if (!reference()) return false;
        } else {
          ++i_;
        }
      }
      if (i_ >= s_.size()) return fail("unterminated attribute value");
      ++i_;
    }
  }

  bool element() {
    if (i_ >= s_.size() || s_[i_] != '<') return fail("< expected");
    ++i_;
    std::string tag;
    if (!name(tag)) return false;
    bool empty = false;
    if (!attributes(empty)) return false;
    if (empty) return true;
    for (;;) {
      if (i_ >= s_.size()) return fail("element " + tag + " not closed");
      if (s_.compare(i_, 2, "</") == 0) {
        i_ += 2;
        std::string closing;
        if (!name(closing)) return false;
        if (closing != tag) return fail("</" + closing + "> closes <" + tag + ">");
        skipSpace();
        if (i_ >= s_.size() || s_[i_] != '>') return fail("> expected");
        ++i_;
        return true;
      }
      if (s_[i_] == '<') {
        if (!element()) return false;
      } else if (s_[i_] == '&') {
        if (!reference()) return false;
      } else {
        if (s_.compare(i_, 3, "]]>") == 0) return fail("]]> in text");
        ++i_;
      }
    }
  }

  const std::string& s_;
  size_t i_ = 0;
  std::string error_;
};

} // namespace detail

/// Empty when \p doc is a well-formed XML 1.0 document (UTF-8, no DTD, no
/// comments or CDATA, as the gateway writes them); else the first fault.
inline std::string xmlFault(const std::string& doc) { return detail::Checker(doc).run(); }

} // namespace quorvel::gateway::test
