// Decoding of request bodies and reading of the requests in them.
#include "gateway/gatewayForm.h"
#include "gateway/gatewayRequest.h"

#include <gtest/gtest.h>

#include <memory>

namespace quorvel::gateway {
namespace {

TEST(GatewayForm, DecodesFieldsInOrder) {
  struct Case {
    std::string body;
    std::vector<FormField> fields;
  };
  const std::vector<Case> cases = {
      {"a=1&b=2", {{"a", "1"}, {"b", "2"}}},
      {"a=1&b=2\r\n", {{"a", "1"}, {"b", "2"}}},
      {"text=Hi+there%21", {{"text", "Hi there!"}}},
      {"n=%2B3612345", {{"n", "+3612345"}}},
      {"n=%2b36", {{"n", "+36"}}},
      {"empty=&flag", {{"empty", ""}, {"flag", ""}}},
      {"a=1&&b=2&", {{"a", "1"}, {"b", "2"}}},
      {"eq=a%3Db=c", {{"eq", "a=b=c"}}},
      {"utf=%C3%A9", {{"utf", "\xC3\xA9"}}},
      {"", {}},
      {"\r\n", {}},
  };
  for (const Case& c : cases) {
    auto fields = parseForm(c.body);
    ASSERT_TRUE(fields) << c.body;
    EXPECT_EQ(*fields, c.fields) << c.body;
  }
}

// The body arrives in pieces of any size: escapes and the CR LF at the end
// may be cut anywhere and still read the same.
TEST(GatewayForm, PiecesReadLikeTheWholeBody) {
  const std::vector<std::string> bodies = {"a=1&b=2\r\n", "t=Hi+%C3%A9%21&x=%2b", "a=1\r\n&b=\r\n2\r\n\r\n",
                                           "a=%4", "a=1%\r\n", "=&&eq=a=b"};
  for (const std::string& body : bodies) {
    for (size_t size : {1, 2, 3}) {
      std::vector<FormField> fields;
      FormReader reader([&](const std::string& name, const std::string& value) { fields.emplace_back(name, value); });
      for (size_t at = 0; at < body.size(); at += size) reader.feed(std::string_view(body).substr(at, size));
      const bool good = reader.finish();
      const auto whole = parseForm(body);
      ASSERT_EQ(good, whole.has_value()) << body << " in pieces of " << size;
      if (good) {
        EXPECT_EQ(fields, *whole) << body << " in pieces of " << size;
      }
    }
  }
  EXPECT_EQ(*parseForm("a=1\r\n&b=\r\n2\r\n\r\n"), (std::vector<FormField>{{"a", "1\r\n"}, {"b", "\r\n2"}}));
}

TEST(GatewayForm, RefusesBrokenEscapes) {
  for (const std::string body : {"a=%", "a=%4", "a=%G1", "a=%1G&b=2", "%zz=1", "a=1%"})
    EXPECT_FALSE(parseForm(body)) << body;
}

TEST(GatewayRequest, ReadsCreditQuery) {
  auto parsed = parseRequest("login=nobody&password=pqr456&action=getCredits&t=1700000000\r\n");
  auto* request = std::get_if<ParsedRequest>(&parsed);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->login, "nobody");
  EXPECT_EQ(request->password, "pqr456");
  EXPECT_TRUE(std::holds_alternative<CreditQuery>(request->action));
}

TEST(GatewayRequest, ReadsSendBatchInIndexOrder) {
  // Within one index either field may come first.
  auto parsed = parseRequest(
      "login=a&password=b&action=sendMessages&recepient0=%2B111&messageData0=one&messageData1=two&recepient1=222"
      "&messageCount=2\r\n");
  auto* request = std::get_if<ParsedRequest>(&parsed);
  ASSERT_TRUE(request);
  auto* send = std::get_if<SendRequest>(&request->action);
  ASSERT_TRUE(send);
  ASSERT_EQ(send->items.size(), 2u);
  EXPECT_EQ(send->items[0].recipient, "+111");
  EXPECT_EQ(send->items[0].text, "one");
  EXPECT_EQ(send->items[1].recipient, "222");
  EXPECT_EQ(send->items[1].text, "two");
}

// A message out of order, or beyond a count that came first, ends the
// reading where it stands: what follows (here a broken escape and a
// repeated field) is not even decoded.
TEST(GatewayRequest, RefusesMessagesOutOfOrderAsTheyArrive) {
  struct Case {
    std::string fields;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"recepient1=222&messageData1=two&recepient0=1&messageData0=x",
       "the field \"recepient1\" comes before message 0: the messages must come in the order of their indices"},
      {"recepient0=1&messageData0=x&messageData2=y", "the field \"messageData2\" comes before message 1"},
      {"recepient999999998=1&messageData999999998=x", "the field \"recepient999999998\" comes before message 0"},
      {"messageCount=1&recepient0=1&messageData0=x&recepient1=2", "the field \"recepient1\" lies beyond messageCount 1"},
      {"messageCount=2&recepient0=1&messageData0=x&recepient7=2", "the field \"recepient7\" lies beyond messageCount 2"},
  };
  for (const Case& c : cases) {
    auto parsed = parseRequest("login=a&password=b&action=sendMessages&" + c.fields + "&x=%ZZ&x=1&messageCount=9");
    auto* error = std::get_if<RequestError>(&parsed);
    ASSERT_TRUE(error) << c.fields;
    EXPECT_EQ(error->message.find(c.message), 0u) << c.fields << " -> " << error->message;
  }
}

