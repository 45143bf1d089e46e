// What the gateway answers to each action and each bad request, and what it stores.
#include "gateway/gatewayAddress.h"
#include "gateway/gatewayService.h"

#include "gatewayTestUtil.h"
#include "tempDir.h"
#include "xmlWellFormed.h"

#include <gtest/gtest.h>

namespace quorvel::gateway {
namespace {

using test::contains;
using test::count;
using test::kLoginMarker;
using test::payload;

const HashCost kCost{test::kTestLog2N, 8, 1};

std::string repeat(const std::string& piece, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

class GatewayProtocol : public ::testing::Test {
protected:
  GatewayProtocol() : store(dir.file("gateway.sqlite")), service(store, kCost) {
    store.addAccount("ann", hashPassword("secret", kCost), Balance{false, 5});
    store.addAccount("max", hashPassword("open sesame", kCost), Balance{true, 0});
  }

  Answer post(const std::string& body) { return service.handle(body); }

  static std::string send(const std::string& login, const std::string& password,
                          const std::vector<std::string>& recipients, const std::string& text = "Hi+there%21") {
    std::string body = "login=" + login + "&password=" + password + "&action=sendMessages";
    for (size_t i = 0; i < recipients.size(); ++i)
      body += "&recepient" + std::to_string(i) + "=" + recipients[i] + "&messageData" + std::to_string(i) + "=" + text;
    return body + "&messageCount=" + std::to_string(recipients.size()) + "\r\n";
  }

  Balance balanceOf(const std::string& name) { return store.findAccount(name)->balance; }

  test::TempDir dir;
  GatewayStore store;
  GatewayService service;
};

TEST_F(GatewayProtocol, CreditQueryAnswersTheBalance) {
  const Answer a = post("login=ann&password=secret&action=getCredits&t=1700000000\r\n");
  EXPECT_EQ(a.status, 200);
  EXPECT_EQ(a.body, "<?xml version=\"1.0\"?><Response><Data>5</Data></Response>");
  EXPECT_EQ(payload(a.body), "5");
}

TEST_F(GatewayProtocol, UnlimitedAccountAnswersMinusOne) {
  const Answer a = post("login=max&password=open+sesame&action=getCredits&t=1\r\n");
  EXPECT_EQ(payload(a.body), "-1");
}

TEST_F(GatewayProtocol, WrongCredentialsGetTheLoginPage) {
  const std::vector<std::string> bodies = {
      "login=ann&password=wrong&action=getCredits&t=1\r\n",
      "login=ann&password=&action=getCredits&t=1\r\n",
      "login=nobody&password=secret&action=getCredits&t=1\r\n",
      send("ann", "Secret", {"123"}),
      // A bad action is not disclosed to a stranger.
      "login=ann&password=wrong&action=whatever\r\n",
  };
  for (const std::string& body : bodies) {
    const Answer a = post(body);
    // The credit client tests "ERROR" before "HTML": the page must hold only the latter.
    EXPECT_TRUE(contains(a.body, "<HTML>")) << body;
    EXPECT_TRUE(contains(a.body, kLoginMarker)) << body;
    EXPECT_FALSE(contains(a.body, "ERROR")) << body;
    EXPECT_EQ(a.contentType.rfind("text/html", 0), 0u);
  }
  EXPECT_EQ(balanceOf("ann"), (Balance{false, 5}));
  EXPECT_EQ(store.messageCount(), 0);
}

TEST_F(GatewayProtocol, SendFilesEveryMessageAndCharges) {
  const Answer a = post(send("ann", "secret", {"%2B3612345", "555"}));
  EXPECT_EQ(a.status, 200);
  EXPECT_FALSE(contains(payload(a.body), "Insufficient"));
  EXPECT_FALSE(contains(a.body, "ERROR"));
  EXPECT_FALSE(contains(a.body, "HTML"));
  EXPECT_FALSE(contains(a.body, kLoginMarker));
  EXPECT_EQ(count(a.body, "status=\"accepted\""), 2u);
  EXPECT_TRUE(contains(a.body, "<Credits>3</Credits>"));
  EXPECT_EQ(balanceOf("ann"), (Balance{false, 3}));

  const auto messages = store.messages("ann", 10);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].recipient, "+3612345");
  EXPECT_EQ(messages[0].recipient, "555");
  EXPECT_EQ(messages[0].text, "Hi there!");
  EXPECT_EQ(messages[0].status, "accepted");
  EXPECT_EQ(messages[0].account, "ann");
}

TEST_F(GatewayProtocol, BalanceStopsTheBatchInOrder) {
  const Answer a = post(send("ann", "secret", {"1", "2", "3", "4", "5", "6", "7"}));
  EXPECT_TRUE(contains(payload(a.body), "Insufficient"));
  EXPECT_FALSE(contains(a.body, "[ERROR]"));
  EXPECT_EQ(count(a.body, "status=\"accepted\""), 5u);
  EXPECT_TRUE(contains(a.body, "<Message index=\"5\" recipient=\"6\" status=\"refused\" reason=\"insufficient credits\"/>"));
  EXPECT_TRUE(contains(a.body, "<Message index=\"6\" recipient=\"7\" status=\"refused\""));
  EXPECT_EQ(balanceOf("ann"), (Balance{false, 0}));

  const auto messages = store.messages("ann", 10);
  ASSERT_EQ(messages.size(), 5u);
  EXPECT_EQ(messages.front().recipient, "5");
  EXPECT_EQ(messages.back().recipient, "1");

  // Nothing left: the next batch is refused whole, still without an error.
  const Answer b = post(send("ann", "secret", {"8"}));
  EXPECT_TRUE(contains(payload(b.body), "Insufficient"));
  EXPECT_EQ(count(b.body, "status=\"accepted\""), 0u);
  EXPECT_EQ(store.messageCount(), 5);
}

TEST_F(GatewayProtocol, RecipientWithoutDigitsIsRefusedAlone) {
  const Answer a = post(send("ann", "secret", {"111", "", "Anna+%5B%5D", "222"}));
  EXPECT_EQ(a.status, 200);
  EXPECT_FALSE(contains(payload(a.body), "Insufficient"));
  EXPECT_TRUE(contains(a.body, "<Message index=\"1\" recipient=\"\" status=\"refused\" reason=\"no phone number\"/>"));
  EXPECT_TRUE(contains(a.body, "<Message index=\"2\" recipient=\"Anna &#91;&#93;\" status=\"refused\""));
  EXPECT_EQ(count(a.body, "status=\"accepted\""), 2u);
  EXPECT_EQ(balanceOf("ann"), (Balance{false, 3}));
  EXPECT_EQ(store.messageCount(), 2);
}

// With nothing to send, the batch fails as a whole, so that the sending
// client keeps the message instead of filing it as sent.
TEST_F(GatewayProtocol, BatchWithNothingToSendIsAnError) {
  struct Case {
    std::vector<std::string> recipients;
    std::string text;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{""}, "Hi", "ERROR: nothing was sent: message 0 has no phone number"},
      {{"Anna+%5B%5D", "+"}, "Hi", "message 0 has no phone number, message 1 has no phone number"},
      {{"111"}, "", "message 0 has an empty text"},
  };
  for (const Case& c : cases) {
    const Answer a = post(send("ann", "secret", c.recipients, c.text));
    EXPECT_EQ(a.status, 400);
    EXPECT_TRUE(contains(a.body, "[ERROR]"));
    EXPECT_TRUE(contains(payload(a.body), c.message)) << a.body;
  }
  EXPECT_EQ(balanceOf("ann"), (Balance{false, 5}));
  EXPECT_EQ(store.messageCount(), 0);
}

