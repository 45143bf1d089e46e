// Initialisation counting, class activation through a private
// HKEY_CLASSES_ROOT, ProgIDs, the running-object table and type libraries.
#include "com/automation.h"
#include "com/objbase.h"
#include "com/typelib.h"
#include "com/module.h"
#include "registry/winreg.h"
#include "sandbox.h"
#include "testserver.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <thread>

using namespace quorvel::com;
using namespace quorvel::comtest;
namespace reg = quorvel::winreg;

namespace {

std::string readDefault(const std::string& key, const char* name = "") {
  reg::HKEY h = nullptr;
  if (reg::RegOpenKeyExA(reg::HKEY_CLASSES_ROOT, key.c_str(), 0, reg::KEY_READ, &h) != reg::ERROR_SUCCESS)
    return "<missing>";
  char buf[512];
  reg::DWORD size = sizeof buf, type = 0;
  reg::LONG rc = reg::RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<reg::BYTE*>(buf), &size);
  reg::RegCloseKey(h);
  return rc == reg::ERROR_SUCCESS ? std::string(buf) : "<no value>";
}

void writeDefault(const std::string& key, const std::string& value) {
  reg::HKEY h = nullptr;
  ASSERT_EQ(reg::RegCreateKeyExA(reg::HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, reg::KEY_WRITE,
                                 nullptr, &h, nullptr),
            reg::ERROR_SUCCESS);
  reg::RegSetValueExA(h, "", 0, reg::REG_SZ, reinterpret_cast<const reg::BYTE*>(value.c_str()),
                      reg::DWORD(value.size() + 1));
  reg::RegCloseKey(h);
}

HRESULT registerTestServer() {
  std::string error;
  void* module = loadModule(COMTEST_SERVER, &error);
  EXPECT_NE(module, nullptr) << error;
  auto reg = reinterpret_cast<DllRegisterServerFn>(moduleSymbol(module, "DllRegisterServer"));
  HRESULT hr = reg ? reg() : E_FAIL;
  freeModule(module);
  return hr;
}

class Activation : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
  void TearDown() override { CoUninitialize(); }
  quorvel::testsupport::RegistrySandbox sandbox;
};

TEST(Init, CountsPerThreadWithSFalseForRepeats) {
  EXPECT_FALSE(isComInitialized());
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  std::thread([] {
    EXPECT_FALSE(isComInitialized());
    EXPECT_EQ(OleInitialize(nullptr), S_OK);
    EXPECT_EQ(OleInitialize(nullptr), S_FALSE);
    OleUninitialize();
    OleUninitialize();
    EXPECT_FALSE(isComInitialized());
  }).join();
  CoUninitialize();
  EXPECT_TRUE(isComInitialized());
  CoUninitialize();
  EXPECT_FALSE(isComInitialized());
  CoUninitialize(); // one too many does nothing
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();

  void* p = nullptr;
  EXPECT_EQ(CoGetClassObject(CLSID_Counter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &p),
            CO_E_NOTINITIALIZED);
}

TEST_F(Activation, CreatesARegisteredLibraryClassAndFindsItsProgId) {
  ComPtr<ICounter> counter;
  EXPECT_EQ(CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter, counter.putVoid()),
            REGDB_E_CLASSNOTREG);
  ASSERT_EQ(registerTestServer(), S_OK);

  ASSERT_EQ(CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter, counter.putVoid()),
            S_OK);
  LONG total = 0;
  counter->Add(2, &total);
  EXPECT_EQ(callMethod(counter.get(), "add", {Variant(int32_t(5))}).toInt(), 7);

  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"QuorvelTest.Counter", &clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_Counter);
  EXPECT_EQ(CLSIDFromProgID(u"QuorvelTest.Nothing", &clsid), CO_E_CLASSSTRING);
  LPOLESTR progId = nullptr;
  ASSERT_EQ(ProgIDFromCLSID(CLSID_Counter, &progId), S_OK);
  EXPECT_EQ(std::u16string(progId), u"QuorvelTest.Counter");
  CoTaskMemFree(progId);
  EXPECT_EQ(ProgIDFromCLSID(IID_ICounter, &progId), REGDB_E_CLASSNOTREG);

  ComPtr<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(CLSID_Counter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             factory.putVoid()),
            S_OK);
  ComPtr<IUnknown> aggregated;
  EXPECT_EQ(factory->CreateInstance(counter.get(), IID_IUnknown, aggregated.putVoid()), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, aggregated.putVoid()), E_NOINTERFACE);
}

