// TkaHTTPClient driven through a scripted WinINet table: calls, report lines and every failure trace.
#include "http/unHTTPClient.h"
#include "util/unStrings.h"
#include "wininet/wininet_script.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quorvel {
namespace {

using namespace wininet;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

std::string okHeaders(size_t length) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
}

class ScriptedClientTest : public ::testing::Test {
protected:
  ScriptedClientTest() {
    client.onReport = [this](const std::string& line) { lines.push_back(line); };
  }
  void serve(const std::string& body) {
    net.body = body;
    net.responseHeaders = okHeaders(body.size());
  }
  /// The lines after "Connecting to ..." (the first two are always the same).
  std::vector<std::string> linesAfterConnecting() const {
    return lines.size() > 2 ? std::vector<std::string>(lines.begin() + 2, lines.end())
                            : std::vector<std::string>{};
  }

  ScriptedInternet net;
  TkaHTTPClient client;
  std::vector<std::string> lines;
};

TEST_F(ScriptedClientTest, CreateSetsTheDefaults) {
  TkaHTTPClient c;
  EXPECT_EQ(c.NetHandle, nullptr);
  EXPECT_EQ(c.hConnect, nullptr);
  EXPECT_FALSE(c.lastok);
  EXPECT_EQ(c.downloadTimeOut, 15);
  EXPECT_FALSE(c.onReport);
  EXPECT_FALSE(c.onDownloadError);
  EXPECT_FALSE(c.reportwininet);
  EXPECT_TRUE(c.popforcert);
  EXPECT_TRUE(c.acceptinvalidca);
  EXPECT_TRUE(c.acceptinvalidcacn);
  EXPECT_TRUE(c.acceptinvalidcadate);
  EXPECT_FALSE(c.reuseConnection);
  EXPECT_EQ(c.contentType, "");
  EXPECT_EQ(c.useragent, "Kavri HTTP Client");
  EXPECT_EQ(c.httpcommand, "POST");
  EXPECT_EQ(c.errormessage, "");
  EXPECT_EQ(c.infomessage, "");
  EXPECT_EQ(c.errorcode, 0);
  EXPECT_THAT(c.headers, IsEmpty());
  EXPECT_FALSE(c.useClientCert);
  EXPECT_EQ(c.ARequestStream->view(), "");
}

TEST_F(ScriptedClientTest, PostMakesTheCallsInOrderWithTheirArguments) {
  serve("hello");
  net.requestHeaders = "POST /api?x=1 HTTP/1.1\r\nHost: gw.example:8080\r\n\r\n";
  EXPECT_EQ(client.postData("http://gw.example:8080/api?x=1", "a=1&b=2"), "hello");
  EXPECT_THAT(net.calls,
              ElementsAre("InternetOpenA agent=Kavri HTTP Client access=0 proxy=<none> bypass=<none> flags=0x0",
                          "InternetSetStatusCallback root#1 set",
                          "InternetConnectA root#1 server=gw.example port=8080 user=<none> password=<none> service=3 flags=0x0",
                          "HttpOpenRequestA connect#1 verb=POST object=/api?x=1 version=<none> referrer=<none> accept=*/*,text/xml flags=0x80403000",
                          "InternetSetOptionA request#1 option=6 value=15000 length=4",
                          "InternetSetOptionA request#1 option=5 value=15000 length=4",
                          "HttpSendRequestA request#1 headers=Content-Type: application/x-www-form-urlencoded\r\n body=a=1&b=2",
                          "HttpQueryInfoA request#1 level=0x80000016 length=4095 index=0",
                          "HttpQueryInfoA request#1 level=0x16 length=4095 index=0",
                          "HttpQueryInfoA request#1 level=0x5 length=4095 index=0",
                          "InternetReadFile request#1 1025",
                          "InternetCloseHandle request#1",
                          "InternetCloseHandle connect#1",
                          "InternetSetStatusCallback root#1 cleared",
                          "InternetCloseHandle root#1"));
  EXPECT_THAT(lines, ElementsAre("Initializing wininet", "Connecting to gw.example on port 8080",
                                 "Opened: http://gw.example:8080/api?x=1", "Request headers read",
                                 "Response headers read", "Content-Length: 5"));
  EXPECT_EQ(client.infomessage, "Content-Length: 5");
  EXPECT_EQ(client.errormessage, "");
  EXPECT_EQ(client.errorcode, 0);
  EXPECT_TRUE(client.lastok);
  EXPECT_EQ(net.connectContext, reinterpret_cast<DWORD_PTR>(&client));
  EXPECT_EQ(net.requestContext, reinterpret_cast<DWORD_PTR>(&client));
  EXPECT_THAT(client.ARequestHeaders, ElementsAre("POST /api?x=1 HTTP/1.1", "Host: gw.example:8080", ""));
  EXPECT_THAT(client.AResponseHeaders, ElementsAre("HTTP/1.1 200 OK", "Content-Length: 5", ""));
  EXPECT_EQ(net.openHandles(), 0);
  EXPECT_EQ(client.NetHandle, nullptr);
  EXPECT_EQ(client.hConnect, nullptr);
}

