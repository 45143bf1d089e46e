// The libcurl-backed WinINet layer against local canned servers: bytes, headers, streaming, failures.
#include "wininet_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <future>
#include <thread>

namespace quorvel::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class WinInetTest : public ::testing::Test {
protected:
  void SetUp() override { events().clear(); }
};

TEST_F(WinInetTest, GetHandsBackBodyAndRawHeadersWithCrLf) {
  CannedServer server([](const ReceivedRequest&) {
    return reply(200, "hello world", "X-Test: one\r\n");
  });
  Exchange x("127.0.0.1", server.port(), "GET", "/path?q=1");
  ASSERT_TRUE(x.send());
  EXPECT_EQ(x.query(HTTP_QUERY_RAW_HEADERS_CRLF),
            "HTTP/1.1 200 Canned\r\nX-Test: one\r\nContent-Length: 11\r\nConnection: close\r\n\r\n");
  const std::string sent = x.query(HTTP_QUERY_FLAG_REQUEST_HEADERS | HTTP_QUERY_RAW_HEADERS_CRLF);
  EXPECT_THAT(sent, StartsWith("GET /path?q=1 HTTP/1.1\r\n"));
  EXPECT_THAT(sent, HasSubstr("\r\nUser-Agent: wininet test\r\n"));
  EXPECT_THAT(sent, HasSubstr("\r\nAccept: */*, text/xml\r\n"));
  EXPECT_EQ(sent.substr(sent.size() - 4), "\r\n\r\n");
  EXPECT_EQ(x.query(HTTP_QUERY_CONTENT_LENGTH), "11");
  EXPECT_EQ(x.query(HTTP_QUERY_STATUS_CODE), "200");
  EXPECT_EQ(x.readAll(), "hello world");
  EXPECT_EQ(server.requests().at(0).head, sent);
}

TEST_F(WinInetTest, PostSendsBodyAndHeaderLinesByteForByte) {
  CannedServer server([](const ReceivedRequest& r) { return reply(200, "got " + r.body); });
  const std::string body("a=1&b=\0\r\n\xff", 10);
  Exchange x("127.0.0.1", server.port(), "POST", "/form");
  ASSERT_TRUE(x.send("Content-Type: text/plain\r\nX-One: 1\r\nX-One: 2\r\n", body));
  EXPECT_EQ(x.readAll(), "got " + body);
  const ReceivedRequest got = server.requests().at(0);
  EXPECT_EQ(got.body, body);
  EXPECT_EQ(got.requestLine(), "POST /form HTTP/1.1");
  EXPECT_THAT(got.headerValues("Content-Type"), ElementsAre("text/plain"));
  EXPECT_THAT(got.headerValues("X-One"), ElementsAre("1", "2"));
  EXPECT_THAT(got.headerValues("Content-Length"), ElementsAre("10"));
  EXPECT_TRUE(got.headerValues("Expect").empty());
}

TEST_F(WinInetTest, PostAddsNoContentTypeOfItsOwn) {
  CannedServer server([](const ReceivedRequest&) { return reply(200, ""); });
  Exchange x("127.0.0.1", server.port(), "POST", "/");
  ASSERT_TRUE(x.send("", "x=1"));
  EXPECT_TRUE(server.requests().at(0).headerValues("Content-Type").empty());
}

TEST_F(WinInetTest, MissingContentLengthFailsWithHeaderNotFound) {
  CannedServer server([](const ReceivedRequest&) { return reply(200, "no length", "", false); });
  Exchange x("127.0.0.1", server.port(), "GET", "/");
  ASSERT_TRUE(x.send());
  DWORD error = 0;
  EXPECT_EQ(x.query(HTTP_QUERY_CONTENT_LENGTH, &error), "");
  EXPECT_EQ(error, ERROR_HTTP_HEADER_NOT_FOUND);
  EXPECT_EQ(x.readAll(), "no length");
}

