// Certificate checks of HTTPS connections, switched off one by one by the security flags.
#pragma once

#include "wininet/wininet.h"

namespace quorvel::wininet::detail {

/// What the connections of one connection handle accept, and what the last
/// handshake ran into. Lives as long as those connections.
struct TlsPolicy {
  DWORD ignoreFlags = 0;          ///< SECURITY_FLAG_IGNORE_* bits
  bool withoutClientCert = false; ///< go on when the server asks for a client certificate
  int verifyError = 0;            ///< first certificate error not ignored, 0 for none
  bool clientCertWanted = false;  ///< the server asked for a client certificate

  void clearVerdict() {
    verifyError = 0;
    clientCertWanted = false;
  }
};

/// Puts the policy's checks on a new TLS context (an OpenSSL SSL_CTX*).
void applyTlsPolicy(void* sslContext, TlsPolicy* policy);

/// The WinINet code for a certificate that failed verification: 12037 for
/// dates, 12045 for the issuer and anything else; 12038 when the chain was
/// fine (so the name did not match).
DWORD certificateError(int verifyError);

} // namespace quorvel::wininet::detail
