// Counting and cutting SMS texts in GSM 7-bit or UCS-2 parts.
#include "util/unSMSParts.h"

#include "util/unCharacterMap.h"
#include "util/unTextCodec.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace quorvel {

namespace {

// The GSM codes where the composer's conversion table shows a stand-in
// rather than the alphabet's own character (ISO-8859-1 lacks the Greek
// capitals, and the table shows acute accents for the grave ones): the
// character each code really stands for.
constexpr char32_t kPublishedAt[][2] = {
    {0x01, 0x00A3}, {0x03, 0x00A5}, {0x06, 0x00F9}, {0x07, 0x00EC}, {0x08, 0x00F2},
    {0x7F, 0x00E0}, {0x10, 0x0394}, {0x12, 0x03A6}, {0x13, 0x0393}, {0x14, 0x039B},
    {0x15, 0x03A9}, {0x16, 0x03A0}, {0x17, 0x03A8}, {0x18, 0x03A3}, {0x19, 0x0398},
    {0x1A, 0x039E}};
constexpr int32_t kEscape = 0x1B;
// The extension table puts the euro sign where the conversion table has 'E'.
constexpr int32_t kEuroCode = 0x65;
constexpr char32_t kEuro = 0x20AC;

struct Alphabet {
  std::array<uint8_t, 256> latin{};  // septets per ISO-8859-1 code point
  std::array<char32_t, 128> published{};

  Alphabet() {
    for (int32_t gsm = 0; gsm < 128; ++gsm)
      published[gsm] = static_cast<char32_t>(gsmToIsoMap[gsm]);
    for (const auto& p : kPublishedAt)
      published[p[0]] = p[1];
    for (int32_t gsm = 0; gsm < 128; ++gsm)
      if (gsm != kEscape && published[gsm] < 256)
        latin[published[gsm]] = 1;
    for (int32_t gsm = 0; gsm < 256; ++gsm) {
      const int32_t iso = gsmToIsoExtMap[gsm];
      if (gsm != kEuroCode && iso != gsm && isoToGsmExtMap[iso] == gsm)
        latin[iso] = 2;
    }
  }
};

const Alphabet& alphabet() {
  static const Alphabet a;
  return a;
}

std::size_t ucs2Units(char32_t cp) { return cp > 0xFFFF ? 2 : 1; }

// Calls \p onChar(cp, bytes) for each code point; malformed bytes give U+FFFD.
template <class F> void forEachCodePoint(const std::string& s, F onChar) {
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t start = i;
    char32_t cp = static_cast<unsigned char>(s[i]);
    if (cp < 0x80) {
      ++i;
    } else if (!nextUtf8CodePoint(s, i, cp)) {
      cp = 0xFFFD;
      i = start + 1;
    }
    onChar(cp, std::string_view(s).substr(start, i - start));
  }
}

// The layout of \p utf8 with \p reference's header; its parts' texts too
// when \p texts is given. The gateway counts the parts of every message of a
// batch: counting alone copies nothing.
SmsParts layOut(const std::string& utf8, SmsReference reference, std::vector<std::string>* texts) {
  SmsParts p;
  // Both codings' units in one pass; the coding decides which count.
  std::size_t septets = 0, wide = 0;
  forEachCodePoint(utf8, [&](char32_t cp, std::string_view) {
    const std::size_t n = gsmSeptets(cp);
    if (p.firstNonGsm == 0 && n == 0)
      p.firstNonGsm = cp;
    septets += n;
    wide += ucs2Units(cp);
  });
  p.coding = p.firstNonGsm ? SmsCoding::ucs2 : SmsCoding::gsm7;
  const bool gsm = p.coding == SmsCoding::gsm7;
  auto unitsOf = [&](char32_t cp) { return gsm ? gsmSeptets(cp) : ucs2Units(cp); };
  p.units = gsm ? septets : wide;
  const std::size_t single = gsm ? gsmSingleUnits : ucs2SingleUnits;
  if (p.units <= single) {
    if (texts) texts->push_back(utf8);
    return p;
  }
  const bool longHeader = reference == SmsReference::sixteenBit;
  const std::size_t perPart = gsm ? (longHeader ? gsmWidePartUnits : gsmPartUnits)
                                  : (longHeader ? ucs2WidePartUnits : ucs2PartUnits);
  std::size_t used = perPart;
  p.parts = 0;
  forEachCodePoint(utf8, [&](char32_t cp, std::string_view bytes) {
    const std::size_t n = unitsOf(cp);
    if (used + n > perPart) {
      ++p.parts;
      if (texts) texts->emplace_back();
      used = 0;
    }
    if (texts) texts->back() += bytes;
    used += n;
  });
  return p;
}

} // namespace

std::size_t gsmSeptets(char32_t cp) {
  if (cp < 256)
    return alphabet().latin[cp];
  if (cp == kEuro)
    return 2;
  for (const auto& p : kPublishedAt)
    if (p[1] == cp)
      return 1;
  return 0;
}

SmsParts smsParts(const std::string& utf8, SmsReference reference) { return layOut(utf8, reference, nullptr); }

std::vector<std::string> splitSmsParts(const std::string& utf8, SmsReference reference) {
  std::vector<std::string> texts;
  layOut(utf8, reference, &texts);
  return texts;
}

std::string smsPartsDescription(const SmsParts& parts) {
  std::string text = std::to_string(parts.parts) + (parts.parts == 1 ? " part" : " parts");
  if (parts.coding == SmsCoding::gsm7)
    return text + ", GSM alphabet";
  std::string shown;
  appendUtf8(shown, parts.firstNonGsm);
  return text + ", Unicode: '" + shown + "' is not in the GSM alphabet";
}

} // namespace quorvel
