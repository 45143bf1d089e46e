// String values under HKEY_CLASSES_ROOT through the registry layer.
#include "com/classesroot.h"

#include "registry/winreg.h"

#include <vector>

namespace quorvel::com::detail {

using namespace quorvel::winreg;

namespace {
struct KeyHandle {
  HKEY h = nullptr;
  ~KeyHandle() {
    if (h) RegCloseKey(h);
  }
};
} // namespace

std::optional<std::string> readClassesString(const std::string& key, const std::string& name) {
  KeyHandle k;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &k.h) != ERROR_SUCCESS)
    return std::nullopt;
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(k.h, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::nullopt;
  std::vector<BYTE> data(size + 1);
  if (RegQueryValueExA(k.h, name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
    return std::nullopt;
  std::string text(reinterpret_cast<const char*>(data.data()), size);
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

bool writeClassesString(const std::string& key, const std::string& name, const std::string& data) {
  KeyHandle k;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, &k.h, nullptr) != ERROR_SUCCESS)
    return false;
  return RegSetValueExA(k.h, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        DWORD(data.size() + 1)) == ERROR_SUCCESS;
}

bool deleteClassesTree(const std::string& key) {
  LONG rc = RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

std::vector<std::string> classesSubkeys(const std::string& key) {
  std::vector<std::string> names;
  KeyHandle k;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &k.h) != ERROR_SUCCESS)
    return names;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD len = sizeof name;
    if (RegEnumKeyExA(k.h, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    names.emplace_back(name, len);
  }
  return names;
}

void deleteClassesKeyIfEmpty(const std::string& key) {
  KeyHandle k;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &k.h) != ERROR_SUCCESS) return;
  char name[8];
  DWORD len = sizeof name;
  bool hasValues = RegEnumValueA(k.h, 0, name, &len, nullptr, nullptr, nullptr, nullptr) !=
                   ERROR_NO_MORE_ITEMS;
  if (!hasValues) RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str()); // fails while subkeys remain
}

} // namespace quorvel::com::detail
