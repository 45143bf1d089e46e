// The composer's single point for user-visible texts (for later localisation).
#pragma once

#include <string>

namespace quorvel {

/// Returns \p s unchanged; every text that may be translated passes here.
inline std::string translate(const std::string& s) { return s; }

} // namespace quorvel
