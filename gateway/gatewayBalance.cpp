// The credit balance of a gateway account.
#include "gateway/gatewayBalance.h"

#include <charconv>

namespace quorvel::gateway {

std::optional<Balance> parseBalance(const std::string& text) {
  if (text == "unlimited") return Balance{true, 0};
  std::int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < 0 || value > kMaxCredits) return std::nullopt;
  return Balance{false, value};
}

std::string formatBalance(const Balance& balance) {
  return balance.unlimited ? "unlimited" : std::to_string(balance.credits);
}

std::int64_t wireValue(const Balance& balance) {
  return balance.unlimited ? -1 : balance.credits;
}

} // namespace quorvel::gateway
