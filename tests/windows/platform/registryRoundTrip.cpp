// The registry layer on the real registry: keys, UTF-8 text stored as UTF-16,
// numbers, enumeration, size rules, the settings routines and tree removal.
#include "registry/winreg.h"
#include "util/unRegistry.h"

#include "platformCheck.h"

#include <cstring>
#include <set>
#include <string>

namespace wr = quorvel::winreg;

// The layer's names are macros in <windows.h>: its only use here goes
// through a function of its own that returns what the native call stored.
std::wstring storedUtf16(const char* key, const char* value);

namespace {

const char* const kTop = "Software\\QuorvelWineTest";
const char* const kKey = "Software\\QuorvelWineTest\\Round trip \xC3\xBC"; // "ü" in the key name
const char* const kText =
    "Gr\xC3\xBC\xC3\x9F"
    "e \xE2\x80\x94 \xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1 \xE2\x9C\x93";
const wchar_t* const kTextUtf16 =
    L"Gr\u00FC\u00DFe \u2014 \u0395\u03BB\u03BB\u03AC\u03B4\u03B1 \u2713";

const wr::BYTE* bytes(const char* s) { return reinterpret_cast<const wr::BYTE*>(s); }

void writeValues(wr::HKEY key) {
  const wr::DWORD count = 42;
  CHECK(wr::RegSetValueExA(key, "Text", 0, wr::REG_SZ, bytes(kText),
                           wr::DWORD(std::strlen(kText) + 1)) == wr::ERROR_SUCCESS);
  CHECK(wr::RegSetValueExA(key, "Count", 0, wr::REG_DWORD,
                           reinterpret_cast<const wr::BYTE*>(&count), 4) == wr::ERROR_SUCCESS);
  CHECK(wr::RegSetValueExA(key, "Empty", 0, wr::REG_SZ, bytes(""), 1) == wr::ERROR_SUCCESS);
  // Text that is not UTF-8 is refused, as the file store refuses it.
  CHECK(wr::RegSetValueExA(key, "Bad", 0, wr::REG_SZ, bytes("\xFF\xFE"), 3) ==
        wr::ERROR_INVALID_PARAMETER);
}

void readText(wr::HKEY key) {
  wr::DWORD type = 0, size = 0;
  CHECK(wr::RegQueryValueExA(key, "Text", nullptr, &type, nullptr, &size) == wr::ERROR_SUCCESS);
  CHECK(type == wr::REG_SZ);
  CHECK(size == std::strlen(kText) + 1);
  char small[4];
  wr::DWORD smallSize = sizeof small;
  CHECK(wr::RegQueryValueExA(key, "Text", nullptr, nullptr, reinterpret_cast<wr::BYTE*>(small),
                             &smallSize) == wr::ERROR_MORE_DATA);
  CHECK(smallSize == size);
  std::string text(size, '\0');
  CHECK(wr::RegQueryValueExA(key, "Text", nullptr, &type, reinterpret_cast<wr::BYTE*>(text.data()),
                             &size) == wr::ERROR_SUCCESS);
  CHECK(text == std::string(kText) + '\0');
  wr::DWORD count = 0, countSize = sizeof count;
  CHECK(wr::RegQueryValueExA(key, "Count", nullptr, &type, reinterpret_cast<wr::BYTE*>(&count),
                             &countSize) == wr::ERROR_SUCCESS);
  CHECK(type == wr::REG_DWORD && count == 42 && countSize == 4);
  CHECK(wr::RegQueryValueExA(key, "Missing", nullptr, nullptr, nullptr, nullptr) ==
        wr::ERROR_FILE_NOT_FOUND);
}

void enumerate(wr::HKEY key) {
  std::set<std::string> names;
  for (wr::DWORD i = 0;; ++i) {
    char name[64];
    wr::DWORD cch = sizeof name, type = 0;
    const wr::LONG rc = wr::RegEnumValueA(key, i, name, &cch, nullptr, &type, nullptr, nullptr);
    if (rc == wr::ERROR_NO_MORE_ITEMS) break;
    if (!CHECK(rc == wr::ERROR_SUCCESS) || i > 10) break;
    CHECK(cch == std::strlen(name));
    names.insert(name);
  }
  CHECK((names == std::set<std::string>{"Text", "Count", "Empty"}));

  wr::HKEY child = nullptr;
  CHECK(wr::RegCreateKeyExA(key, "Child", 0, nullptr, 0, wr::KEY_ALL_ACCESS, nullptr, &child,
                            nullptr) == wr::ERROR_SUCCESS);
  wr::RegCloseKey(child);
  char name[8];
  wr::DWORD cch = sizeof name;
  CHECK(wr::RegEnumKeyExA(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr) ==
        wr::ERROR_SUCCESS);
  CHECK(std::string(name) == "Child" && cch == 5);
  char tiny[3];
  cch = sizeof tiny;
  CHECK(wr::RegEnumKeyExA(key, 0, tiny, &cch, nullptr, nullptr, nullptr, nullptr) ==
        wr::ERROR_MORE_DATA);
  cch = sizeof name;
  CHECK(wr::RegEnumKeyExA(key, 1, name, &cch, nullptr, nullptr, nullptr, nullptr) ==
        wr::ERROR_NO_MORE_ITEMS);
}

void settingsRoutines() {
  const std::string path = std::string("HKEY_CURRENT_USER\\") + kTop + "\\Settings\\";
  quorvel::kaSaveToreg(path, "User", "J\xC3\xBCrgen");
  CHECK(quorvel::kaLoadFromreg(path, "User", "none") == "J\xC3\xBCrgen");
  CHECK(quorvel::kaLoadFromreg(path, "Absent", "fallback") == "fallback");
}

// Empty path parts are ignored, as the file store ignores them.
void pathSpellings() {
  wr::HKEY key = nullptr;
  CHECK(wr::RegCreateKeyExA(wr::HKEY_CURRENT_USER, "\\Software\\QuorvelWineTest\\\\Spelt\\", 0,
                            nullptr, 0, wr::KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) == wr::ERROR_SUCCESS);
  wr::RegCloseKey(key);
  for (const char* path : {"Software\\QuorvelWineTest\\Spelt", "\\Software\\QuorvelWineTest\\Spelt",
                           "Software\\\\QuorvelWineTest\\Spelt\\"}) {
    key = nullptr;
    if (!CHECK(wr::RegOpenKeyExA(wr::HKEY_CURRENT_USER, path, 0, wr::KEY_READ, &key) ==
               wr::ERROR_SUCCESS))
      std::fprintf(stderr, "  path: %s\n", path);
    wr::RegCloseKey(key);
  }
}

} // namespace