TEST_F(WinInetTest, RawQueriesKeepTheIndexAndNamedOnesAdvanceIt) {
  CannedServer server([](const ReceivedRequest&) { return reply(200, "abc"); });
  Exchange x("127.0.0.1", server.port(), "GET", "/");
  ASSERT_TRUE(x.send());
  DWORD index = 0, error = 0;
  x.query(HTTP_QUERY_RAW_HEADERS_CRLF, &error, &index);
  EXPECT_EQ(index, 0u);
  EXPECT_EQ(x.query(HTTP_QUERY_CONTENT_LENGTH, &error, &index), "3");
  EXPECT_EQ(index, 1u);
  EXPECT_EQ(x.query(HTTP_QUERY_CONTENT_LENGTH, &error, &index), "");
  EXPECT_EQ(error, ERROR_HTTP_HEADER_NOT_FOUND);
}

TEST_F(WinInetTest, BareLineFeedsInTheAnswerComeBackAsCrLf) {
  CannedServer server([](const ReceivedRequest&) {
    CannedReply r;
    r.head = "HTTP/1.1 200 OK\nContent-Length: 2\nX-A: b\n\n";
    r.body = std::make_shared<const std::string>("ok");
    return r;
  });
  Exchange x("127.0.0.1", server.port(), "GET", "/");
  ASSERT_TRUE(x.send());
  EXPECT_EQ(x.query(HTTP_QUERY_RAW_HEADERS_CRLF),
            "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nX-A: b\r\n\r\n");
  EXPECT_EQ(x.readAll(), "ok");
}

TEST_F(WinInetTest, TooSmallBufferGivesInsufficientBufferAndTheSizeNeeded) {
  CannedServer server([](const ReceivedRequest&) {
    return reply(200, "", "X-Long: " + std::string(5000, 'v') + "\r\n");
  });
  Exchange x("127.0.0.1", server.port(), "GET", "/");
  ASSERT_TRUE(x.send());
  char buffer[4095];
  DWORD length = sizeof buffer, index = 0;
  EXPECT_FALSE(HttpQueryInfoA(x.request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer, &length, &index));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_GT(length, 5000u);
  std::vector<char> big(length);
  EXPECT_TRUE(HttpQueryInfoA(x.request, HTTP_QUERY_RAW_HEADERS_CRLF, big.data(), &length, &index));
  EXPECT_EQ(big[length], '\0');
}

TEST_F(WinInetTest, ReadHandsOutItsChunkWithoutWaitingForTheRestOfTheBody) {
  HeldBack held;
  CannedServer server([&](const ReceivedRequest&) { return held.reply("first|second", 6); });
  ReleaseOnExit releaseOnExit{held};
  Exchange x("127.0.0.1", server.port(), "GET", "/");
  x.setOption(INTERNET_OPTION_RECEIVE_TIMEOUT, 5000); // a wrong wait fails instead of hanging
  ASSERT_TRUE(x.send());
  char buffer[6];
  DWORD n = 0;
  const bool ok = InternetReadFile(x.request, buffer, sizeof buffer, &n);
  held.release();
  ASSERT_TRUE(ok);
  EXPECT_EQ(std::string(buffer, n), "first|");
  EXPECT_EQ(x.readAll(), "second");
}

HeldBack* restOfBody = nullptr;

// Lets the server send the rest once the read waits for the network.
void releaseWhenWaiting(HINTERNET, DWORD_PTR, DWORD status, void*, DWORD) {
  if (status == INTERNET_STATUS_RECEIVING_RESPONSE && restOfBody) restOfBody->release();
}

