// Text in any character set the C library knows, converted to UTF-8 (iconv).
#include "mapi/mapitext.h"

#include <cctype>
#include <cerrno>
#include <iconv.h>

namespace quorvel::mapi {

namespace {

// Only plain set names reach the converter: letters, digits and the few
// punctuation marks registered names use.
bool plainCharsetName(const std::string& name) {
  if (name.empty() || name.size() > 40)
    return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.' &&
        c != ':' && c != '+')
      return false;
  return true;
}

// Closes the converter on every way out.
struct Converter {
  iconv_t cd;
  ~Converter() { iconv_close(cd); }
};

} // namespace

CharsetResult charsetToUtf8(const std::string& bytes, const std::string& charset,
                            std::string& out) {
  out.clear();
  if (!plainCharsetName(charset))
    return CharsetResult::unknownCharset;
  const iconv_t cd = iconv_open("UTF-8", charset.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1))
    return CharsetResult::unknownCharset;
  Converter guard{cd};
  std::string input = bytes;
  char* in = input.data();
  size_t inLeft = input.size();
  char buf[4096];
  for (bool flushing = false;;) {
    char* o = buf;
    size_t oLeft = sizeof buf;
    // A last call without input ends a shift state the text left open.
    const size_t rc = flushing ? iconv(cd, nullptr, nullptr, &o, &oLeft)
                               : iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buf, static_cast<size_t>(o - buf));
    if (rc == static_cast<size_t>(-1) && errno == E2BIG)
      continue;
    if (rc == static_cast<size_t>(-1))
      return CharsetResult::badText; // EILSEQ or EINVAL: bytes the set does not have
    if (flushing)
      break;
    flushing = true;
  }
  return isValidUtf8(out) ? CharsetResult::ok : CharsetResult::badText;
}

} // namespace quorvel::mapi
