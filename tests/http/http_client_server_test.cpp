// TkaHTTPClient against real local servers: bodies, headers, progress lines, failures, HTTPS.
#include "canned_server.h"
#include "http/unHTTPClient.h"
#include "test_certificate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>
#include <memory>

namespace quorvel {
namespace {

using testing::CannedReply;
using testing::CannedServer;
using testing::ReceivedRequest;
using testing::reply;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

class ServerClientTest : public ::testing::Test {
protected:
  ServerClientTest() {
    client.onReport = [this](const std::string& line) { lines.push_back(line); };
  }
  std::vector<std::string> linesStarting(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& l : lines)
      if (l.rfind(prefix, 0) == 0) out.push_back(l);
    return out;
  }

  TkaHTTPClient client;
  std::vector<std::string> lines;
};

/// Compares bodies without printing kilobytes of bytes on a mismatch.
::testing::AssertionResult sameBody(const std::string& got, const std::string& expected) {
  if (got == expected) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < got.size() && at < expected.size() && got[at] == expected[at]) ++at;
  return ::testing::AssertionFailure() << "got " << got.size() << " bytes, expected " << expected.size()
                                       << ", first difference at " << at;
}

std::string binary(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + 7) & 0xFF);
  return s;
}

CannedReply keepAlive(CannedReply r) {
  r.head.replace(r.head.find("Connection: close"), 17, "Connection: keep-alive");
  r.then = CannedReply::Then::keepAlive;
  return r;
}

TEST_F(ServerClientTest, PostSendsAndReturnsBodiesByteForByte) {
  const std::string answer = binary(3000);
  CannedServer server([&](const ReceivedRequest&) { return reply(200, answer, "X-Gateway: 1\r\n"); });
  const std::string form = "user=a%20b&text=" + binary(500);
  EXPECT_TRUE(sameBody(client.postData(server.origin() + "/sms?x=1", form), answer));
  const ReceivedRequest got = server.requests().at(0);
  EXPECT_EQ(got.requestLine(), "POST /sms?x=1 HTTP/1.1");
  EXPECT_TRUE(sameBody(got.body, form));
  EXPECT_THAT(got.headerValues("Content-Type"), ElementsAre("application/x-www-form-urlencoded"));
  EXPECT_THAT(got.headerValues("User-Agent"), ElementsAre("Kavri HTTP Client"));
  EXPECT_THAT(got.headerValues("Accept"), ElementsAre("*/*, text/xml"));
  EXPECT_EQ(client.errormessage, "");
  EXPECT_EQ(client.errorcode, 0);
  EXPECT_THAT(client.AResponseHeaders, ElementsAre("HTTP/1.1 200 Canned", "X-Gateway: 1",
                                                   "Content-Length: 3000", "Connection: close", ""));
  ASSERT_FALSE(client.ARequestHeaders.empty());
  EXPECT_EQ(client.ARequestHeaders.front(), "POST /sms?x=1 HTTP/1.1");
  EXPECT_THAT(client.ARequestHeaders, Contains("Content-Type: application/x-www-form-urlencoded"));
  EXPECT_THAT(lines, ElementsAre("Initializing wininet", "Connecting to 127.0.0.1 on port " + std::to_string(server.port()),
                                 "Opened: " + server.origin() + "/sms?x=1", "Request headers read",
                                 "Response headers read", "Content-Length: 3000"));
}

TEST_F(ServerClientTest, GetSendsNoBody) {
  CannedServer server([](const ReceivedRequest& r) { return reply(200, r.requestLine()); });
  EXPECT_EQ(client.getData(server.origin() + "/credit"), "GET /credit HTTP/1.1");
  EXPECT_EQ(server.requests().at(0).body, "");
  EXPECT_TRUE(server.requests().at(0).headerValues("Content-Length").empty());
}

TEST_F(ServerClientTest, AnswerWithoutContentLengthIsReadToItsEnd) {
  const std::string answer = binary(5000);
  CannedServer server([&](const ReceivedRequest&) { return reply(200, answer, "", false); });
  EXPECT_TRUE(sameBody(client.getData(server.origin() + "/"), answer));
  EXPECT_EQ(client.errormessage, "ERROR_HTTP_HEADER_NOT_FOUND");
  EXPECT_EQ(client.errorcode, 12150);
  EXPECT_THAT(lines, Not(Contains(StartsWith("Content-Length"))));
}

struct SizeCase {
  size_t size;
  std::vector<std::string> progress;
};

class BodySizeTest : public ServerClientTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(BodySizeTest, ArrivesWholeWithItsProgressLines) {
  const std::string answer = binary(GetParam().size);
  CannedServer server([&](const ReceivedRequest&) { return reply(200, answer); });
  EXPECT_TRUE(sameBody(client.getData(server.origin() + "/"), answer));
  EXPECT_EQ(linesStarting("Downloaded "), GetParam().progress);
  EXPECT_EQ(client.errormessage, "");
}

