// Text helpers of the mail library: case folding for searches, and the small
// encodings mail and vCard use (UTF-8 itself is util/unTextCodec.h).
#pragma once

#include "util/unTextCodec.h"

#include <cstdint>
#include <string>

namespace quorvel::mapi {

/// \p s unchanged when it is UTF-8, else read as Windows-1252.
std::string ensureUtf8(const std::string& s);
/// How a conversion from a named character set went.
enum class CharsetResult { ok, unknownCharset, badText };
/// Converts \p bytes written in the character set \p charset (a registered
/// name such as "ISO-8859-2") to UTF-8 in \p out.
CharsetResult charsetToUtf8(const std::string& bytes, const std::string& charset,
                            std::string& out);
/// UTF-16 text with a byte-order mark to UTF-8; \p s unchanged otherwise.
std::string utf16ToUtf8(const std::string& s);

std::string lowerAscii(std::string s);
bool equalsNoCase(const std::string& a, const std::string& b);
/// Lower case for searching: ASCII, Latin-1, Latin Extended-A, Greek and
/// Cyrillic letters are folded; other characters stay as they are.
std::string foldCase(const std::string& utf8);
std::string trimmed(const std::string& s);

std::string base64Encode(const std::string& data);
/// Quoted-printable decoding; soft line breaks are dropped.
std::string quotedPrintableDecode(const std::string& s);

} // namespace quorvel::mapi
