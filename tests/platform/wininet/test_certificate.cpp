// Self-signed certificates made at test time.
#include "test_certificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>

namespace quorvel::testing {

namespace {

std::string pemOf(int (*write)(BIO*, void*), void* object) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
  if (!write(bio.get(), object)) throw std::runtime_error("PEM write failed");
  char* data = nullptr;
  long length = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<size_t>(length));
}

} // namespace

TestCertificate makeSelfSignedCertificate(const std::string& name, long fromSeconds,
                                          long untilSeconds) {
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_EC_gen("P-256"), EVP_PKEY_free);
  std::unique_ptr<X509, decltype(&X509_free)> cert(X509_new(), X509_free);
  if (!key || !cert) throw std::runtime_error("key or certificate not made");
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), fromSeconds);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), untilSeconds);
  X509_NAME* subject = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(name.c_str()), -1, -1, 0);
  X509_set_issuer_name(cert.get(), subject);
  X509_set_pubkey(cert.get(), key.get());
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, cert.get(), cert.get(), nullptr, nullptr, 0);
  const std::string san = "DNS:" + name;
  if (X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, NID_subject_alt_name, san.c_str())) {
    X509_add_ext(cert.get(), ext, -1);
    X509_EXTENSION_free(ext);
  }
  if (!X509_sign(cert.get(), key.get(), EVP_sha256())) throw std::runtime_error("signing failed");

  TestCertificate out;
  out.certificatePem = pemOf([](BIO* b, void* c) { return PEM_write_bio_X509(b, static_cast<X509*>(c)); },
                             cert.get());
  out.keyPem = pemOf([](BIO* b, void* k) {
    return PEM_write_bio_PrivateKey(b, static_cast<EVP_PKEY*>(k), nullptr, nullptr, 0, nullptr, nullptr);
  }, key.get());
  return out;
}

const TestCertificate& localhostCertificate() {
  static const TestCertificate cert = makeSelfSignedCertificate("localhost");
  return cert;
}

const TestCertificate& expiredLocalhostCertificate() {
  static const TestCertificate cert = makeSelfSignedCertificate("localhost", -2 * 86400, -86400);
  return cert;
}

} // namespace quorvel::testing
