// One stored message as Internet mail text (RFC 5322 with MIME): encoded
// words for non-ASCII header text, quoted names, groups for recipients that
// have no Internet address, and a body kept byte for byte.
#include "mapi/rfc5322.h"

#include "mapi/mailheader.h"
#include "mapi/mapitext.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>

namespace quorvel::mapi {
namespace {

// Text with a longer run of blanks or of other characters is written as
// encoded words, which can be split anywhere: two runs and a few marks
// always fit in the 998 octets a header line may hold.
constexpr size_t kLongestRun = 300;
// The longest message id written (the field name and brackets fit too).
constexpr size_t kLongestId = 900;
// The longest mail path (RFC 5321); longer text is no address.
constexpr size_t kLongestAddress = 254;

std::string withoutControls(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (uint8_t(c) < 0x20 || c == 0x7F)
      c = ' ';
  return out;
}

bool isPrintableAscii(const std::string& s) {
  for (char c : s)
    if (uint8_t(c) < 0x20 || uint8_t(c) > 0x7E)
      return false;
  return true;
}

// Encoded words of at most 45 bytes each (75 characters encoded), never
// splitting a UTF-8 sequence, joined by folding white space.
std::string encodedWords(const std::string& s) {
  std::string out;
  size_t i = 0;
  while (i < s.size()) {
    size_t end = std::min(s.size(), i + 45);
    while (end < s.size() && end > i + 1 && (uint8_t(s[end]) & 0xC0) == 0x80)
      --end;
    if (!out.empty())
      out += "\n ";
    out += "=?UTF-8?B?" + base64Encode(s.substr(i, end - i)) + "?=";
    i = end;
  }
  return out;
}

bool isAscii(const std::string& s) {
  for (char c : s)
    if (uint8_t(c) >= 0x80)
      return false;
  return true;
}

bool isAtext(char c) {
  return std::isalnum(uint8_t(c)) || std::string("!#$%&'*+-/=?^_`{|}~").find(c) != std::string::npos;
}

bool isDotAtom(const std::string& s) {
  if (s.empty() || s.front() == '.' || s.back() == '.' || s.find("..") != std::string::npos)
    return false;
  for (char c : s)
    if (!isAtext(c) && c != '.' && uint8_t(c) < 0x80)
      return false;
  return true;
}

std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\')
      out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

// Text that can be written as it is, folded at its own blanks into lines
// within the limit: printable ASCII whose runs are not too long for one
// line, and nothing a reader could take for an encoded word.
bool foldable(const std::string& s) {
  return isPrintableAscii(s) && longestRun(s) <= kLongestRun && s.find("=?") == std::string::npos;
}

// A display name: atoms as they are, other ASCII quoted, the rest (and names
// with a word too long for a line) encoded.
void addPhrase(HeaderField& h, const std::string& raw) {
  std::string s = trimmed(withoutControls(raw));
  bool plain = !s.empty();
  for (char c : s)
    if (!isAtext(c) && c != ' ')
      plain = false;
  const std::string text = plain ? s : quoted(s);
  if (foldable(text))
    h.addText(text);
  else
    h.addEncoded(s);
}

// user@host as an address, the local part quoted when it needs it; nullopt
// when the text is no address, or longer than any mail path may be.
std::optional<std::string> addrSpec(const std::string& raw) {
  std::string s = trimmed(raw);
  size_t at = s.rfind('@');
  if (at == std::string::npos || at == 0 || at + 1 == s.size())
    return std::nullopt;
  std::string local = s.substr(0, at), domain = s.substr(at + 1);
  if (!isDotAtom(domain))
    return std::nullopt;
  std::string mailbox = (isDotAtom(local) ? local : quoted(withoutControls(local))) + "@" + domain;
  if (mailbox.size() > kLongestAddress)
    return std::nullopt;
  return mailbox;
}

void addRecipient(HeaderField& h, const MailRecipient& r) {
  std::string name = r.name;
  if (auto mailbox = addrSpec(r.address)) {
    if (trimmed(name).empty() || trimmed(name) == trimmed(r.address)) {
      h.add(" ", *mailbox);
    } else {
      addPhrase(h, name);
      h.add(" ", "<" + *mailbox + ">");
    }
    return;
  }
  // No Internet address (an SMS recipient): the name, with the mobile number
  // when known, stands as an empty group.
  if (!r.mobile.empty() && name.find(r.mobile) == std::string::npos)
    name += (trimmed(name).empty() ? "[" : " [") + r.mobile + "]";
  if (trimmed(name).empty())
    name = r.address;
  addPhrase(h, trimmed(name).empty() ? "unknown" : name);
  h.glue(":;");
}

// Each recipient of \p type on a line of its own.
std::string addressHeader(const char* field, const std::vector<MailRecipient>& all, ULONG type) {
  HeaderField h(field);
  bool any = false;
  for (const auto& r : all) {
    if (r.type != type)
      continue;
    if (any) {
      h.glue(",");
      h.breakLine();
    }
    addRecipient(h, r);
    any = true;
  }
  return any ? h.str() : "";
}

std::string fromHeader(const std::string& from) {
  HeaderField h("From");
  if (auto mailbox = addrSpec(from)) {
    h.add(" ", *mailbox);
  } else {
    addPhrase(h, from.empty() ? "unknown" : from);
    h.glue(":;");
  }
  return h.str();
}

std::string subjectHeader(const std::string& subject) {
  HeaderField h("Subject");
  std::string s = withoutControls(subject);
  if (foldable(s))
    h.addText(s);
  else
    h.addEncoded(s);
  return h.str();
}

// A message id holds visible ASCII only; anything else (line breaks above
// all, and the brackets that frame it) is dropped. An id too long for one
// line is left out.
std::string messageIdHeader(const std::string& id) {
  std::string clean;
  for (char c : id)
    if (uint8_t(c) > 0x20 && uint8_t(c) < 0x7F && c != '<' && c != '>')
      clean.push_back(c);
  if (clean.empty() || clean.size() > kLongestId)
    return "";
  return "Message-ID: <" + clean + ">\n";
}

// 8bit keeps the text readable; anything a mail line cannot carry exactly
// (a carriage return, NUL, overlong lines, broken UTF-8) goes in base64.
bool fitsEightBit(const std::string& body) {
  if (!isValidUtf8(body) || body.find('\r') != std::string::npos ||
      body.find('\0') != std::string::npos)
    return false;
  size_t start = 0;
  while (start <= body.size()) {
    size_t end = body.find('\n', start);
    if ((end == std::string::npos ? body.size() : end) - start > 998)
      return false;
    if (end == std::string::npos)
      break;
    start = end + 1;
  }
  return true;
}

std::string wrapBase64(const std::string& encoded) {
  std::string out;
  for (size_t i = 0; i < encoded.size(); i += 76)
    out += encoded.substr(i, 76) + "\n";
  return out;
}

const char* xPriority(LONG priority) {
  return priority > 0 ? "1 (Highest)" : priority < 0 ? "5 (Lowest)" : "3 (Normal)";
}

const char* importanceWord(LONG importance) {
  return importance >= 2 ? "high" : importance <= 0 ? "low" : "normal";
}

} // namespace

std::string encodeHeaderText(const std::string& text) {
  std::string s = withoutControls(text);
  if (isPrintableAscii(s) && s.size() <= 900)
    return s;
  return encodedWords(s);
}

std::string formatDate(int64_t unixSeconds) {
  static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  time_t t = time_t(unixSeconds);
  struct tm local {};
  localtime_r(&t, &local);
  long offset = local.tm_gmtoff / 60;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                days[local.tm_wday], local.tm_mday, months[local.tm_mon], local.tm_year + 1900,
                local.tm_hour, local.tm_min, local.tm_sec, offset < 0 ? '-' : '+',
                std::labs(offset) / 60, std::labs(offset) % 60);
  return buf;
}

std::string renderMessage(const MailMessage& m) {
  std::string out;
  out += "Date: " + formatDate(m.date) + "\n";
  out += fromHeader(m.from);
  out += addressHeader("To", m.recipients, MAPI_TO);
  out += addressHeader("Cc", m.recipients, MAPI_CC);
  out += addressHeader("Bcc", m.recipients, MAPI_BCC);
  out += subjectHeader(m.subject);
  out += messageIdHeader(m.messageId);
  out += std::string("X-Priority: ") + xPriority(m.priority) + "\n";
  out += std::string("Importance: ") + importanceWord(m.importance) + "\n";
  out += "MIME-Version: 1.0\n";
  out += "Content-Type: text/plain; charset=utf-8\n";
  if (fitsEightBit(m.body)) {
    out += std::string("Content-Transfer-Encoding: ") +
           (isAscii(m.body) ? "7bit" : "8bit") + "\n\n";
    out += m.body;
  } else {
    out += "Content-Transfer-Encoding: base64\n\n";
    out += wrapBase64(base64Encode(m.body));
  }
  return out;
}

} // namespace quorvel::mapi
