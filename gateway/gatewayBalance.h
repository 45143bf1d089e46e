// The credit balance of a gateway account.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorvel::gateway {

/// Credits left on an account, or unlimited. The clients read the balance as
/// a signed 32-bit number, so it never exceeds kMaxCredits.
struct Balance {
  bool unlimited = false;
  std::int64_t credits = 0;

  bool operator==(const Balance&) const = default;
};

inline constexpr std::int64_t kMaxCredits = 2147483647;

/// "unlimited" or a decimal number from 0 to kMaxCredits; nothing otherwise.
std::optional<Balance> parseBalance(const std::string& text);

/// "unlimited" or the decimal number.
std::string formatBalance(const Balance& balance);

/// The number the clients expect: -1 for unlimited, else the credits.
std::int64_t wireValue(const Balance& balance);

} // namespace quorvel::gateway
