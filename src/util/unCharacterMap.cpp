// Conversion tables between the GSM 7-bit alphabet and ISO-8859-1.
#include "util/unCharacterMap.h"

#include <array>
#include <cstddef>

namespace quorvel {

namespace {

using Table = std::array<int32_t, 257>;

// GSM default-alphabet codes 0x00..0x7F as ISO-8859-1 codes.  The Greek
// capitals that ISO-8859-1 lacks show as the pilcrow.
constexpr uint8_t kGsmToIso[128] = {
    0x40, 0x01, 0x24, 0x59, 0xE8, 0xE9, 0xFA, 0xED, 0xF3, 0xC7, 0x0A, 0xD8, 0xF8, 0x0D, 0xC5, 0xE5,
    0xB6, 0x5F, 0xB6, 0xB6, 0xB6, 0xB6, 0xB6, 0xB6, 0xB6, 0xB6, 0xB6, 0x1B, 0xC6, 0xE6, 0xDF, 0xC9,
    0x20, 0x21, 0x22, 0x23, 0xA4, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,
    0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F,
    0xA1, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0xC4, 0xD6, 0xD1, 0xDC, 0xA7,
    0xBF, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
    0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0xE4, 0xF6, 0xF1, 0xFC, 0xE1,
};

// ISO codes 0x80..0xFF as GSM codes: code page 437 characters in the first
// rows, ISO-8859-1 letters folded to their nearest GSM letter in the others.
constexpr uint8_t kIsoHighToGsm[128] = {
    0x09, 0x7E, 0x05, 0x7B, 0x7B, 0x7F, 0x0F, 0x09, 0x05, 0x05, 0x04, 0x07, 0x07, 0x07, 0x5B, 0x0E,
    0x45, 0x1D, 0x1C, 0x7C, 0x7C, 0x08, 0x7E, 0x06, 0x11, 0x5C, 0x5E, 0x7F, 0x01, 0x03, 0x11, 0x60,
    0x7F, 0x07, 0x08, 0x06, 0x7D, 0x5D, 0x22, 0x24, 0x60, 0x11, 0x11, 0x20, 0x20, 0x40, 0x3C, 0x3E,
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
    0x41, 0x41, 0x41, 0x41, 0x41, 0x0E, 0x1C, 0x09, 0x1F, 0x1F, 0x1F, 0x1F, 0x49, 0x49, 0x49, 0x49,
    0x44, 0x5D, 0x4F, 0x4F, 0x5C, 0x4F, 0x5C, 0x20, 0x30, 0x55, 0x55, 0x55, 0x5E, 0x59, 0x16, 0x1E,
    0x7F, 0x7F, 0x7F, 0x7B, 0x7B, 0x0F, 0x1D, 0x63, 0x04, 0x05, 0x05, 0x05, 0x07, 0x07, 0x07, 0x07,
    0x7C, 0x7D, 0x08, 0x08, 0x7C, 0x7C, 0x7C, 0x2F, 0x30, 0x06, 0x06, 0x06, 0x7E, 0x79, 0x50, 0x79,
};

// ASCII characters whose GSM code differs from their own: {gsm, iso}.
constexpr int32_t kAsciiToGsm[][2] = {
    {0x02, 0x24}, {0x01, 0x26}, {0x00, 0x40}, {0x03, 0x59}, {0x11, 0x5F}};

// The escape extension table: {gsm extension code, iso}.
constexpr int32_t kExtension[][2] = {
    {0x0A, 0x0C}, {0x14, 0x5E}, {0x28, 0x7B}, {0x29, 0x7D}, {0x2F, 0x5C},
    {0x3C, 0x5B}, {0x3D, 0x7E}, {0x3E, 0x5D}, {0x40, 0x7C}, {0x65, 0x45}};

// What a code with no GSM form is sent as: the GSM question mark.
constexpr int32_t kUnknownIsoSlot = 256;
constexpr int32_t kGsmQuestionMark = 0x3F;

// The four tables seen through references, so that the same steps build them
// at compile time and in initCharMaps.
template <class T> struct TableSet {
  T& gsmToIso;
  T& isoToGsm;
  T& gsmToIsoExt;
  T& isoToGsmExt;

  // Codes outside the tables are ignored rather than written past their end.
  static constexpr bool fits(int32_t gsm, int32_t iso) {
    return gsm >= 0 && gsm < 257 && iso >= 0 && iso < 257;
  }

  constexpr void map2(int32_t gsm, int32_t iso) {
    if (!fits(gsm, iso)) return;
    isoToGsm[iso] = gsm;
    gsmToIso[gsm] = iso;
  }
  constexpr void map(int32_t gsm, int32_t iso) {
    if (fits(gsm, iso)) isoToGsm[iso] = gsm;
  }
  constexpr void mapex(int32_t gsm, int32_t iso) {
    if (!fits(gsm, iso)) return;
    isoToGsmExt[iso] = gsm;
    gsmToIsoExt[gsm] = iso;
  }

  constexpr void build() {
    for (int32_t c = 0; c < 256; ++c) {
      gsmToIso[c] = c;
      gsmToIsoExt[c] = c;
      isoToGsm[c] = c;
      isoToGsmExt[c] = 0;
    }
    gsmToIso[256] = gsmToIsoExt[256] = isoToGsm[256] = isoToGsmExt[256] = 0;

    // The default alphabet both ways first; the encoding direction is then
    // settled for every ISO code, which overrides where decoding is lossy.
    for (int32_t gsm = 0; gsm < 128; ++gsm) map2(gsm, kGsmToIso[gsm]);
    for (int32_t iso = 0; iso < 128; ++iso) map(iso, iso);
    for (const auto& m : kAsciiToGsm) map(m[0], m[1]);
    for (int32_t iso = 128; iso < 256; ++iso) map(kIsoHighToGsm[iso - 128], iso);
    map(kGsmQuestionMark, kUnknownIsoSlot);

    for (const auto& m : kExtension) mapex(m[0], m[1]);
  }
};

struct BuiltTables {
  Table gsmToIso{}, isoToGsm{}, gsmToIsoExt{}, isoToGsmExt{};
};

constexpr BuiltTables buildAtCompileTime() {
  BuiltTables t;
  TableSet<Table>{t.gsmToIso, t.isoToGsm, t.gsmToIsoExt, t.isoToGsmExt}.build();
  return t;
}

constexpr BuiltTables kBuilt = buildAtCompileTime();

} // namespace

// The tables are constant-initialised with the result of the very steps that
// initCharMaps performs, so they hold their content before any code runs.
#define QV_ROW(t, b)                                                          \
  t[b + 0], t[b + 1], t[b + 2], t[b + 3], t[b + 4], t[b + 5], t[b + 6],       \
      t[b + 7], t[b + 8], t[b + 9], t[b + 10], t[b + 11], t[b + 12],          \
      t[b + 13], t[b + 14], t[b + 15]
#define QV_TABLE(t)                                                           \
  {                                                                           \
    QV_ROW(t, 0), QV_ROW(t, 16), QV_ROW(t, 32), QV_ROW(t, 48), QV_ROW(t, 64), \
        QV_ROW(t, 80), QV_ROW(t, 96), QV_ROW(t, 112), QV_ROW(t, 128),         \
        QV_ROW(t, 144), QV_ROW(t, 160), QV_ROW(t, 176), QV_ROW(t, 192),       \
        QV_ROW(t, 208), QV_ROW(t, 224), QV_ROW(t, 240), t[256]                \
  }

constinit int32_t gsmToIsoMap[257] = QV_TABLE(kBuilt.gsmToIso);
constinit int32_t isoToGsmMap[257] = QV_TABLE(kBuilt.isoToGsm);
constinit int32_t gsmToIsoExtMap[257] = QV_TABLE(kBuilt.gsmToIsoExt);
constinit int32_t isoToGsmExtMap[257] = QV_TABLE(kBuilt.isoToGsmExt);

#undef QV_TABLE
#undef QV_ROW

namespace {

using RawTable = int32_t[257];

TableSet<RawTable> liveTables() {
  return {gsmToIsoMap, isoToGsmMap, gsmToIsoExtMap, isoToGsmExtMap};
}

} // namespace

void chmap2(int32_t gsm, int32_t iso) { liveTables().map2(gsm, iso); }

void chmap(int32_t gsm, int32_t iso) { liveTables().map(gsm, iso); }

void chmapex(int32_t gsm, int32_t iso) { liveTables().mapex(gsm, iso); }

void initCharMaps() { liveTables().build(); }

} // namespace quorvel