TEST_F(WinInetTest, ReadFillsItsChunkFromPiecesThatArriveApart) {
  HeldBack held;
  CannedServer server([&](const ReceivedRequest&) { return held.reply(std::string(3000, 'x'), 100); });
  ReleaseOnExit releaseOnExit{held};
  Exchange x("127.0.0.1", server.port(), "GET", "/");
  x.setOption(INTERNET_OPTION_RECEIVE_TIMEOUT, 5000);
  ASSERT_TRUE(x.send());
  restOfBody = &held;
  InternetSetStatusCallback(x.root, releaseWhenWaiting);
  char buffer[1025];
  DWORD n = 0;
  const bool ok = InternetReadFile(x.request, buffer, sizeof buffer, &n);
  restOfBody = nullptr;
  held.release();
  ASSERT_TRUE(ok);
  EXPECT_EQ(n, 1025u);
  EXPECT_EQ(x.readAll().size(), 3000u - 1025u);
}

TEST_F(WinInetTest, NotificationsComeInOrderWithTheContextOfTheirHandle) {
  CannedServer server([](const ReceivedRequest&) { return reply(200, "body"); });
  {
    Exchange x("127.0.0.1", server.port(), "GET", "/");
    ASSERT_TRUE(x.send());
    x.readAll();
  }
  const std::vector<DWORD> s = statuses();
  ASSERT_GE(s.size(), 10u);
  EXPECT_EQ(std::vector<DWORD>(s.begin(), s.begin() + 10),
            (std::vector<DWORD>{INTERNET_STATUS_HANDLE_CREATED, INTERNET_STATUS_HANDLE_CREATED,
                                INTERNET_STATUS_RESOLVING_NAME, INTERNET_STATUS_NAME_RESOLVED,
                                INTERNET_STATUS_CONNECTING_TO_SERVER,
                                INTERNET_STATUS_CONNECTED_TO_SERVER,
                                INTERNET_STATUS_SENDING_REQUEST, INTERNET_STATUS_REQUEST_SENT,
                                INTERNET_STATUS_RECEIVING_RESPONSE,
                                INTERNET_STATUS_RESPONSE_RECEIVED}));
  const auto& e = events();
  EXPECT_EQ(e[0].context, kConnectContext);
  for (size_t i = 1; i < 10; ++i) EXPECT_EQ(e[i].context, kRequestContext) << i;
  EXPECT_EQ(e[2].text, "127.0.0.1");
  EXPECT_EQ(e[3].text, "127.0.0.1");
  EXPECT_GT(e[7].value, 0u);
  const auto closing = std::find(s.begin(), s.end(), INTERNET_STATUS_CLOSING_CONNECTION);
  ASSERT_NE(closing, s.end());
  EXPECT_EQ(*(closing + 1), INTERNET_STATUS_CONNECTION_CLOSED);
  EXPECT_EQ(std::count(s.begin(), s.end(), INTERNET_STATUS_HANDLE_CLOSING), 2);
  EXPECT_EQ(s.back(), INTERNET_STATUS_HANDLE_CLOSING);
  EXPECT_EQ(e.back().context, kConnectContext);
}

TEST_F(WinInetTest, ClearingTheRootCallbackSilencesTheWholeTree) {
  CannedServer server([](const ReceivedRequest&) { return reply(200, "body"); });
  Exchange x("127.0.0.1", server.port(), "GET", "/");
  EXPECT_EQ(InternetSetStatusCallback(x.root, nullptr), &recordEvent);
  events().clear();
  ASSERT_TRUE(x.send());
  x.readAll();
  EXPECT_TRUE(events().empty());
}