bool serverLoaded() {
  void* h = dlopen(COMTEST_SERVER, RTLD_NOW | RTLD_NOLOAD);
  if (h) dlclose(h);
  return h != nullptr;
}

TEST_F(Activation, UnusedLibrariesAreUnloadedOnlyWhenTheySaySo) {
  ASSERT_EQ(registerTestServer(), S_OK);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(CLSID_Counter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             factory.putVoid()),
            S_OK);
  factory->LockServer(TRUE);
  factory.reset();
  CoFreeUnusedLibraries();
  EXPECT_TRUE(serverLoaded()); // locked
  ASSERT_EQ(CoGetClassObject(CLSID_Counter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             factory.putVoid()),
            S_OK);
  factory->LockServer(FALSE);
  factory.reset();
  CoFreeUnusedLibraries();
  EXPECT_FALSE(serverLoaded());
  ComPtr<ICounter> counter; // loads it again
  EXPECT_EQ(CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter, counter.putVoid()),
            S_OK);
}

TEST_F(Activation, ReportsLibrariesThatDoNotLoadOrServe) {
  const CLSID missing = makeGuid("6A1C2F40-7D1E-4C55-9E3B-2B8E5D0A1F0A");
  const CLSID noEntry = makeGuid("6A1C2F40-7D1E-4C55-9E3B-2B8E5D0A1F0B");
  writeDefault("CLSID\\" + guidToString(missing) + "\\InprocServer32", "/nonexistent/libNothing.so");
  writeDefault("CLSID\\" + guidToString(noEntry) + "\\InprocServer32", COMTEST_NOENTRY);
  ComPtr<IUnknown> obj;
  EXPECT_EQ(CoCreateInstance(missing, nullptr, CLSCTX_ALL, IID_IUnknown, obj.putVoid()), CO_E_DLLNOTFOUND);
  try {
    checkResult(CO_E_DLLNOTFOUND);
  } catch (const ComError& e) {
    EXPECT_NE(e.description().find("/nonexistent/libNothing.so"), std::string::npos) << e.what();
  }
  EXPECT_EQ(CoCreateInstance(noEntry, nullptr, CLSCTX_ALL, IID_IUnknown, obj.putVoid()), CO_E_ERRORINDLL);
}

TEST_F(Activation, ClassObjectsRegisteredInProcessComeFirst) {
  const CLSID mine = makeGuid("6A1C2F40-7D1E-4C55-9E3B-2B8E5D0A1F0C");
  int made = 0;
  ComPtr<ClassFactory> factory(new ClassFactory([&made]() -> IUnknown* {
    ++made;
    return new ClassFactory([] { return nullptr; }); // any object will do
  }));
  DWORD key = 0;
  ASSERT_EQ(CoRegisterClassObject(mine, factory.get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &key), S_OK);
  ComPtr<IUnknown> obj;
  EXPECT_EQ(CoCreateInstance(mine, nullptr, CLSCTX_ALL, IID_IUnknown, obj.putVoid()), S_OK);
  EXPECT_EQ(made, 1);
  EXPECT_EQ(CoRevokeClassObject(key), S_OK);
  EXPECT_EQ(CoRevokeClassObject(key), E_INVALIDARG);
  EXPECT_EQ(CoCreateInstance(mine, nullptr, CLSCTX_ALL, IID_IUnknown, obj.putVoid()), REGDB_E_CLASSNOTREG);
}

