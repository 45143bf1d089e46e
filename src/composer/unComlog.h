// The length limit of the communication log.
#pragma once

#include <cstddef>
#include <string>

namespace quorvel {

/// Lines the communication log keeps at most.
inline constexpr std::size_t comlogMaxLines = 50;

/// \p text without as many leading lines as needed to leave at most
/// \p maxLines lines. Lines end at LF; a final LF does not start another line.
std::string keepLastLines(const std::string& text, std::size_t maxLines);

} // namespace quorvel
