// WinINet error names and the status texts the client's callback turns notifications into.
#include "http/unHTTPClient.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quorvel {
namespace {

using namespace wininet;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct NameCase {
  uint16_t code;
  const char* name;
};

class InternetErrorTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(InternetErrorTest, GivesTheNameOfTheCode) {
  EXPECT_EQ(internetError(GetParam().code), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, InternetErrorTest,
    ::testing::Values(NameCase{12001, "ERROR_INTERNET_OUT_OF_HANDLES"}, NameCase{12002, "ERROR_INTERNET_TIMEOUT"},
                      NameCase{12029, "Cannot connect to host"}, NameCase{12030, "ERROR_INTERNET_CONNECTION_ABORTED"},
                      NameCase{12034, "ERROR_INTERNET_NEED_UI"}, NameCase{12035, ""},
                      NameCase{12036, "ERROR_INTERNET_HANDLE_EXISTS"},
                      NameCase{12038, "ERROR_INTERNET_SEC_CERT_CN_INVALID"},
                      NameCase{12044, "ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED"},
                      NameCase{12048, "ERROR_INTERNET_REDIRECT_SCHEME_CHANGE"}, NameCase{12049, ""},
                      NameCase{12057, ""}, NameCase{12109, ""}, NameCase{12110, "ERROR_FTP_TRANSFER_IN_PROGRESS"},
                      NameCase{12111, "ERROR_FTP_DROPPED"}, NameCase{12112, ""}, NameCase{12129, ""},
                      NameCase{12130, "ERROR_GOPHER_PROTOCOL_ERROR"}, NameCase{12138, "ERROR_GOPHER_UNKNOWN_LOCATOR"},
                      NameCase{12139, ""}, NameCase{12149, ""}, NameCase{12150, "ERROR_HTTP_HEADER_NOT_FOUND"},
                      NameCase{12157, "ERROR_INTERNET_SECURITY_CHANNEL_ERROR"},
                      NameCase{12160, "ERROR_HTTP_NOT_REDIRECTED"}, NameCase{12161, ""}, NameCase{0, ""},
                      NameCase{122, ""}, NameCase{997, ""}, NameCase{12000, ""}));

TEST(InternetErrorTableTest, HasSixtyNineNames) {
  int named = 0;
  for (uint32_t code = 0; code <= 0xFFFF; ++code)
    if (!internetError(static_cast<uint16_t>(code)).empty()) ++named;
  EXPECT_EQ(named, 69);
}

TEST(InternetErrorTableTest, LargerCodesAreReducedToTheirLow16Bits) {
  const uint32_t code = 0x10000 + 12002;
  EXPECT_EQ(internetError(static_cast<uint16_t>(code)), "ERROR_INTERNET_TIMEOUT");
}

class StatusCallbackTest : public ::testing::Test {
protected:
  StatusCallbackTest() {
    client.reportwininet = true;
    client.onReport = [this](const std::string& l) { lines.push_back(l); };
  }
  void notify(DWORD status, const void* info = nullptr) {
    InternetStatusCallback(nullptr, reinterpret_cast<DWORD_PTR>(&client), status, const_cast<void*>(info), 0);
  }
  TkaHTTPClient client;
  std::vector<std::string> lines;
};

struct StatusCase {
  DWORD status;
  const char* text;
};

class StatusTextTest : public StatusCallbackTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusTextTest, BecomesOnePrefixedLine) {
  notify(GetParam().status, "host.example");
  EXPECT_THAT(lines, ElementsAre("[WININET] " + std::to_string(GetParam().status) + " " + GetParam().text));
  EXPECT_EQ(client.infomessage, lines.back());
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, StatusTextTest,
    ::testing::Values(StatusCase{10, "Attempting to resolve IP address of name: host.example"},
                      StatusCase{11, "Successfully resolved the IP address of: host.example"},
                      StatusCase{20, "Connecting to the server."}, StatusCase{21, "Connected to the server."},
                      StatusCase{30, "Sending a request to the server."}, StatusCase{31, "Request sent to the server."},
                      StatusCase{40, "Waiting for response from server."},
                      StatusCase{41, "Received a response from the server."}, StatusCase{42, "Not implemented."},
                      StatusCase{43, "Not implemented."}, StatusCase{50, "Connection to the server is being closed."},
                      StatusCase{51, "Connection to the server has been closed."},
                      StatusCase{60, "InternetConnect has created a new handle."},
                      StatusCase{70, "The handle is closing."}, StatusCase{100, "Asynchronous operation has completed."},
                      StatusCase{110, "An HTTP request is redirecting the request to: host.example"},
                      StatusCase{120, "Received an intermediate status code message from the server."},
                      StatusCase{45, "Unknown status"}, StatusCase{0, "Unknown status"}));

const char* const kStateChange =
    "[WININET] 200 Moved between a secure (HTTPS) and nonsecure (HTTP) site. lpvStatusInformation points to "
    "a DWORD containing one or more of the following flags:";

struct StateCase {
  DWORD value;
  const char* second; // nullptr: no second line
};

class StateChangeTest : public StatusCallbackTest, public ::testing::WithParamInterface<StateCase> {};

TEST_P(StateChangeTest, AddsTheTextOfTheExactValue) {
  notify(INTERNET_STATUS_STATE_CHANGE, &GetParam().value);
  if (GetParam().second)
    EXPECT_THAT(lines, ElementsAre(kStateChange, std::string("[WININET] 200 ") + GetParam().second));
  else
    EXPECT_THAT(lines, ElementsAre(kStateChange));
}

INSTANTIATE_TEST_SUITE_P(States, StateChangeTest,
                         ::testing::Values(StateCase{1, "Connected (i.e. not disconnected)"},
                                           StateCase{2, "Disconnected - no network connection could be established.);"},
                                           StateCase{16, "Disconnected by user request."},
                                           StateCase{256, "No network requests are being made by WinInet."},
                                           StateCase{512, "Network requests are being made by WinInet."},
                                           StateCase{3, nullptr}, StateCase{0, nullptr}));

TEST_F(StatusCallbackTest, NothingHappensWithoutReportwininetOrWithoutAClient) {
  client.reportwininet = false;
  notify(INTERNET_STATUS_CONNECTING_TO_SERVER);
  EXPECT_THAT(lines, IsEmpty());
  EXPECT_EQ(client.infomessage, "");
  InternetStatusCallback(nullptr, 0, INTERNET_STATUS_CONNECTING_TO_SERVER, nullptr, 0);
  EXPECT_THAT(lines, IsEmpty());
}

TEST_F(StatusCallbackTest, WithoutOnReportTheLineStillBecomesTheInfoMessage) {
  client.onReport = nullptr;
  notify(INTERNET_STATUS_SENDING_REQUEST);
  EXPECT_EQ(client.infomessage, "[WININET] 30 Sending a request to the server.");
}

} // namespace
} // namespace quorvel
