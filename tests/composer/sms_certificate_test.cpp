// Gateway requests over HTTPS: the certificate is checked; a request the user
// started asks whether to go on, the quiet credit refresh never asks.
#include "gatewayFixture.h"

#include "composer/unGatewayRequest.h"
#include "composer/unInternetErrorDialog.h"
#include "test_certificate.h"
#include "wininet/wininet.h"

#include <cstdlib>
#include <fstream>
#include <memory>
#include <ostream>

namespace quorvel {
namespace {

using testing::CannedServer;
using testing::reply;
using testing::TestCertificate;
using testing::TlsSetup;

std::string localhostUrl(const CannedServer& server) {
  return "https://localhost:" + std::to_string(server.port());
}

// ---- the request itself, without a window ----

struct Server {
  const char* name;
  const TestCertificate* (*certificate)(); // nullptr: plain HTTP
  bool byName;                             // reached as localhost, else as 127.0.0.1
  const char* errormessage;                // "" when the request goes through
};

void PrintTo(const Server& s, std::ostream* os) { *os << s.name; }

class GatewayRequestCertificate : public ::testing::TestWithParam<Server> {};

TEST_P(GatewayRequestCertificate, IsChecked) {
  const Server& s = GetParam();
  const TestCertificate* cert = s.certificate ? s.certificate() : nullptr;
  CannedServer server([](const testing::ReceivedRequest&) { return reply(200, dataDocument("12")); },
                      cert ? std::optional<TlsSetup>(TlsSetup{cert->certificatePem, cert->keyPem})
                           : std::nullopt);
  const std::string url = s.byName ? localhostUrl(server) : server.origin();
  TGatewayRequest request({url, "nobody", "pqr456"}, "action=getCredits&t=1");
  request.post({0, false});
  EXPECT_EQ(request.errormessage, s.errormessage);
  EXPECT_EQ(server.requests().size(), std::string(s.errormessage).empty() ? 1u : 0u);
}

const TestCertificate* selfSigned() { return &testing::localhostCertificate(); }
const TestCertificate* expired() { return &testing::expiredLocalhostCertificate(); }

INSTANTIATE_TEST_SUITE_P(
    Servers, GatewayRequestCertificate,
    ::testing::Values(Server{"plainHttp", nullptr, false, ""},
                      Server{"untrustedIssuer", selfSigned, true, "ERROR_INTERNET_INVALID_CA"},
                      Server{"untrustedIssuerAndWrongName", selfSigned, false, "ERROR_INTERNET_INVALID_CA"},
                      Server{"expired", expired, true, "ERROR_INTERNET_INVALID_CA"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the window's requests ----

class CertificateQuestionTest : public GatewayTest {
protected:
  CertificateQuestionTest()
      : server(scriptedGateway(reply(200, dataDocument("12")), reply(200, dataDocument("Accepted 1 of 1 messages."))),
               TlsSetup{selfSigned()->certificatePem, selfSigned()->keyPem}) {}
  void SetUp() override {
    GatewayTest::SetUp();
    useServer(localhostUrl(server));
  }
  const std::string question = certificateQuestion(wininet::ERROR_INTERNET_INVALID_CA);
  CannedServer server;
};

TEST_F(CertificateQuestionTest, YesSendsThatOneRequest) {
  form->boxAnswer = MsgResult::yes;
  form->getCredits(true);
  ASSERT_EQ(form->boxes.size(), 2u);
  EXPECT_EQ(form->boxes[0].text, question);
  EXPECT_EQ(form->boxes[1].text, "Successful login. You have 12 credits!");
  EXPECT_EQ(form->credits, "12");
  EXPECT_EQ(server.requests().size(), 1u);
  // The next request asks again.
  form->getCredits(true);
  ASSERT_EQ(form->boxes.size(), 4u);
  EXPECT_EQ(form->boxes[2].text, question);
  EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(CertificateQuestionTest, NoSendsNothing) {
  form->boxAnswer = MsgResult::no;
  form->credits = "7";
  form->getCredits(true);
  ASSERT_EQ(form->boxes.size(), 2u);
  EXPECT_EQ(form->boxes[0].text, question);
  EXPECT_EQ(form->boxes[1].text, "Cannot connect to Nemora at " + localhostUrl(server) +
                                     "\r\n[ERROR] ERROR_INTERNET_INVALID_CA");
  EXPECT_EQ(form->credits, "7");
  EXPECT_TRUE(server.requests().empty());
}

TEST_F(CertificateQuestionTest, ASendAsksOnceAndTheQuietRefreshAfterItNever) {
  form->boxAnswer = MsgResult::yes;
  form->credits = "5";
  form->sendSMS("+3630", "Hi");
  ASSERT_EQ(form->boxes.size(), 1u);
  EXPECT_EQ(form->boxes[0].text, question);
  EXPECT_EQ(requestsFor(server, "sendMessages").size(), 1u);
  EXPECT_TRUE(requestsFor(server, "getCredits").empty());
  EXPECT_EQ(form->credits, "5");
  EXPECT_EQ(sentItems().size(), 1u);
}

// ---- the bundled gateway serving HTTPS ----

class HttpsGatewayTest : public GatewayTest {
protected:
  void SetUp() override {
    GatewayTest::SetUp();
    certFile = dataHome.filePath("gateway-cert.pem").toStdString();
    const std::string keyFile = dataHome.filePath("gateway-key.pem").toStdString();
    std::ofstream(certFile) << selfSigned()->certificatePem;
    std::ofstream(keyFile) << selfSigned()->keyPem;
    gateway::EmbeddedOptions options;
    options.cost = gateway::HashCost{10, 8, 1};
    options.tlsCertFile = certFile;
    options.tlsKeyFile = keyFile;
    gateway = std::make_unique<gateway::EmbeddedGateway>(dataHome.filePath("gateway.sqlite").toStdString(), options);
    url = "https://localhost:" + std::to_string(gateway->port());
    useServer(url);
    form->credits = "100";
  }
  void TearDown() override {
    ::unsetenv("SSL_CERT_FILE");
    gateway.reset();
    GatewayTest::TearDown();
  }
  const std::string question = certificateQuestion(wininet::ERROR_INTERNET_INVALID_CA);
  std::string certFile, url;
  std::unique_ptr<gateway::EmbeddedGateway> gateway;
};

// The certificate's own authority, trusted by the test as an operator's
// private authority would be: the send goes through without a question.
TEST_F(HttpsGatewayTest, TrustedAuthoritySendsWithoutAsking) {
  ::setenv("SSL_CERT_FILE", certFile.c_str(), 1);
  form->sendSMS("+3630", "Hi");
  ::unsetenv("SSL_CERT_FILE");
  EXPECT_TRUE(form->boxes.empty()) << (form->boxes.empty() ? "" : form->boxes[0].text);
  EXPECT_EQ(gateway->store().messageCount(), 1);
}

TEST_F(HttpsGatewayTest, UntrustedCertificateGoesThroughTheQuestion) {
  struct Case {
    MsgResult answer;
    int filed;
  } cases[] = {{MsgResult::no, 0}, {MsgResult::yes, 1}};
  for (const Case& c : cases) {
    form->boxes.clear();
    form->boxAnswer = c.answer;
    form->sendSMS("+3630", "Hi");
    ASSERT_FALSE(form->boxes.empty());
    EXPECT_EQ(form->boxes[0].text, question);
    EXPECT_EQ(gateway->store().messageCount(), c.filed);
  }
}

} // namespace
} // namespace quorvel
