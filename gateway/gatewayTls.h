// The certificate and key an HTTPS gateway serves with.
#pragma once

#include <stdexcept>
#include <string>

namespace quorvel::gateway {

/// A PEM certificate (chain) and its private key, read and checked.
struct TlsKeyPair {
  std::string certificate;
  std::string key;
};

/// Reads both files and checks that the key belongs to the certificate;
/// throws std::runtime_error saying which file is wrong and why.
TlsKeyPair loadTlsKeyPair(const std::string& certFile, const std::string& keyFile);

} // namespace quorvel::gateway