TEST_F(GatewayProtocol, EmptyTextIsRefusedWithoutCharge) {
  const Answer a = post(send("ann", "secret", {"111", "222"}, ""));
  EXPECT_TRUE(contains(a.body, "[ERROR]"));
  const Answer b = post("login=ann&password=secret&action=sendMessages&recepient0=1&messageData0=&recepient1=2"
                        "&messageData1=x&messageCount=2");
  EXPECT_TRUE(contains(b.body, "<Message index=\"0\" recipient=\"1\" status=\"refused\" reason=\"empty text\"/>"));
  EXPECT_EQ(count(b.body, "status=\"accepted\""), 1u);
  EXPECT_EQ(balanceOf("ann"), (Balance{false, 4}));
  EXPECT_EQ(store.messageCount(), 1);
}

// What a client sent is echoed, but never so that it reads as a marker.
TEST_F(GatewayProtocol, EchoedRecipientsCannotForgeMarkers) {
  const Answer a = post(send("ann", "secret",
                             {"%5BERROR%5D1", "%3Cinput+type%3Dhidden+name%3D%22action%22+value%3D%22registerGUI%22%3E2",
                              "3%3C%2FData%3EInsufficient"}));
  EXPECT_FALSE(contains(a.body, "[ERROR]"));
  EXPECT_FALSE(contains(a.body, kLoginMarker));
  EXPECT_FALSE(contains(payload(a.body), "Insufficient"));
  EXPECT_EQ(count(a.body, "status=\"accepted\""), 3u);
  const auto messages = store.messages("ann", 10);
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[2].recipient, "[ERROR]1");
}

