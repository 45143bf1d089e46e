// A bare TCP client for the HTTP front's tests: requests cut short, trickled or oversized.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel::gateway::test {

/// One connection to 127.0.0.1. Every wait on it is bounded (10 s), so a
/// server that misbehaves fails the test rather than hanging it.
class LoopbackClient {
public:
  explicit LoopbackClient(int port);
  ~LoopbackClient();
  LoopbackClient(const LoopbackClient&) = delete;
  LoopbackClient& operator=(const LoopbackClient&) = delete;

  /// Sends all of \p data; false once the server no longer takes it.
  bool send(std::string_view data);
  /// Everything the server sends until it closes (or 10 s pass).
  std::string readToClose();
  /// Waits for the server's close; true when it came within 10 s.
  bool waitClosed();
  /// True when the server has closed (or reset) the connection by now.
  bool closedNow();

private:
  int socket_ = -1;
};

/// The process's resident memory now, in bytes.
std::size_t residentBytes();

} // namespace quorvel::gateway::test
