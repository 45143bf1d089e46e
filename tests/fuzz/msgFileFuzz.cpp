// Fuzz target: message files.
// Properties: decoding any bytes gives UTF-8 fields; a message encoded and
// decoded again has the same fields (the To text with its line breaks as
// blanks, any line break kind of the other two counting as one), and the
// file always has exactly three lines.
#include "fuzzInput.h"

#include "composer/unMsgFile.h"
#include "util/unTextCodec.h"

using namespace quorvel;
using quorvel::fuzz::check;
using quorvel::fuzz::FuzzInput;

namespace {

std::string asUtf8(const std::string& s) { return isValidUtf8(s) ? s : cp1252ToUtf8(s); }

// CR LF, a lone CR and a lone LF all as LF.
std::string oneLineBreak(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      out += '\n';
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string blanksForLineBreaks(std::string s) {
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  return s;
}

void checkDecoded(const std::string& bytes) {
  const auto content = decodeMsgFile(bytes);
  if (!content) return;
  check(isValidUtf8(content->to) && isValidUtf8(content->cc) && isValidUtf8(content->text),
        "decoded fields are UTF-8", bytes);
}

void checkRoundTrip(const TMsgFileContent& in) {
  const std::string file = encodeMsgFile(in);
  const std::vector<std::string> lines = splitTextLines(file);
  check(lines.size() == 3, "a message file has three lines", file);
  check(file.size() >= 2 && file.compare(file.size() - 2, 2, "\r\n") == 0, "the file ends with CR LF", file);

  const auto out = decodeMsgFile(file);
  check(out.has_value(), "an encoded message decodes", file);
  check(out->to == blanksForLineBreaks(in.to), "the To text survives", file);
  check(oneLineBreak(out->cc) == oneLineBreak(in.cc), "the Cc text survives", file);
  check(oneLineBreak(out->text) == oneLineBreak(in.text), "the message text survives", file);
  check(encodeMsgFile(*out) == file, "a decoded file encodes to the same bytes", file);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  checkDecoded(std::string(reinterpret_cast<const char*>(data), size));
  FuzzInput in(data, size);
  TMsgFileContent content;
  content.to = asUtf8(in.string());
  content.cc = asUtf8(in.string());
  content.text = asUtf8(in.rest());
  checkRoundTrip(content);
  return 0;
}
