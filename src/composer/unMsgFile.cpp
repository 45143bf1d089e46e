// Encoding and decoding of message files.
#include "composer/unMsgFile.h"

#include "util/unTextCodec.h"
#include "util/unStrings.h"

namespace quorvel {

namespace {

const std::string crlf = "\r\n";
const std::string bom = "\xEF\xBB\xBF";

// Every line break as CR LF, whatever the editor uses, as the Windows
// build writes and reads them.
std::string withCrLf(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' || s[i] == '\n') {
      out += crlf;
      if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
        ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string escapeLine(const std::string& s) {
  return utf16ToUtf8(toFakeSingleLine(utf8ToUtf16(withCrLf(s))));
}

std::string unescapeLine(const std::string& s) {
  return utf16ToUtf8(fromFakeSingleLine(utf8ToUtf16(s)));
}

// The To line is written as it stands; a line break in it would shift the
// other two lines, so each one becomes a blank.
std::string singleLineTo(std::string s) {
  for (char& c : s)
    if (c == '\r' || c == '\n')
      c = ' ';
  return s;
}

} // namespace

std::string encodeMsgFile(const TMsgFileContent& content) {
  // The reader takes a byte-order mark at the start for the file's own, so
  // a To text that starts with U+FEFF gets one in front to keep its own.
  // Malformed UTF-8 becomes U+FFFD here as in the escaped lines, so that
  // the file always reads back as UTF-8.
  const std::string to = singleLineTo(utf16ToUtf8(utf8ToUtf16(content.to)));
  return (to.compare(0, bom.size(), bom) == 0 ? bom : "") + to + crlf + escapeLine(content.cc) +
         crlf + escapeLine(content.text) + crlf;
}

std::vector<std::string> splitTextLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      ++i;
      continue;
    }
    lines.push_back(text.substr(start, i - start));
    i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
    start = i;
  }
  if (start < text.size())
    lines.push_back(text.substr(start));
  return lines;
}

std::optional<TMsgFileContent> decodeMsgFile(const std::string& bytes) {
  std::string text = isValidUtf8(bytes) ? bytes : cp1252ToUtf8(bytes);
  if (text.compare(0, bom.size(), bom) == 0)
    text.erase(0, bom.size());
  const std::vector<std::string> lines = splitTextLines(text);
  if (lines.size() < 3)
    return std::nullopt;
  return TMsgFileContent{lines[0], unescapeLine(lines[1]), unescapeLine(lines[2])};
}

} // namespace quorvel
