// Tests of the GSM conversion tables as they stand after loading.
#include "util/unCharacterMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace quorvel {
namespace {

// Read before any test body can call initCharMaps: the tables must already
// hold their content while other units are being initialised.
const int32_t seenAtStartup = isoToGsmMap[0x59] * 1000 + gsmToIsoMap[0x7F];

TEST(CharMap, ReadyBeforeMain) { EXPECT_EQ(seenAtStartup, 0x03 * 1000 + 0xE1); }

TEST(CharMap, Spots) {
  EXPECT_EQ(isoToGsmMap[0x41], 0x41);
  EXPECT_EQ(isoToGsmMap[0x59], 0x03);
  EXPECT_EQ(isoToGsmMap[0xC4], 0x41);
  EXPECT_EQ(isoToGsmMap[0xE9], 0x05);
  EXPECT_EQ(isoToGsmMap[256], 0x3F);
  EXPECT_EQ(isoToGsmMap[0x24], 0x02);
  EXPECT_EQ(isoToGsmMap[0x26], 0x01);
  EXPECT_EQ(isoToGsmMap[0x40], 0x00);
  EXPECT_EQ(isoToGsmMap[0x5F], 0x11);
  EXPECT_EQ(isoToGsmMap[0x5B], 0x5B);
  EXPECT_EQ(isoToGsmMap[0xD8], 0x30);
  EXPECT_EQ(isoToGsmMap[0xF8], 0x30);
  EXPECT_EQ(isoToGsmMap[0xE7], 0x63);
  EXPECT_EQ(isoToGsmMap[0xA7], 0x24);
  EXPECT_EQ(isoToGsmMap[0xBF], 0x20);
  EXPECT_EQ(isoToGsmMap[0xFF], 0x79);
  EXPECT_EQ(gsmToIsoMap[0x7F], 0xE1);
  EXPECT_EQ(gsmToIsoMap[0x1B], 0x1B);
  EXPECT_EQ(gsmToIsoMap[0x01], 0x01);
  EXPECT_EQ(gsmToIsoMap[0x03], 0x59);
  EXPECT_EQ(gsmToIsoMap[0x11], 0x5F);
  EXPECT_EQ(gsmToIsoMap[0x24], 0xA4);
  EXPECT_EQ(gsmToIsoMap[256], 0);
  for (int g = 0x10; g <= 0x1A; ++g) {
    if (g == 0x11) continue;
    EXPECT_EQ(gsmToIsoMap[g], 0xB6) << g;
  }
  for (int g = 0x80; g < 256; ++g) EXPECT_EQ(gsmToIsoMap[g], g);
}

TEST(CharMap, Extension) {
  const std::map<int, int> pairs = {{0x0A, 0x0C}, {0x14, 0x5E}, {0x28, 0x7B}, {0x29, 0x7D},
                                    {0x2F, 0x5C}, {0x3C, 0x5B}, {0x3D, 0x7E}, {0x3E, 0x5D},
                                    {0x40, 0x7C}, {0x65, 0x45}};
  std::map<int, int> isoToGsm;
  for (const auto& [g, i] : pairs) isoToGsm[i] = g;
  for (int c = 0; c < 257; ++c) {
    const int wantIso = pairs.count(c) ? pairs.at(c) : (c == 256 ? 0 : c);
    EXPECT_EQ(gsmToIsoExtMap[c], wantIso) << c;
    const int wantGsm = isoToGsm.count(c) ? isoToGsm.at(c) : 0;
    EXPECT_EQ(isoToGsmExtMap[c], wantGsm) << c;
  }
}

TEST(CharMap, AllEntriesAreBytes) {
  for (const int32_t* t : {gsmToIsoMap, isoToGsmMap, gsmToIsoExtMap, isoToGsmExtMap})
    EXPECT_TRUE(std::all_of(t, t + 257, [](int32_t v) { return v >= 0 && v <= 0xFF; }));
}

TEST(CharMap, InitRebuildsTheSameContent) {
  int32_t before[4][257];
  std::copy_n(gsmToIsoMap, 257, before[0]);
  std::copy_n(isoToGsmMap, 257, before[1]);
  std::copy_n(gsmToIsoExtMap, 257, before[2]);
  std::copy_n(isoToGsmExtMap, 257, before[3]);
  chmap2(0x41, 0x42);
  chmap(0x7, 0x8);
  chmapex(0x1, 0x2);
  chmap2(5000, -1); // out of range: ignored
  EXPECT_EQ(isoToGsmMap[0x42], 0x41);
  EXPECT_EQ(gsmToIsoMap[0x41], 0x42);
  EXPECT_EQ(isoToGsmMap[0x08], 0x07);
  EXPECT_EQ(gsmToIsoExtMap[0x01], 0x02);
  initCharMaps();
  EXPECT_TRUE(std::equal(before[0], before[0] + 257, gsmToIsoMap));
  EXPECT_TRUE(std::equal(before[1], before[1] + 257, isoToGsmMap));
  EXPECT_TRUE(std::equal(before[2], before[2] + 257, gsmToIsoExtMap));
  EXPECT_TRUE(std::equal(before[3], before[3] + 257, isoToGsmExtMap));
}

} // namespace
} // namespace quorvel
