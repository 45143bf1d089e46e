// Where accepted messages go: kept in the store only, or on to Kannel.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace quorvel::gateway {

/// The upstream settings could not be read, written or are not valid.
class UpstreamError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

/// How the delivery worker paces itself; seconds throughout.
struct DeliveryTimings {
  int requestTimeout = 30;     ///< one sendsms request, connect to answer
  int firstRetry = 5;          ///< wait after the first failed hand-over
  int longestRetry = 600;      ///< the back-off doubles up to this
  int attempts = 0;            ///< error answers before giving up; 0: no cap, only the validity
  int confirmWindow = 3600;    ///< wait for a report after a time-out
  int validity = 86400;        ///< a message not handed over this long after its acceptance is given up
};

/// A length of time as "24h", "90m", "45s", "2d" or plain seconds ("3600");
/// empty for anything else or for less than one second.
std::optional<int> parseDuration(const std::string& text);

/// The upstream of the gateway. \c kind is "store" (nothing leaves the
/// machine) or "kannel" (Kannel's sendsms interface).
struct UpstreamConfig {
  std::string kind = "store";
  std::string url;        ///< e.g. http://127.0.0.1:13013/cgi-bin/sendsms
  std::string user;
  std::string password;
  std::string from;       ///< sender shown to the recipient; empty: Kannel's default
  std::string smsc;       ///< route to one SMSC of Kannel; empty: any
  std::string dlrBase;    ///< how Kannel reaches this gateway; empty: the listen address
  std::string dlrKey;     ///< secret in the report URL, so only Kannel can report
  DeliveryTimings timings;

  bool kannel() const { return kind == "kannel"; }
};

/// The settings file beside the store \p storePath: "upstream.conf".
std::string upstreamConfigPath(const std::string& storePath);

/// Reads the settings; the defaults ("store") when the file does not exist.
/// Throws UpstreamError for an unreadable or malformed file.
UpstreamConfig loadUpstreamConfig(const std::string& path);

/// Writes the settings, readable by the owner only (it holds a password).
/// A kannel upstream without a report key gets a random one.
void saveUpstreamConfig(const std::string& path, UpstreamConfig config);

/// Checks a kannel upstream: an http:// URL, a user and a password.
/// Throws UpstreamError saying what is missing.
void validateUpstream(const UpstreamConfig& config);

/// The settings for people: every field but the password and the key, which
/// show as "(set)" or "(not set)".
std::string describeUpstream(const UpstreamConfig& config);

} // namespace quorvel::gateway