TEST(RunningObjects, NewestRegistrationWinsUntilRevoked) {
  const CLSID app = makeGuid("0006F03A-0000-0000-C000-000000000046");
  ComPtr<IUnknown> found;
  EXPECT_EQ(GetActiveObject(app, nullptr, found.put()), MK_E_UNAVAILABLE);
  ComPtr<ClassFactory> first(new ClassFactory([] { return nullptr; }));
  ComPtr<ClassFactory> second(new ClassFactory([] { return nullptr; }));
  DWORD k1 = 0, k2 = 0;
  ASSERT_EQ(RegisterActiveObject(first.get(), app, ACTIVEOBJECT_STRONG, &k1), S_OK);
  EXPECT_EQ(first->refCount(), 2u); // a strong registration holds one
  ASSERT_EQ(RegisterActiveObject(second.get(), app, ACTIVEOBJECT_WEAK, &k2), S_OK);
  EXPECT_EQ(second->refCount(), 1u);
  ASSERT_EQ(GetActiveObject(app, nullptr, found.put()), S_OK);
  EXPECT_EQ(found.get(), second->identity());
  EXPECT_EQ(RevokeActiveObject(k2, nullptr), S_OK);
  ASSERT_EQ(GetActiveObject(app, nullptr, found.put()), S_OK);
  EXPECT_EQ(found.get(), first->identity());
  found.reset();
  EXPECT_EQ(RevokeActiveObject(k1, nullptr), S_OK);
  EXPECT_EQ(first->refCount(), 1u);
  EXPECT_EQ(RevokeActiveObject(k1, nullptr), E_INVALIDARG);
  EXPECT_EQ(GetActiveObject(app, nullptr, found.put()), MK_E_UNAVAILABLE);
}

TEST(TypeLib, RegistersAndRemovesItsKeys) {
  quorvel::testsupport::RegistrySandbox sandbox;
  TypeLibDesc lib{.name = "VaskAddin",
                  .help = "VaskAddin Library",
                  .libid = makeGuid("6A1C2F40-7D1E-4C55-9E3B-2B8E5D0A1F10"),
                  .lcid = 0x0409,
                  .interfaces = {{.name = "IVaskAddin_", .iid = IID_ICounter}}};
  const std::string libKey = "TypeLib\\{6A1C2F40-7D1E-4C55-9E3B-2B8E5D0A1F10}";
  const std::string ifKey = "Interface\\" + guidToString(IID_ICounter);
  ASSERT_EQ(RegisterTypeLib(lib, u"/opt/quorvel/libQuorvel.so", u"/opt/quorvel"), S_OK);
  EXPECT_EQ(readDefault(libKey + "\\1.0"), "VaskAddin Library");
  EXPECT_EQ(readDefault(libKey + "\\1.0\\409\\" + (sizeof(void*) == 8 ? "win64" : "win32")),
            "/opt/quorvel/libQuorvel.so");
  EXPECT_EQ(readDefault(libKey + "\\1.0\\FLAGS"), "0");
  EXPECT_EQ(readDefault(libKey + "\\1.0\\HELPDIR"), "/opt/quorvel");
  EXPECT_EQ(registeredTypeLibPath(lib.libid, 1, 0, 0x409), "/opt/quorvel/libQuorvel.so");
  EXPECT_EQ(readDefault(ifKey), "IVaskAddin_");
  EXPECT_EQ(readDefault(ifKey + "\\ProxyStubClsid32"), "{00020424-0000-0000-C000-000000000046}");
  EXPECT_EQ(readDefault(ifKey + "\\TypeLib"), "{6A1C2F40-7D1E-4C55-9E3B-2B8E5D0A1F10}");
  EXPECT_EQ(readDefault(ifKey + "\\TypeLib", "Version"), "1.0");

  TypeLibDesc other = lib; // another version stays when this one goes
  other.minorVersion = 1;
  other.interfaces.clear();
  ASSERT_EQ(RegisterTypeLib(other, u"/opt/quorvel/libQuorvel.so", nullptr), S_OK);
  ASSERT_EQ(UnRegisterTypeLib(lib), S_OK);
  EXPECT_EQ(readDefault(libKey + "\\1.0"), "<missing>");
  EXPECT_EQ(readDefault(ifKey), "<missing>");
  EXPECT_EQ(readDefault(libKey + "\\1.1"), "VaskAddin Library");
  ASSERT_EQ(UnRegisterTypeLib(other), S_OK);
  EXPECT_EQ(readDefault(libKey), "<missing>");
  EXPECT_EQ(UnRegisterTypeLib(other), TYPE_E_REGISTRYACCESS);
}

} // namespace
