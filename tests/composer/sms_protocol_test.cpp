// The gateway protocol without a network: request frame, payloads, the
// judging of credit answers, send fields, recipients, subject and sender.
#include "composer/unCreditQuery.h"
#include "composer/unGatewayFrame.h"
#include "composer/unGatewayRequest.h"
#include "composer/unSendAction.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(GatewayFrame, UrlIsTheSettingFollowedByKavri) {
  EXPECT_EQ(gatewayUrl("http://127.0.0.1:9333"), "http://127.0.0.1:9333/kavri");
  EXPECT_EQ(gatewayUrl("http://gw.example/"), "http://gw.example//kavri");
  EXPECT_EQ(gatewayUrl(""), "/kavri");
}

TEST(GatewayFrame, BodyPutsLoginAndPasswordFirstAndEndsInCrLf) {
  const TGatewaySettings s{"http://x", "ann smith", "p&ss=w%rd"};
  EXPECT_EQ(gatewayBody(s, "action=getCredits&t=5"),
            "login=ann+smith&password=p%26ss%3Dw%25rd&action=getCredits&t=5\r\n");
  EXPECT_EQ(gatewayBody({"", "", ""}, ""), "login=&password=&\r\n");
  // Bytes beyond ASCII are encoded one by one.
  EXPECT_EQ(gatewayBody({"", "\xC3\xA9", "-"}, "a"), "login=%C3%A9&password=%2D&a\r\n");
}

TEST(GatewayFrame, LogParts) {
  EXPECT_EQ(requestLogText("2024-01-02 03:04:05", "http://h/kavri", "login=a&b\r\n"),
            "2024-01-02 03:04:05\r\n[REQUEST (http://h/kavri)]\r\nlogin=a&b\r\n");
  EXPECT_EQ(responseLogText("<Data>1</Data>"), "[RESPONSE]\r\n<Data>1</Data>");
}

TEST(GatewayFrame, ParseData) {
  struct Case {
    std::string answer, payload;
  };
  const Case cases[] = {
      {"<?xml version=\"1.0\"?><Response><Data>12</Data></Response>", "12"},
      {"<Data>a &lt;b&gt; &amp; &quot;c&quot; &apos;d&apos;</Data>", "a <b> & \"c\" 'd'"},
      {"<Data>&amp;lt;</Data>", "&lt;"}, // one pass only
      {"<Data>\r\n 7 \t\r\n</Data>", "\r\n 7 \t\r\n"},
      {"<Data>12", ""},                  // no closing element
      {"no payload at all", ""},
      {"", ""},
      {"<Data></Data>", ""},
      {"<Data>1</Data><Data>2</Data>", "1"},
      {"<Data>x</Database></Data>", "x"},
      {"abcdefg</Data", "efg"},         // without "Data>" the first four bytes go
  };
  for (const Case& c : cases)
    EXPECT_EQ(parseData(c.answer), c.payload) << c.answer;
}

TEST(CreditQuery, ActionFieldsAndAnswer) {
  EXPECT_EQ(creditActionFields(1700000000), "action=getCredits&t=1700000000");
  EXPECT_EQ(creditAnswer("<Data>5</Data>", ""), "<Data>5</Data>");
  EXPECT_EQ(creditAnswer("<Data>5</Data>", "ERROR_HTTP_HEADER_NOT_FOUND"),
            "[ERROR] ERROR_HTTP_HEADER_NOT_FOUND");
}