TEST_F(GatewayProtocol, UnlimitedAccountSendsEverything) {
  std::vector<std::string> many(40, "999");
  const Answer a = post(send("max", "open+sesame", many));
  EXPECT_EQ(count(a.body, "status=\"accepted\""), 40u);
  EXPECT_TRUE(contains(a.body, "<Credits>-1</Credits>"));
  EXPECT_EQ(balanceOf("max"), (Balance{true, 0}));
  EXPECT_EQ(store.messageCount(), 40);
}

TEST_F(GatewayProtocol, BadRequestsAreRefusedAndChangeNothing) {
  const std::vector<std::string> bodies = {
      "login=ann&password=secret&action=sendSMS&t=1\r\n",
      "login=ann&password=secret&t=1\r\n",
      "login=ann&password=secret&action=getCredits\r\n",
      "password=secret&action=getCredits&t=1\r\n",
      "login=ann&action=getCredits&t=1\r\n",
      "login=ann&password=secret&action=sendMessages&recepient0=1&messageData0=x\r\n",
      "login=ann&password=secret&action=sendMessages&recepient0=1&messageData0=x&messageCount=x\r\n",
      "login=ann&password=secret&action=sendMessages&recepient0=1&messageData0=x&messageCount=2\r\n",
      "login=ann&password=secret&action=sendMessages&recepient0=1&messageData0=x&recepient1=2&messageData1=x"
      "&messageCount=1\r\n",
      "login=ann&password=secret&action=sendMessages&messageCount=0\r\n",
      "login=ann&password=secret&action=sendMessages&messageCount=999999999\r\n",
      "login=ann&password=secret&action=sendMessages&recepient0=1&messageData0=%ZZ&messageCount=1\r\n",
      "login=ann&password=secret&action=getCredits&t=1&t=2\r\n",
      "",
  };
  for (const std::string& body : bodies) {
    const Answer a = post(body);
    EXPECT_EQ(a.status, 400) << body;
    EXPECT_EQ(payload(a.body).rfind("ERROR: ", 0), 0u) << body << " -> " << a.body;
    // The sending client fails on "[ERROR]"; without it a refusal would pass as a sent batch.
    EXPECT_TRUE(contains(a.body, "[ERROR]")) << body;
    EXPECT_FALSE(contains(a.body, "HTML")) << body;
  }
  EXPECT_EQ(balanceOf("ann"), (Balance{false, 5}));
  EXPECT_EQ(store.messageCount(), 0);
}

TEST_F(GatewayProtocol, SignInFormShowsTheAccount) {
  const Answer a = post("action=registerGUI&login=ann&password=secret");
  EXPECT_TRUE(contains(a.body, "<HTML>"));
  EXPECT_TRUE(contains(a.body, "Signed in as ann. You have 5 credits."));
  EXPECT_FALSE(contains(a.body, kLoginMarker));
}

