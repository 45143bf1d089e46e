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

// One card of version 2.1 around \p body.
std::string card21(const std::string& body) {
  return "BEGIN:VCARD\r\nVERSION:2.1\r\n" + body + "END:VCARD\r\n";
}

TEST(VCard, LinesAreReadAsTheWritersMeantThem) {
  struct Case {
    const char* what;
    std::string text;
    std::vector<std::pair<std::string, std::string>> contacts; // name, mobile
    const char* warning;                                       // "" for none
  };
  const Case cases[] = {
      {"a stray soft break before a property keeps the property",
       card21("N;ENCODING=QUOTED-PRINTABLE:M=C3=BCller;Anna=\r\nTEL;CELL:+49 1\r\n"),
       {{"Anna M\xC3\xBCller", "+49 1"}}, ""},
      {"a stray soft break before the end keeps the card",
       card21("FN;ENCODING=QUOTED-PRINTABLE:Bob=\r\nTEL;CELL:2\r\n"), {{"Bob", "2"}}, ""},
      {"a soft break before text that is no property still joins",
       card21("FN;ENCODING=QUOTED-PRINTABLE:Car=\r\nla Ruiz=\r\n;=C3=A9\r\nTEL;CELL:3\r\n"),
       {{"Carla Ruiz;\xC3\xA9", "3"}}, ""},
      {"other character sets are decoded",
       card21("FN;CHARSET=ISO-8859-2;ENCODING=QUOTED-PRINTABLE:=A3ukasz =AFak\r\nTEL;CELL:4\r\n"),
       {{"\xC5\x81ukasz \xC5\xBB\x61k", "4"}}, ""},
      {"an unknown character set is warned about",
       card21("FN;CHARSET=X-NO-SUCH-SET:Ab\xE9\r\nTEL;CELL:5\r\n"), {{"Ab\xC3\xA9", "5"}},
       "x:3: unknown character set X-NO-SUCH-SET, read as UTF-8 or Windows-1252"},
      {"text that does not fit its character set is warned about",
       card21("FN;CHARSET=UTF-16BE:A\r\nTEL;CELL:5\r\n"), {{"A", "5"}},
       "x:3: text not valid in character set UTF-16BE, read as UTF-8 or Windows-1252"},
      {"TYPE=MOBILE is the mobile number",
       "BEGIN:VCARD\nVERSION:3.0\nFN:M\nTEL;TYPE=HOME:0\nTEL;TYPE=MOBILE:6\nEND:VCARD\n",
       {{"M", "6"}}, ""},
      {"X-MOBILE is the mobile number", card21("FN:X\r\nTEL;HOME:0\r\nTEL;X-MOBILE:7\r\n"),
       {{"X", "7"}}, ""},
      {"an agent's card stays inside its contact",
       card21("FN:Boss\r\nAGENT:\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nFN:Assistant\r\n"
              "TEL;CELL:1\r\nEND:VCARD\r\nTEL;CELL:8\r\n"),
       {{"Boss", "8"}}, ""},
      {"unindented base64 lines belong to their photo",
       card21("FN:Pic\r\nPHOTO;ENCODING=BASE64;TYPE=JPEG:\r\n/9j/4AAQSkZJRgABAQ\r\n"
              "EASABIAAD/2w==\r\n\r\nTEL;CELL:9\r\n"),
       {{"Pic", "9"}}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VCardResult r = parseVCards(c.text, "x");
    std::vector<std::pair<std::string, std::string>> got;
    for (const auto& contact : r.contacts)
      got.emplace_back(contact.displayName, contact.mobile);
    EXPECT_EQ(got, c.contacts);
    EXPECT_EQ(r.warnings, *c.warning ? std::vector<std::string>{c.warning}
                                     : std::vector<std::string>{});
  }
}

TEST(VCard, KeysWithoutUidSurviveANewNumber) {
  auto keys = [](const std::string& firstNumber) {
    std::string text;
    for (const char* card : {"FN:Ann\nTEL;TYPE=cell:", "FN:Ann\nTEL;TYPE=cell:2", "FN:Bo\nTEL:3"})
      text += std::string("BEGIN:VCARD\nVERSION:3.0\n") + card +
              (text.empty() ? firstNumber : "") + "\nEND:VCARD\n";
    std::vector<std::string> out;
    for (const auto& c : parseVCards(text, "x").contacts)
      out.push_back(c.key);
    return out;
  };
  const std::vector<std::string> before = keys("1"), after = keys("+44 7700 900123");
  ASSERT_EQ(before.size(), 3u);
  EXPECT_EQ(after, before);
  EXPECT_EQ(std::set<std::string>(before.begin(), before.end()).size(), 3u);
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
