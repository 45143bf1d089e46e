// The gateway over real HTTP: paths, methods, sizes, headers and the listening socket.
#include "gateway/gatewayDefaults.h"
#include "gateway/gatewayEmbedded.h"

#include "gatewayTestUtil.h"
#include "tempDir.h"
#include "xmlWellFormed.h"

#include <gtest/gtest.h>
#include <httplib.h>

namespace quorvel::gateway {
namespace {

using test::contains;
using test::payload;

const char* const kForm = "application/x-www-form-urlencoded";

class GatewayHttp : public ::testing::Test {
protected:
  GatewayHttp()
      : gateway(dir.file("gateway.sqlite"), EmbeddedOptions{"127.0.0.1", 0, true, HashCost{test::kTestLog2N, 8, 1}}),
        client("127.0.0.1", gateway.port()) {}

  // Every answer must carry a Content-Length: the composer's client takes
  // an answer without one for a failure.
  static void expectLength(const httplib::Result& r) {
    ASSERT_TRUE(r);
    ASSERT_TRUE(r->has_header("Content-Length")) << r->status;
    EXPECT_EQ(r->get_header_value("Content-Length"), std::to_string(r->body.size()));
  }

  test::TempDir dir;
  EmbeddedGateway gateway;
  httplib::Client client;
};

TEST_F(GatewayHttp, FreshGatewayAnswersTheDefaultAccount) {
  auto r = client.Post("/kavri", "login=nobody&password=pqr456&action=getCredits&t=1\r\n", kForm);
  expectLength(r);
  EXPECT_EQ(r->status, 200);
  EXPECT_EQ(payload(r->body), "100");
  EXPECT_EQ(gateway.url(), "http://127.0.0.1:" + std::to_string(gateway.port()));
}

TEST_F(GatewayHttp, EveryKindOfAnswerCarriesContentLength) {
  expectLength(client.Post("/kavri", "login=nobody&password=no&action=getCredits&t=1", kForm));
  expectLength(client.Post("/kavri", "login=nobody&password=pqr456&action=x", kForm));
  expectLength(client.Post("/kavri",
                           "login=nobody&password=pqr456&action=sendMessages&recepient0=1&messageData0=a&messageCount=1",
                           kForm));
  expectLength(client.Post("/kavri", "", kForm));
  expectLength(client.Get("/kavri"));
  expectLength(client.Get("/"));
}

TEST_F(GatewayHttp, RefusesOtherPathsAndMethods) {
  struct Case {
    httplib::Result result;
    int status;
  };
  std::vector<Case> cases;
  cases.push_back({client.Get("/kavri"), 405});
  cases.push_back({client.Put("/kavri", "a=1", kForm), 405});
  cases.push_back({client.Delete("/kavri"), 405});
  cases.push_back({client.Patch("/kavri", "a=1", kForm), 405});
  cases.push_back({client.Options("/kavri"), 405});
  cases.push_back({client.Post("/kavri/", "login=nobody&password=pqr456&action=getCredits&t=1", kForm), 404});
  cases.push_back({client.Post("/", "login=nobody&password=pqr456&action=getCredits&t=1", kForm), 404});
  cases.push_back({client.Get("/index.html"), 404});
  for (size_t i = 0; i < cases.size(); ++i) {
    ASSERT_TRUE(cases[i].result) << i;
    EXPECT_EQ(cases[i].result->status, cases[i].status) << i;
    EXPECT_FALSE(contains(cases[i].result->body, "<Data>")) << i;
  }
  EXPECT_EQ(cases[0].result->get_header_value("Allow"), "POST");
  // Nothing above was taken for a request: the balance is whole.
  EXPECT_EQ(payload(client.Post("/kavri", "login=nobody&password=pqr456&action=getCredits&t=1", kForm)->body), "100");
}

// A credit query padded with an ignored field to \p size bytes.
std::string paddedQuery(size_t size) {
  std::string body = "login=nobody&password=pqr456&action=getCredits&t=1&pad=";
  body.resize(size, 'a');
  return body;
}

httplib::Result postChunked(httplib::Client& client, const std::string& body) {
  return client.Post(
      "/kavri",
      [&](size_t offset, httplib::DataSink& sink) {
        const size_t n = std::min<size_t>(64 * 1024, body.size() - offset);
        sink.write(body.data() + offset, n);
        if (offset + n == body.size()) sink.done();
        return true;
      },
      kForm);
}

// Up to the limit a body is read, one byte over it is refused with an error
// document. (A declared length over the limit is refused before the body is
// read: gatewayFrontTest.)
TEST_F(GatewayHttp, BodyLimitIsThirtyTwoMebibytes) {
  ASSERT_EQ(kMaxBodyBytes, size_t{32} << 20);
  const std::string atLimit = paddedQuery(kMaxBodyBytes);
  const std::string overLimit = paddedQuery(kMaxBodyBytes + 1);
  struct Case {
    const char* name;
    httplib::Result result;
    int status;
  };
  Case cases[] = {
      {"declared, at the limit", client.Post("/kavri", atLimit, kForm), 200},
      {"chunked, at the limit", postChunked(client, atLimit), 200},
      {"chunked, over the limit", postChunked(client, overLimit), 413},
  };
  for (Case& c : cases) {
    expectLength(c.result);
    EXPECT_EQ(c.result->status, c.status) << c.name;
    if (c.status == 200) {
      EXPECT_EQ(payload(c.result->body), "100") << c.name;
    } else {
      EXPECT_TRUE(contains(c.result->body, "[ERROR]")) << c.name;
      EXPECT_TRUE(contains(payload(c.result->body), "ERROR: the request is larger than the gateway takes (33554432 bytes)"))
          << c.name << ": " << c.result->body;
    }
  }
}

// A batch far beyond what fits in a small form body still goes through.
TEST_F(GatewayHttp, LargeBatchIsAccepted) {
  gateway.store().setBalance("nobody", Balance{false, 1000});
  const std::string text(300, 'x');
  std::string body = "login=nobody&password=pqr456&action=sendMessages";
  const int n = 200;
  for (int i = 0; i < n; ++i)
    body += "&recepient" + std::to_string(i) + "=%2B4912345" + std::to_string(i) + "&messageData" + std::to_string(i) +
            "=" + text;
  body += "&messageCount=" + std::to_string(n) + "\r\n";
  ASSERT_GT(body.size(), 60000u);
  auto r = client.Post("/kavri", body, kForm);
  expectLength(r);
  EXPECT_EQ(r->status, 200);
  EXPECT_EQ(payload(r->body), "Accepted 200 of 200 messages.");
  EXPECT_EQ(gateway.store().messageCount(), n);
}

// The whole road of a Windows client's text: ANSI bytes in, the right
// characters stored, one credit per SMS part, too long refused whole, and
// every answer well-formed XML.
TEST_F(GatewayHttp, LegacyTextIsBilledPerPartAndAnswersAreWellFormed) {
  std::string e200;
  for (int i = 0; i < 200; ++i) e200 += "%E9";  // "é" in windows-1252: 200 GSM characters, 2 parts
  const std::string head = "login=nobody&password=pqr456&action=sendMessages&recepient0=%2B36%A0301%00&messageData0=";
  auto r = client.Post("/kavri", head + e200 + "&messageCount=1\r\n", kForm);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 200);
  EXPECT_EQ(test::xmlFault(r->body), "") << r->body;
  EXPECT_TRUE(contains(r->body, "recipient=\"+36\u00A0301\u2400\" status=\"accepted\"")) << r->body;
  EXPECT_TRUE(contains(r->body, "<Credits>98</Credits>"));
  const StoredMessage m = gateway.store().messages("nobody", 1).at(0);
  EXPECT_EQ(m.text.size(), 400u);  // UTF-8 inside
  EXPECT_EQ(m.text.substr(0, 2), "\u00E9");
  EXPECT_EQ(m.parts, 2);
  EXPECT_EQ(m.cost, 2);