TEST_F(GatewayProtocol, WeakerStoredHashIsReplacedAtSignIn) {
  const HashCost old{test::kTestLog2N - 1, 8, 1};
  store.addAccount("eve", hashPassword("pw", old), Balance{false, 1});
  ASSERT_TRUE(needsRehash(store.findAccount("eve")->passwordHash, kCost));

  EXPECT_EQ(payload(post("login=eve&password=pw&action=getCredits&t=1").body), "1");
  const std::string renewed = store.findAccount("eve")->passwordHash;
  EXPECT_FALSE(needsRehash(renewed, kCost));
  EXPECT_TRUE(verifyPassword("pw", renewed));
  // Signing in again with the renewed hash still works, and a wrong password still fails.
  EXPECT_EQ(payload(post("login=eve&password=pw&action=getCredits&t=1").body), "1");
  EXPECT_TRUE(contains(post("login=eve&password=pW&action=getCredits&t=1").body, kLoginMarker));
}

// Money: a message costs the SMS parts it takes, counted as the composer's tooltip counts them.
TEST_F(GatewayProtocol, EachMessageCostsItsSmsParts) {
  struct Case {
    std::string text;  // as the form carries it
    std::int64_t parts;
  };
  const std::vector<Case> cases = {
      {"Hi", 1},
      {std::string(160, 'a'), 1},
      {std::string(161, 'a'), 2},
      {std::string(153 * 3, 'a'), 3},
      {std::string(153 * 3 + 1, 'a'), 4},
      {repeat("%E2%82%AC", 80), 1},  // the euro sign takes two septets
      {repeat("%E2%82%AC", 81), 2},
      {repeat("%C5%91", 70), 1},  // U+0151 is not GSM: UCS-2
      {repeat("%C5%91", 71), 2},
  };
  for (const Case& c : cases) {
    store.setBalance("ann", Balance{false, 100});
    const Answer a = post(send("ann", "secret", {"123"}, c.text));
    EXPECT_EQ(count(a.body, "status=\"accepted\""), 1u) << c.text.substr(0, 20);
    EXPECT_EQ(balanceOf("ann"), (Balance{false, 100 - c.parts})) << c.text.substr(0, 20);
    const StoredMessage m = store.messages("ann", 1).at(0);
    EXPECT_EQ(m.parts, c.parts);
    EXPECT_EQ(m.cost, c.parts);
    EXPECT_TRUE(contains(a.body, "<Credits>" + std::to_string(100 - c.parts) + "</Credits>"));
  }
}

// Accepted in order while the credits cover them: the first message they
// cannot cover stops the batch, though a later shorter one would fit.
TEST_F(GatewayProtocol, CreditsStopTheBatchAtTheFirstMessageTheyCannotCover) {
  const std::string two(200, 'a');
  const Answer a = post("login=ann&password=secret&action=sendMessages&recepient0=1&messageData0=" + two +
                        "&recepient1=2&messageData1=" + two + "&recepient2=3&messageData2=" + two +
                        "&recepient3=4&messageData3=x&messageCount=4");
  EXPECT_TRUE(contains(payload(a.body), "Accepted 2 of 4 messages. Insufficient credits: 2 not sent.")) << a.body;
  EXPECT_TRUE(contains(a.body, "<Message index=\"2\" recipient=\"3\" status=\"refused\" reason=\"insufficient credits\"/>"));
  EXPECT_TRUE(contains(a.body, "<Message index=\"3\" recipient=\"4\" status=\"refused\" reason=\"insufficient credits\"/>"));
  EXPECT_EQ(balanceOf("ann"), (Balance{false, 1}));
  EXPECT_EQ(store.messageCount(), 2);
}