TEST_F(ScriptedClientTest, HttpsSetsTheSecureFlagAndTheSecurityOption) {
  serve("");
  client.getData("https://gw.example/x");
  EXPECT_THAT(net.callsOf("InternetConnectA"), ElementsAre(StartsWith("InternetConnectA root#1 server=gw.example port=443 ")));
  EXPECT_THAT(net.callsOf("HttpOpenRequestA"), ElementsAre("HttpOpenRequestA connect#1 verb=GET object=/x version=<none> referrer=<none> accept=*/*,text/xml flags=0x80c03000"));
  EXPECT_THAT(net.callsOf("InternetSetOptionA"),
              ElementsAre("InternetSetOptionA request#1 option=6 value=15000 length=4",
                          "InternetSetOptionA request#1 option=5 value=15000 length=4",
                          "InternetSetOptionA request#1 option=31 value=0x803100 length=4"));
  EXPECT_THAT(net.callsOf("HttpSendRequestA"), ElementsAre("HttpSendRequestA request#1 headers=<none> body=<none>"));
}

struct SecurityCase {
  bool ca, cn, date;
  const char* requestFlags;
  const char* securityOption; // nullptr: not set
};

class SecurityFlagsTest : public ScriptedClientTest, public ::testing::WithParamInterface<SecurityCase> {};