TEST_F(WinInetTest, ConnectionHandleKeepsItsConnectionForTheNextRequest) {
  CannedServer server([](const ReceivedRequest& r) {
    CannedReply c = reply(200, r.requestLine(), "");
    c.head.replace(c.head.find("Connection: close"), 17, "Connection: keep-alive");
    c.then = CannedReply::Then::keepAlive;
    return c;
  });
  HINTERNET root = InternetOpenA("t", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  HINTERNET conn = InternetConnectA(root, "127.0.0.1", server.port(), nullptr, nullptr,
                                    INTERNET_SERVICE_HTTP, 0, 0);
  for (const char* path : {"/one", "/two"}) {
    HINTERNET req = HttpOpenRequestA(conn, "GET", path, nullptr, nullptr, nullptr, 0, 0);
    ASSERT_TRUE(HttpSendRequestA(req, nullptr, 0, nullptr, 0));
    char buffer[100];
    DWORD n = 0;
    ASSERT_TRUE(InternetReadFile(req, buffer, sizeof buffer, &n));
    EXPECT_EQ(std::string(buffer, n), std::string("GET ") + path + " HTTP/1.1");
    InternetCloseHandle(req);
  }
  InternetCloseHandle(conn);
  InternetCloseHandle(root);
  EXPECT_EQ(server.connections(), 1);
}

TEST_F(WinInetTest, RedirectIsFollowedAndAnnounced) {
  CannedServer server([](const ReceivedRequest& r) {
    if (r.requestLine() == "GET /old HTTP/1.1")
      return reply(302, "moved", "Location: /new\r\n");
    return reply(200, "new place");
  });
  Exchange x("127.0.0.1", server.port(), "GET", "/old");
  ASSERT_TRUE(x.send());
  EXPECT_THAT(x.query(HTTP_QUERY_RAW_HEADERS_CRLF), StartsWith("HTTP/1.1 200 Canned\r\n"));
  EXPECT_EQ(x.readAll(), "new place");
  auto redirect = std::find_if(events().begin(), events().end(),
                               [](const Event& e) { return e.status == INTERNET_STATUS_REDIRECT; });
  ASSERT_NE(redirect, events().end());
  EXPECT_EQ(redirect->text, server.origin() + "/new");
}

// A 307 or 308 sends the body again: to its own origin it is followed, to
// another one it needs the user's confirmation and nothing goes there.
TEST_F(WinInetTest, BodyIsSentOnAfterA307OnlyToTheSameOrigin) {
  CannedServer elsewhere([](const ReceivedRequest&) { return reply(200, "elsewhere"); });
  struct Case {
    int status;
    bool sameOrigin;
  } cases[] = {{307, true}, {307, false}, {308, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.status) + (c.sameOrigin ? " same origin" : " other origin"));
    const std::string target = (c.sameOrigin ? std::string() : elsewhere.origin()) + "/new";
    CannedServer server([&](const ReceivedRequest& r) {
      if (r.requestLine() == "POST /old HTTP/1.1")
        return reply(c.status, "moved", "Location: " + target + "\r\n");
      return reply(200, "new place");
    });
    const size_t before = elsewhere.requests().size();
    Exchange x("127.0.0.1", server.port(), "POST", "/old");
    if (c.sameOrigin) {
      ASSERT_TRUE(x.send("", "password=secret"));
      EXPECT_EQ(x.readAll(), "new place");
      ASSERT_EQ(server.requests().size(), 2u);
      EXPECT_EQ(server.requests()[1].body, "password=secret");
    } else {
      EXPECT_FALSE(x.send("", "password=secret"));
      EXPECT_EQ(GetLastError(), ERROR_HTTP_REDIRECT_NEEDS_CONFIRMATION);
      EXPECT_EQ(elsewhere.requests().size(), before);
    }
  }
}

// Tells, once, that a read began to wait for the network.
std::atomic<std::promise<void>*> readWaiting{nullptr};
void signalReadWaiting(HINTERNET, DWORD_PTR, DWORD status, void*, DWORD) {
  if (status != INTERNET_STATUS_RECEIVING_RESPONSE) return;
  if (std::promise<void>* p = readWaiting.exchange(nullptr)) p->set_value();
}

