// A canned-reply HTTP(S) server on loopback: exact control over every byte it sends.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quorvel::testing {

/// One request as the server read it.
struct ReceivedRequest {
  std::string head; ///< request line and headers, up to and including the blank line
  std::string body; ///< as many bytes as its Content-Length said
  /// Its place among the server's requests (from 0), fixed when it arrived:
  /// the responders of two connections may run in either order, this not.
  size_t number = 0;
  /// The values of every header called \p name (ASCII case ignored), in order.
  std::vector<std::string> headerValues(const std::string& name) const;
  /// The request line ("POST /x HTTP/1.1").
  std::string requestLine() const;
};

/// What the server does with one request.
struct CannedReply {
  enum class Then {
    close,     ///< close the connection after sending
    keepAlive, ///< read the next request on the same connection
    reset,     ///< abort the connection (the peer sees a reset)
  };
  std::string head; ///< sent as it stands: status line, headers, blank line
  std::shared_ptr<const std::string> body;
  size_t sendLimit = SIZE_MAX; ///< bytes of head + body sent before `then`
  Then then = Then::close;
  bool silent = false; ///< send nothing; hold the connection until the client goes
  /// Called after the first `pauseAt` bytes were sent; the rest follows when it returns.
  std::function<void()> pause;
  size_t pauseAt = 0;
};

/// A reply with \p status, \p body and \p extraHeaders (lines ending in CR LF),
/// with or without a Content-Length header.
CannedReply reply(int status, std::string body, const std::string& extraHeaders = "",
                  bool withLength = true);

/// Certificate and key (PEM) for HTTPS.
struct TlsSetup {
  std::string certificatePem;
  std::string keyPem;
  bool askForClientCertificate = false;
};

/// Listens on 127.0.0.1, port chosen by the system; one thread per connection.
class CannedServer {
public:
  using Responder = std::function<CannedReply(const ReceivedRequest&)>;

  explicit CannedServer(Responder responder, std::optional<TlsSetup> tls = std::nullopt);
  ~CannedServer();
  CannedServer(const CannedServer&) = delete;
  CannedServer& operator=(const CannedServer&) = delete;

  uint16_t port() const { return port_; }
  /// "http://127.0.0.1:<port>" or "https://...".
  std::string origin() const;
  std::vector<ReceivedRequest> requests() const;
  /// Connections accepted so far.
  int connections() const;
  /// Blocks until \p n requests have arrived.
  void waitForRequests(size_t n) const;

private:
  struct Connection;
  void acceptLoop();
  void serve(Connection& c);
  static bool sendReply(Connection& c, const CannedReply& r);

  Responder responder_;
  void* tlsContext_ = nullptr; // SSL_CTX*
  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::thread acceptThread_;
  mutable std::mutex mutex_;
  mutable std::condition_variable arrived_;
  std::vector<ReceivedRequest> requests_;
  std::list<std::unique_ptr<Connection>> connections_;
  int accepted_ = 0;
  bool stopping_ = false;
};

/// A port on 127.0.0.1 that no server serves.
class IdlePort {
public:
  enum Kind {
    refusing, ///< bound, not listening: connecting is refused
    silent,   ///< listening, never accepting: connections complete, nothing is read or answered
  };
  explicit IdlePort(Kind kind);
  ~IdlePort();
  IdlePort(const IdlePort&) = delete;
  IdlePort& operator=(const IdlePort&) = delete;
  uint16_t port() const { return port_; }

private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

} // namespace quorvel::testing