TEST_P(SecurityFlagsTest, AcceptanceFieldsBecomeRequestFlagsAndTheSecurityOption) {
  const SecurityCase& c = GetParam();
  client.acceptinvalidca = c.ca;
  client.acceptinvalidcacn = c.cn;
  client.acceptinvalidcadate = c.date;
  serve("");
  client.getData("https://h/");
  EXPECT_THAT(net.callsOf("HttpOpenRequestA").at(0), ::testing::EndsWith(std::string("flags=") + c.requestFlags));
  const auto options = net.callsOf("InternetSetOptionA request#1 option=31");
  if (c.securityOption)
    EXPECT_THAT(options, ElementsAre(std::string("InternetSetOptionA request#1 option=31 value=") + c.securityOption + " length=4"));
  else
    EXPECT_THAT(options, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Flags, SecurityFlagsTest,
                         ::testing::Values(SecurityCase{true, true, true, "0x80c03000", "0x803100"},
                                           SecurityCase{false, false, false, "0x80c00000", nullptr},
                                           SecurityCase{true, false, false, "0x80c00000", "0x800100"},
                                           SecurityCase{false, true, false, "0x80c01000", "0x801000"},
                                           SecurityCase{false, false, true, "0x80c02000", "0x802000"}));

TEST_F(ScriptedClientTest, PlainHttpGetsTheAcceptanceFlagsButNoSecurityOption) {
  serve("");
  client.getData("http://h/");
  EXPECT_THAT(net.callsOf("HttpOpenRequestA").at(0), ::testing::EndsWith("flags=0x80403000"));
  EXPECT_THAT(net.callsOf("InternetSetOptionA request#1 option=31"), IsEmpty());
}

TEST_F(ScriptedClientTest, TheSchemeAloneDecidesWhetherTheRequestIsSecure) {
  serve("");
  client.getData("HTTPS://h/x");
  EXPECT_THAT(net.callsOf("InternetConnectA").at(0), ::testing::HasSubstr(" port=443 "));
  EXPECT_THAT(net.callsOf("HttpOpenRequestA").at(0), ::testing::EndsWith("flags=0x80c03000"));
  net.calls.clear();
  client.getData("http://h/x?back=https://elsewhere/");
  EXPECT_THAT(net.callsOf("InternetConnectA").at(0), ::testing::HasSubstr(" port=80 "));
  EXPECT_THAT(net.callsOf("HttpOpenRequestA").at(0), ::testing::EndsWith("flags=0x80403000"));
}

TEST_F(ScriptedClientTest, CredentialsRefererAndEmptyAgentAreHandedOn) {
  serve("");
  client.username = "user";
  client.password = "secret";
  client.referer = "http://from/";
  client.useragent = "";
  client.getData("http://h/");
  EXPECT_THAT(net.callsOf("InternetOpenA").at(0),
              StartsWith("InternetOpenA agent=Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1) access=0"));
  EXPECT_THAT(net.callsOf("InternetConnectA").at(0), ::testing::HasSubstr(" user=user password=secret "));
  EXPECT_THAT(net.callsOf("HttpOpenRequestA").at(0), ::testing::HasSubstr(" referrer=http://from/ "));
}

TEST_F(ScriptedClientTest, TimeOutsAreSetOnlyWhileNoRequestWasSent) {
  serve("");
  client.downloadTimeOut = 1;
  client.getData("http://h/");
  EXPECT_THAT(net.callsOf("InternetSetOptionA"),
              ElementsAre("InternetSetOptionA request#1 option=6 value=1000 length=4",
                          "InternetSetOptionA request#1 option=5 value=1000 length=4"));
  net.calls.clear();
  client.getData("http://h/");
  EXPECT_THAT(net.callsOf("InternetSetOptionA"), IsEmpty());
}

TEST_F(ScriptedClientTest, PostLeavesItsContentTypeLineInHeaders) {
  serve("");
  client.postData("http://h/", "a=1");
  client.contentType = "text/xml";
  client.postData("http://h/", "<x/>");
  client.getData("http://h/");
  EXPECT_THAT(client.headers, ElementsAre("Content-Type: application/x-www-form-urlencoded",
                                          "Content-Type: text/xml"));
  const auto sends = net.callsOf("HttpSendRequestA");
  ASSERT_EQ(sends.size(), 3u);
  EXPECT_EQ(sends[1], "HttpSendRequestA request#2 headers=Content-Type: application/x-www-form-urlencoded\r\n"
                      "Content-Type: text/xml\r\n body=<x/>");
  EXPECT_EQ(sends[2], "HttpSendRequestA request#3 headers=Content-Type: application/x-www-form-urlencoded\r\n"
                      "Content-Type: text/xml\r\n body=<none>");
  EXPECT_THAT(net.callsOf("HttpOpenRequestA").at(2), ::testing::HasSubstr(" verb=GET "));
}

TEST_F(ScriptedClientTest, PostDataStreamSendsTheWholeCallerStreamAndPutsItsOwnBack) {
  serve("ok");
  std::stringstream mine("body from caller");
  mine.seekg(5);
  client.ARequestStream->write("left alone", 10);
  std::stringstream* own = client.ARequestStream;
  EXPECT_EQ(client.postDataStream("http://h/", mine), "ok");
  EXPECT_THAT(net.callsOf("HttpSendRequestA").at(0), ::testing::EndsWith(" body=body from caller"));
  EXPECT_EQ(client.ARequestStream, own);
  EXPECT_EQ(own->view(), "left alone");
}

TEST_F(ScriptedClientTest, PostDataStreamPutsItsOwnStreamBackWhenTheRequestRaises) {
  std::stringstream mine("x");
  std::stringstream* own = client.ARequestStream;
  EXPECT_THROW(client.postDataStream("http://h:port/", mine), EConvertError);
  EXPECT_EQ(client.ARequestStream, own);
}

// ---- reading ----

struct LengthCase {
  size_t size;
  size_t reads;                    // InternetReadFile calls
  std::vector<std::string> lines;  // "Downloaded" lines
};

class KnownLengthTest : public ScriptedClientTest, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(KnownLengthTest, ReadsInChunksOf1025AndReportsEvery101) {
  const LengthCase& c = GetParam();
  std::string body(c.size, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7);
  serve(body);
  EXPECT_EQ(client.getData("http://h/"), body);
  EXPECT_EQ(net.callsOf("InternetReadFile").size(), c.reads);
  std::vector<std::string> downloaded;
  for (const auto& l : lines)
    if (l.rfind("Downloaded ", 0) == 0) downloaded.push_back(l);
  EXPECT_EQ(downloaded, c.lines);
  EXPECT_EQ(client.errormessage, "");
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, KnownLengthTest,
    ::testing::Values(LengthCase{0, 1, {}}, LengthCase{1024, 1, {}}, LengthCase{1025, 2, {}},
                      LengthCase{2050, 3, {}},
                      LengthCase{101 * 1025, 102, {"Downloaded 103525 bytes (100%)"}},
                      // 62.5 % rounds to the even neighbour
                      LengthCase{165640, 162, {"Downloaded 103525 bytes (62%)"}},
                      LengthCase{202 * 1025, 203,
                                 {"Downloaded 103525 bytes (50%)", "Downloaded 207050 bytes (100%)"}}));

TEST_F(ScriptedClientTest, MissingContentLengthReadsToTheEndAndLeavesTheQueryError) {
  net.responseHeaders = "HTTP/1.1 200 OK\r\n\r\n";
  net.body = std::string(101 * 1025, 'z');
  EXPECT_EQ(client.getData("http://h/"), net.body);
  EXPECT_EQ(client.errormessage, "ERROR_HTTP_HEADER_NOT_FOUND");
  EXPECT_EQ(client.errorcode, 12150);
  EXPECT_THAT(lines, Not(Contains(StartsWith("Content-Length"))));
  // 101 full reads and the empty last one: the counter passes 100 once.
  EXPECT_THAT(lines, Contains("Downloaded 103525 bytes"));
  EXPECT_EQ(net.callsOf("InternetReadFile").size(), 102u);
}

TEST_F(ScriptedClientTest, OpenEndedReadFailureEndsTheLoopWithItsName) {
  net.responseHeaders = "HTTP/1.1 200 OK\r\n\r\n";
  net.reads = {{"part", 0}, {"", ERROR_INTERNET_CONNECTION_ABORTED}, {"never", 0}};
  EXPECT_EQ(client.getData("http://h/"), "part");
  EXPECT_EQ(client.errormessage, "ERROR_INTERNET_CONNECTION_ABORTED");
  EXPECT_EQ(client.errorcode, 12150);
}

TEST_F(ScriptedClientTest, OpenEndedReadFailureWithoutANameStillLeavesAText) {
  net.responseHeaders = "HTTP/1.1 200 OK\r\n\r\n";
  net.reads = {{"part", 0}, {"", 12057}};
  EXPECT_EQ(client.getData("http://h/"), "part");
  EXPECT_EQ(client.errormessage, "Error 12057");
}

TEST_F(ScriptedClientTest, PendingReadWaitsAndGoesOn) {
  net.responseHeaders = "HTTP/1.1 200 OK\r\n\r\n";
  net.reads = {{"abc", 0}, {"", ERROR_IO_PENDING}, {"def", 0}};
  EXPECT_EQ(client.getData("http://h/"), "abcdef");
  EXPECT_EQ(client.errormessage, ""); // the name of 997, which has none
  EXPECT_EQ(client.errorcode, 12150);
}

TEST_F(ScriptedClientTest, KnownLengthReadFailureKeepsWhatWasReadAndSaysSo) {
  net.responseHeaders = okHeaders(5000);
  net.reads = {{std::string(1025, 'a'), 0}, {"", ERROR_INTERNET_CONNECTION_ABORTED}};
  EXPECT_EQ(client.getData("http://h/"), std::string(1025, 'a'));
  EXPECT_EQ(client.errormessage, "ERROR_INTERNET_CONNECTION_ABORTED");
  EXPECT_EQ(client.errorcode, 12030);
}

struct HeaderFailure {
  DWORD level;
  DWORD error;
  const char* line;
  const char* message;
};

class HeaderFailureTest : public ScriptedClientTest, public ::testing::WithParamInterface<HeaderFailure> {};

TEST_P(HeaderFailureTest, IsReportedAndTheBodyIsStillRead) {
  const HeaderFailure& c = GetParam();
  serve("body");
  net.queryErrors[c.level] = c.error;
  EXPECT_EQ(client.getData("http://h/"), "body");
  EXPECT_THAT(lines, Contains(c.line));
  EXPECT_EQ(client.errormessage, c.message);
  EXPECT_EQ(client.errorcode, static_cast<int32_t>(c.error));
  EXPECT_THAT(lines, Contains("Content-Length: 4"));
}

INSTANTIATE_TEST_SUITE_P(
    Queries, HeaderFailureTest,
    ::testing::Values(
        HeaderFailure{0x80000016, ERROR_INSUFFICIENT_BUFFER, "Headers could not be read. Error = 122 ()", ""},
        HeaderFailure{0x16, ERROR_INSUFFICIENT_BUFFER, "Headers could not be read. Error = 122 ()", ""},
        HeaderFailure{0x16, ERROR_INTERNET_INCORRECT_HANDLE_STATE,
                      "Headers could not be read. Error = 12019 (ERROR_INTERNET_INCORRECT_HANDLE_STATE)",
                      "ERROR_INTERNET_INCORRECT_HANDLE_STATE"}));

TEST_F(ScriptedClientTest, AnHttpErrorPageIsTheResult) {
  net.responseHeaders = "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 4\r\n\r\n";
  net.body = "oops";
  EXPECT_EQ(client.getData("http://h/"), "oops");
  EXPECT_EQ(client.errormessage, "");
  EXPECT_EQ(client.errorcode, 0);
}

// ---- conversion errors ----

TEST_F(ScriptedClientTest, PortThatIsNoNumberRaisesAndClosesTheRootHandle) {
  for (const char* url : {"http://h:abc/", "http://h:/x", "http://h:70000/"}) {
    net.calls.clear();
    EXPECT_THROW(client.getData(url), EConvertError) << url;
    EXPECT_THAT(net.callsOf("InternetConnectA"), IsEmpty());
    EXPECT_THAT(net.calls, Contains(StartsWith("InternetCloseHandle root#")));
    EXPECT_EQ(net.openHandles(), 0);
    EXPECT_EQ(client.NetHandle, nullptr);
  }
}

TEST_F(ScriptedClientTest, ContentLengthThatIsNoNumberRaisesAndClosesEveryHandle) {
  net.responseHeaders = "HTTP/1.1 200 OK\r\nContent-Length: 12x\r\n\r\n";
  EXPECT_THROW(client.getData("http://h/"), EConvertError);
  EXPECT_THAT(lines, Contains("Content-Length: 12x"));
  EXPECT_EQ(net.openHandles(), 0);
  EXPECT_EQ(client.hConnect, nullptr);
  EXPECT_EQ(client.NetHandle, nullptr);
}

// ---- handles that cannot be opened ----

TEST_F(ScriptedClientTest, RootHandleFailureReturnsAtOnceWithAText) {
  net.openError = 12001; // out of handles
  EXPECT_EQ(client.postData("http://h/", "x"), "");
  EXPECT_THAT(lines, ElementsAre("Initializing wininet", "Could not initialize wininet"));
  EXPECT_THAT(net.calls, ElementsAre(StartsWith("InternetOpenA "), "InternetSetStatusCallback <nil> set"));
  EXPECT_EQ(client.errormessage, "ERROR_INTERNET_OUT_OF_HANDLES");
  EXPECT_EQ(client.errorcode, 12001);
}

TEST_F(ScriptedClientTest, RootHandleFailureWithANamelessCodeNamesTheCode) {
  net.openError = ERROR_NOT_ENOUGH_MEMORY;
  client.getData("http://h/");
  EXPECT_EQ(client.errormessage, "Error 8");
  EXPECT_EQ(client.errorcode, 8);
}

TEST_F(ScriptedClientTest, ConnectionHandleFailureClosesTheRootAndLeavesAText) {
  net.connectError = ERROR_INTERNET_INVALID_URL;
  EXPECT_EQ(client.getData("http://h:81/"), "");
  EXPECT_THAT(linesAfterConnecting(), ElementsAre("Could open connection handle to h on port 81"));
  EXPECT_EQ(lines.at(1), "Connecting to h on port 81");
  EXPECT_EQ(client.errormessage, "ERROR_INTERNET_INVALID_URL");
  EXPECT_EQ(client.errorcode, 12005);
  EXPECT_THAT(net.calls, Contains("InternetCloseHandle root#1"));
  EXPECT_EQ(net.openHandles(), 0);
}

TEST_F(ScriptedClientTest, ConnectionHandleFailureKeepsTheRootWhenReused) {
  net.connectError = 12057;
  client.reuseConnection = true;
  client.getData("http://h/");
  EXPECT_EQ(client.errormessage, "Error 12057");
  EXPECT_THAT(net.calls, Not(Contains("InternetCloseHandle root#1")));
  EXPECT_NE(client.NetHandle, nullptr);
}

TEST_F(ScriptedClientTest, RequestHandleFailureReportsAndCallsOnDownloadError) {
  net.openRequestError = ERROR_INTERNET_INTERNAL_ERROR;
  client.reuseConnection = true;
  int seenCode = 0;
  std::string seenText;
  client.onDownloadError = [&](int32_t code, const std::string& text) {
    seenCode = code;
    seenText = text;
  };
  EXPECT_EQ(client.getData("http://h/"), "");
  EXPECT_EQ(lines.back(), "Download error: 1 (Kavri error: could not connect to the server)");
  EXPECT_EQ(client.errormessage, "Kavri error: could not connect to the server");
  EXPECT_EQ(client.errorcode, 0);
  EXPECT_EQ(seenCode, 1);
  EXPECT_EQ(seenText, client.errormessage);
  EXPECT_FALSE(client.reuseConnection);
  EXPECT_EQ(net.openHandles(), 0);
}

// ---- send failures ----

struct SendCase {
  const char* name;
  bool popforcert;
  bool secure;
  std::vector<DWORD> sendErrors;
  std::vector<DWORD> dialogResults;
  std::vector<DWORD> dialogsShown;
  size_t sends;
  std::vector<std::string> errorLines; // "Download error" lines, in order
  std::string message;
  int32_t code;
  bool reuseAfter; // reuseConnection afterwards (it starts true)
  std::string result;
};

class SendFailureTest : public ScriptedClientTest, public ::testing::WithParamInterface<SendCase> {};

TEST_P(SendFailureTest, LeavesTheTraceOfItsRow) {
  const SendCase& c = GetParam();
  serve("body");
  net.sendErrors = c.sendErrors;
  net.dialogResults = c.dialogResults;
  client.popforcert = c.popforcert;
  client.reuseConnection = true;
  EXPECT_EQ(client.getData(c.secure ? "https://h/" : "http://h/"), c.result);
  EXPECT_EQ(net.dialogErrors, c.dialogsShown);
  EXPECT_EQ(net.callsOf("HttpSendRequestA").size(), c.sends);
  std::vector<std::string> errorLines;
  for (const auto& l : lines)
    if (l.rfind("Download error", 0) == 0) errorLines.push_back(l);
  EXPECT_EQ(errorLines, c.errorLines);
  EXPECT_EQ(client.errormessage, c.message);
  EXPECT_EQ(client.errorcode, c.code);
  EXPECT_EQ(client.reuseConnection, c.reuseAfter);
  EXPECT_EQ(client.lastok, c.result == "body");
  for (const auto& d : net.callsOf("InternetErrorDlg"))
    EXPECT_THAT(d, ::testing::EndsWith(" flags=7 data=given"));
}

const char* const kCn = "Download error: 12038 (ERROR_INTERNET_SEC_CERT_CN_INVALID)";
const char* const kCert = "Download error: 12044 (ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED)";
const char* const kRefused = "Download error: 12029 (Cannot connect to host)";
const char* const kTimeout = "Download error: 12002 (ERROR_INTERNET_TIMEOUT)";
const char* const kRevoked = "Download error: 12057 ()";

INSTANTIATE_TEST_SUITE_P(
    Rows, SendFailureTest,
    ::testing::Values(
        SendCase{"cnWithoutDialog", false, true, {12038}, {}, {}, 1, {kCn},
                 "ERROR_INTERNET_SEC_CERT_CN_INVALID", 12038, true, ""},
        SendCase{"cnDialogAccepted", true, true, {12038}, {ERROR_SUCCESS}, {12038}, 2, {kCn}, "", 0, true, "body"},
        SendCase{"cnDialogCancelled", true, true, {12038}, {}, {12038}, 1, {kCn, kCn},
                 "ERROR_INTERNET_SEC_CERT_CN_INVALID", 12038, false, ""},
        SendCase{"cnAgainAfterDialog", true, true, {12038, 12038}, {ERROR_SUCCESS}, {12038}, 2, {kCn, kCn, kCn},
                 "ERROR_INTERNET_SEC_CERT_CN_INVALID", 12038, false, ""},
        SendCase{"certWithoutDialogGoesOnWithoutOne", false, true, {12044}, {}, {}, 2, {kCert}, "", 0, true, "body"},
        SendCase{"certAgainWithoutOne", false, true, {12044, 12044}, {}, {}, 2, {kCert, kCert, kCert},
                 "ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED", 12044, false, ""},
        SendCase{"certDialogAccepted", true, true, {12044}, {ERROR_SUCCESS}, {12044}, 2, {kCert}, "", 0, true, "body"},
        SendCase{"certDialogCancelled", true, true, {12044}, {}, {12044}, 1, {kCert, kCert},
                 "ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED", 12044, false, ""},
        SendCase{"otherWithoutDialog", false, false, {12029}, {}, {}, 1, {kRefused, kRefused},
                 "Cannot connect to host", 12029, false, ""},
        SendCase{"otherDialogThenSuccess", true, false, {12029}, {ERROR_SUCCESS}, {12029}, 2, {kRefused}, "", 0, true, "body"},
        SendCase{"otherTwiceOneDialog", true, false, {12029, 12029}, {ERROR_SUCCESS}, {12029}, 2,
                 {kRefused, kRefused, kRefused}, "Cannot connect to host", 12029, false, ""},
        SendCase{"otherDialogCancelled", true, false, {12002}, {}, {12002}, 1, {kTimeout, kTimeout},
                 "ERROR_INTERNET_TIMEOUT", 12002, false, ""},
        SendCase{"alternatingCodesAreBounded", true, false, {12029, 12002, 12029, 12002},
                 {ERROR_SUCCESS, ERROR_SUCCESS}, {12029, 12002}, 3,
                 {kRefused, kTimeout, kRefused, kRefused}, "Cannot connect to host", 12029, false, ""},
        SendCase{"namelessCode", false, false, {12057}, {}, {}, 1, {kRevoked, kRevoked},
                 "Error 12057", 12057, false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScriptedClientTest, GoingOnWithoutAClientCertificateSetsTheOptionsAgain) {
  serve("");
  net.sendErrors = {12044};
  client.popforcert = false;
  client.getData("https://h/");
  EXPECT_THAT(net.callsOf("InternetSetOptionA"),
              ElementsAre(StartsWith("InternetSetOptionA request#1 option=6 "),
                          StartsWith("InternetSetOptionA request#1 option=5 "),
                          "InternetSetOptionA request#1 option=31 value=0x803100 length=4",
                          "InternetSetOptionA request#1 option=47 value=0 length=4",
                          "InternetSetOptionA request#1 option=31 value=0x803100 length=4"));
}

TEST_F(ScriptedClientTest, GoingOnWithoutAClientCertificateOverPlainHttpSetsNoSecurityOption) {
  serve("");
  net.sendErrors = {12044};
  client.popforcert = false;
  client.getData("http://h/");
  EXPECT_THAT(net.callsOf("InternetSetOptionA request#1 option=31"), IsEmpty());
  EXPECT_THAT(net.callsOf("InternetSetOptionA request#1 option=47"), ElementsAre(::testing::_));
}

TEST_F(ScriptedClientTest, AFailedSendClosesTheReusedHandlesInTheSameCall) {
  client.reuseConnection = true;
  client.popforcert = false;
  net.sendErrors = {12029};
  client.getData("http://h/");
  EXPECT_EQ(net.openHandles(), 0);
  EXPECT_EQ(client.NetHandle, nullptr);
}

// ---- reuse ----

TEST_F(ScriptedClientTest, ReusedConnectionServesTheNextRequestWhateverItsHost) {
  serve("x");
  client.reuseConnection = true;
  client.getData("http://first/");
  client.getData("http://second:99/");
  EXPECT_EQ(net.callsOf("InternetOpenA").size(), 1u);
  EXPECT_THAT(net.callsOf("InternetConnectA"), ElementsAre(::testing::HasSubstr("server=first port=80")));
  EXPECT_EQ(net.callsOf("HttpOpenRequestA").size(), 2u);
  EXPECT_EQ(net.openHandles(), 2);
  EXPECT_THAT(lines, Contains("Connecting to second on port 99"));
}

TEST_F(ScriptedClientTest, TurningReuseOffClosesTheKeptHandlesBeforeOpeningNewOnes) {
  serve("x");
  client.reuseConnection = true;
  client.getData("http://first/");
  net.calls.clear();
  client.reuseConnection = false;
  client.getData("http://second/");
  ASSERT_GE(net.calls.size(), 4u);
  EXPECT_THAT(std::vector<std::string>(net.calls.begin(), net.calls.begin() + 4),
              ElementsAre("InternetSetStatusCallback root#1 cleared", "InternetCloseHandle connect#1",
                          "InternetCloseHandle root#1", StartsWith("InternetOpenA ")));
  EXPECT_EQ(net.openHandles(), 0);
}

TEST(ScriptedClientLifetimeTest, DestroyingTheClientClosesTheHandlesItKept) {
  ScriptedInternet net;
  net.responseHeaders = okHeaders(0);
  {
    TkaHTTPClient client;
    client.reuseConnection = true;
    client.getData("http://h/");
    EXPECT_EQ(net.openHandles(), 2);
  }
  EXPECT_EQ(net.openHandles(), 0);
  EXPECT_THAT(net.calls, ::testing::IsSupersetOf({"InternetSetStatusCallback root#1 cleared",
                                                  "InternetCloseHandle connect#1", "InternetCloseHandle root#1"}));
}

// ---- status lines ----

TEST_F(ScriptedClientTest, StatusLinesAreInterleavedOnlyWhenReportwininetIsSet) {
  serve("");
  net.sendNotifications = {{INTERNET_STATUS_RESOLVING_NAME, "h"},
                           {INTERNET_STATUS_CONNECTED_TO_SERVER, "10.0.0.1"},
                           {INTERNET_STATUS_STATE_CHANGE, "", INTERNET_STATE_IDLE, true}};
  client.getData("http://h/");
  EXPECT_THAT(lines, Not(Contains(StartsWith("[WININET] "))));
  lines.clear();
  client.reportwininet = true;
  client.getData("http://h/");
  EXPECT_THAT(lines, ElementsAre("Initializing wininet", "Connecting to h on port 80",
                                 "[WININET] 10 Attempting to resolve IP address of name: h",
                                 "[WININET] 21 Connected to the server.",
                                 "[WININET] 200 Moved between a secure (HTTPS) and nonsecure (HTTP) site. "
                                 "lpvStatusInformation points to a DWORD containing one or more of the following flags:",
                                 "[WININET] 200 No network requests are being made by WinInet.",
                                 "Opened: http://h/", "Request headers read", "Response headers read",
                                 "Content-Length: 0"));
}

} // namespace
} // namespace quorvel
