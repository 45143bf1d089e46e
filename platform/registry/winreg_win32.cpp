// Registry calls in the Win32 shape, forwarded to advapi32's UTF-16 calls.
// The layer's names come first: <windows.h> defines most of them again as
// macros of the same numbers, which from here on stand for the real ones.
#include "registry/winreg.h"

#include <windows.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The real predefined roots, in the order of the layer's own.
::HKEY nativeRoot(std::size_t index) {
  static const ::HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
  return roots[index];
}

} // namespace

namespace quorvel::winreg {

namespace {

// Key names have at most 255 characters, value names 16383.
constexpr DWORD kMaxKeyName = 256;
constexpr DWORD kMaxValueName = 16384;

::HKEY native(HKEY h) {
  for (std::size_t i = 0; i < std::size(detail::predefinedRoots); ++i)
    if (h == &detail::predefinedRoots[i]) return nativeRoot(i);
  return reinterpret_cast<::HKEY>(h);
}

HKEY layer(::HKEY h) { return reinterpret_cast<HKEY>(h); }

// UTF-8 to UTF-16; false for bytes that are not UTF-8.
bool widen(const char* text, std::size_t length, std::wstring& out) {
  out.clear();
  if (length == 0) return true;
  const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, int(length), nullptr, 0);
  if (n <= 0) return false;
  out.resize(std::size_t(n));
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, int(length), out.data(), n);
  return true;
}

std::string narrow(const wchar_t* text, std::size_t length) {
  if (length == 0) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, int(length), nullptr, 0, nullptr, nullptr);
  std::string out(std::size_t(n > 0 ? n : 0), '\0');
  if (n > 0) ::WideCharToMultiByte(CP_UTF8, 0, text, int(length), out.data(), n, nullptr, nullptr);
  return out;
}

// A name argument: NULL stays NULL (the default value, or no subkey).
struct WideName {
  std::wstring text;
  bool present = false;
  bool valid = true;
  explicit WideName(const char* name) : present(name != nullptr) {
    if (name) valid = widen(name, std::strlen(name), text);
  }
  const wchar_t* get() const { return present ? text.c_str() : nullptr; }
};

// A key path as the file store reads it: empty parts (a leading, doubled or
// trailing backslash) are ignored, where the real registry would refuse them.
struct WideKeyPath : WideName {
  explicit WideKeyPath(const char* path) : WideName(path) {
    std::wstring joined;
    std::size_t start = 0;
    while (start <= text.size()) {
      std::size_t end = text.find(L'\\', start);
      if (end == std::wstring::npos) end = text.size();
      if (end > start) joined += (joined.empty() ? L"" : L"\\") + text.substr(start, end - start);
      start = end + 1;
    }
    text = joined;
  }
};

bool isText(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Stored UTF-16 text as the UTF-8 bytes callers get, with its terminator(s).
std::vector<BYTE> textToLayer(DWORD type, const std::vector<BYTE>& stored) {
  std::wstring wide(stored.size() / sizeof(wchar_t), L'\0');
  std::memcpy(wide.data(), stored.data(), wide.size() * sizeof(wchar_t));
  // Single texts end at their first zero; a list keeps its inner zeros.
  if (type != REG_MULTI_SZ) wide.resize(std::wcslen(wide.c_str()));
  while (type == REG_MULTI_SZ && wide.size() >= 2 && wide[wide.size() - 1] == 0 && wide[wide.size() - 2] == 0)
    wide.pop_back();
  std::string text = narrow(wide.data(), wide.size());
  text.push_back('\0');
  if (type == REG_MULTI_SZ && text.size() >= 2 && text[text.size() - 2] != '\0') text.push_back('\0');
  return std::vector<BYTE>(text.begin(), text.end());
}

// Hands \p data to a caller's buffer with the Win32 size rules: a missing
// buffer asks for the size, a short one gets ERROR_MORE_DATA and the size.
LONG deliver(const std::vector<BYTE>& data, LPBYTE lpData, LPDWORD lpcbData) {
  if (!lpcbData) return lpData ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  const DWORD room = *lpcbData;
  *lpcbData = DWORD(data.size());
  if (!lpData) return ERROR_SUCCESS;
  if (room < data.size()) return ERROR_MORE_DATA;
  if (!data.empty()) std::memcpy(lpData, data.data(), data.size());
  return ERROR_SUCCESS;
}

// Reads a value's type and raw stored bytes, growing the buffer as needed.
LONG readRaw(::HKEY key, const wchar_t* name, DWORD& type, std::vector<BYTE>& data) {
  for (DWORD size = 256;;) {
    data.resize(size);
    ::DWORD t = 0, got = size;
    const LONG rc = ::RegQueryValueExW(key, name, nullptr, &t, data.data(), &got);
    if (rc == ERROR_MORE_DATA) {
      size = got > size ? got : size * 2;
      continue;
    }
    if (rc != ERROR_SUCCESS) return rc;
    type = t;
    data.resize(got);
    return ERROR_SUCCESS;
  }
}

LONG giveName(const std::string& name, LPSTR out, LPDWORD cch) {
  if (!out || !cch) return ERROR_INVALID_PARAMETER;
  if (*cch < name.size() + 1) {
    *cch = DWORD(name.size() + 1);
    return ERROR_MORE_DATA;
  }
  std::memcpy(out, name.c_str(), name.size() + 1);
  *cch = DWORD(name.size());
  return ERROR_SUCCESS;
}

} // namespace

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                   HKEY* phkResult) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  const WideKeyPath sub(lpSubKey);
  if (!sub.valid) return ERROR_INVALID_PARAMETER;
  ::HKEY opened = nullptr;
  const LONG rc = ::RegOpenKeyExW(native(hKey), sub.get(), ulOptions, samDesired, &opened);
  *phkResult = rc == ERROR_SUCCESS ? layer(opened) : nullptr;
  return rc;
}

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, HKEY* phkResult,
                     LPDWORD lpdwDisposition) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  const WideKeyPath sub(lpSubKey);
  const WideName keyClass(lpClass);
  if (!sub.valid || !keyClass.valid) return ERROR_INVALID_PARAMETER;
  ::HKEY created = nullptr;
  ::DWORD disposition = 0;
  const LONG rc = ::RegCreateKeyExW(native(hKey), sub.get(), Reserved,
                                    const_cast<wchar_t*>(keyClass.get()), dwOptions, samDesired,
                                    reinterpret_cast<::LPSECURITY_ATTRIBUTES>(lpSecurityAttributes),
                                    &created, &disposition);
  *phkResult = rc == ERROR_SUCCESS ? layer(created) : nullptr;
  if (rc == ERROR_SUCCESS && lpdwDisposition) *lpdwDisposition = disposition;
  return rc;
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved) return ERROR_INVALID_PARAMETER;
  const WideName name(lpValueName);
  if (!name.valid) return ERROR_FILE_NOT_FOUND; // no stored name can match it
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  if (LONG rc = readRaw(native(hKey), name.get(), type, data); rc != ERROR_SUCCESS) return rc;
  if (lpType) *lpType = type;
  return deliver(isText(type) ? textToLayer(type, data) : data, lpData, lpcbData);
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData) {
  const WideName name(lpValueName);
  if (!name.valid || (!lpData && cbData)) return ERROR_INVALID_PARAMETER;
  if (!isText(dwType))
    return ::RegSetValueExW(native(hKey), name.get(), Reserved, dwType, lpData, cbData);
  const char* text = reinterpret_cast<const char*>(lpData);
  std::size_t length = cbData;
  // A single text ends at its first zero; a list is kept whole.
  if (dwType != REG_MULTI_SZ && text) length = ::strnlen(text, cbData);
  std::wstring wide;
  if (!widen(text, length, wide)) return ERROR_INVALID_PARAMETER;
  if (wide.empty() || wide.back() != L'\0') wide.push_back(L'\0');
  return ::RegSetValueExW(native(hKey), name.get(), Reserved, dwType,
                          reinterpret_cast<const BYTE*>(wide.c_str()),
                          DWORD(wide.size() * sizeof(wchar_t)));
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  const WideName name(lpValueName);
  if (!name.valid) return ERROR_FILE_NOT_FOUND;
  return ::RegDeleteValueW(native(hKey), name.get());
}

LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  const WideKeyPath sub(lpSubKey);
  if (!sub.present || !sub.valid) return ERROR_INVALID_PARAMETER;
  return ::RegDeleteKeyW(native(hKey), sub.get());
}

LONG RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) {
  const WideKeyPath sub(lpSubKey);
  if (!sub.valid) return ERROR_FILE_NOT_FOUND;
  return ::RegDeleteTreeW(native(hKey), sub.get());
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                   LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved) return ERROR_INVALID_PARAMETER;
  std::wstring name(kMaxValueName, L'\0');
  std::vector<BYTE> data(256);
  ::DWORD type = 0;
  for (;;) {
    ::DWORD cch = kMaxValueName, size = DWORD(data.size());
    const LONG rc = ::RegEnumValueW(native(hKey), dwIndex, name.data(), &cch, nullptr, &type,
                                    data.data(), &size);
    if (rc == ERROR_MORE_DATA) {
      data.resize(size > data.size() ? size : data.size() * 2);
      continue;
    }
    if (rc != ERROR_SUCCESS) return rc;
    name.resize(cch);
    data.resize(size);
    break;
  }
  if (LONG rc = giveName(narrow(name.data(), name.size()), lpValueName, lpcchValueName);
      rc != ERROR_SUCCESS)
    return rc;
  if (lpType) *lpType = type;
  return deliver(isText(type) ? textToLayer(type, data) : data, lpData, lpcbData);
}

LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                   LPSTR lpClass, LPDWORD lpcchClass, void* lpftLastWriteTime) {
  if (lpReserved) return ERROR_INVALID_PARAMETER;
  wchar_t name[kMaxKeyName];
  ::DWORD cch = kMaxKeyName;
  const LONG rc = ::RegEnumKeyExW(native(hKey), dwIndex, name, &cch, nullptr, nullptr, nullptr,
                                  static_cast<::FILETIME*>(lpftLastWriteTime));
  if (rc != ERROR_SUCCESS) return rc;
  if (lpClass && lpcchClass && *lpcchClass) *lpClass = '\0';
  if (lpcchClass) *lpcchClass = 0;
  return giveName(narrow(name, cch), lpName, lpcchName);
}

LONG RegCloseKey(HKEY hKey) {
  for (const HKEY__& root : detail::predefinedRoots)
    if (hKey == &root) return ERROR_SUCCESS;
  return ::RegCloseKey(native(hKey));
}

// The real registry keeps no files of ours: nothing can be damaged.
bool RegQueryHiveDamage(HKEY, HiveDamage&) { return false; }

namespace testhooks {
void setMachineHivePath(const char*) {}
void setWriteHook(void (*)(WriteStage)) {}
} // namespace testhooks

} // namespace quorvel::winreg
