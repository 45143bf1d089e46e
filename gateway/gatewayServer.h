// The gateway's HTTP front: POST /kavri goes to the service, everything else is refused.
#pragma once

#include "gateway/gatewayService.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

namespace quorvel::gateway {

/// The largest request body taken: room for a batch of 100,000 messages of
/// 160 characters (about 20 MB as a form) with a margin.
inline constexpr std::size_t kMaxBodyBytes = std::size_t{32} << 20;

/// What a stranger's connection may hold before the body: the request line
/// and each header line, the number of headers, and all of them together.
inline constexpr std::size_t kMaxLineBytes = 8 << 10;
inline constexpr std::size_t kMaxHeaders = 100;
inline constexpr std::size_t kMaxHeaderBytes = 32 << 10;

struct ServerOptions {
  std::string host = "127.0.0.1";
  int port = 9333;               ///< 0: any free port
  std::size_t threads = 16;      ///< requests handed to the service at once
  std::size_t maxBodyBytes = kMaxBodyBytes;
  /// When set, GET /dlr (the upstream's delivery reports) goes here with
  /// the decoded query fields.
  std::function<Answer(const std::multimap<std::string, std::string>&)> reportHandler = nullptr;
  /// PEM files; both set: HTTPS instead of HTTP.
  std::string tlsCertFile = {};
  std::string tlsKeyFile = {};
  /// Reading one request (or writing its answer) takes at most this long,
  /// however the client trickles it; the connection is closed after it.
  std::chrono::milliseconds requestDeadline = std::chrono::seconds(30);
  unsigned idleSeconds = 10;               ///< a kept-alive connection's wait for its next request
  unsigned maxConnections = 1000;          ///< connections at once, from everyone
  unsigned maxConnectionsPerAddress = 64;  ///< connections at once from one client address
};

/// The address could not be bound; the text says which and why.
class ListenError : public std::runtime_error {
public:
  ListenError(const std::string& what, bool inUse) : std::runtime_error(what), inUse_(inUse) {}
  /// True when another socket holds the port.
  bool addressInUse() const { return inUse_; }

private:
  bool inUse_;
};

/// HTTP(S) server in front of a GatewayService. Answers POST /kavri through
/// the service, decoding the body while it arrives; other methods on /kavri
/// get 405, other paths 404, bodies over the limit 413 with an "[ERROR]"
/// document (at once, before any of it is read, when the length is declared),
/// requests from web pages (an Origin header or Sec-Fetch-Site: cross-site)
/// 403. Every answer carries a Content-Length. All connections share one
/// event thread; the service runs on a pool of options.threads workers.
class GatewayServer {
public:
  GatewayServer(GatewayService& service, ServerOptions options = {});
  ~GatewayServer();
  GatewayServer(const GatewayServer&) = delete;
  GatewayServer& operator=(const GatewayServer&) = delete;

  /// Binds and starts listening (connections queue from now on); returns
  /// the port. Throws ListenError, or std::runtime_error when the TLS
  /// certificate or key cannot be used.
  int bind();
  /// Serves on the bound socket until stop(); binds first if needed.
  void run();
  /// bind() and run() on a thread of its own; returns the port.
  int start();
  /// Ends run() (from any thread, also before run() began) and joins the
  /// thread of start(). Requests the service is working on are finished
  /// and answered; other connections are closed at once.
  void stop();

  int port() const;
  const std::string& host() const;
  /// True when serving HTTPS.
  bool tls() const;

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

} // namespace quorvel::gateway
