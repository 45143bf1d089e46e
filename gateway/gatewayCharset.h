// The legacy code pages of clients that send their ANSI text instead of UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace quorvel::gateway {

/// The code page an account's texts are read in when they are not UTF-8.
inline constexpr const char* kDefaultCharset = "windows-1252";

/// The known code page called \p name (case-insensitive) by its own name,
/// e.g. "windows-1250" for "Windows-1250"; empty when it is not known.
std::string canonicalCharset(std::string_view name);

/// The known code pages, e.g. "windows-874, windows-1250, ..., iso-8859-15".
std::string knownCharsets();

/// \p bytes as UTF-8: themselves when they are valid UTF-8, else each byte
/// decoded from the code page \p charset (windows-1252 when it is not known);
/// a byte the code page leaves undefined becomes U+FFFD.
std::string clientTextToUtf8(std::string bytes, std::string_view charset);

/// \p bytes decoded from the code page \p charset, whether or not they are UTF-8.
std::string decodeCodePage(std::string_view bytes, std::string_view charset);

} // namespace quorvel::gateway
