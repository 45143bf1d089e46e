// A tiny in-process server: one class (a counter), its factory, and the four
// entry points, registering itself under HKEY_CLASSES_ROOT.
#include "testserver.h"

#include "com/objbase.h"
#include "registry/winreg.h"

#include <atomic>
#include <dlfcn.h>
#include <string>

using namespace quorvel::comtest;
using namespace quorvel::winreg;

namespace {

std::atomic<long> liveObjects{0};

const InterfaceDesc kCounterDesc{
    .name = "ICounter",
    .iid = IID_ICounter,
    .members = {{.name = "Add", .id = 1, .params = {{.name = "by", .type = VT_I4}}, .result = VT_I4}},
};

class Counter : public DispatchObject<ICounter> {
public:
  Counter() : DispatchObject(kCounterDesc) {
    ++liveObjects;
    dispatcher().bind("Add", [this](DispArgs& a, VARIANT* result) {
      LONG total = 0;
      HRESULT hr = Add(a.toInt(0), &total);
      *result = Variant(int32_t(total)).detach();
      return hr;
    });
  }
  ~Counter() override { --liveObjects; }
  HRESULT Add(LONG by, LONG* total) override {
    *total = total_ += by;
    return S_OK;
  }

private:
  LONG total_ = 0;
};

// Held for the library's life; released when the library is unloaded.
ClassFactory* factory() {
  static ComPtr<ClassFactory> f(
      new ClassFactory([] { return static_cast<IUnknown*>(static_cast<ICounter*>(new Counter)); }));
  return f.get();
}

std::string ownPath() {
  Dl_info info{};
  dladdr(reinterpret_cast<void*>(&factory), &info);
  return info.dli_fname ? info.dli_fname : "";
}

bool setDefault(const std::string& key, const std::string& value) {
  HKEY h = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG rc = RegSetValueExA(h, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           DWORD(value.size() + 1));
  RegCloseKey(h);
  return rc == ERROR_SUCCESS;
}

} // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID rclsid,
                                                                             REFIID riid,
                                                                             void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (rclsid != CLSID_Counter) return CLASS_E_CLASSNOTAVAILABLE;
  return factory()->QueryInterface(riid, ppv);
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
  return liveObjects == 0 && factory()->lockCount() == 0 ? S_OK : S_FALSE;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer() {
  if (getenv("COMTEST_FAIL_REGISTER")) return E_ACCESSDENIED;
  const std::string clsid = "CLSID\\" + guidToString(CLSID_Counter);
  bool ok = setDefault(clsid, "Counter") && setDefault(clsid + "\\InprocServer32", ownPath()) &&
            setDefault(clsid + "\\ProgID", kCounterProgId) &&
            setDefault(std::string(kCounterProgId) + "\\Clsid", guidToString(CLSID_Counter));
  return ok ? S_OK : E_FAIL;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
  RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + guidToString(CLSID_Counter)).c_str());
  RegDeleteTreeA(HKEY_CLASSES_ROOT, kCounterProgId);
  return S_OK;
}
