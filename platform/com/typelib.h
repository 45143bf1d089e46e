// Type-library descriptions and their registration under
// HKEY_CLASSES_ROOT\TypeLib and HKEY_CLASSES_ROOT\Interface.
#pragma once

#include "com/dispatch.h"

#include <string>
#include <vector>

namespace quorvel::com {

enum SYSKIND { SYS_WIN16 = 0, SYS_WIN32 = 1, SYS_MAC = 2, SYS_WIN64 = 3 };

/// The platform a registration is made for: SYS_WIN64 in 64-bit builds.
inline constexpr SYSKIND kNativeSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

/// A creatable class of a library.
struct CoClassDesc {
  std::string name{};
  CLSID clsid{};
  IID defaultInterface{};
  std::string help{};
};

/// A type library kept in memory: what RegisterTypeLib records.
struct TypeLibDesc {
  std::string name{};       ///< "VaskAddin"
  std::string help{};       ///< "VaskAddin Library"
  GUID libid{};
  WORD majorVersion = 1;
  WORD minorVersion = 0;
  LCID lcid = 0;
  std::vector<InterfaceDesc> interfaces{};
  std::vector<CoClassDesc> coclasses{};
};

/// The ProxyStubClsid32 of automation interfaces.
inline constexpr CLSID CLSID_PSOAInterface = makeGuid("00020424-0000-0000-C000-000000000046");

/// Registers \p lib for the file \p szFullPath, writing (all REG_SZ):
///   TypeLib\{libid}\<major>.<minor>        @ = help string (the name when empty)
///   TypeLib\{libid}\<major>.<minor>\<lcid in hex>\win64 (win32)  @ = full path
///   TypeLib\{libid}\<major>.<minor>\FLAGS  @ = "0"
///   TypeLib\{libid}\<major>.<minor>\HELPDIR @ = help folder (may be empty)
/// and for each dual or dispatch interface:
///   Interface\{iid}                        @ = name
///   Interface\{iid}\ProxyStubClsid32       @ = {00020424-…}
///   Interface\{iid}\ProxyStubClsid         @ = {00020424-…}
///   Interface\{iid}\TypeLib                @ = {libid}, "Version" = "<major>.<minor>"
/// TYPE_E_REGISTRYACCESS when a key cannot be written, E_INVALIDARG for a
/// missing path.
QUORVEL_COM_API HRESULT RegisterTypeLib(const TypeLibDesc& lib, LPCOLESTR szFullPath,
                                        LPCOLESTR szHelpDir);
/// Removes what RegisterTypeLib wrote for this version and locale: the
/// version key goes when nothing else is left in it, the library key when
/// no other version is left, and each interface key that names this
/// library. TYPE_E_REGISTRYACCESS when the library is not registered.
QUORVEL_COM_API HRESULT UnRegisterTypeLib(const TypeLibDesc& lib, SYSKIND syskind = kNativeSysKind);
/// The registered path of a library version ("" when not registered), the
/// way QueryPathOfRegTypeLib finds it.
QUORVEL_COM_API std::string registeredTypeLibPath(REFGUID libid, WORD major, WORD minor,
                                                  LCID lcid);

/// The interface of \p lib with id \p iid, or nullptr.
QUORVEL_COM_API const InterfaceDesc* findInterface(const TypeLibDesc& lib, REFIID iid);

} // namespace quorvel::com
