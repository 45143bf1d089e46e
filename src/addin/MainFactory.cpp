// The class factory of VaskAddin_ and the registry entries it writes for COM
// and for Office.
#include "addin/Main.h"

#include "addin/unResources.h"
#include "com/typelib.h"
#include "registry/winreg.h"

#include <cstdio>
#include <stdexcept>
#include <vector>

namespace quorvel {

using namespace com;
namespace reg = winreg;

namespace {

/// An open registry key, closed when it goes.
struct Key {
  reg::HKEY h = nullptr;
  ~Key() {
    if (h)
      reg::RegCloseKey(h);
  }
};

void createKey(reg::HKEY root, const std::string& path, Key& key) {
  if (reg::RegCreateKeyExA(root, path.c_str(), 0, nullptr, reg::REG_OPTION_NON_VOLATILE,
                           reg::KEY_WRITE | reg::KEY_READ, nullptr, &key.h, nullptr) != reg::ERROR_SUCCESS)
    throw std::runtime_error("Cannot create the registry key " + path);
}

void setString(reg::HKEY key, const char* name, const std::string& value, const std::string& path) {
  if (reg::RegSetValueExA(key, name, 0, reg::REG_SZ, reinterpret_cast<const reg::BYTE*>(value.c_str()),
                          reg::DWORD(value.size() + 1)) != reg::ERROR_SUCCESS)
    throw std::runtime_error("Cannot write the registry key " + path);
}

void setDword(reg::HKEY key, const char* name, reg::DWORD value, const std::string& path) {
  if (reg::RegSetValueExA(key, name, 0, reg::REG_DWORD, reinterpret_cast<const reg::BYTE*>(&value),
                          sizeof value) != reg::ERROR_SUCCESS)
    throw std::runtime_error("Cannot write the registry key " + path);
}

/// Sets a value of a key of HKEY_CLASSES_ROOT, creating the key.
void classesValue(const std::string& path, const char* name, const std::string& value) {
  Key key;
  createKey(reg::HKEY_CLASSES_ROOT, path, key);
  setString(key.h, name, value, path);
}

const CoClassDesc& coClass(const CLSID& clsid) {
  for (const CoClassDesc& c : VaskAddinTypeLib().coclasses)
    if (c.clsid == clsid)
      return c;
  throw std::logic_error("The type library has no class " + guidToString(clsid));
}

/// The add-in key's path below HKEY_CURRENT_USER: the pattern's leading
/// backslash names the root itself, which Win32's registry calls refuse in
/// a subkey (ERROR_BAD_PATHNAME).
std::string belowRoot(const std::string& path) {
  const size_t start = path.find_first_not_of('\\');
  return start == std::string::npos ? std::string() : path.substr(start);
}

} // namespace

TOfficeAddInFactory::TOfficeAddInFactory(const CLSID& ClassID, TOfficeHostApps SupportedApps,
                                         std::string FriendlyName, int32_t LoadBehavior)
    : ClassFactory([] { return static_cast<IUnknown*>(static_cast<IVaskAddin_*>(new T)); }),
      FClassID(ClassID), FFriendlyName(std::move(FriendlyName)), FLoadBehavior(LoadBehavior),
      FSupportedApps(SupportedApps) {}

std::string TOfficeAddInFactory::GetProgID() const {
  return VaskAddinTypeLib().name + "." + coClass(FClassID).name;
}

std::string TOfficeAddInFactory::Description() const { return coClass(FClassID).help; }

void TOfficeAddInFactory::UpdateRegistry(bool Register) {
  if (Register)
    registerClass();
  else
    unregisterClass();
  for (int host = ohaExcel; host <= ohaAccess; ++host) {
    if (!FSupportedApps.test(size_t(host)))
      continue;
    char path[256];
    std::snprintf(path, sizeof path, "\\Software\\Microsoft\\Office\\%s\\AddIns\\%s", AppNames[host],
                  GetProgID().c_str());
    if (Register)
      RegisterAddIn(path);
    else
      ReallyDeleteRegKey(path);
  }
}

void TOfficeAddInFactory::registerClass() {
  const std::string clsid = "CLSID\\" + guidToString(FClassID);
  const std::string progId = GetProgID();
  const TypeLibDesc& lib = VaskAddinTypeLib();
  classesValue(clsid, "", Description());
  classesValue(clsid + "\\InprocServer32", "", registryModulePath());
  classesValue(clsid + "\\InprocServer32", "ThreadingModel", "Apartment");
  classesValue(progId, "", Description());
  classesValue(progId + "\\Clsid", "", guidToString(FClassID));
  classesValue(clsid + "\\ProgID", "", progId);
  classesValue(clsid + "\\Version", "",
               std::to_string(lib.majorVersion) + "." + std::to_string(lib.minorVersion));
  classesValue(clsid + "\\TypeLib", "", guidToString(lib.libid));
}

void TOfficeAddInFactory::unregisterClass() {
  const std::string clsid = "CLSID\\" + guidToString(FClassID);
  const std::string progId = GetProgID();
  // Failures while deleting are ignored.
  for (const std::string& key : {clsid + "\\TypeLib", clsid + "\\Version", clsid + "\\ProgID",
                                 progId + "\\Clsid", progId, clsid + "\\InprocServer32", clsid})
    reg::RegDeleteKeyA(reg::HKEY_CLASSES_ROOT, key.c_str());
}

void TOfficeAddInFactory::RegisterAddIn(const std::string& path) {
  Key key;
  if (reg::RegCreateKeyExA(reg::HKEY_CURRENT_USER, belowRoot(path).c_str(), 0, nullptr,
                           reg::REG_OPTION_NON_VOLATILE, reg::KEY_WRITE | reg::KEY_READ, nullptr,
                           &key.h, nullptr) != reg::ERROR_SUCCESS)
    throw std::runtime_error("");
  setString(key.h, "FriendlyName", FFriendlyName, path);
  setString(key.h, "Description", Description(), path);
  setDword(key.h, "LoadBehavior", reg::DWORD(FLoadBehavior), path);
  setDword(key.h, "CommandLineSafe", 0, path);
}

void TOfficeAddInFactory::ReallyDeleteRegKey(const std::string& path) {
  {
    Key key;
    if (reg::RegOpenKeyExA(reg::HKEY_CURRENT_USER, belowRoot(path).c_str(), 0, reg::KEY_ALL_ACCESS,
                           &key.h) != reg::ERROR_SUCCESS)
      return;
    std::vector<std::string> names;
    for (reg::DWORD i = 0;; ++i) {
      char name[16384];
      reg::DWORD length = sizeof name;
      if (reg::RegEnumValueA(key.h, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          reg::ERROR_SUCCESS)
        break;
      names.emplace_back(name, length);
    }
    for (const std::string& name : names)
      reg::RegDeleteValueA(key.h, name.c_str());
  }
  reg::RegDeleteTreeA(reg::HKEY_CURRENT_USER, belowRoot(path).c_str());
}

} // namespace quorvel
