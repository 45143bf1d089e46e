// A test library holding two add-ins: one that logs every IDTExtensibility2
// call through its host's "Log" method, and one that refuses to connect.
#include "testaddin.h"

#include "com/automation.h"
#include "com/objbase.h"
#include "registry/winreg.h"

#include <dlfcn.h>
#include <string>

using namespace quorvel::office;
using namespace quorvel::officetest;
namespace reg = quorvel::winreg;

namespace {

const InterfaceDesc kAddInDesc{.name = "IDTExtensibility2", .iid = IID_IDTExtensibility2};

class TestAddIn : public DispatchObject<IDTExtensibility2> {
public:
  TestAddIn(std::string name, bool failing)
      : DispatchObject(kAddInDesc), name_(std::move(name)), failing_(failing) {}

  HRESULT OnConnection(IDispatch* app, ext_ConnectMode mode, IDispatch* inst,
                       SAFEARRAY**) override {
    app_ = app;
    std::string progId = inst ? getProperty(inst, "ProgId").toString() : "";
    log("OnConnection " + std::to_string(mode) + " " + progId);
    if (failing_) return setErrorInfo(E_FAIL, "refuses to connect", name_);
    return S_OK;
  }
  HRESULT OnDisconnection(ext_DisconnectMode mode, SAFEARRAY**) override {
    log("OnDisconnection " + std::to_string(mode));
    app_.reset();
    return S_OK;
  }
  HRESULT OnAddInsUpdate(SAFEARRAY**) override { return S_OK; }
  HRESULT OnStartupComplete(SAFEARRAY**) override {
    log("OnStartupComplete");
    return S_OK;
  }
  HRESULT OnBeginShutdown(SAFEARRAY**) override {
    log("OnBeginShutdown");
    return S_OK;
  }

private:
  void log(const std::string& what) {
    // A host without "Log" (a real one) simply gets no log.
    try {
      if (app_) callMethod(app_.get(), "Log", {Variant(name_ + " " + what)});
    } catch (const ComError&) {
    }
  }
  std::string name_;
  bool failing_;
  ComPtr<IDispatch> app_;
};

ClassFactory* factory(bool failing) {
  static ComPtr<ClassFactory> good(new ClassFactory([] {
    return static_cast<IUnknown*>(new TestAddIn("good", false));
  }));
  static ComPtr<ClassFactory> bad(new ClassFactory([] {
    return static_cast<IUnknown*>(new TestAddIn("failing", true));
  }));
  return failing ? bad.get() : good.get();
}

std::string ownPath() {
  Dl_info info{};
  dladdr(reinterpret_cast<void*>(&factory), &info);
  return info.dli_fname ? info.dli_fname : "";
}

bool setDefault(const std::string& key, const std::string& value) {
  reg::HKEY h = nullptr;
  if (reg::RegCreateKeyExA(reg::HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, reg::KEY_WRITE,
                           nullptr, &h, nullptr) != reg::ERROR_SUCCESS)
    return false;
  reg::LONG rc = reg::RegSetValueExA(h, "", 0, reg::REG_SZ,
                                     reinterpret_cast<const reg::BYTE*>(value.c_str()),
                                     reg::DWORD(value.size() + 1));
  reg::RegCloseKey(h);
  return rc == reg::ERROR_SUCCESS;
}

bool registerClass(const CLSID& clsid, const std::string& progId) {
  std::string key = "CLSID\\" + guidToString(clsid);
  return setDefault(key + "\\InprocServer32", ownPath()) &&
         setDefault(progId + "\\Clsid", guidToString(clsid));
}

} // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID rclsid,
                                                                             REFIID riid,
                                                                             void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (rclsid == CLSID_GoodAddIn) return factory(false)->QueryInterface(riid, ppv);
  if (rclsid == CLSID_FailingAddIn) return factory(true)->QueryInterface(riid, ppv);
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() { return S_FALSE; }

extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer() {
  return registerClass(CLSID_GoodAddIn, kGoodProgId) &&
                 registerClass(CLSID_FailingAddIn, kFailingProgId)
             ? S_OK
             : E_FAIL;
}
