// The library as hosts and registration tools see it: exactly four exports,
// the registry content it writes and removes, its class object and whether
// it may be unloaded.
#include "com/module.h"
#include "com/automation.h"
#include "com/objbase.h"
#include "registry/winreg.h"
#include "sandbox.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

using namespace quorvel::com;
namespace reg = quorvel::winreg;
using quorvel::testsupport::RegistrySandbox;

namespace {

constexpr char kClsidKey[] = "CLSID\\{BC2445F7-9514-49B2-90E6-C22FA2A94F1C}";
constexpr char kAddInKey[] = "Software\\Microsoft\\Office\\Outlook\\AddIns\\VaskAddin.VaskAddin_";
constexpr CLSID kClsid = makeGuid("BC2445F7-9514-49B2-90E6-C22FA2A94F1C");

std::string run(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    pclose(pipe);
  }
  return out;
}

/// A value of a key as text ("<missing>" for no key, "<none>" for no value;
/// REG_DWORD as "dword:N").
std::string value(reg::HKEY root, const std::string& key, const char* name = "") {
  reg::HKEY h = nullptr;
  if (reg::RegOpenKeyExA(root, key.c_str(), 0, reg::KEY_READ, &h) != reg::ERROR_SUCCESS)
    return "<missing>";
  unsigned char buf[1024];
  reg::DWORD size = sizeof buf, type = 0;
  const reg::LONG rc = reg::RegQueryValueExA(h, name, nullptr, &type, buf, &size);
  reg::RegCloseKey(h);
  if (rc != reg::ERROR_SUCCESS) return "<none>";
  if (type == reg::REG_DWORD) {
    uint32_t v;
    memcpy(&v, buf, 4);
    return "dword:" + std::to_string(v);
  }
  return std::string(reinterpret_cast<char*>(buf));
}

/// The library loaded by its path, with its entry points.
class Library {
public:
  explicit Library(const std::string& path) {
    std::string error;
    module_ = loadModule(path, &error);
    EXPECT_NE(module_, nullptr) << error;
  }
  ~Library() {
    if (module_) freeModule(module_);
  }
  template <class F> F entry(const char* name) {
    return reinterpret_cast<F>(moduleSymbol(module_, name));
  }
  HRESULT registerServer() { return entry<DllRegisterServerFn>("DllRegisterServer")(); }
  HRESULT unregisterServer() { return entry<DllUnregisterServerFn>("DllUnregisterServer")(); }
  HRESULT canUnloadNow() { return entry<DllCanUnloadNowFn>("DllCanUnloadNow")(); }
  HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
    return entry<DllGetClassObjectFn>("DllGetClassObject")(clsid, iid, ppv);
  }

private:
  void* module_ = nullptr;
};

std::string libraryPath() { return std::filesystem::absolute(ADDIN_LIBRARY).lexically_normal().string(); }

TEST(Exports, AreExactlyTheFourEntryPoints) {
  const std::string out = run("nm -D --defined-only " + std::string(ADDIN_LIBRARY));
  std::set<std::string> names;
  char type = 0;
  char name[512];
  for (size_t pos = 0; pos < out.size();) {
    const size_t end = out.find('\n', pos);
    const std::string line = out.substr(pos, end - pos);
    pos = end == std::string::npos ? out.size() : end + 1;
    unsigned long long address;
    if (sscanf(line.c_str(), "%llx %c %511s", &address, &type, name) == 3) names.insert(name);
  }
  EXPECT_EQ(names, (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                          "DllUnregisterServer"}))
      << out;
}