TEST(CreditQuery, Judging) {
  const std::string url = "http://gw:1";
  struct Case {
    std::string answer;
    TCreditVerdict verdict;
    std::string credits, text;
    MsgIcon icon;
  };
  const std::string wrongLogin =
      "The message server was contacted, but \r\nthe user name or the password is incorrect";
  const std::string invalid = "[ERROR] Invalid response from the server";
  const Case cases[] = {
      {"<Data>25</Data>", TCreditVerdict::success, "25", "Successful login. You have 25 credits!",
       MsgIcon::none},
      {"<Data>0</Data>", TCreditVerdict::success, "0", "Successful login. You have 0 credits!",
       MsgIcon::none},
      {"<Data>-1</Data>", TCreditVerdict::success, "unlimited",
       "Successful login. You have unlimited credits!", MsgIcon::none},
      {"<Data>-2147483648</Data>", TCreditVerdict::success, "unlimited",
       "Successful login. You have unlimited credits!", MsgIcon::none},
      {"<Data>\r\n  42 \t\r\n</Data>", TCreditVerdict::success, "42",
       "Successful login. You have 42 credits!", MsgIcon::none},
      {"<Data>+8</Data>", TCreditVerdict::success, "8", "Successful login. You have 8 credits!",
       MsgIcon::none},
      {"<Data>2147483648</Data>", TCreditVerdict::invalidResponse, "", invalid, MsgIcon::none},
      {"<Data>12abc</Data>", TCreditVerdict::invalidResponse, "", invalid, MsgIcon::none},
      {"<Data></Data>", TCreditVerdict::invalidResponse, "", invalid, MsgIcon::none},
      {"<Data>4 2</Data>", TCreditVerdict::invalidResponse, "", invalid, MsgIcon::none},
      {"no data element", TCreditVerdict::invalidResponse, "", invalid, MsgIcon::none},
      {"<html><body>login</body></html>", TCreditVerdict::invalidResponse, "", invalid,
       MsgIcon::none},
      {"<html><Data>3</Data></html>", TCreditVerdict::success, "3",
       "Successful login. You have 3 credits!", MsgIcon::none},
      {"<HTML><form>...</form></HTML>", TCreditVerdict::wrongLogin, "", wrongLogin,
       MsgIcon::warning},
      {"<HTML><Data>ERROR</Data></HTML>", TCreditVerdict::cannotConnect, "",
       "Cannot connect to Nemora at http://gw:1\r\n<HTML><Data>ERROR</Data></HTML>",
       MsgIcon::warning},
      {"[ERROR] ERROR_INTERNET_CANNOT_CONNECT", TCreditVerdict::cannotConnect, "",
       "Cannot connect to Nemora at http://gw:1\r\n[ERROR] ERROR_INTERNET_CANNOT_CONNECT",
       MsgIcon::warning},
      {"<Data>error</Data>", TCreditVerdict::invalidResponse, "", invalid, MsgIcon::none},
  };
  for (const Case& c : cases) {
    const TCreditOutcome out = judgeCreditAnswer(c.answer, url);
    EXPECT_EQ(out.verdict, c.verdict) << c.answer;
    EXPECT_EQ(out.credits, c.credits) << c.answer;
    EXPECT_EQ(out.text, c.text) << c.answer;
    EXPECT_EQ(out.caption, "Kavri") << c.answer;
    EXPECT_EQ(out.icon, c.icon) << c.answer;
  }
  const TCreditOutcome none = judgeCreditAnswer("", url);
  EXPECT_EQ(none.verdict, TCreditVerdict::empty);
  EXPECT_EQ(none.text, "");
  EXPECT_EQ(none.credits, "");
}

TEST(SendAction, InputMissing) {
  EXPECT_TRUE(sendInputMissing(";", "hi"));
  EXPECT_TRUE(sendInputMissing("", "hi"));
  EXPECT_TRUE(sendInputMissing("123;", ""));
  EXPECT_FALSE(sendInputMissing(";123", "hi"));
  EXPECT_FALSE(sendInputMissing("123;", "hi"));
  EXPECT_FALSE(sendInputMissing(";;", "hi"));
}

TEST(SendAction, RecipientList) {
  using L = std::vector<std::string>;
  EXPECT_EQ(recipientList("1;2"), (L{"1", "2"}));
  EXPECT_EQ(recipientList("1;"), (L{"1"}));
  EXPECT_EQ(recipientList(";1"), (L{"", "1"}));
  EXPECT_EQ(recipientList("1;;2"), (L{"1", "", "2"}));
  EXPECT_EQ(recipientList("A [1] ;B [2] ;"), (L{"A [1] ", "B [2] "}));
}

TEST(SendAction, CreditsCover) {
  struct Case {
    std::size_t count;
    std::string credits;
    bool covered;
  };
  const Case cases[] = {{1, "", false},          {0, "", true},           {2, "2", true},
                        {3, "2", false},         {1, "0", false},         {100000, "unlimited", true},
                        {1, "Unlimited", false}, {25, "25", true},        {26, "25", false}};
  for (const Case& c : cases)
    EXPECT_EQ(creditsCover(c.count, c.credits), c.covered) << c.count << " " << c.credits;
}

TEST(SendAction, RecipientNumber) {
  struct Case {
    std::string entry;
    bool found;
    std::string number;
  };
  const Case cases[] = {
      {"+36301234567", true, "+36301234567"},
      {"  0630 123  ", true, "0630 123"},
      {"Anna Kovacs [+36301234567] ", true, "+36301234567"},
      {"Anna [] ", true, ""},          // the "]" is still there when tested
      {"Anna [", false, ""},
      {"   ", false, ""},
      {"", false, ""},
      {"A [1] [2]", true, "1 [2"},
      {"12]34", true, "1234"},
  };
  for (const Case& c : cases) {
    std::string number = "unset";
    EXPECT_EQ(recipientNumber(c.entry, number), c.found) << c.entry;
    if (c.found) {
      EXPECT_EQ(number, c.number) << c.entry;
    }
  }
}

TEST(SendAction, FieldsInOrderWithIndicesAndCount) {
  const TSendAction a =
      buildSendAction({"Anna [+3630 1234567] ", " 555 ", "Bob [06-1]"}, "  Hi there! ");
  EXPECT_TRUE(a.allowed);
  EXPECT_EQ(a.messageCount, 3);
  EXPECT_EQ(a.fields,
            "action=sendMessages"
            "&recepient0=%2B3630+1234567&messageData0=Hi+there%21"
            "&recepient1=555&messageData1=Hi+there%21"
            "&recepient2=06%2D1&messageData2=Hi+there%21"
            "&messageCount=3");
}