// Closing a request handle while another thread waits in a call on it
// cancels that call, as WinINet does: the way to stop a request in time.
TEST_F(WinInetTest, ClosingTheHandleCancelsTheCallUnderWay) {
  HeldBack held;
  CannedServer server([&](const ReceivedRequest&) { return held.reply("part|rest", 5); });
  ReleaseOnExit releaseOnExit{held};
  for (const bool inRead : {false, true}) {
    SCOPED_TRACE(inRead ? "in a read" : "in the send");
    CannedServer silent([](const ReceivedRequest&) {
      CannedReply r;
      r.silent = true;
      return r;
    });
    Exchange x("127.0.0.1", inRead ? server.port() : silent.port(), "GET", "/");
    std::promise<DWORD> failed;
    std::thread caller;
    if (inRead) {
      ASSERT_TRUE(x.send());
      char buffer[64];
      DWORD n = 0;
      ASSERT_TRUE(InternetReadFile(x.request, buffer, 5, &n));
      std::promise<void> waiting;
      readWaiting = &waiting;
      InternetSetStatusCallback(x.request, &signalReadWaiting);
      caller = std::thread([&] {
        DWORD got = 0;
        const bool ok = InternetReadFile(x.request, buffer, sizeof buffer, &got);
        failed.set_value(ok ? 0 : GetLastError());
      });
      waiting.get_future().wait();
    } else {
      caller = std::thread([&] { failed.set_value(HttpSendRequestA(x.request, nullptr, 0, nullptr, 0) ? 0 : GetLastError()); });
      silent.waitForRequests(1);
    }
    EXPECT_TRUE(InternetCloseHandle(x.request));
    caller.join();
    EXPECT_EQ(failed.get_future().get(), ERROR_INTERNET_OPERATION_CANCELLED);
    x.request = nullptr;
  }
}

// ---- failures ----

TEST_F(WinInetTest, RefusedConnectionFailsWithCannotConnect) {
  IdlePort refusing(IdlePort::refusing);
  Exchange x("127.0.0.1", refusing.port(), "GET", "/");
  EXPECT_FALSE(x.send());
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_CANNOT_CONNECT);
}

TEST_F(WinInetTest, ServerThatNeverAnswersTimesOutAfterTheReceiveTimeOut) {
  CannedServer server([](const ReceivedRequest&) {
    CannedReply r;
    r.silent = true;
    return r;
  });
  Exchange x("127.0.0.1", server.port(), "GET", "/");
  x.setOption(INTERNET_OPTION_RECEIVE_TIMEOUT, 300);
  EXPECT_FALSE(x.send());
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_TIMEOUT);
}

TEST_F(WinInetTest, BodyThatStopsComingTimesOutInTheRead) {
  HeldBack held;
  CannedServer server([&](const ReceivedRequest&) { return held.reply("part|rest", 5); });
  ReleaseOnExit releaseOnExit{held};
  Exchange x("127.0.0.1", server.port(), "GET", "/");
  x.setOption(INTERNET_OPTION_RECEIVE_TIMEOUT, 300);
  ASSERT_TRUE(x.send());
  DWORD error = 0;
  const std::string got = x.readAll(1025, &error);
  held.release();
  EXPECT_EQ(got, "part|");
  EXPECT_EQ(error, ERROR_INTERNET_TIMEOUT);
}

TEST_F(WinInetTest, ServerThatNeverReadsTimesOutAfterTheSendTimeOut) {
  IdlePort silent(IdlePort::silent);
  Exchange x("127.0.0.1", silent.port(), "POST", "/");
  x.setOption(INTERNET_OPTION_SEND_TIMEOUT, 300);
  EXPECT_FALSE(x.send("", std::string(64 << 20, 'x')));
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_TIMEOUT);
}

struct BrokenAnswer {
  const char* name;
  CannedReply (*make)();
  bool sendSucceeds;
  std::string bodyRead;
  DWORD error;
};

class BrokenAnswerTest : public WinInetTest, public ::testing::WithParamInterface<BrokenAnswer> {};

