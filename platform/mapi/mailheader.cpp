// One mail header field written with folding within the mail line limits.
#include "mapi/mailheader.h"

#include "mapi/mapitext.h"

#include <algorithm>
#include <cstdint>

namespace quorvel::mapi {

namespace {

const std::string kWordStart = "=?UTF-8?B?";
const std::string kWordEnd = "?=";

// How many bytes of \p s from \p i fit in an encoded word of at most
// \p length characters, not splitting a UTF-8 sequence where that can be
// helped; 0 when not even a few bytes fit.
size_t bytesThatFit(const std::string& s, size_t i, size_t length) {
  const size_t frame = kWordStart.size() + kWordEnd.size();
  if (length < frame + 8)
    return 0;
  const size_t most = std::min(s.size() - i, (length - frame) / 4 * 3);
  size_t n = most;
  while (n > 0 && i + n < s.size() && (uint8_t(s[i + n]) & 0xC0) == 0x80)
    --n;
  return n > 0 ? n : most;
}

} // namespace

HeaderField::HeaderField(const std::string& name) : out_(name + ":"), column_(out_.size()) {}

void HeaderField::fold() {
  out_ += "\n";
  column_ = 0;
  breakNext_ = false;
}

size_t HeaderField::room() const {
  return column_ < kFoldAt - kGlueRoom ? kFoldAt - kGlueRoom - column_ : 0;
}

void HeaderField::add(const std::string& blanks, const std::string& text) {
  if (!empty_ && (breakNext_ || column_ + blanks.size() + text.size() > kFoldAt - kGlueRoom))
    fold();
  out_ += blanks + text;
  column_ += blanks.size() + text.size();
  empty_ = false;
}

void HeaderField::glue(const std::string& text) {
  out_ += text;
  column_ += text.size();
}

void HeaderField::addText(const std::string& text) {
  // Pieces of blanks and one word; the first also takes the blank that
  // parts the text from what comes before it.
  std::string blanks = " ";
  for (size_t i = 0;;) {
    const size_t word = text.find_first_not_of(' ', i);
    if (word == std::string::npos) {
      glue(blanks + text.substr(std::min(i, text.size()))); // blanks at the end stay there
      return;
    }
    blanks += text.substr(i, word - i);
    const size_t end = std::min(text.find(' ', word), text.size());
    add(blanks, text.substr(word, end - word));
    blanks.clear();
    i = end;
  }
}

void HeaderField::addEncoded(const std::string& raw) {
  const std::string text = ensureUtf8(raw);
  for (size_t i = 0; i < text.size();) {
    if (breakNext_ && !empty_)
      fold();
    size_t n = bytesThatFit(text, i, room() > 0 ? room() - 1 : 0);
    if (n == 0 && !empty_) {
      fold();
      n = bytesThatFit(text, i, room() - 1);
    }
    if (n == 0)
      n = std::min<size_t>(text.size() - i, 45); // a field name too long for any word
    add(" ", kWordStart + base64Encode(text.substr(i, n)) + kWordEnd);
    i += n;
  }
}

size_t longestRun(const std::string& s) {
  size_t longest = 0, run = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    run = i > 0 && (s[i] == ' ') == (s[i - 1] == ' ') ? run + 1 : 1;
    longest = std::max(longest, run);
  }
  return longest;
}

} // namespace quorvel::mapi
