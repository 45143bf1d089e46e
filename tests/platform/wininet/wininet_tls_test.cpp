// HTTPS through the WinINet layer: certificate checks, the acceptance flags, client certificates.
#include "test_certificate.h"
#include "wininet_fixture.h"

#include <gtest/gtest.h>

namespace quorvel::testing {
namespace {

enum class Validity { current, expired, notYetValid };

const TestCertificate& certificate(Validity v) {
  static const TestCertificate current = makeSelfSignedCertificate("localhost");
  static const TestCertificate expired = makeSelfSignedCertificate("localhost", -86400 * 10, -86400);
  static const TestCertificate early = makeSelfSignedCertificate("localhost", 86400, 86400 * 10);
  return v == Validity::current ? current : v == Validity::expired ? expired : early;
}

CannedServer::Responder okResponder() {
  return [](const ReceivedRequest&) { return reply(200, "secret"); };
}

constexpr DWORD kCa = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
constexpr DWORD kCn = SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
constexpr DWORD kDate = SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;

struct CertificateCase {
  const char* name;
  Validity validity;
  const char* host;
  DWORD accepted; // security flags set on the request
  DWORD error;    // 0: the request goes through
};

class CertificateTest : public ::testing::TestWithParam<CertificateCase> {};

TEST_P(CertificateTest, ChecksAreOnUnlessTheirFlagAcceptsTheProblem) {
  const CertificateCase& c = GetParam();
  const TestCertificate& cert = certificate(c.validity);
  CannedServer server(okResponder(), TlsSetup{cert.certificatePem, cert.keyPem});
  Exchange x(c.host, server.port(), "GET", "/", INTERNET_FLAG_SECURE);
  if (c.accepted) x.setOption(INTERNET_OPTION_SECURITY_FLAGS, SECURITY_FLAG_SECURE | c.accepted);
  if (c.error == 0) {
    ASSERT_TRUE(x.send()) << GetLastError();
    EXPECT_EQ(x.readAll(), "secret");
  } else {
    EXPECT_FALSE(x.send());
    EXPECT_EQ(GetLastError(), c.error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, CertificateTest,
    ::testing::Values(
        CertificateCase{"selfSignedRefused", Validity::current, "localhost", 0, ERROR_INTERNET_INVALID_CA},
        CertificateCase{"selfSignedAccepted", Validity::current, "localhost", kCa, 0},
        CertificateCase{"wrongNameRefused", Validity::current, "127.0.0.1", kCa, ERROR_INTERNET_SEC_CERT_CN_INVALID},
        CertificateCase{"wrongNameAccepted", Validity::current, "127.0.0.1", kCa | kCn, 0},
        CertificateCase{"expiredRefused", Validity::expired, "127.0.0.1", kCa | kCn, ERROR_INTERNET_SEC_CERT_DATE_INVALID},
        CertificateCase{"notYetValidRefused", Validity::notYetValid, "127.0.0.1", kCa | kCn, ERROR_INTERNET_SEC_CERT_DATE_INVALID},
        CertificateCase{"expiredAccepted", Validity::expired, "127.0.0.1", kCa | kCn | kDate, 0},
        CertificateCase{"dateFlagAloneKeepsIssuerCheck", Validity::expired, "localhost", kDate, ERROR_INTERNET_INVALID_CA}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WinInetTlsTest, RequestFlagsAcceptNameAndDateProblemsToo) {
  const TestCertificate& cert = certificate(Validity::expired);
  CannedServer server(okResponder(), TlsSetup{cert.certificatePem, cert.keyPem});
  Exchange x("127.0.0.1", server.port(), "GET", "/",
             INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_CN_INVALID |
                 INTERNET_FLAG_IGNORE_CERT_DATE_INVALID);
  EXPECT_FALSE(x.send());
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_INVALID_CA);
  x.setOption(INTERNET_OPTION_SECURITY_FLAGS, SECURITY_FLAG_SECURE | kCa | kCn | kDate);
  ASSERT_TRUE(x.send());
  EXPECT_EQ(x.readAll(), "secret");
}

TEST(WinInetTlsTest, ServerAskingForAClientCertificateNeedsTheGoAhead) {
  const TestCertificate& cert = certificate(Validity::current);
  CannedServer server(okResponder(), TlsSetup{cert.certificatePem, cert.keyPem, true});
  Exchange x("localhost", server.port(), "GET", "/", INTERNET_FLAG_SECURE);
  x.setOption(INTERNET_OPTION_SECURITY_FLAGS, SECURITY_FLAG_SECURE | kCa);
  EXPECT_FALSE(x.send());
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED);
  const DWORD none = 0;
  ASSERT_TRUE(InternetSetOptionA(x.request, INTERNET_OPTION_SECURITY_SELECT_CLIENT_CERT, &none, 4));
  ASSERT_TRUE(x.send()) << GetLastError();
  EXPECT_EQ(x.readAll(), "secret");
}

// From https to http only when the request's flags allow it.
TEST(WinInetTlsTest, RedirectToPlainHttpIsRefusedUnlessAllowed) {
  CannedServer plain([](const ReceivedRequest&) { return reply(200, "in the clear"); });
  const TestCertificate& cert = certificate(Validity::current);
  CannedServer server([&](const ReceivedRequest&) { return reply(302, "moved", "Location: " + plain.origin() + "/\r\n"); },
                      TlsSetup{cert.certificatePem, cert.keyPem});
  for (const DWORD allow : {0u, INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP}) {
    Exchange x("localhost", server.port(), "GET", "/", INTERNET_FLAG_SECURE | allow);
    x.setOption(INTERNET_OPTION_SECURITY_FLAGS, SECURITY_FLAG_SECURE | kCa);
    if (allow) {
      ASSERT_TRUE(x.send()) << GetLastError();
      EXPECT_EQ(x.readAll(), "in the clear");
    } else {
      EXPECT_FALSE(x.send());
      EXPECT_EQ(GetLastError(), ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
      EXPECT_EQ(plain.requests().size(), 0u);
    }
  }
}

TEST(WinInetTlsTest, AcceptingTheDialogLetsTheResentRequestThrough) {
  const TestCertificate& cert = certificate(Validity::current);
  CannedServer server(okResponder(), TlsSetup{cert.certificatePem, cert.keyPem});
  Exchange x("127.0.0.1", server.port(), "GET", "/", INTERNET_FLAG_SECURE);
  x.setOption(INTERNET_OPTION_SECURITY_FLAGS, SECURITY_FLAG_SECURE | kCa);
  EXPECT_FALSE(x.send());
  ASSERT_EQ(GetLastError(), ERROR_INTERNET_SEC_CERT_CN_INVALID);
  setErrorDialogHandler([](HWND, HINTERNET, DWORD, DWORD) { return ERROR_SUCCESS; });
  const DWORD answer = InternetErrorDlg(GetDesktopWindow(), x.request, ERROR_INTERNET_SEC_CERT_CN_INVALID,
                                        FLAGS_ERROR_UI_FILTER_FOR_ERRORS |
                                            FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                                            FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
                                        nullptr);
  setErrorDialogHandler(nullptr);
  EXPECT_EQ(answer, ERROR_SUCCESS);
  ASSERT_TRUE(x.send()) << GetLastError();
  EXPECT_EQ(x.readAll(), "secret");
}

TEST(WinInetTlsTest, ConnectionAcceptedUnderLaxFlagsIsNotReusedUnderStrictOnes) {
  const TestCertificate& cert = certificate(Validity::current);
  CannedServer server(
      [](const ReceivedRequest&) {
        CannedReply r = reply(200, "secret");
        r.head.replace(r.head.find("Connection: close"), 17, "Connection: keep-alive");
        r.then = CannedReply::Then::keepAlive;
        return r;
      },
      TlsSetup{cert.certificatePem, cert.keyPem});
  HINTERNET root = InternetOpenA("t", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  HINTERNET conn = InternetConnectA(root, "localhost", server.port(), nullptr, nullptr,
                                    INTERNET_SERVICE_HTTP, 0, 0);
  auto attempt = [&](DWORD accepted) {
    HINTERNET req = HttpOpenRequestA(conn, "GET", "/", nullptr, nullptr, nullptr, INTERNET_FLAG_SECURE, 0);
    const DWORD flags = SECURITY_FLAG_SECURE | accepted;
    InternetSetOptionA(req, INTERNET_OPTION_SECURITY_FLAGS, &flags, 4);
    const bool ok = HttpSendRequestA(req, nullptr, 0, nullptr, 0);
    const DWORD error = GetLastError();
    char buffer[64];
    DWORD n = 0;
    if (ok) InternetReadFile(req, buffer, sizeof buffer, &n);
    InternetCloseHandle(req);
    return ok ? 0u : error;
  };
  EXPECT_EQ(attempt(kCa), 0u);
  EXPECT_EQ(attempt(0), ERROR_INTERNET_INVALID_CA);
  InternetCloseHandle(conn);
  InternetCloseHandle(root);
}

} // namespace
} // namespace quorvel::testing
