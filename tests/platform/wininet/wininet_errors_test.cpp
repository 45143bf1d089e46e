// The WinINet codes given for libcurl's failures.
#include "wininet_curl_errors.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <openssl/x509_vfy.h>

namespace quorvel::wininet::detail {
namespace {

struct Mapping {
  CURLcode curl;
  long osError;
  int verifyError;
  bool clientCertWanted;
  DWORD expected;
};

class CurlErrorTest : public ::testing::TestWithParam<Mapping> {};

TEST_P(CurlErrorTest, MapsToTheCodeAWindowsBuildWouldSee) {
  const Mapping& m = GetParam();
  TlsPolicy tls;
  tls.verifyError = m.verifyError;
  tls.clientCertWanted = m.clientCertWanted;
  EXPECT_EQ(mapCurlError(m.curl, m.osError, tls), m.expected) << curl_easy_strerror(m.curl);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, CurlErrorTest,
    ::testing::Values(
        Mapping{CURLE_OK, 0, 0, false, ERROR_SUCCESS},
        Mapping{CURLE_COULDNT_RESOLVE_HOST, 0, 0, false, ERROR_INTERNET_NAME_NOT_RESOLVED},
        Mapping{CURLE_COULDNT_RESOLVE_PROXY, 0, 0, false, ERROR_INTERNET_NAME_NOT_RESOLVED},
        Mapping{CURLE_COULDNT_CONNECT, ECONNREFUSED, 0, false, ERROR_INTERNET_CANNOT_CONNECT},
        Mapping{CURLE_OPERATION_TIMEDOUT, 0, 0, false, ERROR_INTERNET_TIMEOUT},
        Mapping{CURLE_PARTIAL_FILE, 0, 0, false, ERROR_INTERNET_CONNECTION_ABORTED},
        Mapping{CURLE_RECV_ERROR, ECONNRESET, 0, false, ERROR_INTERNET_CONNECTION_RESET},
        Mapping{CURLE_SEND_ERROR, EPIPE, 0, false, ERROR_INTERNET_CONNECTION_RESET},
        Mapping{CURLE_RECV_ERROR, EIO, 0, false, ERROR_INTERNET_CONNECTION_ABORTED},
        Mapping{CURLE_WEIRD_SERVER_REPLY, 0, 0, false, ERROR_HTTP_INVALID_SERVER_RESPONSE},
        Mapping{CURLE_GOT_NOTHING, 0, 0, false, ERROR_HTTP_INVALID_SERVER_RESPONSE},
        Mapping{CURLE_UNSUPPORTED_PROTOCOL, 0, 0, false, ERROR_HTTP_INVALID_SERVER_RESPONSE},
        Mapping{CURLE_PEER_FAILED_VERIFICATION, 0, X509_V_ERR_CERT_HAS_EXPIRED, false, ERROR_INTERNET_SEC_CERT_DATE_INVALID},
        Mapping{CURLE_PEER_FAILED_VERIFICATION, 0, X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT, false, ERROR_INTERNET_INVALID_CA},
        Mapping{CURLE_PEER_FAILED_VERIFICATION, 0, 0, false, ERROR_INTERNET_SEC_CERT_CN_INVALID},
        Mapping{CURLE_SSL_CONNECT_ERROR, 0, 0, true, ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED},
        Mapping{CURLE_SSL_CONNECT_ERROR, 0, 0, false, ERROR_INTERNET_SECURITY_CHANNEL_ERROR},
        Mapping{CURLE_URL_MALFORMAT, 0, 0, false, ERROR_INTERNET_INVALID_URL},
        Mapping{CURLE_TOO_MANY_REDIRECTS, 0, 0, false, ERROR_HTTP_REDIRECT_FAILED},
        Mapping{CURLE_ABORTED_BY_CALLBACK, 0, 0, false, ERROR_INTERNET_OPERATION_CANCELLED}));

} // namespace
} // namespace quorvel::wininet::detail
