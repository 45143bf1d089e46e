// The credit query's request fields and the judging of its answer.
#include "composer/unCreditQuery.h"

#include "composer/unGatewayFrame.h"
#include "util/unStrings.h"

namespace quorvel {

std::string creditActionFields(int64_t unixSeconds) {
  return "action=getCredits&t=" + std::to_string(unixSeconds);
}

std::string creditAnswer(const std::string& body, const std::string& errormessage) {
  return errormessage.empty() ? body : "[ERROR] " + errormessage;
}

TCreditOutcome judgeCreditAnswer(const std::string& answer, const std::string& serverURL) {
  TCreditOutcome out;
  if (answer.empty())
    return out;
  out.caption = "Kavri";
  if (answer.find("ERROR") != std::string::npos) {
    out.verdict = TCreditVerdict::cannotConnect;
    out.text = "Cannot connect to Nemora at " + serverURL + "\r\n" + answer;
    out.icon = MsgIcon::warning;
    return out;
  }
  if (answer.find("HTML") != std::string::npos) {
    out.verdict = TCreditVerdict::wrongLogin;
    out.text = "The message server was contacted, but \r\nthe user name or the password is incorrect";
    out.icon = MsgIcon::warning;
    return out;
  }
  try {
    const int32_t balance = StrToInt(trim(parseData(answer)));
    out.verdict = TCreditVerdict::success;
    out.credits = balance < 0 ? "unlimited" : std::to_string(balance);
    out.text = "Successful login. You have " + out.credits + " credits!";
  } catch (const EConvertError&) {
    out.verdict = TCreditVerdict::invalidResponse;
    out.text = "[ERROR] Invalid response from the server";
  }
  return out;
}

} // namespace quorvel
