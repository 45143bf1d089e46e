// Sending: the checks before the request, the exact request, the answers and
// their dialogs, the copy in Sent Items and the window hidden or kept.
#include "gatewayFixture.h"

#include "Emapi/unMapiLib.h"
#include "composer/unGatewayFrame.h"
#include "composer/unHostStandIn.h"

#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTextEdit>
#include <QToolBar>

#include <regex>

namespace quorvel {
namespace {

using testing::CannedServer;
using testing::reply;
using SendTest = GatewayTest;

const std::string accepted = dataDocument("Accepted 1 of 1 messages.");

std::string sendBody(const std::string& fields) {
  return "login=nobody&password=pqr456&" + fields + "\r\n";
}

// --- Before any request -------------------------------------------------------

TEST_F(SendTest, NothingToSendIsTold) {
  CannedServer server(scriptedGateway(reply(200, dataDocument("100")), reply(200, accepted)));
  useServer(server.origin());
  showAndSettle();
  const std::size_t before = server.requests().size();
  form->credits = "unlimited";
  struct Case {
    std::string recip, msg;
  };
  for (const Case& c : {Case{";", "Hi"}, Case{"", "Hi"}, Case{"+3630;", ""}}) {
    form->messages.clear();
    form->sendSMS(c.recip, c.msg);
    EXPECT_EQ(form->messages, std::vector<std::string>{"Message text is empty"}) << c.recip;
    EXPECT_TRUE(form->boxes.empty());
    EXPECT_TRUE(form->isVisible());
  }
  // Both address fields empty through "&Send".
  form->re->setPlainText("Hi");
  form->messages.clear();
  form->actSend->trigger();
  EXPECT_EQ(form->messages, std::vector<std::string>{"Message text is empty"});
  EXPECT_EQ(server.requests().size(), before);
  EXPECT_TRUE(sentItems().empty());
}

TEST_F(SendTest, CreditPreCheck) {
  CannedServer server(scriptedGateway(reply(200, dataDocument("100")), reply(200, accepted)));
  useServer(server.origin());
  struct Case {
    std::string credits, recip;
    bool refused;
  };
  const Case cases[] = {{"", "1", true},      {"0", "1", true},           {"2", "1;2;3", true},
                        {"2", "1;2", false},  {"unlimited", "1;2;3", false}};
  for (const Case& c : cases) {
    form->boxes.clear();
    form->messages.clear();
    form->credits = c.credits;
    const std::size_t before = requestsFor(server, "sendMessages").size();
    form->sendSMS(c.recip, "Hi");
    const std::size_t sent = requestsFor(server, "sendMessages").size() - before;
    if (c.refused) {
      ASSERT_EQ(form->boxes.size(), 1u) << c.credits;
      EXPECT_EQ(form->boxes[0].text, "You do not have enough credits to send these messages!");
      EXPECT_EQ(form->boxes[0].caption, "SMS");
      EXPECT_EQ(form->boxes[0].icon, MsgIcon::warning);
      EXPECT_EQ(sent, 0u) << c.credits;
    } else {
      EXPECT_TRUE(form->boxes.empty()) << c.credits;
      EXPECT_EQ(sent, 1u) << c.credits;
    }
    EXPECT_TRUE(form->messages.empty());
  }
}

TEST_F(SendTest, AnEntryWithoutANumberDropsTheWholeRequest) {
  CannedServer server(scriptedGateway(reply(200, dataDocument("100")), reply(200, accepted)));
  useServer(server.origin());
  showAndSettle();
  struct Case {
    std::string to, cc, reported;
  };
  // To empty with Cc filled; an address-book entry whose "[" ends it.
  for (const Case& c : {Case{"", "+36301234567", ""},
                        Case{"+36301111111", "Anna [; Bob [+36302222222] ; ", "Anna ["}}) {
    form->messages.clear();
    form->eTo->setText(QString::fromStdString(c.to));
    form->eCC->setText(QString::fromStdString(c.cc));
    form->re->setPlainText("Hello");
    form->actSend->trigger();
    EXPECT_EQ(form->messages,
              std::vector<std::string>{"Could not find a phone number for " + c.reported});
    EXPECT_TRUE(form->boxes.empty());
    EXPECT_TRUE(form->donthide);
    EXPECT_TRUE(form->isVisible());
  }
  EXPECT_TRUE(requestsFor(server, "sendMessages").empty());
  // Nothing went out, so nothing is filed as sent.
  EXPECT_TRUE(sentItems().empty());
}

// --- The request ------------------------------------------------------------------

TEST_F(SendTest, ExactRequestBodies) {
  CannedServer server(scriptedGateway(reply(200, dataDocument("99")), reply(200, accepted)));
  useServer(server.origin());
  form->credits = "100";
  struct Case {
    std::string recip, msg, fields;
  };
  const Case cases[] = {
      // An address-book entry with an international number sends the number only.
      {"Anna Kovacs [+36301234567] ;", "Hi there!",
       "action=sendMessages&recepient0=%2B36301234567&messageData0=Hi+there%21&messageCount=1"},
      // A bare number typed with blanks around it, a text with them too.
      {"  06 30 123 ;", "  a&b=c ",
       "action=sendMessages&recepient0=06+30+123&messageData0=a%26b%3Dc&messageCount=1"},
      // Empty brackets are not reported: the number goes out empty.
      {"Anna [] ;", "x", "action=sendMessages&recepient0=&messageData0=x&messageCount=1"},
      // Three recipients, the same text for each.
      {"111;Bob [222] ; 333 ", "\xC3\xA9t\xC3\xA9",
       "action=sendMessages&recepient0=111&messageData0=%C3%A9t%C3%A9"
       "&recepient1=222&messageData1=%C3%A9t%C3%A9"
       "&recepient2=333&messageData2=%C3%A9t%C3%A9&messageCount=3"},
  };
  for (const Case& c : cases) {
    const std::size_t before = server.requests().size();
    form->sendSMS(c.recip, c.msg);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), before + 2) << c.recip;
    EXPECT_EQ(requests[before].body, sendBody(c.fields));
    EXPECT_EQ(requests[before].requestLine(), "POST /kavri HTTP/1.1");
    EXPECT_EQ(requests[before].headerValues("Content-Type"),
              std::vector<std::string>{"application/x-www-form-urlencoded"});
    // The silent credit refresh follows.
    EXPECT_TRUE(std::regex_match(
        requests[before + 1].body,
        std::regex("login=nobody&password=pqr456&action=getCredits&t=[0-9]+\r\n")));
    // The log holds the send exchange only.
    EXPECT_TRUE(isExchangeLog(form->comlogText(), server.origin() + "/kavri",
                              sendBody(c.fields), &accepted));
  }
  EXPECT_EQ(form->credits, "99");
  EXPECT_TRUE(form->messages.empty());
  EXPECT_TRUE(form->boxes.empty());
}

