// Certificate checks of HTTPS connections on OpenSSL contexts.
#include "wininet_tls.h"

#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

namespace quorvel::wininet::detail {

namespace {

int policyIndex() {
  static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

TlsPolicy* policyOf(SSL* ssl) {
  return ssl ? static_cast<TlsPolicy*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), policyIndex()))
             : nullptr;
}

bool isDateError(int err) {
  return err == X509_V_ERR_CERT_NOT_YET_VALID || err == X509_V_ERR_CERT_HAS_EXPIRED;
}

bool isIssuerError(int err) {
  switch (err) {
  case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
  case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
  case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
  case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
  case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
  case X509_V_ERR_CERT_UNTRUSTED:
  case X509_V_ERR_INVALID_CA:
    return true;
  default:
    return false;
  }
}

bool ignored(int err, DWORD flags) {
  return (isDateError(err) && (flags & SECURITY_FLAG_IGNORE_CERT_DATE_INVALID)) ||
         (isIssuerError(err) && (flags & SECURITY_FLAG_IGNORE_UNKNOWN_CA));
}

int verifyCallback(int preverified, X509_STORE_CTX* store) {
  if (preverified) return 1;
  auto* ssl = static_cast<SSL*>(
      X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  TlsPolicy* policy = policyOf(ssl);
  const int err = X509_STORE_CTX_get_error(store);
  if (policy && ignored(err, policy->ignoreFlags)) {
    // Clearing the error keeps it out of the final verification result.
    X509_STORE_CTX_set_error(store, X509_V_OK);
    return 1;
  }
  if (policy && policy->verifyError == 0) policy->verifyError = err;
  return 0;
}

int clientCertCallback(SSL* ssl, X509** /*cert*/, EVP_PKEY** /*key*/) {
  TlsPolicy* policy = policyOf(ssl);
  if (!policy || policy->withoutClientCert) return 0; // go on without one
  policy->clientCertWanted = true;
  return -1; // stops the handshake: the caller has to decide
}

} // namespace

void applyTlsPolicy(void* sslContext, TlsPolicy* policy) {
  auto* ctx = static_cast<SSL_CTX*>(sslContext);
  SSL_CTX_set_ex_data(ctx, policyIndex(), policy);
  SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, verifyCallback);
  SSL_CTX_set_client_cert_cb(ctx, clientCertCallback);
}

DWORD certificateError(int verifyError) {
  if (verifyError == 0) return ERROR_INTERNET_SEC_CERT_CN_INVALID;
  if (isDateError(verifyError)) return ERROR_INTERNET_SEC_CERT_DATE_INVALID;
  return ERROR_INTERNET_INVALID_CA;
}

} // namespace quorvel::wininet::detail
