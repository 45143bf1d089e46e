// The gateway over HTTPS, and Kannel reached over HTTPS.
#include "gateway/gatewayEmbedded.h"
#include "gateway/gatewayKannel.h"

#include "gatewayTestUtil.h"
#include "tempDir.h"
#include "test_certificate.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdlib>
#include <fstream>
#include <thread>

namespace quorvel::gateway {
namespace {

using test::contains;
using test::payload;

// The test certificate as PEM files: the server's pair, and the file a
// client trusts.
struct CertificateFiles {
  explicit CertificateFiles(const test::TempDir& dir)
      : cert(dir.file("cert.pem")), key(dir.file("key.pem")) {
    const auto& c = quorvel::testing::localhostCertificate();
    std::ofstream(cert) << c.certificatePem;
    std::ofstream(key) << c.keyPem;
  }
  std::string cert, key;
};

TEST(GatewayTls, ServesTheProtocolOverHttps) {
  test::TempDir dir;
  CertificateFiles files(dir);
  EmbeddedOptions o{"127.0.0.1", 0, true, HashCost{test::kTestLog2N, 8, 1}};
  o.tlsCertFile = files.cert;
  o.tlsKeyFile = files.key;
  EmbeddedGateway gateway(dir.file("g.sqlite"), o);
  EXPECT_EQ(gateway.url(), "https://127.0.0.1:" + std::to_string(gateway.port()));

  httplib::SSLClient client("localhost", gateway.port());
  client.set_ca_cert_path(files.cert.c_str());
  client.enable_server_certificate_verification(true);
  auto r = client.Post("/kavri", "login=nobody&password=pqr456&action=getCredits&t=1", "application/x-www-form-urlencoded");
  ASSERT_TRUE(r) << httplib::to_string(r.error());
  EXPECT_EQ(payload(r->body), "100");

  // Plain HTTP on the HTTPS port gets nothing the composer could take for an answer.
  httplib::Client plain("127.0.0.1", gateway.port());
  auto p = plain.Post("/kavri", "login=nobody&password=pqr456&action=getCredits&t=1", "application/x-www-form-urlencoded");
  EXPECT_TRUE(!p || p->status >= 400);
}

TEST(GatewayTls, UnusableCertificateOrKeyIsRefusedAtBind) {
  test::TempDir dir;
  CertificateFiles files(dir);
  const std::string other = dir.file("other-key.pem");
  std::ofstream(other) << quorvel::testing::makeSelfSignedCertificate("localhost").keyPem;
  GatewayStore store(dir.file("g.sqlite"));
  GatewayService service(store);
  struct Case {
    std::string cert, key, says;
  } cases[] = {
      {dir.file("missing.pem"), files.key, "cannot read the TLS certificate"},
      {files.cert, dir.file("missing.pem"), "cannot read the TLS key"},
      {files.cert, other, "cannot serve HTTPS with the certificate"},
      {files.key, files.cert, "cannot serve HTTPS with the certificate"},
  };
  for (const Case& c : cases) {
    ServerOptions o{"127.0.0.1", 0};
    o.tlsCertFile = c.cert;
    o.tlsKeyFile = c.key;
    GatewayServer server(service, o);
    try {
      server.bind();
      ADD_FAILURE() << c.says;
    } catch (const std::runtime_error& e) {
      EXPECT_TRUE(contains(e.what(), c.says)) << e.what();
    }
  }
}

// A stand-in for Kannel's sendsms over HTTPS.
struct HttpsKannel {
  explicit HttpsKannel(const CertificateFiles& f) : server(f.cert.c_str(), f.key.c_str()) {
    server.Get("/cgi-bin/sendsms", [](const httplib::Request&, httplib::Response& res) {
      res.status = 202;
      res.set_content("0: Accepted for delivery", "text/plain");
    });
    port = server.bind_to_any_port("127.0.0.1");
    // The socket listens from bind on: requests wait in its queue.
    thread = std::thread([this] { server.listen_after_bind(); });
  }
  ~HttpsKannel() {
    while (!server.is_running()) std::this_thread::yield();
    server.stop();
    thread.join();
  }
  httplib::SSLServer server;
  int port = 0;
  std::thread thread;
};

// The certificate is checked: trusted through SSL_CERT_FILE it goes, otherwise
// the part is refused (nothing went out, so it is tried again later).
TEST(GatewayTls, HandsPartsToKannelOverHttps) {
  test::TempDir dir;
  CertificateFiles files(dir);
  HttpsKannel kannel(files);
  UpstreamConfig config;
  config.kind = "kannel";
  config.url = "https://localhost:" + std::to_string(kannel.port) + "/cgi-bin/sendsms";
  config.user = "u";
  config.password = "p";
  config.dlrKey = "k";
  EXPECT_NO_THROW(validateUpstream(config));
  const KannelClient client(config, "http://127.0.0.1:9333");
  const SmsPart part{1, "+491511234567", "hello"};

  ::setenv("SSL_CERT_FILE", files.cert.c_str(), 1);
  const HandOverResult trusted = client.send(part);
  ::unsetenv("SSL_CERT_FILE");
  EXPECT_EQ(trusted.outcome, HandOver::accepted) << trusted.status;

  const HandOverResult untrusted = client.send(part);
  EXPECT_EQ(untrusted.outcome, HandOver::refused) << untrusted.status;
  EXPECT_TRUE(contains(untrusted.status, "certificate")) << untrusted.status;
}

} // namespace
} // namespace quorvel::gateway
