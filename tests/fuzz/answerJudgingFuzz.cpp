// Fuzz target: the composer's judging of gateway answers, alone and against
// the documents the bundled gateway writes.
// Properties: judging never throws; a balance is only ever read from an
// answer without "ERROR" or "HTML" and is a number or "unlimited"; the
// gateway's refusals and login page are always taken as refusals, its send
// summaries (echoing anything a client sent) never, and its credit answers
// give back the balance they carry.
#include "fuzzInput.h"

#include "composer/unCreditQuery.h"
#include "composer/unGatewayFrame.h"
#include "composer/unSendAction.h"
#include "gateway/gatewayAnswers.h"

#include <algorithm>

using quorvel::fuzz::check;
using quorvel::fuzz::FuzzInput;
namespace gw = quorvel::gateway;

namespace {

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

bool isDecimal(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

const std::string kUrl = "http://127.0.0.1:9333";

// Any text as an answer of the gateway.
void judgeRawAnswer(const std::string& answer) {
  const quorvel::TCreditOutcome out = quorvel::judgeCreditAnswer(answer, kUrl);
  if (out.verdict == quorvel::TCreditVerdict::success) {
    check(!contains(answer, "ERROR") && !contains(answer, "HTML"), "a balance only from a clean answer", answer);
    check(out.credits == "unlimited" || isDecimal(out.credits), "a balance is a number or unlimited", out.credits);
  }
  if (out.verdict == quorvel::TCreditVerdict::empty) check(answer.empty(), "only no answer is empty", answer);
  check(quorvel::isRefusedSendAnswer(answer) ==
            (contains(answer, "[ERROR]") || contains(answer, quorvel::gatewayLoginMarker)),
        "a send is refused exactly on [ERROR] or the login page", answer);
  check(quorvel::creditAnswer(answer, "x").rfind("[ERROR] ", 0) == 0, "a client error is an ERROR answer");
  (void)quorvel::parseData(answer);
  (void)quorvel::responseLogText(answer);
}

// The bundled gateway's documents, built from the input, as the composer reads them.
void judgeGatewayDocuments(FuzzInput& in) {
  const std::string recipient = in.string();
  const std::string text = in.string();
  const std::string message = in.string();
  const int64_t number = in.int64();

  const gw::Answer refusal = gw::errorAnswer(message);
  check(quorvel::isRefusedSendAnswer(refusal.body), "a gateway refusal refuses the send", refusal.body);
  check(quorvel::judgeCreditAnswer(refusal.body, kUrl).verdict == quorvel::TCreditVerdict::cannotConnect,
        "a gateway refusal is no balance", refusal.body);

  const std::vector<gw::SendItem> items = {{recipient, text}, {text, recipient}};
  const std::vector<gw::SendResult> results = {{gw::Outcome::Accepted, number},
                                               {gw::Outcome::NoPhoneNumber, 0}};
  const gw::Balance balance = number < 0 ? gw::Balance{true, 0}
                                         : gw::Balance{false, number % (gw::kMaxCredits + 1)};
  const gw::Answer summary = gw::sendAnswer(items, results, balance);
  check(!quorvel::isRefusedSendAnswer(summary.body), "an echo never forms a refusal", summary.body);
  check(!contains(quorvel::parseData(summary.body), "Insufficient"), "an echo never says Insufficient",
        summary.body);

  const quorvel::TCreditOutcome credit = quorvel::judgeCreditAnswer(gw::creditAnswer(balance).body, kUrl);
  check(credit.verdict == quorvel::TCreditVerdict::success, "a credit answer gives a balance");
  check(credit.credits == (balance.unlimited ? "unlimited" : std::to_string(balance.credits)),
        "a credit answer gives its own balance", credit.credits);

  check(quorvel::judgeCreditAnswer(gw::loginPage().body, kUrl).verdict == quorvel::TCreditVerdict::wrongLogin,
        "the login page means a wrong login");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  judgeRawAnswer(std::string(reinterpret_cast<const char*>(data), size));
  FuzzInput in(data, size);
  judgeGatewayDocuments(in);
  return 0;
}
