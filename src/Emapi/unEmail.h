// The record of one sent batch, handed to the mail layer to be filed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

/// One message to file: who it went to, who sent it, what it said.
class TkaEmail {
public:
  TkaEmail();
  ~TkaEmail();

  /// Recipient texts: the first is the main recipient, the others copies.
  std::vector<std::string> toAddr;
  /// Sender text, stored as the name the message was sent on behalf of.
  std::string fromAddr;
  std::string subject;
  /// Message text, stored byte for byte.
  std::string body;
  /// Declared for callers; nothing sets or reads it.
  std::string sentdate;
  /// 0 low, 1 normal, 2 high.
  int32_t importance = 1;
  /// -1 non-urgent, 0 normal, 1 urgent.
  int32_t priority = 0;
};

} // namespace quorvel