// Records the credentials it was asked about.
struct RecordingCheck : SignInCheck {
  explicit RecordingCheck(bool accept) : accept(accept) {}
  bool signIn(const std::string& l, const std::string& p) override {
    ++calls;
    login = l;
    password = p;
    return accept;
  }
  bool accept;
  int calls = 0;
  std::string login, password;
};

TEST(GatewayRequest, SignsInAsSoonAsTheCredentialsAreRead) {
  auto owned = std::make_unique<RecordingCheck>(true);
  RecordingCheck& check = *owned;
  RequestReader reader(std::move(owned));
  reader.feed("login=ann&pass");
  EXPECT_EQ(check.calls, 0);
  reader.feed("word=s%3Dcret&");
  // The check may block, so the caller runs it when it chooses.
  EXPECT_TRUE(reader.signInPending());
  EXPECT_EQ(check.calls, 0);
  reader.signIn();
  EXPECT_FALSE(reader.signInPending());
  EXPECT_EQ(check.calls, 1);
  EXPECT_EQ(check.login, "ann");
  EXPECT_EQ(check.password, "s=cret");
  reader.feed("action=sendMessages&recepient0=1&messageData0=x&messageCount=1\r\n");
  auto parsed = reader.finish();
  EXPECT_EQ(check.calls, 1);
  ASSERT_TRUE(std::holds_alternative<ParsedRequest>(parsed));
  EXPECT_TRUE(std::holds_alternative<SendRequest>(std::get<ParsedRequest>(parsed).action));

  // The login page's form puts its hidden field first.
  auto page = std::make_unique<RecordingCheck>(true);
  RecordingCheck& pageCheck = *page;
  RequestReader form(std::move(page));
  form.feed("action=registerGUI&login=ann&password=s");
  EXPECT_TRUE(std::holds_alternative<AccountPageRequest>(std::get<ParsedRequest>(form.finish()).action));
  EXPECT_EQ(pageCheck.calls, 1);
}

