// Contacts read from vCard files as address books and phones write them.
#include "mapi/vcard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

namespace quorvel::mapi {
namespace {

std::string readFile(const std::string& relative) {
  std::ifstream in(std::string(std::getenv("QUORVEL_SOURCE_DIR")) + "/tests/data/" + relative,
                   std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

const Contact* byName(const VCardResult& r, const std::string& name) {
  for (const auto& c : r.contacts)
    if (c.displayName == name)
      return &c;
  return nullptr;
}

struct Expected {
  const char* file;
  const char* name;
  const char* mobile;
  const char* email;
};

// One row per card: the name shown and the number taken as the mobile one.
const Expected kCards[] = {
    {"vcard/google_contacts.vcf", "Anna Berg", "+49 170 1234567", "anna.berg@example.org"},
    {"vcard/google_contacts.vcf", "Bernd Ohnehandy", "", ""},
    {"vcard/google_contacts.vcf", "Carla Díaz", "+34 600 111 222", ""},
    {"vcard/apple_contacts.vcf", "Ingrid Løvaas", "+47 912 34 567", "ingrid@nordlys.example"},
    {"vcard/apple_contacts.vcf", "Hiroshi Tanaka", "+81 90-1234-5678", ""},
    {"vcard/apple_contacts.vcf", "Acme, Inc. Support", "+1 (555) 010-9999", ""},
    {"vcard/apple_contacts.vcf", "Maximilian Alexander von Hohenzollern-Sigmaringen",
     "+49 160 9988776", ""},
    {"vcard/android_export.vcf", "Ayşe Öztürk", "+905321234567", ""},
    {"vcard/android_export.vcf", "Nikos Papadopoulos", "+306912345678", "nikos@example.gr"},
    {"vcard/android_export.vcf", "Мария Иванова", "+79161234567", ""},
    {"vcard/android_export.vcf", "+4915112345678", "+4915112345678", ""},
    {"vcard/outlook_contact.vcf", "Jörg Müller", "0171 9876543", "joerg@example.de"},
    {"vcard/vcard4_bom.vcf", "Zoë Lefèvre", "+33-6-12-34-56-78", "zoe@example.fr"},
    {"vcard/vcard4_bom.vcf", "Sam Smith", "+1 212 555 0142", ""},
};

class CardTest : public testing::TestWithParam<Expected> {};

TEST_P(CardTest, NameMobileAndEmail) {
  const Expected& e = GetParam();
  VCardResult r = parseVCards(readFile(e.file), e.file);
  EXPECT_TRUE(r.warnings.empty()) << r.warnings.front();
  const Contact* c = byName(r, e.name);
  ASSERT_NE(c, nullptr) << e.name << " not found in " << e.file;
  EXPECT_EQ(c->mobile, e.mobile);
  EXPECT_EQ(c->email, e.email);
}

INSTANTIATE_TEST_SUITE_P(RealWorldFiles, CardTest, testing::ValuesIn(kCards));

TEST(VCard, EveryCardOfEachFileIsRead) {
  EXPECT_EQ(parseVCards(readFile("vcard/google_contacts.vcf"), "g").contacts.size(), 3u);
  EXPECT_EQ(parseVCards(readFile("vcard/apple_contacts.vcf"), "a").contacts.size(), 4u);
  EXPECT_EQ(parseVCards(readFile("vcard/android_export.vcf"), "b").contacts.size(), 4u);
  EXPECT_EQ(parseVCards(readFile("vcard/outlook_contact.vcf"), "o").contacts.size(), 1u);
  EXPECT_EQ(parseVCards(readFile("vcard/vcard4_bom.vcf"), "v").contacts.size(), 2u);
}

TEST(VCard, OtherNumbersAreKeptApartFromTheMobileOne) {
  VCardResult r = parseVCards(readFile("vcard/google_contacts.vcf"), "g");
  const Contact* bernd = byName(r, "Bernd Ohnehandy");
  ASSERT_NE(bernd, nullptr);
  EXPECT_EQ(bernd->business, "+49 89 1234 5678");
  EXPECT_EQ(bernd->home, "+49 89 8765 4321");
  EXPECT_EQ(bernd->mobile, "");
}

TEST(VCard, NameIsBuiltFromNWhenFnIsMissing) {
  VCardResult r = parseVCards("BEGIN:VCARD\nVERSION:3.0\nN:Doe;John;Q.;Dr.;Jr.\n"
                              "TEL;TYPE=cell:1\nEND:VCARD\n",
                              "n");
  ASSERT_EQ(r.contacts.size(), 1u);
  EXPECT_EQ(r.contacts[0].displayName, "Dr. John Q. Doe Jr.");
}

TEST(VCard, DamagedCardsAreSkippedWithAWarningEach) {
  VCardResult r = parseVCards(readFile("vcard-damaged/damaged.vcf"), "damaged.vcf");
  ASSERT_EQ(r.contacts.size(), 2u);
  EXPECT_EQ(r.contacts[0].displayName, "Good Before");
  EXPECT_EQ(r.contacts[1].displayName, "Good After");
  ASSERT_EQ(r.warnings.size(), 4u);
  EXPECT_EQ(r.warnings[0], "damaged.vcf:6: card skipped: line 9 is not a property");
  EXPECT_EQ(r.warnings[1], "damaged.vcf:12: card skipped: no END:VCARD before the next card");
  EXPECT_EQ(r.warnings[2], "damaged.vcf:16: card skipped: card has no name");
  EXPECT_EQ(r.warnings[3], "damaged.vcf:25: card skipped: no END:VCARD");
}

TEST(VCard, GarbageGivesNoContactsAndNoCrash) {
  static const char withNul[] = "BEGIN:VCARD\nFN:a\0b\nEND:VCARD";
  const std::string inputs[] = {"",
                                "\xFF\xFE",
                                "BEGIN:VCARD",
                                "END:VCARD\nBEGIN:VCARD\n:\nEND:VCARD",
                                "BEGIN:VCARD\nFN;ENCODING=QUOTED-PRINTABLE:=\nEND:VCARD",
                                "BEGIN:VCARD\nFN:\"unterminated\nEND:VCARD",
                                std::string(withNul, sizeof withNul - 1)};
  for (const auto& in : inputs)
    EXPECT_NO_THROW(parseVCards(in, "x"));
}

TEST(VCard, KeysAreStableAndDistinct) {
  std::string text = readFile("vcard/android_export.vcf") + readFile("vcard/vcard4_bom.vcf");
  VCardResult a = parseVCards(text, "x"), b = parseVCards(text, "x");
  ASSERT_EQ(a.contacts.size(), b.contacts.size());
  std::set<std::string> keys;
  for (size_t i = 0; i < a.contacts.size(); ++i) {
    EXPECT_EQ(a.contacts[i].key, b.contacts[i].key);
    keys.insert(a.contacts[i].key);
  }
  EXPECT_EQ(keys.size(), a.contacts.size());
  EXPECT_EQ(byName(a, "Sam Smith")->key, "uid:urn:uuid:1d7a3c4e-2b5f-4a61-8b9c-0e1f2a3b4c5d");
}

TEST(VCard, IdenticalCardsWithoutUidGetNumberedKeys) {
  std::string card = "BEGIN:VCARD\nVERSION:3.0\nFN:Twin\nTEL;TYPE=cell:1\nEND:VCARD\n";
  VCardResult r = parseVCards(card + card, "x");
  ASSERT_EQ(r.contacts.size(), 2u);
  EXPECT_EQ(r.contacts[1].key, r.contacts[0].key + "#2");
}

TEST(VCard, Utf16FilesAreRead) {
  std::string utf8 = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ünal\r\nTEL;TYPE=CELL:5\r\nEND:VCARD\r\n";
  std::string utf16 = "\xFF\xFE";
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = uint8_t(utf8[i]);
    uint32_t cp = c;
    if (c >= 0xC0) { // two-byte sequences are all this text has
      cp = ((c & 0x1F) << 6) | (uint8_t(utf8[i + 1]) & 0x3F);
      i += 2;
    } else {
      ++i;
    }
    utf16.push_back(char(cp & 0xFF));
    utf16.push_back(char(cp >> 8));
  }
  VCardResult r = parseVCards(utf16, "x");
  ASSERT_EQ(r.contacts.size(), 1u);
  EXPECT_EQ(r.contacts[0].displayName, "Ünal");
  EXPECT_EQ(r.contacts[0].mobile, "5");
}

} // namespace
} // namespace quorvel::mapi
