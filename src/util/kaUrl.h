// Form-value encoding for application/x-www-form-urlencoded bodies.
#pragma once

#include <string>

namespace quorvel {

/// Keeps ASCII letters and digits, turns a blank into "+" (or "%20" when
/// \p Pluses is false) and every other byte into "%XX".
std::string UrlEncode(const std::string& DecodedStr, bool Pluses);

} // namespace quorvel