// What comes in the same piece after the credentials waits for their check:
// read once it accepts them, dropped when it refuses them. A feed() or the
// finish() runs a check the caller did not run.
TEST(GatewayRequest, ThePieceAfterTheCredentialsWaitsForTheirCheck) {
  const std::string body = "login=ann&password=s&action=sendMessages&recepient0=1&messageData0=x&messageCount=";
  for (const bool accept : {true, false}) {
    for (const bool callerRunsIt : {true, false}) {
      SCOPED_TRACE(std::string(accept ? "accepted" : "refused") + (callerRunsIt ? ", run by the caller" : ""));
      auto owned = std::make_unique<RecordingCheck>(accept);
      RecordingCheck& check = *owned;
      RequestReader reader(std::move(owned));
      reader.feed(body);
      EXPECT_TRUE(reader.signInPending());
      if (callerRunsIt) reader.signIn();
      reader.feed("1");
      EXPECT_EQ(check.calls, 1);
      auto parsed = reader.finish();
      if (!accept) {
        ASSERT_TRUE(std::holds_alternative<RequestError>(parsed));
        continue;
      }
      ASSERT_TRUE(std::holds_alternative<ParsedRequest>(parsed));
      const auto* send = std::get_if<SendRequest>(&std::get<ParsedRequest>(parsed).action);
      ASSERT_TRUE(send);
      ASSERT_EQ(send->items.size(), 1u);
      EXPECT_EQ(send->items[0].text, "x");
    }
  }
  // Credentials in the last field are checked by finish().
  auto owned = std::make_unique<RecordingCheck>(true);
  RecordingCheck& check = *owned;
  RequestReader reader(std::move(owned));
  reader.feed("action=getCredits&t=1&login=ann&password=s");
  EXPECT_TRUE(std::holds_alternative<ParsedRequest>(reader.finish()));
  EXPECT_EQ(check.calls, 1);
}

// Refused credentials end the reading: the rest of the body is only drained
// (a broken escape in it is never seen).
TEST(GatewayRequest, RefusedCredentialsKeepNothingMore) {
  RequestReader reader(std::make_unique<RecordingCheck>(false));
  reader.feed("login=ann&password=wrong&action=sendMessages");
  for (int i = 0; i < 1000; ++i) reader.feed("&recepient" + std::to_string(i) + "=1&messageData" + std::to_string(i) + "=x");
  reader.feed("&x=%ZZ&messageCount=1000\r\n");
  auto parsed = reader.finish();
  ASSERT_TRUE(std::holds_alternative<RequestError>(parsed));
  EXPECT_EQ(std::get<RequestError>(parsed).message, "the sign-in was refused");
}

// Login and password come first: a body that does not begin with them is
// refused within the first kMaxBytesBeforeSignIn bytes, before its messages.
TEST(GatewayRequest, CredentialsMustComeFirst) {
  const std::string firstError = "the login and the password must come first in the request";
  const std::vector<std::string> bodies = {
      "recepient0=1&messageData0=x&login=a&password=b&action=sendMessages&messageCount=1",
      "login=a&messageData0=x&password=b",
      "action=getCredits&t=1&junk=" + std::string(kMaxBytesBeforeSignIn, 'x') + "&login=a&password=b",
      "login=a&password=" + std::string(kMaxBytesBeforeSignIn, 'x') + "&action=getCredits&t=1",
  };
  for (const std::string& body : bodies) {
    auto owned = std::make_unique<RecordingCheck>(true);
    RecordingCheck& check = *owned;
    RequestReader reader(std::move(owned));
    reader.feed(body);
    auto parsed = reader.finish();
    ASSERT_TRUE(std::holds_alternative<RequestError>(parsed)) << body.substr(0, 60);
    EXPECT_EQ(std::get<RequestError>(parsed).message.find(firstError), 0u) << std::get<RequestError>(parsed).message;
    EXPECT_EQ(check.calls, 0) << body.substr(0, 60);
  }
}

