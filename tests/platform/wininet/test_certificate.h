// Self-signed certificates made at test time.
#pragma once

#include <string>

namespace quorvel::testing {

struct TestCertificate {
  std::string certificatePem;
  std::string keyPem;
};

/// A self-signed certificate for \p name (subject and DNS name), valid from
/// now + \p fromSeconds to now + \p untilSeconds.
TestCertificate makeSelfSignedCertificate(const std::string& name, long fromSeconds = -86400,
                                          long untilSeconds = 86400L * 365);

/// A self-signed certificate for "localhost", valid now; made once per process.
const TestCertificate& localhostCertificate();
/// A self-signed certificate for "localhost" that expired yesterday; made once per process.
const TestCertificate& expiredLocalhostCertificate();

} // namespace quorvel::testing
