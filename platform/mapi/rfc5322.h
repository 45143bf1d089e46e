// One stored message as Internet mail text (RFC 5322 with MIME), the form
// every mail client reads.
#pragma once

#include "mapi/mapidefs.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::mapi {

struct MailRecipient {
  ULONG type = MAPI_TO;    ///< MAPI_TO, MAPI_CC or MAPI_BCC
  std::string name;        ///< display name, may be empty
  std::string address;     ///< an Internet address, or "" when there is none
  std::string mobile;      ///< a mobile number known for the recipient
};

struct MailMessage {
  std::string from; ///< an address ("user@host"), or any text
  std::vector<MailRecipient> recipients;
  std::string subject;
  int64_t date = 0; ///< seconds since 1970-01-01 UTC
  LONG priority = 0;   ///< -1 non-urgent, 0 normal, 1 urgent
  LONG importance = 1; ///< 0 low, 1 normal, 2 high
  std::string body;    ///< UTF-8 text, kept byte for byte
  std::string messageId;
};

/// The message as mail text with LF line ends.
std::string renderMessage(const MailMessage& m);

/// Header text: printable ASCII as it is, anything else as encoded words;
/// line breaks and other control characters become blanks.
std::string encodeHeaderText(const std::string& text);
/// "Sat, 02 Mar 2024 14:05:09 +0100" in the local time zone.
std::string formatDate(int64_t unixSeconds);

} // namespace quorvel::mapi