INSTANTIATE_TEST_SUITE_P(Sizes, BodySizeTest,
                         ::testing::Values(SizeCase{1024, {}}, SizeCase{1025, {}}, SizeCase{2050, {}},
                                           SizeCase{101 * 1025, {"Downloaded 103525 bytes (100%)"}},
                                           SizeCase{300000,
                                                    {"Downloaded 103525 bytes (35%)",
                                                     "Downloaded 207050 bytes (69%)"}}));

// What the server announces is no promise: memory follows the bytes that
// arrive, and an honest length is still met by one buffer of exactly its size.
struct AnnouncedCase {
  const char* name;
  std::string announced; // Content-Length as sent
  size_t sent;           // body bytes sent before the server closes
  size_t maxCapacity;    // of the returned body
  const char* errormessage;
};

void PrintTo(const AnnouncedCase& c, std::ostream* os) { *os << c.name; }

class AnnouncedLengthTest : public ServerClientTest, public ::testing::WithParamInterface<AnnouncedCase> {};

TEST_P(AnnouncedLengthTest, ReservesOnlyWhatArrives) {
  const AnnouncedCase& c = GetParam();
  const std::string answer = binary(c.sent);
  CannedServer server([&](const ReceivedRequest&) {
    CannedReply r = reply(200, answer, "Content-Length: " + c.announced + "\r\n", false);
    return r;
  });
  std::string got;
  ASSERT_NO_THROW(got = client.getData(server.origin() + "/"));
  EXPECT_TRUE(sameBody(got, answer.substr(0, got.size())));
  EXPECT_LE(got.capacity(), c.maxCapacity);
  EXPECT_EQ(client.errormessage, c.errormessage);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AnnouncedLengthTest,
    ::testing::Values(AnnouncedCase{"hugeThenClosed", "60000000", 10, 1 << 20, "ERROR_INTERNET_CONNECTION_ABORTED"},
                      AnnouncedCase{"hugeThenSomeThenClosed", "60000000", 300000, 1 << 20,
                                    "ERROR_INTERNET_CONNECTION_ABORTED"},
                      AnnouncedCase{"beyondTheLimit", "2000000000", 10, 15,
                                    "The answer is larger than 64 MiB; it was not read"},
                      AnnouncedCase{"honestAndLarge", "300000", 300000, 300000, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServerClientTest, ErrorPagesAreResultsNotFailures) {
  for (int status : {404, 500}) {
    CannedServer server([&](const ReceivedRequest&) { return reply(status, "page " + std::to_string(status)); });
    EXPECT_EQ(client.getData(server.origin() + "/"), "page " + std::to_string(status));
    EXPECT_EQ(client.errormessage, "");
    EXPECT_EQ(client.errorcode, 0);
    EXPECT_EQ(client.AResponseHeaders.at(0), "HTTP/1.1 " + std::to_string(status) + " Canned");
  }
}

TEST_F(ServerClientTest, HeaderBlockOver4095BytesCannotBeReadButTheBodyCan) {
  CannedServer server([](const ReceivedRequest&) {
    return reply(200, "small", "X-Big: " + std::string(4200, 'h') + "\r\n");
  });
  EXPECT_EQ(client.getData(server.origin() + "/"), "small");
  EXPECT_THAT(lines, Contains("Headers could not be read. Error = 122 ()"));
  EXPECT_THAT(lines, Contains("Content-Length: 5"));
  EXPECT_EQ(client.errormessage, "");
  EXPECT_EQ(client.errorcode, 122);
}

TEST_F(ServerClientTest, ServerClosingInTheMiddleOfTheBodyIsAFailure) {
  CannedServer server([](const ReceivedRequest&) {
    CannedReply r = reply(200, binary(10000));
    r.sendLimit = r.head.size() + 4000;
    return r;
  });
  const std::string got = client.getData(server.origin() + "/");
  EXPECT_TRUE(sameBody(got, binary(3 * 1025))); // the chunks read in full before the cut
  EXPECT_EQ(client.errormessage, "ERROR_INTERNET_CONNECTION_ABORTED");
  EXPECT_EQ(client.errorcode, 12030);
}

TEST_F(ServerClientTest, ServerThatNeverAnswersTimesOut) {
  CannedServer server([](const ReceivedRequest&) {
    CannedReply r;
    r.silent = true;
    return r;
  });
  client.downloadTimeOut = 1;
  EXPECT_EQ(client.postData(server.origin() + "/", "x=1"), "");
  EXPECT_EQ(client.errormessage, "ERROR_INTERNET_TIMEOUT");
  EXPECT_EQ(client.errorcode, 12002);
  // No dialog is registered: the dialog answers "cancelled", so the failure is recorded at once.
  EXPECT_EQ(linesStarting("Download error"),
            std::vector<std::string>(2, "Download error: 12002 (ERROR_INTERNET_TIMEOUT)"));
  EXPECT_FALSE(client.lastok);
}

// An answer beyond the client's limit is refused, announced or not, and
// nothing of it is handed back; one of exactly the limit is taken.
TEST_F(ServerClientTest, AnswerLongerThanTheLimitIsRefused) {
  client.maxResponseSize = 3000;
  struct Case {
    size_t size;
    bool withLength;
    bool taken;
  } cases[] = {{3000, true, true}, {3000, false, true}, {3001, true, false}, {100000, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.size) + (c.withLength ? " announced" : " not announced"));
    CannedServer server([&](const ReceivedRequest&) { return reply(200, binary(c.size), "", c.withLength); });
    const std::string got = client.getData(server.origin() + "/");
    if (c.taken) {
      EXPECT_TRUE(sameBody(got, binary(c.size)));
      continue;
    }
    EXPECT_EQ(got, "");
    EXPECT_EQ(client.errormessage, "The answer is larger than 3000 bytes; it was not read");
    EXPECT_EQ(client.errorcode, 8);
  }
}

// The idle time-outs restart with every byte; the time in all does not.
TEST_F(ServerClientTest, RequestIsStoppedWhenItTakesTooLongInAll) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  CannedServer server([&](const ReceivedRequest&) {
    CannedReply r = reply(200, binary(5000));
    r.pauseAt = r.head.size() + 2000;
    r.pause = [released] { released.wait(); };
    return r;
  });
  struct Release {
    std::promise<void>& p;
    ~Release() { p.set_value(); }
  } releaseOnExit{release};
  client.downloadTimeOut = 60;
  client.totalTimeOut = 1;
  EXPECT_EQ(client.getData(server.origin() + "/"), "");
  EXPECT_EQ(client.errormessage, "The request took longer than 1 s in all and was stopped");
  EXPECT_EQ(client.errorcode, 12002);
  EXPECT_FALSE(client.lastok);
}

