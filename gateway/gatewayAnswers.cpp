// The documents the gateway answers with: XML replies and the login page.
#include "gateway/gatewayAnswers.h"

#include "util/unTextCodec.h"

namespace quorvel::gateway {

namespace {

const char* const kXmlType = "text/xml; charset=utf-8";
const char* const kHtmlType = "text/html; charset=utf-8";
const std::string kXmlHead = "<?xml version=\"1.0\"?>";

std::string plural(size_t n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

const char* outcomeText(Outcome outcome) {
  switch (outcome) {
    case Outcome::Accepted: return "accepted";
    case Outcome::NoPhoneNumber: return "no phone number";
    case Outcome::EmptyText: return "empty text";
    case Outcome::InsufficientCredits: return "insufficient credits";
  }
  return "";
}

std::string summary(const std::vector<SendResult>& results) {
  size_t accepted = 0, noNumber = 0, emptyText = 0, insufficient = 0;
  for (const SendResult& r : results) {
    switch (r.outcome) {
      case Outcome::Accepted: ++accepted; break;
      case Outcome::NoPhoneNumber: ++noNumber; break;
      case Outcome::EmptyText: ++emptyText; break;
      case Outcome::InsufficientCredits: ++insufficient; break;
    }
  }
  std::string text = "Accepted " + std::to_string(accepted) + " of " + plural(results.size(), "message") + ".";
  if (insufficient) text += " Insufficient credits: " + std::to_string(insufficient) + " not sent.";
  if (noNumber) text += " No phone number: " + std::to_string(noNumber) + " not sent.";
  if (emptyText) text += " Empty text: " + std::to_string(emptyText) + " not sent.";
  return text;
}

// Upper-case markup on purpose: clients recognise this page by "HTML" and by
// the hidden action field, written exactly as below.
std::string htmlPage(const std::string& title, const std::string& content) {
  return "<!DOCTYPE HTML>\r\n<HTML>\r\n<HEAD><META charset=\"utf-8\"><TITLE>" + title +
         "</TITLE></HEAD>\r\n<BODY>\r\n" + content + "</BODY>\r\n</HTML>\r\n";
}

} // namespace

namespace {

constexpr char32_t kReplacement = 0xFFFD;
// The Control Pictures block shows C0 control N as U+2400 + N.
constexpr char32_t kControlPictures = 0x2400;

// Appends one ASCII character, escaped where XML or the clients need it.
void appendAscii(std::string& out, char c) {
  switch (c) {
    case '&': out += "&amp;"; break;
    case '<': out += "&lt;"; break;
    case '>': out += "&gt;"; break;
    case '"': out += "&quot;"; break;
    case '\'': out += "&apos;"; break;
    case '[': out += "&#91;"; break;
    case ']': out += "&#93;"; break;
    // As references they survive in attribute values, which a parser
    // would otherwise turn into spaces.
    case '\t': out += "&#9;"; break;
    case '\n': out += "&#10;"; break;
    case '\r': out += "&#13;"; break;
    default:
      // XML 1.0 cannot carry the other C0 controls, not even as references.
      if (static_cast<unsigned char>(c) < 0x20) appendUtf8(out, kControlPictures + static_cast<unsigned char>(c));
      else out += c;
  }
}

} // namespace

std::string xmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const std::string bytes(text);
  for (std::size_t i = 0; i < bytes.size();) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      appendAscii(out, bytes[i++]);
      continue;
    }
    char32_t cp = 0;
    if (!nextUtf8CodePoint(bytes, i, cp)) {
      cp = kReplacement;  // one malformed byte, as the SMS part count reads it
      ++i;
    }
    // U+FFFE and U+FFFF are not XML characters either.
    appendUtf8(out, cp == 0xFFFE || cp == 0xFFFF ? kReplacement : cp);
  }
  return out;
}

Answer creditAnswer(const Balance& balance) {
  return {200, kXmlType,
          kXmlHead + "<Response><Data>" + std::to_string(wireValue(balance)) + "</Data></Response>"};
}

Answer errorAnswer(const std::string& message, int status) {
  return {status, kXmlType,
          kXmlHead + "<Response><Status>[ERROR]</Status><Data>ERROR: " + xmlEscape(message) +
              "</Data></Response>"};
}

Answer sendAnswer(const std::vector<SendItem>& items, const std::vector<SendResult>& results,
                  const Balance& balance) {
  std::string body = kXmlHead + "<Response><Data>" + summary(results) + "</Data><Messages>";
  // Room for every element at once: a batch of 100,000 is not copied while it grows.
  size_t size = body.size() + 64;
  for (size_t i = 0; i < results.size() && i < items.size(); ++i) size += 100 + items[i].recipient.size();
  body.reserve(size);
  for (size_t i = 0; i < results.size() && i < items.size(); ++i) {
    const SendResult& r = results[i];
    body += "<Message index=\"";
    body += std::to_string(i);
    body += "\" recipient=\"";
    body += xmlEscape(items[i].recipient);
    if (r.outcome == Outcome::Accepted) {
      body += "\" status=\"accepted\" id=\"";
      body += std::to_string(r.id);
      body += "\"/>";
    } else {
      body += "\" status=\"refused\" reason=\"";
      body += outcomeText(r.outcome);
      body += "\"/>";
    }
  }
  body += "</Messages><Credits>" + std::to_string(wireValue(balance)) + "</Credits></Response>";
  return {200, kXmlType, std::move(body)};
}

Answer loginPage() {
  return {200, kHtmlType,
          htmlPage("Quorvel gateway: sign in",
                   "<H1>Quorvel gateway</H1>\r\n"
                   "<P>The user name or the password is not correct. Please sign in.</P>\r\n"
                   "<FORM method=\"post\" action=\"/kavri\">\r\n"
                   "<input type=hidden name=\"action\" value=\"registerGUI\">\r\n"
                   "<P><LABEL>User name <INPUT type=\"text\" name=\"login\"></LABEL></P>\r\n"
                   "<P><LABEL>Password <INPUT type=\"password\" name=\"password\"></LABEL></P>\r\n"
                   "<P><INPUT type=\"submit\" value=\"Sign in\"></P>\r\n"
                   "</FORM>\r\n")};
}

Answer accountPage(const std::string& login, const Balance& balance) {
  const std::string credits = balance.unlimited ? "unlimited credits" : plural(balance.credits, "credit");
  return {200, kHtmlType,
          htmlPage("Quorvel gateway: account",
                   "<H1>Quorvel gateway</H1>\r\n<P>Signed in as " + xmlEscape(login) + ". You have " +
                       credits + ".</P>\r\n")};
}

Answer plainAnswer(int status, const std::string& text) {
  return {status, "text/plain; charset=utf-8", text + "\n"};
}

} // namespace quorvel::gateway
