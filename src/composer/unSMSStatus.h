// Texts of the composer's status bar, computed from the editor's text.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace quorvel {

/// Characters of one SMS; every character counts as one unit.
inline constexpr std::size_t smsLength = 160;

/// Number of characters (Unicode code points) of the UTF-8 text \p utf8,
/// carriage returns and line feeds not counted.
std::size_t countStatusCharacters(const std::string& utf8);

/// The four panel texts for \p n counted characters and the credit balance
/// \p credits (empty while unknown): characters, SMS count, characters left,
/// credits.
std::array<std::string, 4> statusPanelTexts(std::size_t n, const std::string& credits);

} // namespace quorvel