TEST_F(ServerClientTest, RefusedConnectionIsNamed) {
  testing::IdlePort refusing(testing::IdlePort::refusing);
  client.popforcert = false;
  EXPECT_EQ(client.getData("http://127.0.0.1:" + std::to_string(refusing.port()) + "/"), "");
  EXPECT_EQ(client.errormessage, "Cannot connect to host");
  EXPECT_EQ(client.errorcode, 12029);
}

TEST_F(ServerClientTest, ReusedConnectionCarriesTheNextRequest) {
  CannedServer server([](const ReceivedRequest& r) { return keepAlive(reply(200, r.requestLine())); });
  client.reuseConnection = true;
  EXPECT_EQ(client.getData(server.origin() + "/one"), "GET /one HTTP/1.1");
  EXPECT_EQ(client.getData(server.origin() + "/two"), "GET /two HTTP/1.1");
  EXPECT_EQ(server.connections(), 1);
  EXPECT_NE(client.hConnect, nullptr);
}

TEST_F(ServerClientTest, HandlesKeptForReuseAreGoneOnceReuseIsTurnedOff) {
  CannedServer server([](const ReceivedRequest& r) { return keepAlive(reply(200, r.requestLine())); });
  auto reusing = std::make_unique<TkaHTTPClient>();
  reusing->reuseConnection = true;
  reusing->getData(server.origin() + "/one");
  const wininet::HINTERNET keptRoot = reusing->NetHandle;
  const wininet::HINTERNET keptConnection = reusing->hConnect;
  reusing->reuseConnection = false;
  EXPECT_EQ(reusing->getData(server.origin() + "/two"), "GET /two HTTP/1.1");
  reusing.reset();
  // Still open, they would report their closing to the destroyed client.
  EXPECT_FALSE(wininet::InternetCloseHandle(keptConnection));
  EXPECT_FALSE(wininet::InternetCloseHandle(keptRoot));
}

TEST_F(ServerClientTest, WithoutReuseEveryRequestHasItsOwnConnection) {
  CannedServer server([](const ReceivedRequest& r) { return keepAlive(reply(200, r.requestLine())); });
  client.getData(server.origin() + "/one");
  client.getData(server.origin() + "/two");
  EXPECT_EQ(server.connections(), 2);
}