// 39,015 characters from an account with 1 credit: once 255 SMS for one credit.
TEST_F(GatewayProtocol, TextOverMaxPartsIsRefusedWholeAndCostsNothing) {
  store.setBalance("ann", Balance{false, 1});
  const std::string longest(39015, 'a');
  struct Case {
    std::vector<std::string> texts;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{longest}, "message 0 is too long: 255 SMS parts, the gateway takes at most 10; nothing was sent"},
      {{"short", std::string(153 * 10 + 1, 'a'), "short", longest},
       "message 1 is too long: 11 SMS parts, the gateway takes at most 10 (and 1 more message is too long); "
       "nothing was sent"},
  };
  for (const Case& c : cases) {
    std::string body = "login=ann&password=secret&action=sendMessages";
    for (size_t i = 0; i < c.texts.size(); ++i)
      body += "&recepient" + std::to_string(i) + "=1&messageData" + std::to_string(i) + "=" + c.texts[i];
    const Answer a = post(body + "&messageCount=" + std::to_string(c.texts.size()));
    EXPECT_EQ(a.status, 400);
    EXPECT_TRUE(contains(a.body, "[ERROR]"));
    EXPECT_EQ(payload(a.body), "ERROR: " + c.message);
  }
  // Unlimited accounts are held to the same length.
  EXPECT_EQ(post(send("max", "open+sesame", {"1"}, longest)).status, 400);
  EXPECT_EQ(balanceOf("ann"), (Balance{false, 1}));
  EXPECT_EQ(store.messageCount(), 0);

  // A gateway that takes 255 parts still wants 255 credits for them.
  GatewayService lenient(store, kCost, 255);
  const Answer a = lenient.handle(send("ann", "secret", {"1"}, longest));
  EXPECT_TRUE(contains(payload(a.body), "Insufficient")) << a.body;
  EXPECT_EQ(balanceOf("ann"), (Balance{false, 1}));
  EXPECT_EQ(store.messageCount(), 0);
}

TEST_F(GatewayProtocol, UnlimitedAccountPaysNothingButPartsAreRecorded) {
  post(send("max", "open+sesame", {"1"}, std::string(400, 'a')));
  const StoredMessage m = store.messages("max", 1).at(0);
  EXPECT_EQ(m.parts, 3);
  EXPECT_EQ(m.cost, 0);
  EXPECT_EQ(balanceOf("max"), (Balance{true, 0}));
}

// Encodings: bytes that are not UTF-8 are the account's code page.
TEST_F(GatewayProtocol, TextsThatAreNotUtf8AreReadInTheAccountsCodePage) {
  struct Case {
    std::string charset;  // empty: the default
    std::string recipient, text;
    std::string storedRecipient, storedText;
    std::int64_t parts;
  };
  const std::vector<Case> cases = {
      {"", "%2B36%A0301", "%E9t%E9+%80", "+36\u00A0301", "\u00E9t\u00E9 \u20AC", 1},
      {"", "1", "caf%C3%A9", "1", "caf\u00E9", 1},  // UTF-8 stays UTF-8
      // 160 GSM characters once decoded; as raw bytes they counted as 160 U+FFFD.
      {"", "1", repeat("%E9", 160), "1", repeat("\u00E9", 160), 1},
      {"windows-1250", "1", "%F5r%FCl%F5", "1", "\u0151r\u00FCl\u0151", 1},
      {"windows-1251", "1", "%CF%F0%E8%E2%E5%F2", "1", "\u041F\u0440\u0438\u0432\u0435\u0442", 1},
      {"windows-1253", "1", repeat("%E1", 71), "1", repeat("\u03B1", 71), 2},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(store.setCharset("ann", c.charset.empty() ? "windows-1252" : c.charset));
    store.setBalance("ann", Balance{false, 100});
    const Answer a = post(send("ann", "secret", {c.recipient}, c.text));
    ASSERT_EQ(count(a.body, "status=\"accepted\""), 1u) << a.body;
    const StoredMessage m = store.messages("ann", 1).at(0);
    EXPECT_EQ(m.recipient, c.storedRecipient) << c.text;
    EXPECT_EQ(m.text, c.storedText) << c.text;
    EXPECT_EQ(m.parts, c.parts) << c.text;
    EXPECT_EQ(balanceOf("ann"), (Balance{false, 100 - c.parts})) << c.text;
  }
}