TEST(Registration, WritesTheComClassTypeLibraryAndOutlookAddInKeys) {
  RegistrySandbox sandbox;
  Library lib(ADDIN_LIBRARY);
  ASSERT_EQ(lib.registerServer(), S_OK);
  const std::string clsid = kClsidKey;
  EXPECT_EQ(value(reg::HKEY_CLASSES_ROOT, clsid), "");
  EXPECT_EQ(value(reg::HKEY_CLASSES_ROOT, clsid + "\\InprocServer32"), libraryPath());
  EXPECT_EQ(value(reg::HKEY_CLASSES_ROOT, clsid + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(value(reg::HKEY_CLASSES_ROOT, "VaskAddin.VaskAddin_"), "");
  EXPECT_EQ(value(reg::HKEY_CLASSES_ROOT, "VaskAddin.VaskAddin_\\Clsid"),
            "{BC2445F7-9514-49B2-90E6-C22FA2A94F1C}");
  EXPECT_EQ(value(reg::HKEY_CLASSES_ROOT, clsid + "\\ProgID"), "VaskAddin.VaskAddin_");
  EXPECT_EQ(value(reg::HKEY_CLASSES_ROOT, clsid + "\\Version"), "1.0");
  EXPECT_EQ(value(reg::HKEY_CLASSES_ROOT, clsid + "\\TypeLib"), "{200F7626-ECEC-4B36-9A67-7F1257096C01}");
  EXPECT_EQ(value(reg::HKEY_CLASSES_ROOT, "TypeLib\\{200F7626-ECEC-4B36-9A67-7F1257096C01}\\1.0"),
            "VaskAddin Library");
  EXPECT_EQ(value(reg::HKEY_CLASSES_ROOT, "TypeLib\\{200F7626-ECEC-4B36-9A67-7F1257096C01}\\1.0\\409\\win64"),
            libraryPath());
  EXPECT_EQ(value(reg::HKEY_CLASSES_ROOT, "Interface\\{F17749CF-B593-4888-B844-125ED0235391}"), "IVaskAddin_");

  EXPECT_EQ(value(reg::HKEY_CURRENT_USER, kAddInKey, "FriendlyName"), "Zuzever EZA");
  EXPECT_EQ(value(reg::HKEY_CURRENT_USER, kAddInKey, "Description"), "");
  EXPECT_EQ(value(reg::HKEY_CURRENT_USER, kAddInKey, "LoadBehavior"), "dword:3");
  EXPECT_EQ(value(reg::HKEY_CURRENT_USER, kAddInKey, "CommandLineSafe"), "dword:0");
  for (const char* host : {"Word", "Excel", "PowerPoint", "Access"})
    EXPECT_EQ(value(reg::HKEY_CURRENT_USER,
                    std::string("Software\\Microsoft\\Office\\") + host + "\\AddIns\\VaskAddin.VaskAddin_"),
              "<missing>")
        << host;
}

TEST(Registration, TwiceGivesTheSameContent) {
  RegistrySandbox sandbox;
  Library lib(ADDIN_LIBRARY);
  ASSERT_EQ(lib.registerServer(), S_OK);
  const std::string classes = quorvel::testsupport::readAll(sandbox.classesFile);
  const std::string user = quorvel::testsupport::readAll(sandbox.userFile);
  ASSERT_EQ(lib.registerServer(), S_OK);
  EXPECT_EQ(quorvel::testsupport::readAll(sandbox.classesFile), classes);
  EXPECT_EQ(quorvel::testsupport::readAll(sandbox.userFile), user);
}

TEST(Registration, UnregisteringRemovesEverythingWithAForeignValueAndMayBeRepeated) {
  RegistrySandbox sandbox;
  Library lib(ADDIN_LIBRARY);
  ASSERT_EQ(lib.registerServer(), S_OK);
  reg::HKEY h = nullptr;
  ASSERT_EQ(reg::RegOpenKeyExA(reg::HKEY_CURRENT_USER, kAddInKey, 0, reg::KEY_ALL_ACCESS, &h), reg::ERROR_SUCCESS);
  const char foreign[] = "someone else's";
  reg::RegSetValueExA(h, "Foreign", 0, reg::REG_SZ, reinterpret_cast<const reg::BYTE*>(foreign), sizeof foreign);
  reg::RegCloseKey(h);

  ASSERT_EQ(lib.unregisterServer(), S_OK);
  EXPECT_EQ(value(reg::HKEY_CURRENT_USER, kAddInKey), "<missing>");
  EXPECT_EQ(value(reg::HKEY_CLASSES_ROOT, kClsidKey), "<missing>");
  EXPECT_EQ(value(reg::HKEY_CLASSES_ROOT, "VaskAddin.VaskAddin_"), "<missing>");
  EXPECT_EQ(value(reg::HKEY_CLASSES_ROOT, "TypeLib\\{200F7626-ECEC-4B36-9A67-7F1257096C01}"), "<missing>");
  // Nothing left to remove is no failure.
  EXPECT_EQ(lib.unregisterServer(), S_OK);
}

TEST(Registration, FailsWithEFailWhenTheUserStoreCannotBeWritten) {
  RegistrySandbox sandbox;
  quorvel::testsupport::writeAll(sandbox.userFile, "this is no registry file\n");
  Library lib(ADDIN_LIBRARY);
  EXPECT_EQ(lib.registerServer(), E_FAIL);
}

TEST(Registration, APathWithABlankIsRegisteredAsItIs) {
  RegistrySandbox sandbox;
  const std::string dir = sandbox.dir + "/Program Files";
  std::filesystem::create_directories(dir);
  const std::string copy = dir + "/libQuorvel.so";
  std::filesystem::copy_file(ADDIN_LIBRARY, copy);
  {
    Library lib(copy);
    ASSERT_EQ(lib.registerServer(), S_OK);
  }
  EXPECT_EQ(value(reg::HKEY_CLASSES_ROOT, std::string(kClsidKey) + "\\InprocServer32"), copy);
}

TEST(ClassObject, IsHandedOutForItsClassOnly) {
  Library lib(ADDIN_LIBRARY);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(lib.getClassObject(makeGuid("6A1C2F40-7D1E-4C55-9E3B-2B8E5D0A1F01"), IID_IClassFactory, &object),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(lib.getClassObject(kClsid, makeGuid("B196B284-BAB4-101A-B69C-00AA00341D07"), &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);

  ComPtr<IClassFactory> factory;
  ASSERT_EQ(lib.getClassObject(kClsid, IID_IClassFactory, factory.putVoid()), S_OK);
  ComPtr<IDispatch> addIn;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, addIn.putVoid()), S_OK);
  ComPtr<IUnknown> extensibility;
  EXPECT_EQ(addIn->QueryInterface(makeGuid("B65AD801-ABAF-11D0-BB8B-00A0C90F2744"), extensibility.putVoid()), S_OK);
  EXPECT_EQ(addIn->QueryInterface(makeGuid("F17749CF-B593-4888-B844-125ED0235391"), extensibility.putVoid()), S_OK);

  // IDispatch comes from the type library's description of IVaskAddin_.
  const char* const names[] = {"OnConnection", "OnDisconnection", "OnAddInsUpdate", "OnStartupComplete",
                               "OnBeginShutdown"};
  for (DISPID id = 1; id <= 5; ++id) EXPECT_EQ(dispIdOf(addIn.get(), names[id - 1]), id);
  SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
  VARIANT byRef;
  byRef.vt = VT_BYREF | VT_ARRAY | VT_VARIANT;
  byRef.pparray = &custom;
  EXPECT_NO_THROW(invoke(addIn.get(), 3, DISPATCH_METHOD, {Variant(byRef)}));
  EXPECT_THROW(invoke(addIn.get(), 3, DISPATCH_METHOD, {}), ComError);
  SafeArrayDestroy(custom);
}

TEST(CanUnloadNow, OnlyWhenNoObjectLivesAndTheFactoryIsFree) {
  Library lib(ADDIN_LIBRARY);
  EXPECT_EQ(lib.canUnloadNow(), S_OK);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(lib.getClassObject(kClsid, IID_IClassFactory, factory.putVoid()), S_OK);
  EXPECT_EQ(lib.canUnloadNow(), S_FALSE);
  ComPtr<IUnknown> addIn;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, addIn.putVoid()), S_OK);
  factory->LockServer(TRUE);
  factory = nullptr;
  EXPECT_EQ(lib.canUnloadNow(), S_FALSE); // the object and the lock
  addIn = nullptr;
  EXPECT_EQ(lib.canUnloadNow(), S_FALSE); // the lock
  ASSERT_EQ(lib.getClassObject(kClsid, IID_IClassFactory, factory.putVoid()), S_OK);
  factory->LockServer(FALSE);
  factory = nullptr;
  EXPECT_EQ(lib.canUnloadNow(), S_OK);
}

} // namespace
