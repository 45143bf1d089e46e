// Registry calls in the shape of the Win32 API, kept in .reg text files.
#include "registry/winreg.h"

#include "registry/hive.h"
#include "registry/store.h"

#include <cstring>
#include <functional>
#include <iostream>
#include <mutex>
#include <set>

namespace quorvel::winreg {

namespace detail {

namespace {

constexpr DWORD kOpenKeyTag = 0x4B455930; // marks handles made here
constexpr REGSAM kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;

struct OpenKey : HKEY__ {
  RootId root;
  std::string path;
  REGSAM access;
};

struct Globals {
  std::mutex mutex;
  std::set<HKEY> handles;
  std::string machineOverride;
  void (*hook)(testhooks::WriteStage) = nullptr;
  std::set<std::string> reported; // damaged file versions already reported
};

Globals& globals() {
  static Globals g;
  return g;
}

const char* rootName(RootId root) {
  switch (root) {
  case RootId::ClassesRoot: return "HKEY_CLASSES_ROOT";
  case RootId::CurrentUser: return "HKEY_CURRENT_USER";
  case RootId::LocalMachine: break;
  }
  return "HKEY_LOCAL_MACHINE";
}

// What a handle stands for: a root, a key path below it and the rights it
// was opened with (all rights for the roots themselves).
struct Target {
  RootId root;
  std::string path;
  REGSAM access = KEY_ALL_ACCESS;
  bool predefined = true;
};

bool resolve(HKEY h, Target& t) {
  if (h == HKEY_CLASSES_ROOT) t = {RootId::ClassesRoot, ""};
  else if (h == HKEY_CURRENT_USER) t = {RootId::CurrentUser, ""};
  else if (h == HKEY_LOCAL_MACHINE) t = {RootId::LocalMachine, ""};
  else {
    Globals& g = globals();
    std::lock_guard lock(g.mutex);
    if (!h || !g.handles.count(h)) return false; // never read an unknown pointer
    const auto* k = static_cast<const OpenKey*>(h);
    t = {k->root, k->path, k->access, false};
  }
  return true;
}

std::string joinPath(const std::string& base, const char* sub) {
  std::string out;
  for (const std::string& part : splitPath(base + "\\" + (sub ? sub : "")))
    out += (out.empty() ? "" : "\\") + part;
  return out;
}

bool validName(const std::string& name, std::size_t maxLength) {
  return name.size() <= maxLength && isUtf8(name) &&
         name.find_first_of("\r\n") == std::string::npos;
}

bool validKeyPath(const std::string& path) {
  for (const std::string& part : splitPath(path))
    if (!validName(part, 255)) return false;
  return true;
}

void reportDamage(const std::string& path, const FileText& file, const ParseError& e) {
  Globals& g = globals();
  {
    std::lock_guard lock(g.mutex);
    const std::string version = file.stamp + ":" + std::to_string(std::hash<std::string>{}(file.text));
    if (!g.reported.insert(path + "@" + version).second) return;
  }
  std::cerr << "quorvel: damaged registry file " << path << ":" << e.line << ": " << e.reason
            << "; its keys read as missing and the file is left untouched\n";
}

// Reads the current content of a root; a damaged file is reported and
// yields ERROR_REGISTRY_CORRUPT.
LONG loadHive(RootId root, const std::string& path, Hive& hive) {
  FileText file;
  if (LONG rc = readFile(path, file); rc != ERROR_SUCCESS) return rc;
  ParseError error;
  if (!parseHive(file.text, hive, error)) {
    reportDamage(path, file, error);
    hive = Hive(rootName(root));
    return ERROR_REGISTRY_CORRUPT;
  }
  return ERROR_SUCCESS;
}

// The content of a root for reading: unreadable or damaged files read as
// having no keys.
Hive readHive(RootId root) {
  Hive hive(rootName(root));
  if (loadHive(root, hiveFile(root).path, hive) != ERROR_SUCCESS) hive = Hive(rootName(root));
  return hive;
}

// Changes a root under the writers' lock, on its freshest content, and
// replaces its file; nothing is written when \p change fails.
// A root file that is a symbolic link is written through to its target.
LONG mutate(RootId root, const std::function<LONG(Hive&)>& change) {
  const HiveFile file = hiveFile(root);
  const std::string target = writeTarget(file.path);
  if (!mayWrite(target)) return ERROR_ACCESS_DENIED;
  WriteLock lock(target, file.mode);
  if (lock.status() != ERROR_SUCCESS) return lock.status();
  Hive hive(rootName(root));
  if (LONG rc = loadHive(root, file.path, hive); rc != ERROR_SUCCESS) return rc;
  if (LONG rc = change(hive); rc != ERROR_SUCCESS) return rc;
  return replaceFile(target, hive.serialise(), file.mode);
}

HKEY newHandle(RootId root, const std::string& path, REGSAM access) {
  auto* k = new OpenKey{};
  k->tag = kOpenKeyTag;
  k->root = root;
  k->path = path;
  k->access = access;
  Globals& g = globals();
  std::lock_guard lock(g.mutex);
  g.handles.insert(k);
  return k;
}

// The bytes a value reads as: strings with their terminating zero.
std::string valueBytes(const Value& v) {
  if (v.type == REG_SZ || v.type == REG_EXPAND_SZ) return v.data + '\0';
  return v.data;
}

LONG copyOut(const std::string& bytes, LPBYTE data, LPDWORD size) {
  const auto needed = static_cast<DWORD>(bytes.size());
  if (data) {
    if (!size) return ERROR_INVALID_PARAMETER;
    if (*size < needed) {
      *size = needed;
      return ERROR_MORE_DATA;
    }
    std::memcpy(data, bytes.data(), bytes.size());
  }
  if (size) *size = needed;
  return ERROR_SUCCESS;
}

bool allowed(const Target& t, REGSAM needed) {
  return t.predefined || (t.access & needed) == needed;
}

} // namespace

std::string machineHiveOverride() {
  Globals& g = globals();
  std::lock_guard lock(g.mutex);
  return g.machineOverride;
}

void runWriteHook(testhooks::WriteStage stage) {
  void (*hook)(testhooks::WriteStage);
  {
    Globals& g = globals();
    std::lock_guard lock(g.mutex);
    hook = g.hook;
  }
  if (hook) hook(stage);
}

} // namespace detail

using namespace detail;

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, HKEY* phkResult) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  Target t;
  if (!resolve(hKey, t)) return ERROR_INVALID_HANDLE;
  const std::string path = joinPath(t.path, lpSubKey);
  Hive hive = readHive(t.root);
  const Key* key = hive.find(path);
  if (!key) return ERROR_FILE_NOT_FOUND;
  if ((samDesired & kWriteRights) && !mayWrite(hiveFile(t.root).path)) return ERROR_ACCESS_DENIED;
  *phkResult = newHandle(t.root, key->path, samDesired);
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                     LPSECURITY_ATTRIBUTES, HKEY* phkResult, LPDWORD lpdwDisposition) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  Target t;
  if (!resolve(hKey, t)) return ERROR_INVALID_HANDLE;
  const std::string path = joinPath(t.path, lpSubKey);
  if (!validKeyPath(path)) return ERROR_INVALID_PARAMETER;

  // An existing key is opened; only a new one needs the right to write.
  Hive existing = readHive(t.root);
  if (const Key* key = existing.find(path)) {
    if (lpdwDisposition) *lpdwDisposition = REG_OPENED_EXISTING_KEY;
    if ((samDesired & kWriteRights) && !mayWrite(hiveFile(t.root).path)) return ERROR_ACCESS_DENIED;
    *phkResult = newHandle(t.root, key->path, samDesired);
    return ERROR_SUCCESS;
  }
  if (!allowed(t, KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
  bool created = false;
  std::string written;
  const LONG rc = mutate(t.root, [&](Hive& hive) {
    if (!t.predefined && !hive.find(t.path)) return ERROR_KEY_DELETED;
    written = hive.create(path, &created).path;
    return ERROR_SUCCESS;
  });
  if (rc != ERROR_SUCCESS) return rc;
  if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *phkResult = newHandle(t.root, written, samDesired);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData) {
  Target t;
  if (!resolve(hKey, t)) return ERROR_INVALID_HANDLE;
  if (!allowed(t, KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  Hive hive = readHive(t.root);
  Key* key = hive.find(t.path);
  if (!key) return ERROR_KEY_DELETED;
  const Value* v = key->find(lpValueName ? lpValueName : "");
  if (!v) return ERROR_FILE_NOT_FOUND;
  if (lpType) *lpType = v->type;
  return copyOut(valueBytes(*v), lpData, lpcbData);
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                    DWORD cbData) {
  Target t;
  if (!resolve(hKey, t)) return ERROR_INVALID_HANDLE;
  if (!allowed(t, KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
  Value value{lpValueName ? lpValueName : "", dwType,
              lpData ? std::string(reinterpret_cast<const char*>(lpData), cbData) : std::string()};
  if (!validName(value.name, 16383)) return ERROR_INVALID_PARAMETER;
  if (dwType == REG_SZ || dwType == REG_EXPAND_SZ) {
    // The text ends at its terminating zero; text is kept as UTF-8.
    value.data = value.data.substr(0, value.data.find('\0'));
    if (!isUtf8(value.data)) return ERROR_INVALID_PARAMETER;
  } else if (dwType == REG_DWORD && cbData != 4) {
    return ERROR_INVALID_PARAMETER;
  }
  return mutate(t.root, [&](Hive& hive) {
    Key* key = hive.find(t.path);
    if (!key) return ERROR_KEY_DELETED;
    if (Value* old = key->find(value.name)) {
      old->type = value.type;
      old->data = value.data;
    } else {
      key->values.push_back(value);
    }
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  Target t;
  if (!resolve(hKey, t)) return ERROR_INVALID_HANDLE;
  if (!allowed(t, KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  return mutate(t.root, [&](Hive& hive) {
    Key* key = hive.find(t.path);
    if (!key) return ERROR_KEY_DELETED;
    const Value* v = key->find(lpValueName ? lpValueName : "");
    if (!v) return ERROR_FILE_NOT_FOUND;
    key->values.erase(key->values.begin() + (v - key->values.data()));
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  Target t;
  if (!resolve(hKey, t)) return ERROR_INVALID_HANDLE;
  if (!lpSubKey || !*lpSubKey) return ERROR_INVALID_PARAMETER;
  const std::string path = joinPath(t.path, lpSubKey);
  return mutate(t.root, [&](Hive& hive) {
    if (!hive.find(path)) return ERROR_FILE_NOT_FOUND;
    if (hive.hasSubkeys(path)) return ERROR_ACCESS_DENIED;
    hive.removeTree(path);
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) {
  Target t;
  if (!resolve(hKey, t)) return ERROR_INVALID_HANDLE;
  if (!allowed(t, DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  const bool keepKey = !lpSubKey;
  const std::string path = joinPath(t.path, lpSubKey);
  return mutate(t.root, [&](Hive& hive) {
    const Key* key = hive.find(path);
    if (!key) return keepKey ? ERROR_KEY_DELETED : ERROR_FILE_NOT_FOUND;
    const std::string written = key->path;
    hive.removeTree(path);
    if (keepKey) hive.create(written);
    return ERROR_SUCCESS;
  });
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                   LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  Target t;
  if (!resolve(hKey, t)) return ERROR_INVALID_HANDLE;
  if (!lpValueName || !lpcchValueName) return ERROR_INVALID_PARAMETER;
  if (!allowed(t, KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  Hive hive = readHive(t.root);
  const Key* key = hive.find(t.path);
  if (!key) return ERROR_KEY_DELETED;
  if (dwIndex >= key->values.size()) return ERROR_NO_MORE_ITEMS;
  const Value& v = key->values[dwIndex];
  if (*lpcchValueName <= v.name.size()) return ERROR_MORE_DATA;
  std::memcpy(lpValueName, v.name.c_str(), v.name.size() + 1);
  *lpcchValueName = static_cast<DWORD>(v.name.size());
  if (lpType) *lpType = v.type;
  return copyOut(valueBytes(v), lpData, lpcbData);
}

LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD,
                   LPSTR lpClass, LPDWORD lpcchClass, void*) {
  Target t;
  if (!resolve(hKey, t)) return ERROR_INVALID_HANDLE;
  if (!lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
  if (!allowed(t, KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
  Hive hive = readHive(t.root);
  if (!hive.find(t.path)) return ERROR_KEY_DELETED;
  const std::vector<std::string> names = hive.subkeyNames(t.path);
  if (dwIndex >= names.size()) return ERROR_NO_MORE_ITEMS;
  const std::string& name = names[dwIndex];
  if (*lpcchName <= name.size()) return ERROR_MORE_DATA;
  std::memcpy(lpName, name.c_str(), name.size() + 1);
  *lpcchName = static_cast<DWORD>(name.size());
  if (lpClass && lpcchClass && *lpcchClass) {
    *lpClass = 0;
    *lpcchClass = 0;
  }
  return ERROR_SUCCESS;
}

bool RegQueryHiveDamage(HKEY hKey, HiveDamage& damage) {
  Target t;
  if (!resolve(hKey, t)) return false;
  const std::string path = hiveFile(t.root).path;
  FileText file;
  if (readFile(path, file) != ERROR_SUCCESS) return false;
  Hive hive(rootName(t.root));
  ParseError error;
  if (parseHive(file.text, hive, error)) return false;
  damage = {path, error.line, error.reason};
  return true;
}

LONG RegCloseKey(HKEY hKey) {
  if (hKey == HKEY_CLASSES_ROOT || hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE)
    return ERROR_SUCCESS;
  Globals& g = globals();
  {
    std::lock_guard lock(g.mutex);
    if (!g.handles.erase(hKey)) return ERROR_INVALID_HANDLE;
  }
  delete static_cast<OpenKey*>(hKey);
  return ERROR_SUCCESS;
}

namespace testhooks {

void setMachineHivePath(const char* path) {
  Globals& g = globals();
  std::lock_guard lock(g.mutex);
  g.machineOverride = path ? path : "";
}

void setWriteHook(void (*hook)(WriteStage stage)) {
  Globals& g = globals();
  std::lock_guard lock(g.mutex);
  g.hook = hook;
}

} // namespace testhooks

} // namespace quorvel::winreg