int main(int argc, char** argv) {
  // --keep leaves the keys for an outside look (reg query); the next run
  // starts by removing them.
  const bool keep = argc > 1 && std::strcmp(argv[1], "--keep") == 0;
  wr::RegDeleteTreeA(wr::HKEY_CURRENT_USER, kTop);

  wr::HKEY key = nullptr;
  wr::DWORD disposition = 0;
  CHECK(wr::RegCreateKeyExA(wr::HKEY_CURRENT_USER, kKey, 0, nullptr, wr::REG_OPTION_NON_VOLATILE,
                            wr::KEY_ALL_ACCESS, nullptr, &key, &disposition) == wr::ERROR_SUCCESS);
  CHECK(disposition == wr::REG_CREATED_NEW_KEY);
  if (!key) return 1;
  writeValues(key);
  readText(key);
  CHECK(storedUtf16(kKey, "Text") == kTextUtf16);
  enumerate(key);
  CHECK(wr::RegCloseKey(key) == wr::ERROR_SUCCESS);
  settingsRoutines();
  pathSpellings();

  if (!keep) {
    CHECK(wr::RegDeleteTreeA(wr::HKEY_CURRENT_USER, kTop) == wr::ERROR_SUCCESS);
    CHECK(wr::RegOpenKeyExA(wr::HKEY_CURRENT_USER, kTop, 0, wr::KEY_READ, &key) ==
          wr::ERROR_FILE_NOT_FOUND);
  }
  return quorvel::wintest::failures();
}
