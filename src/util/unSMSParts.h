// How a text travels as SMS: GSM 7-bit or UCS-2, and in how many parts.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quorvel {

/// The two codings an SMS text can travel in.
enum class SmsCoding { gsm7, ucs2 };

/// Units of one SMS alone and of one part of a concatenated SMS.
inline constexpr std::size_t gsmSingleUnits = 160;
inline constexpr std::size_t gsmPartUnits = 153;
inline constexpr std::size_t ucs2SingleUnits = 70;
inline constexpr std::size_t ucs2PartUnits = 67;
/// Units of one part whose header carries a 16-bit reference (one byte more).
inline constexpr std::size_t gsmWidePartUnits = 152;
inline constexpr std::size_t ucs2WidePartUnits = 66;

/// The concatenation reference the parts of a long text carry: 8 bits (the
/// usual count, the composer's) or 16 bits, which leaves one unit less per part.
enum class SmsReference { eightBit, sixteenBit };

/// The layout of a text as SMS.
struct SmsParts {
  SmsCoding coding = SmsCoding::gsm7;
  /// GSM septets (extension characters count two) or UTF-16 code units.
  std::size_t units = 0;
  /// Number of SMS; 1 for an empty text.
  std::size_t parts = 1;
  /// The first character that is not in the GSM alphabet; 0 for GSM texts.
  char32_t firstNonGsm = 0;
};

/// Septets \p cp takes in the GSM 03.38 alphabet: 1 for the default table,
/// 2 for the extension table (escape + code), 0 when it has no GSM form.
std::size_t gsmSeptets(char32_t cp);

/// The coding and part count of the UTF-8 text \p utf8. A malformed
/// sequence counts as U+FFFD, which forces UCS-2.
SmsParts smsParts(const std::string& utf8, SmsReference reference = SmsReference::eightBit);

/// \p utf8 cut into the parts smsParts counts, each as UTF-8; one part when
/// it fits a single SMS. An extension character or a surrogate pair is
/// never split between parts.
std::vector<std::string> splitSmsParts(const std::string& utf8,
                                       SmsReference reference = SmsReference::eightBit);

/// The tooltip of the composer's "SMS" panel, e.g.
/// "2 parts, Unicode: 'ő' is not in the GSM alphabet" or "1 part, GSM".
std::string smsPartsDescription(const SmsParts& parts);

} // namespace quorvel