TEST_P(BrokenAnswerTest, FailsWithTheCodeAWindowsBuildWouldSee) {
  const BrokenAnswer& c = GetParam();
  CannedServer server([&](const ReceivedRequest&) { return c.make(); });
  Exchange x("127.0.0.1", server.port(), "GET", "/");
  ASSERT_EQ(x.send(), c.sendSucceeds);
  if (!c.sendSucceeds) {
    EXPECT_EQ(GetLastError(), c.error);
    return;
  }
  DWORD error = 0;
  EXPECT_EQ(x.readAll(1025, &error), c.bodyRead);
  EXPECT_EQ(error, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, BrokenAnswerTest,
    ::testing::Values(
        BrokenAnswer{"closedMidBody",
                     [] {
                       CannedReply r = reply(200, std::string(5000, 'b'));
                       r.sendLimit = r.head.size() + 2000;
                       return r;
                     },
                     true, std::string(2000, 'b'), ERROR_INTERNET_CONNECTION_ABORTED},
        BrokenAnswer{"resetMidBody",
                     [] {
                       CannedReply r = reply(200, std::string(5000, 'b'));
                       r.sendLimit = r.head.size() + 2000;
                       r.then = CannedReply::Then::reset;
                       return r;
                     },
                     true, std::string(2000, 'b'), ERROR_INTERNET_CONNECTION_RESET},
        BrokenAnswer{"garbage",
                     [] {
                       CannedReply r;
                       r.head = "SPLAT\r\n\r\n";
                       return r;
                     },
                     false, "", ERROR_HTTP_INVALID_SERVER_RESPONSE},
        BrokenAnswer{"nothing",
                     [] {
                       CannedReply r = reply(200, "");
                       r.sendLimit = 0;
                       return r;
                     },
                     false, "", ERROR_HTTP_INVALID_SERVER_RESPONSE}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- proxy configuration ----

class ScopedEnv {
public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }

private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST_F(WinInetTest, PreconfigUsesTheProxyEnvironmentVariables) {
  CannedServer proxy([](const ReceivedRequest&) { return reply(200, "via proxy"); });
  ScopedEnv env("http_proxy", proxy.origin());
  ScopedEnv noProxy("no_proxy", "");
  Exchange x("gateway.example", 80, "GET", "/x", 0, INTERNET_OPEN_TYPE_PRECONFIG);
  ASSERT_TRUE(x.send());
  EXPECT_EQ(x.readAll(), "via proxy");
  EXPECT_THAT(proxy.requests().at(0).requestLine(), StartsWith("GET http://gateway.example"));
}

TEST_F(WinInetTest, DirectIgnoresTheProxyEnvironmentVariables) {
  CannedServer proxy([](const ReceivedRequest&) { return reply(200, "via proxy"); });
  CannedServer server([](const ReceivedRequest&) { return reply(200, "direct"); });
  ScopedEnv env("http_proxy", proxy.origin());
  ScopedEnv noProxy("no_proxy", "");
  Exchange x("127.0.0.1", server.port(), "GET", "/", 0, INTERNET_OPEN_TYPE_DIRECT);
  ASSERT_TRUE(x.send());
  EXPECT_EQ(x.readAll(), "direct");
  EXPECT_TRUE(proxy.requests().empty());
}

// ---- handles, options, dialog ----

TEST_F(WinInetTest, CallsOnUnknownOrWrongHandlesFail) {
  char buffer[10];
  DWORD n = 0;
  EXPECT_FALSE(InternetReadFile(reinterpret_cast<HINTERNET>(0x7777777), buffer, 10, &n));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(InternetCloseHandle(reinterpret_cast<HINTERNET>(0x7777777)));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  HINTERNET root = InternetOpenA("t", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  EXPECT_FALSE(HttpSendRequestA(root, nullptr, 0, nullptr, 0));
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  EXPECT_EQ(InternetConnectA(root, "", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_INVALID_URL);
  HINTERNET conn = InternetConnectA(root, "127.0.0.1", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET req = HttpOpenRequestA(conn, "GET", "/", nullptr, nullptr, nullptr, 0, 0);
  EXPECT_FALSE(InternetReadFile(req, buffer, 10, &n));
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  EXPECT_TRUE(InternetCloseHandle(req));
  EXPECT_FALSE(InternetCloseHandle(req));
  EXPECT_TRUE(InternetCloseHandle(conn));
  EXPECT_TRUE(InternetCloseHandle(root));
  EXPECT_EQ(InternetOpenA("t", 0, nullptr, nullptr, INTERNET_FLAG_ASYNC), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(WinInetTest, OptionsCheckTheirNumberLengthAndHandle) {
  Exchange x("127.0.0.1", 1, "GET", "/");
  const DWORD value = 1000;
  const uint64_t wide = 0;
  const DWORD certificate = 1;
  EXPECT_TRUE(InternetSetOptionA(x.root, INTERNET_OPTION_RECEIVE_TIMEOUT, &value, 4));
  EXPECT_FALSE(InternetSetOptionA(x.request, INTERNET_OPTION_SEND_TIMEOUT, &wide, 8));
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_BAD_OPTION_LENGTH);
  EXPECT_FALSE(InternetSetOptionA(x.request, 999, &value, 4));
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_INVALID_OPTION);
  EXPECT_FALSE(InternetSetOptionA(x.root, INTERNET_OPTION_SECURITY_FLAGS, &value, 4));
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  EXPECT_FALSE(InternetSetOptionA(x.request, INTERNET_OPTION_SECURITY_SELECT_CLIENT_CERT, &certificate, 4));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(InternetSetOptionA(x.request, INTERNET_OPTION_SECURITY_SELECT_CLIENT_CERT, &wide, 4));
}

TEST_F(WinInetTest, ErrorDialogWithoutAHandlerAnswersCancelled) {
  EXPECT_EQ(InternetErrorDlg(GetDesktopWindow(), nullptr, ERROR_INTERNET_INVALID_CA, 7, nullptr),
            ERROR_CANCELLED);
}

TEST_F(WinInetTest, ErrorDialogRunsTheRegisteredHandler) {
  DWORD shownFor = 0, shownFlags = 0;
  setErrorDialogHandler([&](HWND, HINTERNET, DWORD error, DWORD flags) {
    shownFor = error;
    shownFlags = flags;
    return ERROR_INTERNET_FORCE_RETRY;
  });
  EXPECT_EQ(InternetErrorDlg(nullptr, nullptr, ERROR_INTERNET_TIMEOUT, 7, nullptr),
            ERROR_INTERNET_FORCE_RETRY);
  setErrorDialogHandler(nullptr);
  EXPECT_EQ(shownFor, ERROR_INTERNET_TIMEOUT);
  EXPECT_EQ(shownFlags, 7u);
}

TEST_F(WinInetTest, ThreadsRunTheirOwnRequestsSideBySide) {
  CannedServer server([](const ReceivedRequest& r) { return reply(200, r.requestLine()); });
  auto fetch = [&](const std::string& path, std::string& out, DWORD& lastError) {
    Exchange x("127.0.0.1", server.port(), "GET", path.c_str());
    if (x.send()) out = x.readAll();
    lastError = GetLastError();
  };
  std::string a, b;
  DWORD ea = 1, eb = 1;
  std::thread t1([&] { for (int i = 0; i < 5; ++i) fetch("/a", a, ea); });
  std::thread t2([&] { for (int i = 0; i < 5; ++i) fetch("/b", b, eb); });
  t1.join();
  t2.join();
  EXPECT_EQ(a, "GET /a HTTP/1.1");
  EXPECT_EQ(b, "GET /b HTTP/1.1");
  EXPECT_EQ(ea, 0u);
  EXPECT_EQ(eb, 0u);
}

} // namespace
} // namespace quorvel::testing
