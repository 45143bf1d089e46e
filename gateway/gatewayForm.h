// Decoding of application/x-www-form-urlencoded request bodies.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::gateway {

/// One decoded name/value pair, in the order it appeared in the body.
using FormField = std::pair<std::string, std::string>;

/// Splits \p body at "&" and each part at its first "=", decoding "+" as a
/// blank and "%XX" as a byte. Trailing CR and LF characters of the body (the
/// clients end every body with CR LF) are ignored, as are empty parts.
/// Returns nothing when a "%" is not followed by two hexadecimal digits.
std::optional<std::vector<FormField>> parseForm(const std::string& body);

/// Decodes one form value; nothing on a malformed "%" escape.
std::optional<std::string> formDecode(const std::string& text);

} // namespace quorvel::gateway
