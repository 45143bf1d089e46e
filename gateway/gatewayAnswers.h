// The documents the gateway answers with: XML replies and the login page.
#pragma once

#include "gateway/gatewayBalance.h"
#include "gateway/gatewayRequest.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::gateway {

/// One HTTP answer: status code, content type and body.
struct Answer {
  int status = 200;
  std::string contentType;
  std::string body;
};

/// What became of one message of a send batch.
enum class Outcome { Accepted, NoPhoneNumber, EmptyText, InsufficientCredits };

/// Per-message result of a send batch; \c id is the stored message's number.
struct SendResult {
  Outcome outcome = Outcome::Accepted;
  std::int64_t id = 0;
};

/// Escapes the five XML specials and also "[" and "]", so that nothing a
/// client sent can be echoed as a marker the clients look for. The result is
/// always XML text: tab, line feed and carriage return become references,
/// the other C0 controls their pictures (U+2400 + N, e.g. NUL as U+2400),
/// each malformed UTF-8 byte and U+FFFE / U+FFFF become U+FFFD.
std::string xmlEscape(std::string_view text);

/// The balance in the Data element; -1 for unlimited.
Answer creditAnswer(const Balance& balance);

/// A refusal: status 400 (or \p status), Data payload "ERROR: " + \p message.
/// The document also carries "[ERROR]" so that a sending client never takes
/// it for an accepted batch.
Answer errorAnswer(const std::string& message, int status = 400);

/// The send summary: a Data payload (saying "Insufficient" when the balance
/// stopped part of the batch), one element per message and the new balance.
Answer sendAnswer(const std::vector<SendItem>& items, const std::vector<SendResult>& results,
                  const Balance& balance);

/// The login page shown for a wrong user name or password.
Answer loginPage();

/// The page shown after signing in through the login page's form.
Answer accountPage(const std::string& login, const Balance& balance);

/// A short plain-text answer for HTTP-level refusals (404, 405, 413, ...).
Answer plainAnswer(int status, const std::string& text);

} // namespace quorvel::gateway
