// Handing one SMS part to Kannel through its sendsms HTTP interface.
#pragma once

#include "gateway/gatewayUpstream.h"

#include <cstdint>
#include <string>

namespace quorvel::gateway {

/// What became of one sendsms request.
enum class HandOver {
  accepted,  ///< Kannel answered 2xx: it has the part
  refused,   ///< Kannel surely does not have it (not reachable, or an error answer)
  unknown,   ///< the request went out and no answer came: it may have it
};

struct HandOverResult {
  HandOver outcome = HandOver::unknown;
  std::string status;  ///< Kannel's answer or what went wrong, one line
  /// With \c refused: no connection to Kannel could be made (refused, no
  /// route, connect time-out, name not found). The upstream is down, not
  /// this message at fault: the worker pauses the whole queue and counts no
  /// attempt. False when Kannel answered, even with an error.
  bool unreachable = false;
};

/// One part of a message as Kannel gets it.
struct SmsPart {
  std::int64_t messageId = 0;
  std::string recipient;
  std::string text;       ///< this part's text, UTF-8
  bool unicode = false;   ///< sent as UCS-2 (coding=2)
  int part = 1;           ///< 1-based
  int total = 1;
  /// The concatenation reference all parts of the message carry (total > 1).
  std::uint16_t reference = 0;
  /// A 16-bit reference (header 06 08 04 RR RR TT PP) rather than an 8-bit
  /// one (05 00 03 RR TT PP, the low byte of \c reference).
  bool wideReference = false;
};

/// The key in the report URL of part \p part of message \p id: an HMAC of
/// both under \p secret (the upstream's report key), 32 hex digits. Only who
/// holds the secret can make it, and it is good for that one part only.
std::string reportKey(const std::string& secret, std::int64_t id, int part);

/// The concatenation header of \p part (empty for a message of one part).
std::string concatenationHeader(const SmsPart& part);

/// The sendsms client of one upstream configuration.
class KannelClient {
public:
  /// \p reportBase is the gateway's own address as Kannel reaches it
  /// ("http://127.0.0.1:9333"); reports go to reportBase + "/dlr".
  KannelClient(UpstreamConfig config, std::string reportBase);

  /// The path and query of the sendsms request for \p part (holds the password).
  std::string requestTarget(const SmsPart& part) const;
  /// Sends \p part; never throws.
  HandOverResult send(const SmsPart& part) const;

private:
  UpstreamConfig config_;
  std::string reportBase_;
  std::string origin_;  // "http://host:port"
  std::string path_;
};

/// \p s with every byte but A-Z a-z 0-9 - . _ ~ as %XX.
std::string percentEncode(const std::string& s);

/// The number Kannel is given for a recipient text: a leading "+" and the digits.
std::string kannelNumber(const std::string& recipient);

} // namespace quorvel::gateway