// --- Answers ------------------------------------------------------------------------

struct AnswerCase {
  const char* name;
  testing::CannedReply answer;
  std::string box;    // "" when none
  bool refused;       // the dialog, no copy, the window stays
};

class SendAnswers : public GatewayTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(SendAnswers, DialogsCopyAndWindow) {
  const AnswerCase& c = GetParam();
  CannedServer server(scriptedGateway(reply(200, dataDocument("40")), c.answer));
  useServer(server.origin());
  showAndSettle();
  form->credits = "50";
  form->eTo->setText("+36301234567");
  form->re->setPlainText("Hello");
  form->actSend->trigger();
  if (c.refused) {
    EXPECT_EQ(form->messages,
              std::vector<std::string>{"Could not log into SMS server. Please check settings!"});
    EXPECT_TRUE(form->donthide);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(sentItems().empty());
  } else {
    EXPECT_TRUE(form->messages.empty());
    EXPECT_FALSE(form->donthide);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(sentItems().size(), 1u);
  }
  if (c.box.empty()) {
    EXPECT_TRUE(form->boxes.empty());
  } else {
    ASSERT_EQ(form->boxes.size(), 1u);
    EXPECT_EQ(form->boxes[0].text, c.box);
    EXPECT_EQ(form->boxes[0].caption, "SMS");
    EXPECT_EQ(form->boxes[0].icon, MsgIcon::warning);
  }
  // The silent refresh ran after the send in every case.
  EXPECT_EQ(form->credits, "40");
}

