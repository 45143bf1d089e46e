// Stand-in for the registry layer on Windows while it is not built there:
// the calls of registry/winreg.h forwarded to advapi32.
#include "registry/winreg.h"

// The predefined roots, taken before the system's headers make their names
// macros.
namespace {
const quorvel::winreg::HKEY ourRoots[] = {quorvel::winreg::HKEY_CLASSES_ROOT,
                                          quorvel::winreg::HKEY_CURRENT_USER,
                                          quorvel::winreg::HKEY_LOCAL_MACHINE};
} // namespace

#include <windows.h>

namespace {
// The system's roots, named outside the layer's namespace (where HKEY is the
// layer's type).
const ::HKEY systemRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
} // namespace

namespace quorvel::winreg {

namespace {

::HKEY native(HKEY key) {
  for (int i = 0; i < 3; ++i)
    if (key == ourRoots[i]) return systemRoots[i];
  return reinterpret_cast<::HKEY>(key);
}

// Paths are relative to the key; a leading backslash means the same.
LPCSTR relative(LPCSTR subKey) { return subKey && *subKey == '\\' ? subKey + 1 : subKey; }

} // namespace

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                   HKEY* phkResult) {
  ::HKEY opened = nullptr;
  const LONG rc = ::RegOpenKeyExA(native(hKey), relative(lpSubKey), ulOptions, samDesired, &opened);
  *phkResult = reinterpret_cast<HKEY>(opened);
  return rc;
}

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, LPSECURITY_ATTRIBUTES, HKEY* phkResult,
                     LPDWORD lpdwDisposition) {
  ::HKEY created = nullptr;
  const LONG rc = ::RegCreateKeyExA(native(hKey), relative(lpSubKey), Reserved, lpClass, dwOptions,
                                    samDesired, nullptr, &created,
                                    reinterpret_cast<::LPDWORD>(lpdwDisposition));
  *phkResult = reinterpret_cast<HKEY>(created);
  return rc;
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData) {
  return ::RegQueryValueExA(native(hKey), lpValueName, reinterpret_cast<::LPDWORD>(lpReserved),
                            reinterpret_cast<::LPDWORD>(lpType), lpData,
                            reinterpret_cast<::LPDWORD>(lpcbData));
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                    const BYTE* lpData, DWORD cbData) {
  return ::RegSetValueExA(native(hKey), lpValueName, Reserved, dwType, lpData, cbData);
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  return ::RegDeleteValueA(native(hKey), lpValueName);
}

LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  return ::RegDeleteKeyA(native(hKey), relative(lpSubKey));
}

LONG RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) {
  return ::RegDeleteTreeA(native(hKey), relative(lpSubKey));
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                   LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  return ::RegEnumValueA(native(hKey), dwIndex, lpValueName,
                         reinterpret_cast<::LPDWORD>(lpcchValueName),
                         reinterpret_cast<::LPDWORD>(lpReserved),
                         reinterpret_cast<::LPDWORD>(lpType), lpData,
                         reinterpret_cast<::LPDWORD>(lpcbData));
}

LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                   LPSTR lpClass, LPDWORD lpcchClass, void* lpftLastWriteTime) {
  return ::RegEnumKeyExA(native(hKey), dwIndex, lpName, reinterpret_cast<::LPDWORD>(lpcchName),
                         reinterpret_cast<::LPDWORD>(lpReserved), lpClass,
                         reinterpret_cast<::LPDWORD>(lpcchClass),
                         static_cast<::FILETIME*>(lpftLastWriteTime));
}

LONG RegCloseKey(HKEY hKey) { return ::RegCloseKey(native(hKey)); }

bool RegQueryHiveDamage(HKEY, HiveDamage&) { return false; }

} // namespace quorvel::winreg