TEST_F(ServerClientTest, SecondPostOnTheSameClientSendsTheContentTypeTwice) {
  CannedServer server([](const ReceivedRequest& r) { return reply(200, r.body); });
  EXPECT_EQ(client.postData(server.origin() + "/", "first"), "first");
  EXPECT_EQ(client.postData(server.origin() + "/", "second"), "second");
  const auto requests = server.requests();
  EXPECT_THAT(requests.at(0).headerValues("Content-Type"), ElementsAre("application/x-www-form-urlencoded"));
  EXPECT_THAT(requests.at(1).headerValues("Content-Type"),
              ElementsAre("application/x-www-form-urlencoded", "application/x-www-form-urlencoded"));
}

TEST_F(ServerClientTest, PostDataStreamSendsTheCallersStream) {
  CannedServer server([](const ReceivedRequest& r) { return reply(200, r.body); });
  std::stringstream body;
  body << "streamed=" << binary(2000);
  EXPECT_TRUE(sameBody(client.postDataStream(server.origin() + "/", body), body.str()));
}

TEST_F(ServerClientTest, StatusLinesAppearOnlyWithReportwininet) {
  CannedServer server([](const ReceivedRequest&) { return reply(200, "x"); });
  client.getData(server.origin() + "/");
  EXPECT_TRUE(linesStarting("[WININET] ").empty());
  lines.clear();
  client.reportwininet = true;
  client.getData(server.origin() + "/");
  const auto status = linesStarting("[WININET] ");
  EXPECT_THAT(status, ::testing::IsSupersetOf({
                          "[WININET] 10 Attempting to resolve IP address of name: 127.0.0.1",
                          "[WININET] 11 Successfully resolved the IP address of: 127.0.0.1",
                          "[WININET] 20 Connecting to the server.",
                          "[WININET] 21 Connected to the server.",
                          "[WININET] 30 Sending a request to the server.",
                          "[WININET] 31 Request sent to the server.",
                          "[WININET] 40 Waiting for response from server.",
                          "[WININET] 41 Received a response from the server.",
                          "[WININET] 50 Connection to the server is being closed.",
                          "[WININET] 51 Connection to the server has been closed.",
                          "[WININET] 60 InternetConnect has created a new handle.",
                          "[WININET] 70 The handle is closing."}));
  // Resolving comes between "Connecting to" and "Opened:".
  const auto at = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) - lines.begin(); };
  EXPECT_LT(at("Connecting to 127.0.0.1 on port " + std::to_string(server.port())),
            at("[WININET] 10 Attempting to resolve IP address of name: 127.0.0.1"));
  EXPECT_LT(at("[WININET] 41 Received a response from the server."), at("Opened: " + server.origin() + "/"));
}

// ---- HTTPS ----

using testing::localhostCertificate;

class HttpsClientTest : public ServerClientTest {
protected:
  HttpsClientTest()
      : server([](const ReceivedRequest& r) { return reply(200, "secure " + r.body); },
               testing::TlsSetup{localhostCertificate().certificatePem, localhostCertificate().keyPem}) {}
  CannedServer server;
};

TEST_F(HttpsClientTest, SelfSignedCertificateIsAcceptedByDefault) {
  EXPECT_EQ(client.postData(server.origin() + "/", "a=1"), "secure a=1");
  EXPECT_EQ(client.errormessage, "");
}

TEST_F(HttpsClientTest, SelfSignedCertificateIsRefusedWithoutTheAcceptanceFlags) {
  client.acceptinvalidca = client.acceptinvalidcacn = client.acceptinvalidcadate = false;
  EXPECT_EQ(client.postData("https://localhost:" + std::to_string(server.port()) + "/", "a=1"), "");
  EXPECT_EQ(client.errormessage, "ERROR_INTERNET_INVALID_CA");
  EXPECT_EQ(client.errorcode, 12045);
  EXPECT_TRUE(server.requests().empty());
}

TEST_F(HttpsClientTest, WrongNameWithoutDialogIsRecorded) {
  client.acceptinvalidcacn = false;
  client.popforcert = false;
  EXPECT_EQ(client.getData(server.origin() + "/"), "");
  EXPECT_EQ(client.errormessage, "ERROR_INTERNET_SEC_CERT_CN_INVALID");
  EXPECT_EQ(client.errorcode, 12038);
}

TEST_F(HttpsClientTest, WrongNameAcceptedInTheDialogGoesThrough) {
  client.acceptinvalidcacn = false;
  int shown = 0;
  wininet::setErrorDialogHandler([&](wininet::HWND, wininet::HINTERNET, wininet::DWORD error, wininet::DWORD) {
    ++shown;
    EXPECT_EQ(error, 12038u);
    return wininet::ERROR_SUCCESS;
  });
  const std::string got = client.postData(server.origin() + "/", "b=2");
  wininet::setErrorDialogHandler(nullptr);
  EXPECT_EQ(got, "secure b=2");
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(client.errormessage, "");
}

} // namespace
} // namespace quorvel