const std::string insufficient =
    "You could not send all messages. You have insufficient number of credits!";
const std::string loginPage =
    "<HTML><BODY><FORM method=\"post\">\r\n"
    "<input type=hidden name=\"action\" value=\"registerGUI\">\r\n</FORM></BODY></HTML>";

INSTANTIATE_TEST_SUITE_P(
    Answers, SendAnswers,
    ::testing::Values(
        AnswerCase{"accepted", reply(200, accepted), "", false},
        AnswerCase{"loginPage", reply(200, loginPage), "", true},
        AnswerCase{"errorMarker", reply(200, "<Status>[ERROR]</Status>"), "", true},
        AnswerCase{"noContentLength", reply(200, accepted, "", false), "", true},
        AnswerCase{"insufficient",
                   reply(200, dataDocument("Accepted 0 of 1 messages. Insufficient credits: 1 not sent.")),
                   insufficient, false},
        AnswerCase{"insufficientWithEntities",
                   reply(200, dataDocument("&lt;1&gt; &amp; Insufficient &quot;credits&quot;")),
                   insufficient, false},
        AnswerCase{"insufficientOutsideThePayload",
                   reply(200, "<Data>ok</Data><Note>Insufficient</Note>"), "", false},
        // Every other answer counts as accepted, an empty one included.
        AnswerCase{"emptyBody", reply(200, ""), "", false},
        AnswerCase{"lowerCaseWebPage", reply(200, "<html><body>hello</body></html>"), "", false},
        // A refusal at the HTTP level sent nothing.
        AnswerCase{"bodyTooLarge", reply(413, "Request body too large\n"), "", true},
        AnswerCase{"notFound", reply(404, "Not found\n"), "", true}),
    [](const ::testing::TestParamInfo<AnswerCase>& info) { return info.param.name; });

TEST_F(SendTest, RefusedAtTheHttpLevelTheLogSaysWhy) {
  CannedServer server(
      scriptedGateway(reply(200, dataDocument("40")), reply(413, "Request body too large\n")));
  useServer(server.origin());
  form->credits = "50";
  form->sendSMS("1", "x");
  const std::string answer = "[ERROR]\r\nHTTP/1.1 413 Canned\r\nRequest body too large\r\n";
  EXPECT_TRUE(isExchangeLog(form->comlogText(), server.origin() + "/kavri",
                            sendBody("action=sendMessages&recepient0=1&messageData0=x&messageCount=1"),
                            &answer));
}

TEST_F(SendTest, ServerDown) {
  testing::IdlePort down(testing::IdlePort::refusing);
  const std::string url = "http://127.0.0.1:" + std::to_string(down.port());
  const std::string error = transportError(url + "/kavri");
  useServer(url);
  form->show();
  form->credits = "5";
  form->sendSMS("+36301234567", "Hello");
  EXPECT_EQ(form->messages,
            std::vector<std::string>{"Could not log into SMS server. Please check settings!"});
  EXPECT_TRUE(form->boxes.empty());
  const std::string answer = "[ERROR]\r\n" + error;
  EXPECT_TRUE(isExchangeLog(
      form->comlogText(), url + "/kavri",
      sendBody("action=sendMessages&recepient0=%2B36301234567&messageData0=Hello&messageCount=1"),
      &answer));
  EXPECT_EQ(form->credits, "5");
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(sentItems().empty());
}

// --- Against the bundled gateway ----------------------------------------------------

