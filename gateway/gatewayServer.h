// The gateway's HTTP front: POST /kavri goes to the service, everything else is refused.
#pragma once

#include "gateway/gatewayService.h"

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

struct ServerOptions {
  std::string host = "127.0.0.1";
  int port = 9333;               ///< 0: any free port
  std::size_t threads = 16;      ///< connections served at once
  std::size_t maxBodyBytes = kMaxBodyBytes;
  /// When set, GET /dlr (the upstream's delivery reports) goes here with
  /// the decoded query fields.
  std::function<Answer(const std::multimap<std::string, std::string>&)> reportHandler = nullptr;
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

/// HTTP server in front of a GatewayService. Answers POST /kavri through the
/// service, decoding the body while it arrives; other methods on /kavri get
/// 405, other paths 404, bodies over the limit 413 with an "[ERROR]"
/// document. Every answer carries a Content-Length.
class GatewayServer {
public:
  GatewayServer(GatewayService& service, ServerOptions options = {});
  ~GatewayServer();
  GatewayServer(const GatewayServer&) = delete;
  GatewayServer& operator=(const GatewayServer&) = delete;

  /// Binds and starts listening (connections queue from now on); returns
  /// the port. Throws ListenError.
  int bind();
  /// Serves on the bound socket until stop(); binds first if needed.
  void run();
  /// bind() and run() on a thread of its own; returns the port.
  int start();
  /// Ends run() (from any thread, also before run() began) and joins the
  /// thread of start(). Requests in progress are finished first.
  void stop();

  int port() const;
  const std::string& host() const;

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

} // namespace quorvel::gateway
