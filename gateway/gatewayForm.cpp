// Decoding of application/x-www-form-urlencoded request bodies.
#include "gateway/gatewayForm.h"

namespace quorvel::gateway {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

} // namespace

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
  size_t end = body.size();
  while (end > 0 && (body[end - 1] == '\r' || body[end - 1] == '\n')) --end;

  std::vector<FormField> fields;
  size_t start = 0;
  while (start < end) {
    size_t amp = body.find('&', start);
    if (amp == std::string::npos || amp > end) amp = end;
    const std::string part = body.substr(start, amp - start);
    start = amp + 1;
    if (part.empty()) continue;
    const size_t eq = part.find('=');
    auto name = formDecode(part.substr(0, eq));
    auto value = formDecode(eq == std::string::npos ? std::string() : part.substr(eq + 1));
    if (!name || !value) return std::nullopt;
    fields.emplace_back(std::move(*name), std::move(*value));
  }
  return fields;
}

} // namespace quorvel::gateway