TEST_F(SendTest, TheWholeRoadThroughTheBundledGateway) {
  gateway::EmbeddedGateway& gw = bundledGateway();
  showAndSettle();
  EXPECT_EQ(form->credits, "100");
  EXPECT_EQ(form->statusPanelText(3), "Credits : 100");
  form->eTo->setText("Anna Kovacs [+36301234567] ");
  form->eCC->setText("+36309876543; Bob [+36201111111] ; ");
  form->re->setPlainText("Meeting moved\tto 3 pm,\r\nsee you there!");
  // "&Send" sits in the toolbar and in the File menu: one command.
  ASSERT_EQ(form->tbMain->actions().front(), form->actSend);
  ASSERT_EQ(form->mnFile->actions().front(), form->actSend);
  form->mnFile->actions().front()->trigger();

  EXPECT_TRUE(form->messages.empty());
  EXPECT_TRUE(form->boxes.empty());
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->credits, "97");
  EXPECT_EQ(form->statusPanelText(3), "Credits : 97");
  const auto stored = gw.store().messages(std::string("nobody"), 10);
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[2].recipient, "+36301234567");
  EXPECT_EQ(stored[1].recipient, "+36309876543");
  EXPECT_EQ(stored[0].recipient, "+36201111111");
  EXPECT_EQ(stored[0].text, "Meeting movedto 3 pm,see you there!");
  const std::string log = form->comlogText();
  EXPECT_NE(log.find("[REQUEST (" + gw.url() + "/kavri)]"), std::string::npos);
  EXPECT_NE(log.find("&messageCount=3\r\n[RESPONSE]\r\n"), std::string::npos);

  const auto copies = sentItems();
  ASSERT_EQ(copies.size(), 1u);
  const StoredCopy& copy = copies[0];
  EXPECT_TRUE(copy.seen);
  EXPECT_EQ(copy.field("Subject"), "[SMS] Meeting movedto 3 pm,see you there!");
  EXPECT_EQ(copy.body, "Meeting movedto 3 pm,see you there!");
  EXPECT_EQ(copy.field("From"), "nobody@127.0.0.1");
  // The first entry as typed is the main recipient, the others are copies.
  EXPECT_EQ(copy.field("To"), "\"Anna Kovacs [+36301234567]\":;");
  EXPECT_EQ(copy.field("Cc"), "+36309876543:;, \"Bob [+36201111111]\":;");
  EXPECT_EQ(copy.field("X-Priority"), "3 (Normal)");
  EXPECT_EQ(copy.field("Importance"), "normal");
  EXPECT_FALSE(copy.field("Date").empty());
}

TEST_F(SendTest, WithoutAHostTheWindowComesBackAfterASend) {
  bundledGateway();
  new THostStandIn(form.get());
  showAndSettle();
  form->eTo->setText("+36301234567");
  form->re->setPlainText("Hi");
  form->actSend->trigger();
  EXPECT_FALSE(form->isVisible());
  ASSERT_TRUE(pumpUntil([&] { return form->isVisible(); }));
  // Started afresh, as by the host's button, with the balance after the send.
  EXPECT_TRUE(form->eTo->text().isEmpty());
  EXPECT_TRUE(form->re->toPlainText().isEmpty());
  ASSERT_TRUE(pumpUntil([&] { return form->pendingCreditQueries() == 0; }));
  EXPECT_EQ(form->statusPanelText(3), "Credits : 99");
  // Closing is the end.
  form->close();
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents();
  EXPECT_FALSE(form->isVisible());
}

TEST_F(SendTest, HighPriorityAndALongSubject) {
  bundledGateway();
  showAndSettle();
  const std::string text = std::string(40, 'x') + "y";
  form->eTo->setText("+36301234567");
  form->re->setPlainText(QString::fromStdString(text));
  form->tbPriority->setChecked(true);
  form->actSend->trigger();
  const auto copies = sentItems();
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].field("Subject"), "[SMS] " + std::string(40, 'x') + "...");
  EXPECT_EQ(copies[0].body, text);
  EXPECT_EQ(copies[0].field("X-Priority"), "1 (Highest)");
  EXPECT_EQ(copies[0].field("Importance"), "high");
}

