// The window's answer to the HTTP layer's certificate questions, through real HTTPS exchanges.
#include "composer/unInternetErrorDialog.h"
#include "composerProbe.h"
#include "http/unHTTPClient.h"
#include "test_certificate.h"
#include "wininet/wininet.h"

#include <gtest/gtest.h>

#include <ostream>
#include <thread>

namespace quorvel {
namespace {

using testing::CannedServer;
using testing::IdlePort;
using testing::ReceivedRequest;
using testing::reply;
using testing::TestCertificate;
using testing::TlsSetup;

using testing::expiredLocalhostCertificate;
using testing::localhostCertificate;

// One certificate problem: how the server is set up and reached, and which
// check the client keeps.
struct Problem {
  const char* name;
  wininet::DWORD error;
  const TestCertificate& (*certificate)();
  bool askForClientCertificate;
  const char* host;
  void (*strict)(TkaHTTPClient&);
};

const Problem problems[] = {
    {"date", 12037, expiredLocalhostCertificate, false, "localhost",
     [](TkaHTTPClient& c) { c.acceptinvalidcadate = false; }},
    {"name", 12038, localhostCertificate, false, "127.0.0.1",
     [](TkaHTTPClient& c) { c.acceptinvalidcacn = false; }},
    {"authority", 12045, localhostCertificate, false, "localhost",
     [](TkaHTTPClient& c) { c.acceptinvalidca = false; }},
    {"clientCertificate", 12044, localhostCertificate, true, "localhost", [](TkaHTTPClient&) {}},
};

void PrintTo(const Problem& problem, std::ostream* os) { *os << problem.name; }

class CertificateDialog : public ComposerTest, public ::testing::WithParamInterface<Problem> {
protected:
  CertificateDialog()
      : server([](const ReceivedRequest& r) { return reply(200, "secure " + r.body); },
               TlsSetup{GetParam().certificate().certificatePem, GetParam().certificate().keyPem,
                        GetParam().askForClientCertificate}) {
    GetParam().strict(client);
  }
  std::string url() const {
    return "https://" + std::string(GetParam().host) + ":" + std::to_string(server.port()) + "/";
  }

  CannedServer server;
  TkaHTTPClient client;
};

TEST_P(CertificateDialog, YesSendsTheRequest) {
  ProbeForm form;
  form.boxAnswer = MsgResult::yes;
  EXPECT_EQ(client.postData(url(), "a=1"), "secure a=1");
  EXPECT_EQ(client.errormessage, "");
  ASSERT_EQ(form.boxes.size(), 1u);
  EXPECT_EQ(form.boxes[0].text, certificateQuestion(GetParam().error));
  EXPECT_NE(form.boxes[0].text.find("Continue"), std::string::npos);
  EXPECT_EQ(form.boxes[0].caption, "KAVRI SMS");
  EXPECT_EQ(form.boxes[0].icon, MsgIcon::warning);
}

TEST_P(CertificateDialog, NoRecordsTheFailureWithoutAskingAgain) {
  ProbeForm form;
  form.boxAnswer = MsgResult::no;
  EXPECT_EQ(client.postData(url(), "a=1"), "");
  EXPECT_EQ(client.errorcode, static_cast<int32_t>(GetParam().error));
  EXPECT_NE(client.errormessage, "");
  EXPECT_EQ(form.boxes.size(), 1u);
  EXPECT_TRUE(server.requests().empty());
}

TEST_P(CertificateDialog, RequestAwayFromTheWindowsThreadAsksNothing) {
  ProbeForm form;
  form.boxAnswer = MsgResult::yes;
  std::string got = "<not run>";
  std::thread background([&] { got = client.postData(url(), "a=1"); });
  background.join();
  EXPECT_EQ(got, "");
  EXPECT_EQ(client.errorcode, static_cast<int32_t>(GetParam().error));
  EXPECT_TRUE(form.boxes.empty());
}

TEST_P(CertificateDialog, NoWindowNoQuestion) {
  { ProbeForm gone; } // its dialog leaves with it
  EXPECT_EQ(client.postData(url(), "a=1"), "");
  EXPECT_EQ(client.errorcode, static_cast<int32_t>(GetParam().error));
}

INSTANTIATE_TEST_SUITE_P(Problems, CertificateDialog, ::testing::ValuesIn(problems),
                         [](const auto& info) { return std::string(info.param.name); });

using OtherFailures = ComposerTest;

TEST_F(OtherFailures, AreAnsweredCancelledWithoutAWindow) {
  ProbeForm form;
  form.boxAnswer = MsgResult::yes;
  IdlePort down(IdlePort::refusing);
  TkaHTTPClient client;
  EXPECT_EQ(client.postData("http://127.0.0.1:" + std::to_string(down.port()) + "/", "a=1"), "");
  EXPECT_EQ(client.errorcode, 12029);
  for (wininet::DWORD code : {wininet::ERROR_INTERNET_TIMEOUT, wininet::ERROR_INTERNET_CONNECTION_RESET,
                              wininet::ERROR_INTERNET_SECURITY_CHANNEL_ERROR})
    EXPECT_EQ(wininet::InternetErrorDlg(wininet::GetDesktopWindow(), nullptr, code,
                                        wininet::FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS, nullptr),
              wininet::ERROR_CANCELLED)
        << code;
  EXPECT_TRUE(form.boxes.empty());
}

} // namespace
} // namespace quorvel