// Errors found before the credentials are checked.
TEST(GatewayRequest, RefusesUnusableFrames) {
  struct Case {
    std::string body;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"login=a&password=b&action=getCredits&t=1&login=c", "the field \"login\" appears more than once"},
      {"password=b&action=getCredits&t=1", "the field \"login\" is missing"},
      {"login=a&action=getCredits&t=1", "the field \"password\" is missing"},
      {"login=a&password=%G0&action=getCredits", "malformed form body"},
      {"login=a&password=b&action=sendMessages&recepient0=1&recepient0=2", "the field \"recepient0\" appears more than once"},
      {"login=a&password=b&x=1&x=2", "the field \"x\" appears more than once"},
      {"login=a&password=b" + [] {
         std::string many;
         for (size_t i = 0; i <= kMaxUnknownFields; ++i) many += "&x" + std::to_string(i) + "=1";
         return many;
       }(),
       "more than 100 unknown fields"},
  };
  for (const Case& c : cases) {
    auto parsed = parseRequest(c.body);
    auto* error = std::get_if<RequestError>(&parsed);
    ASSERT_TRUE(error) << c.body;
    EXPECT_NE(error->message.find(c.message), std::string::npos) << c.body << " -> " << error->message;
  }
}

// Errors in the action, reported only to a signed-in client.
TEST(GatewayRequest, RefusesBadActions) {
  const std::string frame = "login=a&password=b&";
  struct Case {
    std::string fields;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"t=1", "the field \"action\" is missing"},
      {"action=getCredit&t=1", "unknown action \"getCredit\""},
      {"action=&t=1", "unknown action \"\""},
      {"action=getCredits", "the field \"t\" is missing"},
      {"action=sendMessages&recepient0=1&messageData0=x", "the field \"messageCount\" is missing"},
      {"action=sendMessages&recepient0=1&messageData0=x&messageCount=one", "is not a number"},
      {"action=sendMessages&recepient0=1&messageData0=x&messageCount=-1", "is not a number"},
      {"action=sendMessages&recepient0=1&messageData0=x&messageCount=1x", "is not a number"},
      {"action=sendMessages&recepient0=1&messageData0=x&messageCount=99999999999", "is not a number"},
      {"action=sendMessages&messageCount=0", "at least 1"},
      {"action=sendMessages&recepient0=1&messageData0=x&messageCount=2", "the field \"recepient1\" is missing"},
      {"action=sendMessages&recepient0=1&recepient1=2&messageData0=x&messageCount=2",
       "the field \"messageData1\" is missing"},
      {"action=sendMessages&recepient0=1&messageData0=x&recepient1=2&messageData1=y&messageCount=1",
       "messageCount is 1 but the request holds 2 recipient fields"},
      {"action=sendMessages&recepient0=1&messageData0=x&messageData1=y&messageCount=1",
       "messageCount is 1 but the request holds 2 message fields"},
      {"action=sendMessages&recepient00=1&messageData0=x&messageCount=1", "the field \"recepient0\" is missing"},
      // An absurd count costs no memory: the reading stops at the first missing index.
      {"action=sendMessages&messageCount=999999999", "the field \"recepient0\" is missing"},
      {"action=sendMessages&recepient0=1&messageData0=x&messageCount=999999999",
       "the field \"recepient1\" is missing"},
  };
  for (const Case& c : cases) {
    auto parsed = parseRequest(frame + c.fields);
    auto* request = std::get_if<ParsedRequest>(&parsed);
    ASSERT_TRUE(request) << c.fields;
    auto* error = std::get_if<RequestError>(&request->action);
    ASSERT_TRUE(error) << c.fields;
    EXPECT_NE(error->message.find(c.message), std::string::npos) << c.fields << " -> " << error->message;
  }
}

TEST(GatewayRequest, RecognisesPhoneNumbersByTheirDigits) {
  EXPECT_TRUE(holdsDigit("+36 30 123"));
  EXPECT_TRUE(holdsDigit("x1"));
  EXPECT_FALSE(holdsDigit(""));
  EXPECT_FALSE(holdsDigit(" "));
  EXPECT_FALSE(holdsDigit("Anna"));
  EXPECT_FALSE(holdsDigit("+-()"));
}

} // namespace
} // namespace quorvel::gateway