TEST_F(SendTest, InsufficientBalanceAtTheBundledGateway) {
  gateway::EmbeddedGateway& gw = bundledGateway();
  form->show();
  gw.store().setBalance("nobody", gateway::Balance{false, 2});
  form->credits = "5"; // the window believes in more than the gateway has
  form->sendSMS("1;2;3", "Hi");
  ASSERT_EQ(form->boxes.size(), 1u);
  EXPECT_EQ(form->boxes[0].text, insufficient);
  EXPECT_EQ(form->credits, "0");
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(sentItems().size(), 1u);
  EXPECT_EQ(gw.store().messages(std::string("nobody"), 10).size(), 2u);
  // The next send is refused before any request.
  form->show();
  form->boxes.clear();
  form->sendSMS("1", "Hi");
  ASSERT_EQ(form->boxes.size(), 1u);
  EXPECT_EQ(form->boxes[0].text, "You do not have enough credits to send these messages!");
}

TEST_F(SendTest, WrongPasswordAtTheBundledGateway) {
  gateway::EmbeddedGateway& gw = bundledGateway();
  form->show();
  form->credits = "5";
  form->ePass->setText("wrong");
  form->sendSMS("+36301234567", "Hi");
  EXPECT_EQ(form->messages,
            std::vector<std::string>{"Could not log into SMS server. Please check settings!"});
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(sentItems().empty());
  EXPECT_TRUE(gw.store().messages(std::string("nobody"), 10).empty());
  EXPECT_EQ(form->credits, "5");
}

TEST_F(SendTest, ABatchOverTheGatewaysSizeLimitIsRefusedNotFiled) {
  gateway::EmbeddedGateway& gw = bundledGateway();
  form->show();
  form->credits = "unlimited";
  // 8,000 texts of 1,600 characters, each "!" sent as "%21": over the 32 MiB the gateway takes.
  std::string recip;
  for (int i = 0; i < 8000; ++i)
    recip += "+3630" + std::to_string(1000000 + i) + ";";
  form->sendSMS(recip, std::string(1600, '!'));
  EXPECT_EQ(form->messages,
            std::vector<std::string>{"Could not log into SMS server. Please check settings!"});
  EXPECT_NE(form->comlogText().find(" 413 "), std::string::npos);
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(sentItems().empty());
  EXPECT_TRUE(gw.store().messages(std::string("nobody"), 1).empty());
}

// --- The mail store -----------------------------------------------------------------

TEST_F(SendTest, NoMessageStoreFilesNothingAndStillHides) {
  bundledGateway();
  form->show();
  form->credits = "5";
  const TMapiEntryPoints saved = mapiEntryPoints();
  mapiEntryPoints().MAPILogonEx = [](mapi::ULONG_PTR, mapi::LPCSTR, mapi::LPCSTR, mapi::ULONG,
                                     mapi::IMAPISession**) -> mapi::HRESULT {
    return mapi::MAPI_E_LOGON_FAILED;
  };
  form->sendSMS("+36301234567", "Hi");
  mapiEntryPoints() = saved;
  EXPECT_TRUE(form->messages.empty());
  EXPECT_TRUE(form->boxes.empty());
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(sentItems().empty());
}

TEST_F(SendTest, AStoreErrorEndsTheSendAndKeepsTheWindow) {
  bundledGateway();
  form->show();
  form->credits = "5";
  const TMapiEntryPoints saved = mapiEntryPoints();
  // The store reports its support mask under another tag.
  static mapi::LPHRGETONEPROP real;
  real = saved.HrGetOneProp;
  ASSERT_NE(real, nullptr);
  mapiEntryPoints().HrGetOneProp = [](mapi::IMAPIProp* prop, mapi::ULONG tag,
                                      mapi::SPropValue** value) -> mapi::HRESULT {
    const mapi::HRESULT hr = real(prop, tag, value);
    if (hr == 0 && *value)
      (*value)->ulPropTag = tag + 1;
    return hr;
  };
  form->eTo->setText("+36301234567");
  form->re->setPlainText("Hi");
  form->actSend->trigger();
  mapiEntryPoints() = saved;
  ASSERT_EQ(form->boxes.size(), 1u);
  EXPECT_EQ(form->boxes[0].caption, "KAVRI SMS");
  EXPECT_EQ(form->boxes[0].icon, MsgIcon::error);
  EXPECT_NE(form->boxes[0].text.find("Assertion failure"), std::string::npos);
  EXPECT_TRUE(form->isVisible());
}

} // namespace
} // namespace quorvel
