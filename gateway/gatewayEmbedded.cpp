// A whole gateway inside the calling process, for tests of its clients.
#include "gateway/gatewayEmbedded.h"

#include "gateway/gatewayDefaults.h"

namespace quorvel::gateway {

EmbeddedGateway::EmbeddedGateway(const std::string& storePath, EmbeddedOptions options)
    : store_(storePath),
      service_(store_, options.cost),
      server_(service_, ServerOptions{options.host, options.port}) {
  if (options.defaultAccount) addDefaultAccountIfEmpty(store_, options.cost);
  port_ = server_.start();
}

EmbeddedGateway::~EmbeddedGateway() { server_.stop(); }

std::string EmbeddedGateway::url() const {
  const std::string& host = server_.host();
  const bool v6 = host.find(':') != std::string::npos;
  return "http://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port_);
}

} // namespace quorvel::gateway
