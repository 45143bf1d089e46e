// The credit query: against the bundled gateway and scripted servers, with
// and without the user asking; boxes, captions, log and balance.
#include "gatewayFixture.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>

#include <regex>

namespace quorvel {
namespace {

using testing::CannedServer;
using testing::reply;
using CreditsTest = GatewayTest;

const std::string creditBody = "login=nobody&password=pqr456&action=getCredits&t=*\r\n";

TEST_F(CreditsTest, DownloadCreditsFromTheBundledGateway) {
  const std::string url = bundledGateway().url();
  form->actDownloadCredits->trigger();
  EXPECT_EQ(form->credits, "100");
  ASSERT_EQ(form->boxes.size(), 1u);
  EXPECT_EQ(form->boxes[0].text, "Successful login. You have 100 credits!");
  EXPECT_EQ(form->boxes[0].caption, "Kavri");
  EXPECT_EQ(form->boxes[0].icon, MsgIcon::none);
  EXPECT_TRUE(form->messages.empty());
  const std::string answer = "<?xml version=\"1.0\"?><Response><Data>100</Data></Response>";
  EXPECT_TRUE(isExchangeLog(form->comlogText(), url + "/kavri", creditBody, &answer));
  EXPECT_EQ(form->statusPanelText(3), "Credits : 100");
}

TEST_F(CreditsTest, TestConnectionAsksTheSameWay) {
  bundledGateway().store().setBalance("nobody", gateway::Balance{true, 0});
  form->bTest->click();
  EXPECT_EQ(form->credits, "unlimited");
  ASSERT_EQ(form->boxes.size(), 1u);
  EXPECT_EQ(form->boxes[0].text, "Successful login. You have unlimited credits!");
  EXPECT_EQ(form->statusPanelText(3), "Credits : unlimited");
}

TEST_F(CreditsTest, WrongPasswordGetsTheLoginPage) {
  bundledGateway();
  form->credits = "7";
  form->ePass->setText("wrong");
  form->getCredits(true);
  EXPECT_EQ(form->credits, "7");
  ASSERT_EQ(form->boxes.size(), 1u);
  EXPECT_EQ(form->boxes[0].text,
            "The message server was contacted, but \r\nthe user name or the password is incorrect");
  EXPECT_EQ(form->boxes[0].caption, "Kavri");
  EXPECT_EQ(form->boxes[0].icon, MsgIcon::warning);
  const std::string log = form->comlogText();
  EXPECT_NE(log.find("login=nobody&password=wrong&action=getCredits&t="), std::string::npos);
  EXPECT_NE(log.find("\r\n[RESPONSE]\r\n<"), std::string::npos);
  EXPECT_NE(log.find("registerGUI"), std::string::npos);
}

TEST_F(CreditsTest, SettingsAreReadAtTheMomentOfTheQuery) {
  CannedServer server(scriptedGateway(reply(200, dataDocument("3")), reply(404, "")));
  useServer(server.origin());
  form->eUserName->setText("ann smith");
  form->ePass->setText("p&ss");
  form->getCredits(false);
  ASSERT_EQ(server.requests().size(), 1u);
  const testing::ReceivedRequest request = server.requests()[0];
  EXPECT_EQ(request.requestLine(), "POST /kavri HTTP/1.1");
  EXPECT_EQ(request.headerValues("Content-Type"),
            std::vector<std::string>{"application/x-www-form-urlencoded"});
  EXPECT_TRUE(std::regex_match(request.body,
                               std::regex("login=ann\\+smith&password=p%26ss&action=getCredits&t="
                                          "[0-9]+\r\n")));
  EXPECT_EQ(form->credits, "3");
}

// Every outcome of a query the user asked for.
struct CreditCase {
  const char* name;
  testing::CannedReply reply;
  std::string expectedCredits; // starting from "7"
  std::string boxText;         // "" when no box
  MsgIcon icon;
};

class CreditOutcomes : public GatewayTest, public ::testing::WithParamInterface<CreditCase> {};

TEST_P(CreditOutcomes, BoxLogAndBalance) {
  const CreditCase& c = GetParam();
  CannedServer server([&](const testing::ReceivedRequest&) { return c.reply; });
  const std::string url = server.origin();
  useServer(url);
  form->credits = "7";
  form->getCredits(true);
  EXPECT_EQ(form->credits, c.expectedCredits);
  EXPECT_EQ(form->statusPanelText(3), "Credits : " + c.expectedCredits);
  if (c.boxText.empty()) {
    EXPECT_TRUE(form->boxes.empty());
  } else {
    ASSERT_EQ(form->boxes.size(), 1u);
    EXPECT_EQ(form->boxes[0].text,
              std::regex_replace(c.boxText, std::regex("URL"), url));
    EXPECT_EQ(form->boxes[0].caption, "Kavri");
    EXPECT_EQ(form->boxes[0].icon, c.icon);
  }
  EXPECT_TRUE(form->messages.empty());
  // The log holds the exchange: the answer as judged (an error replaces the body).
  const std::string body = *c.reply.body;
  const std::string answer =
      c.reply.head.find("Content-Length") == std::string::npos
          ? "[ERROR] ERROR_HTTP_HEADER_NOT_FOUND"
          : body;
  EXPECT_TRUE(isExchangeLog(form->comlogText(), url + "/kavri", creditBody, &answer));

  // Without the user asking: no box, the log untouched, the same balance.
  form->boxes.clear();
  form->setComlogText("kept");
  form->credits = "7";
  form->getCredits(false);
  EXPECT_EQ(form->credits, c.expectedCredits);
  EXPECT_TRUE(form->boxes.empty());
  EXPECT_EQ(form->comlogText(), "kept");
}

const std::string invalid = "[ERROR] Invalid response from the server";
const std::string noLength = "Cannot connect to Nemora at URL\r\n[ERROR] ERROR_HTTP_HEADER_NOT_FOUND";

INSTANTIATE_TEST_SUITE_P(
    Answers, CreditOutcomes,
    ::testing::Values(
        CreditCase{"balance", reply(200, dataDocument("25")), "25",
                   "Successful login. You have 25 credits!", MsgIcon::none},
        CreditCase{"zero", reply(200, dataDocument("0")), "0",
                   "Successful login. You have 0 credits!", MsgIcon::none},
        CreditCase{"minusOne", reply(200, dataDocument("-1")), "unlimited",
                   "Successful login. You have unlimited credits!", MsgIcon::none},
        CreditCase{"blanksAndLineBreaks", reply(200, dataDocument("\r\n  12 \t\r\n")), "12",
                   "Successful login. You have 12 credits!", MsgIcon::none},
        CreditCase{"errorPage",
                   reply(400, "<Status>[ERROR]</Status><Data>ERROR: account locked</Data>"), "7",
                   "Cannot connect to Nemora at URL\r\n"
                   "<Status>[ERROR]</Status><Data>ERROR: account locked</Data>",
                   MsgIcon::warning},
        CreditCase{"upperCaseWebPage", reply(200, "<HTML><BODY>Sign in</BODY></HTML>"), "7",
                   "The message server was contacted, but \r\n"
                   "the user name or the password is incorrect",
                   MsgIcon::warning},
        CreditCase{"lowerCaseWebPage", reply(200, "<html><body>Sign in</body></html>"), "7",
                   invalid, MsgIcon::none},
        CreditCase{"letters", reply(200, dataDocument("twelve")), "7", invalid, MsgIcon::none},
        CreditCase{"outOfRange", reply(200, dataDocument("2147483648")), "7", invalid,
                   MsgIcon::none},
        CreditCase{"entities", reply(200, dataDocument("&lt;5&gt;")), "7", invalid,
                   MsgIcon::none},
        CreditCase{"noDataElement", reply(200, "<Response><Credits>5</Credits></Response>"), "7",
                   invalid, MsgIcon::none},
        CreditCase{"noContentLength", reply(200, dataDocument("5"), "", false), "7", noLength,
                   MsgIcon::warning},
        CreditCase{"emptyBody", reply(200, ""), "7", "", MsgIcon::none}),
    [](const ::testing::TestParamInfo<CreditCase>& info) { return info.param.name; });

TEST_F(CreditsTest, ServerDown) {
  testing::IdlePort down(testing::IdlePort::refusing);
  const std::string url = "http://127.0.0.1:" + std::to_string(down.port());
  const std::string error = transportError(url + "/kavri");
  ASSERT_FALSE(error.empty());
  useServer(url);
  form->credits = "7";
  form->getCredits(true);
  EXPECT_EQ(form->credits, "7");
  ASSERT_EQ(form->boxes.size(), 1u);
  // The box ends with the transport's error text on a line of its own.
  EXPECT_EQ(form->boxes[0].text, "Cannot connect to Nemora at " + url + "\r\n[ERROR] " + error);
  EXPECT_EQ(form->boxes[0].caption, "Kavri");
  EXPECT_EQ(form->boxes[0].icon, MsgIcon::warning);
  const std::string answer = "[ERROR] " + error;
  EXPECT_TRUE(isExchangeLog(form->comlogText(), url + "/kavri", creditBody, &answer));

  form->boxes.clear();
  form->getCredits(false);
  EXPECT_TRUE(form->boxes.empty());
  EXPECT_EQ(form->statusPanelText(3), "Credits : 7");
}

TEST_F(CreditsTest, AMalformedPortIsReportedAsTheCommandsError) {
  useServer("http://127.0.0.1:port");
  form->credits = "7";
  form->actDownloadCredits->trigger();
  EXPECT_EQ(form->credits, "7");
  ASSERT_EQ(form->boxes.size(), 1u);
  EXPECT_EQ(form->boxes[0].text, "'port' is not a valid integer value");
  EXPECT_EQ(form->boxes[0].caption, "KAVRI SMS");
  EXPECT_EQ(form->boxes[0].icon, MsgIcon::error);
  // The request was logged before the post gave up.
  EXPECT_TRUE(isExchangeLog(form->comlogText(), "http://127.0.0.1:port/kavri", creditBody, nullptr));
}

} // namespace
} // namespace quorvel
