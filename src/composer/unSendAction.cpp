// The send request's fields and the rules around them.
#include "composer/unSendAction.h"

#include "util/kaUrl.h"
#include "util/unStrings.h"

namespace quorvel {

namespace {

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Bytes of the UTF-8 character at \p i; a byte that starts no valid sequence
// counts as a character of its own, so malformed text is never cut inside
// what its reader would take for one character.
std::size_t utf8CharBytes(const std::string& s, std::size_t i) {
  const auto lead = static_cast<unsigned char>(s[i]);
  std::size_t want = 1;
  if ((lead & 0xE0) == 0xC0)
    want = 2;
  else if ((lead & 0xF0) == 0xE0)
    want = 3;
  else if ((lead & 0xF8) == 0xF0)
    want = 4;
  std::size_t n = 1;
  while (n < want && i + n < s.size() && isContinuation(static_cast<unsigned char>(s[i + n])))
    ++n;
  return n;
}

} // namespace

bool sendInputMissing(const std::string& recip, const std::string& msg) {
  return msg.empty() || recip == ";" || recip.empty();
}

std::vector<std::string> recipientList(const std::string& recip) {
  std::vector<std::string> list;
  splittolist(";", recip, list);
  return list;
}

bool creditsCover(std::size_t count, const std::string& credits) {
  if (credits == "unlimited")
    return true;
  const int32_t balance = toIntNumber(credits);
  return balance >= 0 && count <= static_cast<std::size_t>(balance);
}

bool recipientNumber(const std::string& entry, std::string& number) {
  std::string rest = trim(entry);
  splitHead("[", rest);
  if (rest.empty())
    return false;
  number = strReplace("]", "", rest);
  return true;
}

TSendAction buildSendAction(const std::vector<std::string>& recipients, const std::string& msg) {
  TSendAction action;
  action.messageCount = static_cast<int>(recipients.size());
  // The text is the same for every recipient: encode it once.
  const std::string text = UrlEncode(trim(msg), true);
  action.fields.reserve(32 + recipients.size() * (text.size() + 48));
  action.fields = "action=sendMessages";
  std::string number;
  for (std::size_t i = 0; i < recipients.size(); ++i) {
    if (!recipientNumber(recipients[i], number)) {
      action.allowed = false;
      action.missingEntry = recipients[i];
      --action.messageCount;
      break;
    }
    const std::string index = std::to_string(i);
    action.fields.append("&recepient").append(index).append("=").append(UrlEncode(number, true));
    action.fields.append("&messageData").append(index).append("=").append(text);
  }
  if (action.allowed)
    action.fields.append("&messageCount=").append(std::to_string(action.messageCount));
  return action;
}

bool isRefusedSendAnswer(const std::string& answer) {
  return answer.find(gatewayLoginMarker) != std::string::npos ||
         answer.find("[ERROR]") != std::string::npos;
}

std::string smsSubject(const std::string& msg) {
  std::size_t at = 0;
  std::size_t chars = 0;
  while (at < msg.size() && chars < subjectTextLength) {
    at += utf8CharBytes(msg, at);
    ++chars;
  }
  if (at >= msg.size())
    return "[SMS] " + msg;
  return "[SMS] " + msg.substr(0, at) + "...";
}

std::string senderHost(const std::string& serverURL) {
  std::string host = serverURL;
  const std::size_t scheme = host.find("://");
  if (scheme != std::string::npos)
    host.erase(0, scheme + 3);
  host = host.substr(0, host.find_first_of("/?#"));
  const std::size_t user = host.rfind('@');
  if (user != std::string::npos)
    host.erase(0, user + 1);
  if (!host.empty() && host.front() == '[') // an IPv6 address keeps its colons
    return host.substr(0, host.find(']') == std::string::npos ? host.size() : host.find(']') + 1);
  return host.substr(0, host.find(':'));
}

std::string senderAddress(const std::string& userName, const std::string& serverURL) {
  return userName + "@" + senderHost(serverURL);
}

} // namespace quorvel
