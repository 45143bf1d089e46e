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
};

/// One part of a message as Kannel gets it.
struct SmsPart {
  std::int64_t messageId = 0;
  std::string recipient;
  std::string text;       ///< this part's text, UTF-8
  bool unicode = false;   ///< sent as UCS-2 (coding=2)
  int part = 1;           ///< 1-based
  int total = 1;
};

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
