// A whole gateway inside the calling process, for tests of its clients.
#pragma once

#include "gateway/gatewayDelivery.h"
#include "gateway/gatewayServer.h"
#include "gateway/gatewayService.h"
#include "gateway/gatewayUpstream.h"

#include <memory>
#include <string>

namespace quorvel::gateway {

struct EmbeddedOptions {
  std::string host = "127.0.0.1";
  int port = 0;                    ///< 0: a free port chosen by the system
  bool defaultAccount = true;      ///< create nobody / pqr456 with 100 credits
  HashCost cost = {};              ///< lower it to make new accounts quick
  UpstreamConfig upstream = {};    ///< "kannel" starts the delivery worker
  std::size_t maxParts = kDefaultMaxParts;  ///< the longest text taken, in SMS parts
  std::string tlsCertFile = {};    ///< PEM files; both set: serves HTTPS
  std::string tlsKeyFile = {};
};

/// Opens (or creates) the store at \p storePath, creates the default account
/// when asked and the store is empty, and serves on a thread of its own until
/// destroyed. Requests can be sent as soon as the constructor returns.
class EmbeddedGateway {
public:
  explicit EmbeddedGateway(const std::string& storePath, EmbeddedOptions options = {});
  ~EmbeddedGateway();

  int port() const { return port_; }
  /// "http://" (or "https://") + host + ":" + port, the text for the
  /// composer's server URL.
  std::string url() const;
  GatewayStore& store() { return store_; }
  Outbox& outbox() { return outbox_; }
  /// The delivery worker; null unless the upstream is kannel.
  DeliveryWorker* delivery() { return worker_.get(); }
  /// Stops serving and delivering; the store stays open.
  void stop();

private:
  ServerOptions serverOptions(const EmbeddedOptions& options);

  GatewayStore store_;
  Outbox outbox_;
  UpstreamConfig upstream_;
  GatewayService service_;
  GatewayServer server_;
  std::unique_ptr<DeliveryWorker> worker_;
  int port_ = 0;
};

} // namespace quorvel::gateway