// Every XML answer is well-formed whatever a client sent: NUL, C0 controls
// and malformed UTF-8 are replaced visibly, never echoed raw.
TEST_F(GatewayProtocol, AnswersToHostileInputAreWellFormedXml) {
  const std::vector<std::string> hostile = {"%00", "%01%1F", "%0B%0C", "%C3", "%80", "%C0%AF", "%ED%A0%80", "%EF%BF%BE",
                                            "%EF%BF%BF", "%F4%90%80%80", "%FF%FE", "%09%0A%0D", "%1B%5B31m"};
  for (const std::string& h : hostile) {
    const std::vector<std::string> bodies = {
        send("ann", "secret", {"1" + h, h}),
        send("ann", "secret", {h}),
        "login=ann&password=secret&action=" + h + "\r\n",
        "login=ann&password=secret&action=getCredits&t=1&" + h + "=1&" + h + "=2\r\n",
        "login=" + h + "&password=x&action=getCredits&t=1&t=2\r\n",
    };
    for (const std::string& body : bodies) {
      store.setBalance("ann", Balance{false, 5});
      const Answer a = post(body);
      ASSERT_EQ(a.contentType.rfind("text/", 0), 0u);
      if (a.contentType.rfind("text/xml", 0) == 0) {
        EXPECT_EQ(test::xmlFault(a.body), "") << body << "\n" << a.body;
      }
    }
  }
}

