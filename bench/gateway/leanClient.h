// A minimal HTTP/1.1 client for the benchmarks: one kept-alive connection, a fixed request.
#pragma once

#include <string>

namespace quorvel::gateway::bench {

/// Posts the same form body to 127.0.0.1:port/kavri again and again over one
/// kept-alive connection (a new one when the server closed it, or for every
/// request when \p keepAlive is false). Costs little beside the server.
class LeanClient {
public:
  LeanClient(int port, const std::string& body, bool keepAlive = true);
  ~LeanClient();
  LeanClient(const LeanClient&) = delete;
  LeanClient& operator=(const LeanClient&) = delete;

  /// Sends the request and reads the whole answer; its status, 0 on failure.
  int post();
  /// The last answer's body.
  const std::string& body() const { return body_; }

private:
  bool connect();
  int exchange();

  int port_;
  bool keepAlive_;
  std::string request_;
  std::string buffer_;
  std::string body_;
  int socket_ = -1;
};

} // namespace quorvel::gateway::bench
