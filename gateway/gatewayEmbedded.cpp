// A whole gateway inside the calling process, for tests of its clients.
#include "gateway/gatewayEmbedded.h"

#include "gateway/gatewayDefaults.h"

namespace quorvel::gateway {

EmbeddedGateway::EmbeddedGateway(const std::string& storePath, EmbeddedOptions options)
    : store_(storePath),
      outbox_(storePath),
      upstream_(options.upstream),
      service_(store_, options.cost, options.maxParts),
      server_(service_, serverOptions(options)) {
  outbox_.setUpstream(upstream_.kind);
  if (options.defaultAccount) addDefaultAccountIfEmpty(store_, options.cost);
  port_ = server_.start();
  if (upstream_.kannel()) {
    worker_ = std::make_unique<DeliveryWorker>(outbox_, upstream_, url());
    worker_->start();
  }
}

EmbeddedGateway::~EmbeddedGateway() { stop(); }

void EmbeddedGateway::stop() {
  server_.stop();
  if (worker_) worker_->stop();
}

ServerOptions EmbeddedGateway::serverOptions(const EmbeddedOptions& options) {
  ServerOptions o{options.host, options.port};
  o.tlsCertFile = options.tlsCertFile;
  o.tlsKeyFile = options.tlsKeyFile;
  if (options.upstream.kannel())
    o.reportHandler = [this](const std::multimap<std::string, std::string>& q) {
      return deliveryReport(outbox_, upstream_.dlrKey, q);
    };
  return o;
}

std::string EmbeddedGateway::url() const {
  const std::string& host = server_.host();
  const bool v6 = host.find(':') != std::string::npos;
  return (server_.tls() ? "https://" : "http://") + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port_);
}

} // namespace quorvel::gateway
