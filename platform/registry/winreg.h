// Registry calls in the shape of the Win32 API: kept in .reg text files, or on
// Windows forwarded to the real registry (UTF-8 here, UTF-16 there).
#pragma once

#include <cstdint>
#include <string>

namespace quorvel::winreg {

using LONG = int32_t;
using DWORD = uint32_t;
using BYTE = uint8_t;
using REGSAM = DWORD;
using LPCSTR = const char*;
using LPSTR = char*;
using LPDWORD = DWORD*;
using LPBYTE = BYTE*;
struct SECURITY_ATTRIBUTES; // accepted for shape; access follows the files
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

/// An open key or one of the predefined roots.
struct HKEY__ {
  DWORD tag;
};
using HKEY = HKEY__*;

namespace detail {
inline HKEY__ predefinedRoots[3] = {{0x80000000u}, {0x80000001u}, {0x80000002u}};
} // namespace detail

inline constexpr HKEY HKEY_CLASSES_ROOT = &detail::predefinedRoots[0];
inline constexpr HKEY HKEY_CURRENT_USER = &detail::predefinedRoots[1];
inline constexpr HKEY HKEY_LOCAL_MACHINE = &detail::predefinedRoots[2];

// Error codes, with their Win32 numbers.
inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_LOCK_FAILED = 167;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline constexpr LONG ERROR_CANTREAD = 1012;
inline constexpr LONG ERROR_CANTWRITE = 1013;
inline constexpr LONG ERROR_REGISTRY_CORRUPT = 1015;
inline constexpr LONG ERROR_KEY_DELETED = 1018;

// Value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

// Access rights.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM DELETE = 0x00010000;
inline constexpr REGSAM READ_CONTROL = 0x00020000;
inline constexpr REGSAM WRITE_DAC = 0x00040000;
inline constexpr REGSAM WRITE_OWNER = 0x00080000;
inline constexpr REGSAM KEY_READ = 0x00020019;
inline constexpr REGSAM KEY_WRITE = 0x00020006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

// Creation options and dispositions.
inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

/// Opens an existing key below \p hKey; ERROR_FILE_NOT_FOUND when missing,
/// ERROR_ACCESS_DENIED when write rights are asked of a store the caller may
/// not write.
LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                   HKEY* phkResult);
/// Opens a key below \p hKey, creating it and any missing parents.
LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                     DWORD dwOptions, REGSAM samDesired,
                     LPSECURITY_ATTRIBUTES lpSecurityAttributes, HKEY* phkResult,
                     LPDWORD lpdwDisposition);
/// Reads a value's type and data; NULL or "" names the default value.
/// ERROR_MORE_DATA with the needed size when \p lpData is too small.
LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved,
                      LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
/// Writes a value, replacing any value of the same name.
LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                    const BYTE* lpData, DWORD cbData);
/// Removes one value.
LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
/// Removes a key that has no subkeys.
LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
/// Removes a key with all its subkeys and values; a NULL subkey empties
/// \p hKey itself.
LONG RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey);
/// The value at \p dwIndex in stored order; ERROR_NO_MORE_ITEMS past the end.
LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName,
                   LPDWORD lpcchValueName, LPDWORD lpReserved, LPDWORD lpType,
                   LPBYTE lpData, LPDWORD lpcbData);
/// The name of the subkey at \p dwIndex (in stored order) of \p hKey;
/// ERROR_NO_MORE_ITEMS past the end, ERROR_MORE_DATA when \p lpName cannot
/// hold it with its terminator. Class and time are not kept: \p lpClass
/// comes back empty and \p lpftLastWriteTime untouched.
LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                   LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                   void* lpftLastWriteTime);
/// Releases a key opened or created by this layer.
LONG RegCloseKey(HKEY hKey);

/// Where the file keeping a root cannot be read as a registry file.
struct HiveDamage {
  std::string path;   ///< the file
  int line = 0;       ///< the line found damaged, from 1
  std::string reason; ///< what is wrong with it
};
/// Whether the file keeping the root of \p hKey (a root or an open key) is
/// damaged (never on Windows, where no file of ours keeps it), so that writes to that root fail with ERROR_REGISTRY_CORRUPT;
/// fills \p damage when it is. Not part of the Win32 shape: it lets a
/// program tell its user which file to repair.
bool RegQueryHiveDamage(HKEY hKey, HiveDamage& damage);

/// Hooks for tests and set-up tools; not part of the Win32 shape. They act on
/// the .reg files only and do nothing on Windows.
namespace testhooks {

/// Keeps HKEY_LOCAL_MACHINE in \p path instead of the machine-wide file;
/// an empty path restores the default.
void setMachineHivePath(const char* path);

/// The points of a file replacement at which a hook is called.
enum class WriteStage {
  Locking,       ///< about to wait for the writers' lock
  TempCreated,   ///< the temporary file exists and is still empty
  BeforeRename,  ///< the temporary file is complete and flushed
};
/// Called at each stage of every file replacement; nullptr removes it.
void setWriteHook(void (*hook)(WriteStage stage));

} // namespace testhooks

} // namespace quorvel::winreg