  r = client.Post("/kavri", head + std::string(153 * 10 + 1, 'a') + "&messageCount=1\r\n", kForm);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 400);
  EXPECT_EQ(test::xmlFault(r->body), "") << r->body;
  EXPECT_TRUE(contains(r->body, "[ERROR]"));
  EXPECT_TRUE(contains(payload(r->body), "message 0 is too long: 11 SMS parts")) << r->body;
  EXPECT_EQ(payload(client.Post("/kavri", "login=nobody&password=pqr456&action=getCredits&t=1", kForm)->body), "98");
  EXPECT_EQ(gateway.store().messageCount(), 1);
}

TEST_F(GatewayHttp, SecondServerOnTheSamePortIsRefused) {
  GatewayService service(gateway.store());
  GatewayServer second(service, ServerOptions{"127.0.0.1", gateway.port()});
  try {
    second.bind();
    FAIL() << "a second server could listen on the same port";
  } catch (const ListenError& e) {
    EXPECT_TRUE(contains(e.what(), "127.0.0.1:" + std::to_string(gateway.port()))) << e.what();
    EXPECT_TRUE(contains(e.what(), "in use")) << e.what();
    EXPECT_TRUE(e.addressInUse());
  }
}

TEST_F(GatewayHttp, StopsAndStartsAgainOnTheSameStore) {
  ASSERT_EQ(client.Post("/kavri",
                        "login=nobody&password=pqr456&action=sendMessages&recepient0=1&messageData0=a&messageCount=1",
                        kForm)
                ->status,
            200);
  gateway.stop();
  EXPECT_FALSE(client.Post("/kavri", "login=nobody&password=pqr456&action=getCredits&t=1", kForm));

  GatewayService service(gateway.store());
  GatewayServer again(service, ServerOptions{"127.0.0.1", 0});
  httplib::Client other("127.0.0.1", again.start());
  EXPECT_EQ(payload(other.Post("/kavri", "login=nobody&password=pqr456&action=getCredits&t=1", kForm)->body), "99");
}

TEST(GatewayServerLife, StopBeforeRunAndTwiceIsHarmless) {
  test::TempDir dir;
  GatewayStore store(dir.file("g.sqlite"));
  GatewayService service(store);
  {
    GatewayServer server(service, ServerOptions{"127.0.0.1", 0});
    server.stop();
    server.run();  // returns at once: stop came first
  }
  GatewayServer server(service, ServerOptions{"127.0.0.1", 0});
  server.start();
  server.stop();
  server.stop();
}

} // namespace
} // namespace quorvel::gateway
