// Form-value encoding for application/x-www-form-urlencoded bodies.
#include "util/kaUrl.h"

namespace quorvel {

std::string UrlEncode(const std::string& DecodedStr, bool Pluses) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(DecodedStr.size() * 3);
  for (const char ch : DecodedStr) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
        (c >= '0' && c <= '9')) {
      out.push_back(ch);
    } else if (c == ' ' && Pluses) {
      out.push_back('+');
    } else {
      out.push_back('%');
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 0x0F]);
    }
  }
  return out;
}

} // namespace quorvel
