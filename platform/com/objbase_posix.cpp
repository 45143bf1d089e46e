// Initialisation counting, class objects, activation through the registry,
// ProgIDs and task memory, kept by this layer itself.
#include "com/objbase.h"

#include "com/classesroot.h"
#include "com/errorinfo.h"
#include "com/module.h"
#include "util/unTextCodec.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <new>
#include <vector>

namespace quorvel::com {

// ---- Initialisation ------------------------------------------------------

namespace {
struct ThreadInit {
  int com = 0;
  int ole = 0;
  DWORD model = COINIT_APARTMENTTHREADED;
};
thread_local ThreadInit tlsInit;
} // namespace

HRESULT CoInitialize(void* pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(void*, DWORD dwCoInit) {
  DWORD model = dwCoInit & COINIT_APARTMENTTHREADED;
  if (tlsInit.com > 0 && tlsInit.model != model) return RPC_E_CHANGED_MODE;
  tlsInit.model = model;
  return ++tlsInit.com == 1 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (tlsInit.com > 0) --tlsInit.com;
}

HRESULT OleInitialize(void*) {
  HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(hr)) return hr;
  return ++tlsInit.ole == 1 ? S_OK : S_FALSE;
}

void OleUninitialize() {
  if (tlsInit.ole == 0) return;
  --tlsInit.ole;
  CoUninitialize();
}

bool isComInitialized() { return tlsInit.com > 0; }

// ---- Class objects -------------------------------------------------------

namespace {

struct Registration {
  DWORD key;
  CLSID clsid;
  ComPtr<IUnknown> object;
};

struct Library {
  void* module = nullptr;
  DllGetClassObjectFn getClassObject = nullptr;
  DllCanUnloadNowFn canUnloadNow = nullptr;
};

struct Classes {
  std::mutex mutex;
  std::vector<Registration> registered; // newest last
  DWORD nextKey = 1;
  std::map<std::string, Library> libraries; // by path
};

Classes& classes() {
  static Classes* c = new Classes; // never destroyed: libraries stay loaded to the end
  return *c;
}

const char* kSource = "COM";

// The library for \p path, loaded on first use.
HRESULT libraryFor(const std::string& path, Library& out) {
  Classes& c = classes();
  std::lock_guard lock(c.mutex);
  auto it = c.libraries.find(path);
  if (it != c.libraries.end()) {
    out = it->second;
    return S_OK;
  }
  std::string why;
  void* module = loadModule(path, &why);
  if (!module)
    return setErrorInfo(CO_E_DLLNOTFOUND, "Cannot load the library \"" + path + "\": " + why, kSource);
  Library lib;
  lib.module = module;
  lib.getClassObject = reinterpret_cast<DllGetClassObjectFn>(moduleSymbol(module, "DllGetClassObject"));
  lib.canUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(moduleSymbol(module, "DllCanUnloadNow"));
  if (!lib.getClassObject) {
    freeModule(module);
    return setErrorInfo(CO_E_ERRORINDLL,
                        "The library \"" + path + "\" has no entry point DllGetClassObject", kSource);
  }
  c.libraries[path] = lib;
  out = lib;
  return S_OK;
}

} // namespace

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void*, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!isComInitialized()) return CO_E_NOTINITIALIZED;
  ComPtr<IUnknown> registered;
  {
    Classes& c = classes();
    std::lock_guard lock(c.mutex);
    for (auto it = c.registered.rbegin(); it != c.registered.rend(); ++it)
      if (it->clsid == rclsid) {
        registered = it->object;
        break;
      }
  }
  if (registered) return registered->QueryInterface(riid, ppv);
  if (!(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;

  auto path = detail::readClassesString("CLSID\\" + guidToString(rclsid) + "\\InprocServer32");
  if (!path || path->empty()) return REGDB_E_CLASSNOTREG;
  Library lib;
  HRESULT hr = libraryFor(*path, lib);
  if (FAILED(hr)) return hr;
  return lib.getClassObject(rclsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ComPtr<IClassFactory> factory;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, factory.putVoid());
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(pUnkOuter, riid, ppv);
}

HRESULT CoRegisterClassObject(REFCLSID rclsid, IUnknown* pUnk, DWORD, DWORD,
                              DWORD* lpdwRegister) {
  if (!lpdwRegister) return E_POINTER;
  *lpdwRegister = 0;
  if (!pUnk) return E_INVALIDARG;
  if (!isComInitialized()) return CO_E_NOTINITIALIZED;
  Classes& c = classes();
  std::lock_guard lock(c.mutex);
  *lpdwRegister = c.nextKey++;
  c.registered.push_back({*lpdwRegister, rclsid, ComPtr<IUnknown>(pUnk)});
  return S_OK;
}

HRESULT CoRevokeClassObject(DWORD dwRegister) {
  ComPtr<IUnknown> gone; // released outside the lock
  Classes& c = classes();
  std::lock_guard lock(c.mutex);
  for (auto it = c.registered.begin(); it != c.registered.end(); ++it)
    if (it->key == dwRegister) {
      gone = std::move(it->object);
      c.registered.erase(it);
      return S_OK;
    }
  return E_INVALIDARG;
}

void CoFreeUnusedLibraries() {
  std::vector<Library> candidates;
  Classes& c = classes();
  {
    std::lock_guard lock(c.mutex);
    for (auto& [path, lib] : c.libraries) candidates.push_back(lib);
  }
  for (const Library& lib : candidates) {
    if (!lib.canUnloadNow || lib.canUnloadNow() != S_OK) continue;
    std::lock_guard lock(c.mutex);
    for (auto it = c.libraries.begin(); it != c.libraries.end(); ++it)
      if (it->second.module == lib.module) {
        c.libraries.erase(it);
        freeModule(lib.module);
        break;
      }
  }
}

// ---- ProgIDs -------------------------------------------------------------

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
  if (!lpszProgID || !lpclsid) return E_INVALIDARG;
  std::string progId = utf16ToUtf8(lpszProgID);
  auto text = progId.empty() ? std::nullopt : detail::readClassesString(progId + "\\Clsid");
  if (!text || !guidFromString(*text, lpclsid)) return CO_E_CLASSSTRING;
  return S_OK;
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
  if (!lplpszProgID) return E_INVALIDARG;
  *lplpszProgID = nullptr;
  auto text = detail::readClassesString("CLSID\\" + guidToString(clsid) + "\\ProgID");
  if (!text || text->empty()) return REGDB_E_CLASSNOTREG;
  std::u16string wide = utf8ToUtf16(*text);
  auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((wide.size() + 1) * sizeof(OLECHAR)));
  if (!out) return E_OUTOFMEMORY;
  std::char_traits<char16_t>::copy(out, wide.c_str(), wide.size() + 1);
  *lplpszProgID = out;
  return S_OK;
}

void* CoTaskMemAlloc(size_t cb) { return std::malloc(cb ? cb : 1); }

void CoTaskMemFree(void* pv) { std::free(pv); }

} // namespace quorvel::com
