// Fuzz target: the vCard reader.
// Properties: reading any text never throws; warnings name the source;
// contact keys are distinct. A well-formed card whose other properties come
// from the input keeps its name and its three phone numbers.
#include "fuzzInput.h"

#include "mapi/vcard.h"

#include <set>

using namespace quorvel::mapi;
using quorvel::fuzz::check;

namespace {

const char* const kSource = "fuzz.vcf";

void checkAnyText(const std::string& text) {
  const VCardResult result = parseVCards(text, kSource);
  for (const std::string& warning : result.warnings)
    check(warning.rfind(std::string(kSource) + ":", 0) == 0, "a warning names the source", warning);
  std::set<std::string> keys;
  for (const Contact& c : result.contacts)
    check(keys.insert(c.key).second, "contact keys are distinct", c.key);
}

// Properties the input may fill with any value. No TEL (the numbers are the
// ones checked), no BEGIN, END, AGENT or PHOTO (their values span lines).
const char* const kKinds[] = {
    "NOTE",
    "NOTE;ENCODING=QUOTED-PRINTABLE",
    "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE",
    "NOTE;QUOTED-PRINTABLE",
    "N",
    "ORG",
    "TITLE",
    "EMAIL;INTERNET",
    "ADR;HOME;ENCODING=QUOTED-PRINTABLE",
    "LABEL;WORK;ENCODING=QUOTED-PRINTABLE",
    "X-CUSTOM",
    "CATEGORIES",
    "UID",
    "item1.X-ABLABEL",
};
constexpr size_t kKindCount = sizeof kKinds / sizeof kKinds[0];

const char* const kVersions[] = {"2.1", "3.0", "4.0"};
const std::string kMobile = "+36 30 123 4567";
const std::string kBusiness = "+36 1 234 5678";
const std::string kHome = "+36 1 765 4321";

std::string telephone(const std::string& version, const std::string& type, const std::string& number) {
  return "TEL;" + (version == "2.1" ? type : "TYPE=" + type) + ":" + number + "\r\n";
}

// Each input line: its first byte picks the property, the rest is its value.
void checkWellFormedCard(const std::string& input) {
  const std::string version = kVersions[input.empty() ? 0 : static_cast<uint8_t>(input[0]) % 3];
  std::string card = "BEGIN:VCARD\r\nVERSION:" + version + "\r\nFN:Fuzz Card\r\n";
  size_t start = input.empty() ? 0 : 1;
  while (start < input.size()) {
    size_t end = input.find('\n', start);
    if (end == std::string::npos) end = input.size();
    std::string line = input.substr(start, end - start);
    start = end + 1;
    if (line.empty()) continue;
    std::string value;
    for (char c : line.substr(1))
      if (c != '\r') value += c;
    card += std::string(kKinds[static_cast<uint8_t>(line[0]) % kKindCount]) + ":" + value + "\r\n";
  }
  card += telephone(version, "CELL", kMobile) + telephone(version, "WORK", kBusiness) +
          telephone(version, "HOME", kHome) + "END:VCARD\r\n";

  const VCardResult result = parseVCards(card, kSource);
  check(result.contacts.size() == 1, "the card is read", card);
  const Contact& c = result.contacts[0];
  check(c.displayName == "Fuzz Card", "the card keeps its name", card);
  check(c.mobile == kMobile && c.business == kBusiness && c.home == kHome, "the card keeps its phones", card);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  checkAnyText(input);
  checkWellFormedCard(input);
  return 0;
}