TEST(SendAction, ElevenRecipientsCountWithoutLeadingZeros) {
  std::vector<std::string> list(11, "1");
  const TSendAction a = buildSendAction(list, "x");
  EXPECT_NE(a.fields.find("&recepient10=1&messageData10=x&messageCount=11"), std::string::npos);
  EXPECT_EQ(a.fields.find("recepient01"), std::string::npos);
}

TEST(SendAction, EntryWithoutNumberStopsTheRequest) {
  const TSendAction a = buildSendAction({"1", "Nobody [", "3"}, "x");
  EXPECT_FALSE(a.allowed);
  EXPECT_EQ(a.missingEntry, "Nobody [");
  EXPECT_EQ(a.messageCount, 2);
  EXPECT_EQ(a.fields.find("messageCount"), std::string::npos);
  EXPECT_EQ(a.fields.find("recepient2"), std::string::npos);

  const TSendAction first = buildSendAction({"", "123"}, "x");
  EXPECT_FALSE(first.allowed);
  EXPECT_EQ(first.missingEntry, "");
  EXPECT_EQ(first.fields, "action=sendMessages");
}

TEST(SendAction, EmptyBracketsSendAnEmptyNumber) {
  const TSendAction a = buildSendAction({"Anna [] "}, "x");
  EXPECT_TRUE(a.allowed);
  EXPECT_EQ(a.fields, "action=sendMessages&recepient0=&messageData0=x&messageCount=1");
}

TEST(SendAction, RefusedAnswers) {
  EXPECT_TRUE(isRefusedSendAnswer("<HTML><input type=hidden name=\"action\" value=\"registerGUI\"></HTML>"));
  EXPECT_TRUE(isRefusedSendAnswer("[ERROR]\r\nERROR_INTERNET_CANNOT_CONNECT"));
  EXPECT_TRUE(isRefusedSendAnswer("<Status>[ERROR]</Status>"));
  EXPECT_FALSE(isRefusedSendAnswer("<input type=hidden name=action value=registerGUI>"));
  EXPECT_FALSE(isRefusedSendAnswer("ERROR"));
  EXPECT_FALSE(isRefusedSendAnswer("<Data>Insufficient credits</Data>"));
  EXPECT_FALSE(isRefusedSendAnswer(""));
}

TEST(StoredCopy, SubjectCutsCharactersNotBytes) {
  const std::string forty(40, 'a');
  EXPECT_EQ(smsSubject(""), "[SMS] ");
  EXPECT_EQ(smsSubject(forty), "[SMS] " + forty);
  EXPECT_EQ(smsSubject(forty + "b"), "[SMS] " + forty + "...");
  // 40 two-byte characters (80 bytes) are not cut; 41 are cut after the 40th.
  std::string accents;
  for (int i = 0; i < 40; ++i)
    accents += "\xC3\xA9";
  EXPECT_EQ(smsSubject(accents), "[SMS] " + accents);
  EXPECT_EQ(smsSubject(accents + "\xC3\xA9"), "[SMS] " + accents + "...");
  // A four-byte character straddling the 40th place stays whole.
  const std::string emoji = "\xF0\x9F\x98\x80";
  EXPECT_EQ(smsSubject(std::string(39, 'a') + emoji + "z"),
            "[SMS] " + std::string(39, 'a') + emoji + "...");
  EXPECT_EQ(smsSubject(std::string(39, 'a') + emoji), "[SMS] " + std::string(39, 'a') + emoji);
  // Malformed bytes count one each.
  EXPECT_EQ(smsSubject(std::string(41, '\x80')), "[SMS] " + std::string(40, '\x80') + "...");
}

TEST(StoredCopy, SenderHost) {
  struct Case {
    std::string url, host;
  };
  const Case cases[] = {
      {"http://127.0.0.1:9333", "127.0.0.1"},
      {"http://gw.example.com", "gw.example.com"},
      {"http://gw.example.com/sms/", "gw.example.com"},
      {"https://gw.example.com:8443/x", "gw.example.com"},
      {"HTTP://Gw.Example.com:80", "Gw.Example.com"},
      {"gw.example.com:9333", "gw.example.com"},
      {"http://user:pw@gw.example.com:9333", "gw.example.com"},
      {"http://[::1]:9333", "[::1]"},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(senderHost(c.url), c.host) << c.url;
  EXPECT_EQ(senderAddress("nobody", "http://127.0.0.1:9333"), "nobody@127.0.0.1");
}

TEST(GatewayRequest, StatusOfResponseHeaders) {
  EXPECT_EQ(httpStatusOf({"HTTP/1.1 413 Payload Too Large", "Content-Length: 3"}), 413);
  EXPECT_EQ(httpStatusOf({"HTTP/1.0 200 OK"}), 200);
  EXPECT_EQ(httpStatusOf({"HTTP/2 204"}), 204);
  EXPECT_EQ(httpStatusOf({}), 0);
  EXPECT_EQ(httpStatusOf({"Content-Length: 3"}), 0);
  EXPECT_EQ(httpStatusOf({"HTTP/1.1 2x0 Odd"}), 0);
}

} // namespace
} // namespace quorvel
