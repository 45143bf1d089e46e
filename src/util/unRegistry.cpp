// Reads and writes one string value in the registry, addressed by a text path.
#include "util/unRegistry.h"

#include "registry/winreg.h"
#include "util/unStrings.h"

namespace quorvel {

namespace {

using namespace winreg;

struct Location {
  HKEY root;
  std::string path;
};

// Settings already stored depend on these rules: the root name may stand
// anywhere in the path but is cut off counted from the start, a path without
// any root lies under HKEY_LOCAL_MACHINE, and another root's name becomes a
// key of that literal name under HKEY_CURRENT_USER.  Reading and writing
// share them so that both always reach the same key.
Location resolvePath(const std::string& key) {
  std::string path = key;
  if (!path.empty() && path[0] == '\\') path = chopfront(path, 1);
  if (path.find("HKEY_") == std::string::npos) path = "HKEY_LOCAL_MACHINE\\" + path;
  Location loc{HKEY_CURRENT_USER, path};
  if (path.find("HKEY_LOCAL_MACHINE") != std::string::npos) {
    loc = {HKEY_LOCAL_MACHINE, chopfront(path, 18)};
  } else if (path.find("HKEY_CURRENT_USER") != std::string::npos) {
    loc = {HKEY_CURRENT_USER, chopfront(path, 17)};
  }
  // A separator left in front still means "from the root".
  if (!loc.path.empty() && loc.path[0] == '\\') loc.path = chopfront(loc.path, 1);
  return loc;
}

// Closes the key on every way out, errors included.
class KeyGuard {
public:
  KeyGuard() = default;
  ~KeyGuard() {
    if (key) RegCloseKey(key);
  }
  KeyGuard(const KeyGuard&) = delete;
  KeyGuard& operator=(const KeyGuard&) = delete;
  HKEY key = nullptr;
};

// The string stored under \p name; empty when the key or value is missing.
std::string readString(HKEY key, const std::string& name) {
  for (;;) {
    DWORD type = REG_NONE, size = 0;
    if (!key || RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ)
      throw ERegistryException("Invalid data type for '" + name + "'");
    std::string data(size, '\0');
    const LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type,
                                     reinterpret_cast<BYTE*>(data.data()), &size);
    if (rc == ERROR_MORE_DATA) continue; // changed by another process meanwhile
    if (rc != ERROR_SUCCESS) return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ)
      throw ERegistryException("Invalid data type for '" + name + "'");
    data.resize(size);
    return data.substr(0, data.find('\0'));
  }
}

} // namespace

std::string kaLoadFromreg(const std::string& key, const std::string& name,
                          const std::string& def) {
  const Location loc = resolvePath(key);
  KeyGuard guard;
  // Opened with full rights as the settings page always did: where they are
  // not granted the key reads as missing.
  RegOpenKeyExA(loc.root, loc.path.c_str(), 0, KEY_ALL_ACCESS, &guard.key);
  const std::string value = readString(guard.key, name);
  return value.empty() ? def : value;
}

void kaSaveToreg(const std::string& key, const std::string& name, const std::string& s) {
  const Location loc = resolvePath(key);
  KeyGuard guard;
  if (RegCreateKeyExA(loc.root, loc.path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &guard.key, nullptr) != ERROR_SUCCESS)
    return;
  if (RegSetValueExA(guard.key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(s.c_str()),
                     static_cast<DWORD>(s.size() + 1)) != ERROR_SUCCESS)
    throw ERegistryException("Failed to set data for '" + name + "'");
}

std::optional<TRegistryDamage> kaRegistryDamage(const std::string& key) {
  HiveDamage damage;
  if (!RegQueryHiveDamage(resolvePath(key).root, damage))
    return std::nullopt;
  return TRegistryDamage{damage.path, damage.line, damage.reason};
}

} // namespace quorvel
