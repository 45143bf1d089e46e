// A whole gateway inside the calling process, for tests of its clients.
#pragma once

#include "gateway/gatewayServer.h"

#include <string>

namespace quorvel::gateway {

struct EmbeddedOptions {
  std::string host = "127.0.0.1";
  int port = 0;                    ///< 0: a free port chosen by the system
  bool defaultAccount = true;      ///< create nobody / pqr456 with 100 credits
  HashCost cost = {};              ///< lower it to make new accounts quick
};

/// Opens (or creates) the store at \p storePath, creates the default account
/// when asked and the store is empty, and serves on a thread of its own until
/// destroyed. Requests can be sent as soon as the constructor returns.
class EmbeddedGateway {
public:
  explicit EmbeddedGateway(const std::string& storePath, EmbeddedOptions options = {});
  ~EmbeddedGateway();

  int port() const { return port_; }
  /// "http://" + host + ":" + port, the text for the composer's server URL.
  std::string url() const;
  GatewayStore& store() { return store_; }
  /// Stops serving; the store stays open.
  void stop() { server_.stop(); }

private:
  GatewayStore store_;
  GatewayService service_;
  GatewayServer server_;
  int port_ = 0;
};

} // namespace quorvel::gateway
