// Counting the editor's characters and SMS parts for the status bar.
#include "composer/unSMSStatus.h"

#include "composer/unTranslate.h"

#include <cstdint>

namespace quorvel {

std::size_t countStatusCharacters(const std::string& utf8) {
  std::size_t n = 0;
  for (unsigned char c : utf8) {
    // Continuation bytes (10xxxxxx) belong to the code point before them.
    if ((c & 0xC0) == 0x80 || c == '\r' || c == '\n')
      continue;
    ++n;
  }
  return n;
}

std::array<std::string, 4> statusPanelTexts(std::size_t n, const std::string& credits) {
  const auto count = static_cast<int64_t>(n);
  const auto len = static_cast<int64_t>(smsLength);
  // (n - 1) / 160 truncates toward zero, so an empty text still shows 1 SMS.
  const int64_t parts = (count - 1) / len + 1;
  const int64_t left = len - count % len;
  std::string creditText = translate("Credits") + " " + ": ";
  creditText += credits.empty() ? " " + translate("unknown") : credits;
  return {translate("Character") + ": " + std::to_string(count),
          "SMS: " + std::to_string(parts),
          translate("Characters left") + ": " + std::to_string(left), creditText};
}

} // namespace quorvel
