// Fuzz target: the mail writer for stored messages.
// Properties: the header holds only the writer's own fields, each line a
// field or its folded continuation, no CR and no other control character,
// no line over 998 octets, and lines with encoded words within 76; the body
// comes back byte for byte.
#include "fuzzInput.h"

#include "mapi/rfc5322.h"

#include <algorithm>
#include <map>

using namespace quorvel::mapi;
using quorvel::fuzz::check;
using quorvel::fuzz::FuzzInput;

namespace {

const char* const kEncodedWord = "=?UTF-8?B?";

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string base64Decode(const std::string& text) {
  static const std::string alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    const size_t v = alphabet.find(c);
    if (v == std::string::npos) continue; // line breaks and padding
    bits = (bits << 6) | static_cast<uint32_t>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return out;
}

// The header lines of \p mail: the writer's fields and their continuations.
void checkHeader(const std::string& header, bool encodedWordsExpected, const std::string& mail) {
  static const std::map<std::string, int> kFields = {
      {"Date", 1},       {"From", 1},       {"To", 0},         {"Cc", 0},
      {"Bcc", 0},        {"Subject", 1},    {"Message-ID", 0}, {"X-Priority", 1},
      {"Importance", 1}, {"MIME-Version", 1}, {"Content-Type", 1}, {"Content-Transfer-Encoding", 1}};
  std::map<std::string, int> seen;
  bool first = true;
  for (const std::string& line : linesOf(header)) {
    check(line.size() <= 998, "no header line over 998 octets", mail);
    for (char c : line)
      check(static_cast<uint8_t>(c) >= 0x20 && c != 0x7F, "no control character in the header", mail);
    if (encodedWordsExpected && contains(line, kEncodedWord))
      check(line.size() <= 76, "lines with encoded words within 76 characters", mail);
    if (!line.empty() && line[0] == ' ') {
      check(!first, "the header starts with a field", mail);
      continue;
    }
    const size_t colon = line.find(": ");
    const std::string name = colon == std::string::npos ? line : line.substr(0, colon);
    check(kFields.count(name) == 1, "only the writer's own fields", line + "\n" + mail);
    check(++seen[name] == 1, "each field once", name + "\n" + mail);
    first = false;
  }
  for (const auto& [name, required] : kFields)
    if (required) check(seen.count(name) == 1, "the required fields are there", name + "\n" + mail);
}

void checkMail(const MailMessage& m, bool encodedWordsExpected) {
  const std::string mail = renderMessage(m);
  const size_t end = mail.find("\n\n");
  check(end != std::string::npos, "the header ends with an empty line", mail);
  const std::string header = mail.substr(0, end);
  checkHeader(header, encodedWordsExpected, mail);
  const std::string body = mail.substr(end + 2);
  const std::vector<std::string> lines = linesOf(header);
  const bool base64 = std::find(lines.begin(), lines.end(), "Content-Transfer-Encoding: base64") != lines.end();
  if (base64)
    check(base64Decode(body) == m.body, "a base64 body comes back byte for byte", mail);
  else
    check(body == m.body, "the body comes back byte for byte", mail);
}

void checkHeaderText(const std::string& text) {
  const std::string encoded = encodeHeaderText(text);
  const std::vector<std::string> lines = linesOf(encoded);
  for (size_t i = 0; i < lines.size(); ++i) {
    check(i == 0 || (!lines[i].empty() && lines[i][0] == ' '), "header text folds with a blank", encoded);
    for (char c : lines[i]) check(static_cast<uint8_t>(c) >= 0x20 && c != 0x7F, "no control character", encoded);
    check(lines[i].size() <= 998, "no header text line over 998 octets", encoded);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  MailMessage m;
  m.from = in.string();
  m.subject = in.string();
  m.body = in.string();
  m.messageId = in.string();
  m.date = in.int64() % (int64_t{400} * 366 * 86400); // within about 400 years of 1970
  m.priority = static_cast<int8_t>(in.byte());
  m.importance = static_cast<int8_t>(in.byte());
  static const ULONG kTypes[] = {MAPI_TO, MAPI_CC, MAPI_BCC};
  while (!in.empty() && m.recipients.size() < 64) {
    MailRecipient r;
    r.type = kTypes[in.byte() % 3];
    r.name = in.string();
    r.address = in.string();
    r.mobile = in.string();
    m.recipients.push_back(r);
  }

  // Text that holds "=?" itself is no encoded word the writer made.
  bool raw = contains(m.from, "=?") || contains(m.subject, "=?") || contains(m.messageId, "=?");
  for (const MailRecipient& r : m.recipients)
    raw = raw || contains(r.name, "=?") || contains(r.address, "=?") || contains(r.mobile, "=?");
  checkMail(m, !raw);
  checkHeaderText(m.subject);
  return 0;
}
