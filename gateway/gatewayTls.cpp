// The certificate and key an HTTPS gateway serves with.
#include "gateway/gatewayTls.h"

#include <gnutls/gnutls.h>

#include <fstream>
#include <sstream>

namespace quorvel::gateway {

namespace {

std::string readFile(const std::string& path, const char* what) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(std::string("cannot read the TLS ") + what + " " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

} // namespace

TlsKeyPair loadTlsKeyPair(const std::string& certFile, const std::string& keyFile) {
  TlsKeyPair pair{readFile(certFile, "certificate"), readFile(keyFile, "key")};
  gnutls_certificate_credentials_t credentials = nullptr;
  if (gnutls_certificate_allocate_credentials(&credentials) != GNUTLS_E_SUCCESS)
    throw std::runtime_error("cannot set up TLS");
  gnutls_datum_t cert{reinterpret_cast<unsigned char*>(pair.certificate.data()),
                      static_cast<unsigned>(pair.certificate.size())};
  gnutls_datum_t key{reinterpret_cast<unsigned char*>(pair.key.data()), static_cast<unsigned>(pair.key.size())};
  const int rc = gnutls_certificate_set_x509_key_mem(credentials, &cert, &key, GNUTLS_X509_FMT_PEM);
  gnutls_certificate_free_credentials(credentials);
  if (rc < 0)
    throw std::runtime_error("cannot serve HTTPS with the certificate " + certFile + " and the key " + keyFile + ": " +
                             gnutls_strerror(rc));
  return pair;
}

} // namespace quorvel::gateway
