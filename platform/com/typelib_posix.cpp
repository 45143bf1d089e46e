// Type-library registration under HKEY_CLASSES_ROOT\TypeLib and \Interface,
// written by this layer itself.
#include "com/typelib.h"

#include "com/classesroot.h"
#include "util/unTextCodec.h"

#include <cstdio>
#include <strings.h>

namespace quorvel::com {

namespace {

std::string versionText(WORD major, WORD minor) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%x.%x", major, minor);
  return buf;
}

std::string lcidText(LCID lcid) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%x", lcid);
  return buf;
}

const char* platformKey(SYSKIND kind) {
  switch (kind) {
  case SYS_WIN16: return "win16";
  case SYS_MAC: return "mac";
  case SYS_WIN64: return "win64";
  default: return "win32";
  }
}

bool sameText(const std::string& a, const char* b) {
  return strcasecmp(a.c_str(), b) == 0;
}

std::string versionKey(REFGUID libid, WORD major, WORD minor) {
  return "TypeLib\\" + guidToString(libid) + "\\" + versionText(major, minor);
}

} // namespace

HRESULT RegisterTypeLib(const TypeLibDesc& lib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir) {
  using detail::writeClassesString;
  if (!szFullPath || !*szFullPath) return E_INVALIDARG;
  const std::string path = utf16ToUtf8(szFullPath);
  const std::string helpDir = szHelpDir ? utf16ToUtf8(szHelpDir) : std::string();
  const std::string version = versionText(lib.majorVersion, lib.minorVersion);
  const std::string key = versionKey(lib.libid, lib.majorVersion, lib.minorVersion);
  const std::string libid = guidToString(lib.libid);
  const std::string proxy = guidToString(CLSID_PSOAInterface);

  bool ok = writeClassesString(key, "", lib.help.empty() ? lib.name : lib.help) &&
            writeClassesString(key + "\\" + lcidText(lib.lcid) + "\\" + platformKey(kNativeSysKind),
                               "", path) &&
            writeClassesString(key + "\\FLAGS", "", "0") &&
            writeClassesString(key + "\\HELPDIR", "", helpDir);
  for (const InterfaceDesc& i : lib.interfaces) {
    if (!ok) break;
    const std::string ikey = "Interface\\" + guidToString(i.iid);
    ok = writeClassesString(ikey, "", i.name) &&
         writeClassesString(ikey + "\\ProxyStubClsid", "", proxy) &&
         writeClassesString(ikey + "\\ProxyStubClsid32", "", proxy) &&
         writeClassesString(ikey + "\\TypeLib", "", libid) &&
         writeClassesString(ikey + "\\TypeLib", "Version", version);
  }
  return ok ? S_OK : TYPE_E_REGISTRYACCESS;
}

HRESULT UnRegisterTypeLib(const TypeLibDesc& lib, SYSKIND syskind) {
  using namespace detail;
  const std::string key = versionKey(lib.libid, lib.majorVersion, lib.minorVersion);
  const std::string lcidKey = key + "\\" + lcidText(lib.lcid);
  if (!readClassesString(lcidKey + "\\" + platformKey(syskind))) return TYPE_E_REGISTRYACCESS;

  const std::string libid = guidToString(lib.libid);
  bool ok = true;
  for (const InterfaceDesc& i : lib.interfaces) {
    const std::string ikey = "Interface\\" + guidToString(i.iid);
    auto owner = readClassesString(ikey + "\\TypeLib");
    if (owner && *owner == libid) ok = deleteClassesTree(ikey) && ok;
  }
  ok = deleteClassesTree(lcidKey + "\\" + platformKey(syskind)) && ok;
  deleteClassesKeyIfEmpty(lcidKey);
  // The version goes with its last locale; FLAGS and HELPDIR belong to it.
  bool localesLeft = false;
  for (const std::string& sub : classesSubkeys(key))
    if (!sameText(sub, "FLAGS") && !sameText(sub, "HELPDIR")) localesLeft = true;
  if (!localesLeft) ok = deleteClassesTree(key) && ok;
  if (classesSubkeys("TypeLib\\" + libid).empty()) deleteClassesTree("TypeLib\\" + libid);
  return ok ? S_OK : TYPE_E_REGISTRYACCESS;
}

std::string registeredTypeLibPath(REFGUID libid, WORD major, WORD minor, LCID lcid) {
  const std::string key = versionKey(libid, major, minor) + "\\" + lcidText(lcid) + "\\" +
                          platformKey(kNativeSysKind);
  return detail::readClassesString(key).value_or("");
}

} // namespace quorvel::com