// The escape itself, byte by byte; and the check above is no formality:
// it finds each of these faults in the raw text.
TEST(XmlEscape, LeavesOnlyCharactersXmlCarries) {
  struct Case {
    std::string raw, escaped;
  };
  const std::vector<Case> cases = {
      {std::string("a\0b", 3), "a\u2400b"},
      {"\x01\x1F\x7F", "\u2401\u241F\x7F"},
      {"\t\n\r", "&#9;&#10;&#13;"},
      {"\xC3", "\uFFFD"},
      {"\xC3(", "\uFFFD("},
      {"\xC0\xAF", "\uFFFD\uFFFD"},             // overlong "/"
      {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},   // a surrogate
      {"\xEF\xBF\xBE\xEF\xBF\xBF", "\uFFFD\uFFFD"},
      {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
      {"caf\xC3\xA9 \xF0\x9F\x98\x80", "caf\u00E9 \U0001F600"},
      {"<a href='x'>[&]</a>", "&lt;a href=&apos;x&apos;&gt;&#91;&amp;&#93;&lt;/a&gt;"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(xmlEscape(c.raw), c.escaped) << c.raw;
    const std::string doc = "<?xml version=\"1.0\"?><R a=\"" + xmlEscape(c.raw) + "\">" + xmlEscape(c.raw) + "</R>";
    EXPECT_EQ(test::xmlFault(doc), "") << doc;
  }
  for (const std::string& raw : {std::string("\0", 1), std::string("\x01"), std::string("\xC3"),
                                 std::string("\xEF\xBF\xBE"), std::string("<"), std::string("&x;")})
    EXPECT_NE(test::xmlFault("<R>" + raw + "</R>"), "") << raw;
  EXPECT_NE(test::xmlFault("<R a=\"&#1;\"/>"), "");
  EXPECT_NE(test::xmlFault("<R><S></R></S>"), "");
}

TEST(PasswordHash, VerifiesOnlyTheRightPassword) {
  const HashCost cost{test::kTestLog2N, 8, 1};
  const std::string a = hashPassword("pqr456", cost);
  const std::string b = hashPassword("pqr456", cost);
  EXPECT_NE(a, b);  // fresh salt each time
  EXPECT_EQ(a.rfind("$scrypt$ln=10,r=8,p=1$", 0), 0u);
  EXPECT_TRUE(verifyPassword("pqr456", a));
  EXPECT_TRUE(verifyPassword("pqr456", b));
  EXPECT_FALSE(verifyPassword("pqr457", a));
  EXPECT_FALSE(verifyPassword("", a));
  for (const std::string& broken : std::vector<std::string>{"", "pqr456", "$scrypt$ln=10,r=8,p=1$", "$scrypt$ln=99,r=8,p=1$AAAA$AAAA",
                                    "$scrypt$ln=10,r=8$AAAA$AAAA", a.substr(0, a.size() - 4)})
    EXPECT_FALSE(verifyPassword("pqr456", broken)) << broken;
  EXPECT_TRUE(needsRehash(a, HashCost{}));
  EXPECT_FALSE(needsRehash(a, cost));
}

// Sign-in with a clock the test moves and a log it reads.
class GatewaySignIn : public ::testing::Test {
protected:
  GatewaySignIn() : store(dir.file("gateway.sqlite")), service(store, kCost, options()) {
    store.addAccount("ann", hashPassword("secret", kCost), Balance{false, 5});
    service.hashSlots().onHash = [this] { ++hashes; };
  }

  SignInOptions options() {
    SignInOptions o;
    o.clock = [this] { return now; };
    o.log = [this](const std::string& line) { log.push_back(line); };
    return o;
  }

  Answer credits(const std::string& password, const std::string& address, const std::string& login = "ann") {
    return service.handle("login=" + login + "&password=" + password + "&action=getCredits&t=1\r\n", ClientInfo{address});
  }

  test::TempDir dir;
  GatewayStore store;
  SignInClock::time_point now = std::chrono::sys_days{std::chrono::year{2026} / 12 / 10} + std::chrono::hours(18);
  std::vector<std::string> log;
  int hashes = 0;
  GatewayService service;
};

TEST_F(GatewaySignIn, FailedSignInsAreLoggedWithoutThePassword) {
  EXPECT_EQ(payload(credits("secret", "192.0.2.7").body), "5");
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(contains(credits("guess1", "192.0.2.7").body, kLoginMarker));
  EXPECT_TRUE(contains(credits("guess2", "2001:db8::7", "bob").body, kLoginMarker));
  EXPECT_TRUE(contains(credits("guess3", "192.0.2.8", "e%22v%0Ail").body, kLoginMarker));
  const std::vector<std::string> expected = {
      "2026-12-10T18:00:00Z sign-in failed: login \"ann\" from 192.0.2.7",
      "2026-12-10T18:00:00Z sign-in failed: login \"bob\" from 2001:db8::7",
      "2026-12-10T18:00:00Z sign-in failed: login \"e\\\"v\\x0ail\" from 192.0.2.8",
  };
  EXPECT_EQ(log, expected);
}

// Each failure beyond the third locks that client out of that login for
// twice as long as the one before; others, and the right password from
// elsewhere, are not affected. A refusal costs no hash.
TEST_F(GatewaySignIn, RepeatedFailuresLockOneClientForOneLogin) {
  const std::string a = "192.0.2.1", b = "192.0.2.2";
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(contains(credits("wrong", a).body, kLoginMarker));
  EXPECT_TRUE(contains(credits("wrong", a).body, kLoginMarker));
  EXPECT_TRUE(log.back().ends_with("; further attempts refused for 1 s")) << log.back();

  const int hashed = hashes;
  for (int i = 0; i < 2; ++i) {
    const Answer refused = credits("secret", a);
    EXPECT_EQ(refused.status, 429);
    EXPECT_TRUE(contains(refused.body, "[ERROR]"));
    EXPECT_TRUE(contains(payload(refused.body), "too many failed sign-ins for this login from your address: try again in 1 s"));
  }
  EXPECT_EQ(hashes, hashed);
  EXPECT_EQ(test::count(log.back(), "sign-in refused (too many failures): login \"ann\" from 192.0.2.1"), 1u);
  EXPECT_EQ(log.size(), 5u);  // four failures, one refusal
  EXPECT_EQ(payload(credits("secret", b).body), "5");
  EXPECT_TRUE(contains(credits("wrong", a, "max").body, kLoginMarker));

  for (const int lock : {2, 4, 8}) {
    now += std::chrono::seconds(lock / 2);
    EXPECT_TRUE(contains(credits("wrong", a).body, kLoginMarker));
    EXPECT_TRUE(log.back().ends_with("refused for " + std::to_string(lock) + " s")) << log.back();
  }
  now += std::chrono::seconds(8);
  EXPECT_EQ(payload(credits("secret", a).body), "5");
  // The right password wipes the record: three free failures again.
  for (int i = 0; i < 3; ++i) credits("wrong", a);
  EXPECT_FALSE(log.back().ends_with(" s")) << log.back();
}

// Names cannot be told apart by time: an unknown login is checked against a
// stand-in hash, as slow as a real one. Passwords that verified before are
// recognised without a hash.
TEST_F(GatewaySignIn, UnknownLoginCostsOneHashAsAKnownOneDoes) {
  const std::vector<std::pair<std::string, std::string>> steps = {
      {"bob", "secret"}, {"ann", "wrong"}, {"ann", "secret"}, {"ann", "secret"}};
  const std::vector<int> expected = {1, 2, 3, 3};
  for (size_t i = 0; i < steps.size(); ++i) {
    credits(steps[i].second, "192.0.2.9", steps[i].first);
    EXPECT_EQ(hashes, expected[i]) << steps[i].first << " " << steps[i].second;
  }
}

TEST(SignInThrottle, BoundsItsBookkeepingAndGroupsClients) {
  constexpr std::chrono::milliseconds kNoWait{0};
  ThrottlePolicy policy;
  policy.maxEntries = 3;
  SignInThrottle throttle(policy);
  const auto t = SignInClock::time_point{} + std::chrono::hours(1);
  for (int i = 0; i < 10; ++i) {
    const std::string client = "192.0.2." + std::to_string(i);
    ASSERT_EQ(throttle.reserve(client, "ann", t, kNoWait), SignInThrottle::Reservation::Reserved);
    throttle.failed(client, "ann", t);
  }
  EXPECT_EQ(throttle.size(), 3u);

  // One check of a pair at a time; a locked pair is not checked at all.
  SignInThrottle fresh;
  using R = SignInThrottle::Reservation;
  EXPECT_EQ(fresh.reserve("192.0.2.1", "ann", t, kNoWait), R::Reserved);
  EXPECT_EQ(fresh.reserve("192.0.2.1", "ann", t, kNoWait), R::Busy);
  EXPECT_EQ(fresh.reserve("192.0.2.2", "ann", t, kNoWait), R::Reserved);
  fresh.released("192.0.2.1", "ann");
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(fresh.reserve("192.0.2.1", "ann", t, kNoWait), R::Reserved);
    fresh.failed("192.0.2.1", "ann", t);
  }
  EXPECT_EQ(fresh.reserve("192.0.2.1", "ann", t, kNoWait), R::Locked);
  EXPECT_EQ(fresh.reserve("192.0.2.1", "ann", t + std::chrono::seconds(1), kNoWait), R::Reserved);

  // The hosts of one IPv6 /64 are one client.
  SignInThrottle v6;
  for (const char* client : {"2001:db8::1", "2001:db8::2", "2001:db8::3", "2001:db8::4"}) {
    ASSERT_EQ(v6.reserve(client, "ann", t, kNoWait), SignInThrottle::Reservation::Reserved) << client;
    v6.failed(client, "ann", t);
  }
  EXPECT_TRUE(v6.lockedFor("2001:db8::99", "ann", t));
  EXPECT_FALSE(v6.lockedFor("2001:db8:0:1::1", "ann", t));

  const std::vector<std::pair<std::string, std::string>> groups = {
      {"192.0.2.1", "192.0.2.1"}, {"::ffff:192.0.2.1", "192.0.2.1"}, {"2001:db8:1:2:3:4:5:6", "2001:db8:1:2::/64"},
      {"::1", "0:0:0:0::/64"}, {"", ""}};
  for (const auto& [address, group] : groups) EXPECT_EQ(clientGroup(address), group) << address;
}

} // namespace
} // namespace quorvel::gateway
