// Kannel for tests: bearerbox, smsbox and fakesmsc as the SMSC, started from
// a generated configuration on free loopback ports.
#pragma once

#include "gateway/gatewayUpstream.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorvel::gateway::test {

class ChildProcess;

/// One message fakesmsc received: "<from to type data>", with "udh HEX"
/// before the data of concatenated parts.
struct SmscMessage {
  std::string from;
  std::string to;
  std::string type;  ///< "text", "ucs-2" or "udh"
  std::string udh;   ///< percent-encoded header bytes (type "udh")
  std::string data;  ///< as fakesmsc prints it
};

/// \p s with %XX escapes and "+" for a space decoded.
std::string percentDecode(const std::string& s);
/// The UTF-8 form of UTF-16BE bytes.
std::string utf16beToUtf8(const std::string& bytes);

class KannelHarness {
public:
  /// Writes the configuration and logs into \p folder; starts nothing.
  explicit KannelHarness(std::string folder);
  ~KannelHarness();

  /// Empty when the Kannel programs are there, else what is missing.
  std::string missing() const;
  /// Starts the three programs and waits until Kannel takes sendsms
  /// requests for the fake SMSC. Throws std::runtime_error when it does not
  /// come up within a minute.
  void start();
  /// The upstream settings for this Kannel (sender "4000").
  UpstreamConfig upstream() const;
  /// Waits until fakesmsc has printed at least \p n messages (at most
  /// \p limit); returns what it has.
  std::vector<SmscMessage> waitForMessages(std::size_t n, std::chrono::seconds limit = std::chrono::seconds(30));
  /// Kannel's stop: SIGTERM to smsbox and fakesmsc, SIGINT to bearerbox.
  void stop();

  int sendsmsPort() const { return sendsmsPort_; }

private:
  void readSmsc();
  std::string findProgram(const std::string& name) const;

  std::string folder_;
  std::string bearerbox_, smsbox_, fakesmsc_;
  int adminPort_ = 0, boxPort_ = 0, smscPort_ = 0, sendsmsPort_ = 0;
  std::unique_ptr<ChildProcess> bearerboxProcess_, smsboxProcess_, fakesmscProcess_;
  std::thread reader_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<SmscMessage> messages_;
};

} // namespace quorvel::gateway::test
