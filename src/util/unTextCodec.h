// Conversions between UTF-8, UTF-16 and the Western Windows code page.
#pragma once

#include <cstddef>
#include <string>

namespace quorvel {

/// True when \p s is well-formed UTF-8 (no overlong forms, no surrogates).
bool isValidUtf8(const std::string& s);
/// Decodes the code point of \p s starting at byte \p i into \p cp and moves
/// \p i past it; false, with \p i unchanged, for a malformed sequence.
bool nextUtf8CodePoint(const std::string& s, std::size_t& i, char32_t& cp);
/// Appends the UTF-8 form of \p cp to \p out.
void appendUtf8(std::string& out, char32_t cp);
/// Converts Windows-1252 bytes to UTF-8; the five unassigned bytes map to the
/// C1 control characters of the same value.
std::string cp1252ToUtf8(const std::string& s);
/// Converts UTF-8 to UTF-16; each malformed sequence becomes U+FFFD.
std::u16string utf8ToUtf16(const std::string& s);
/// Converts UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(const std::u16string& s);

} // namespace quorvel
