// The running-object table of this process.
#include "com/objbase.h"

#include <mutex>
#include <vector>

namespace quorvel::com {

namespace {
struct Entry {
  DWORD key;
  CLSID clsid;
  ComPtr<IUnknown> strong; // empty for a weak registration
  IUnknown* object;
};

struct Table {
  std::mutex mutex;
  std::vector<Entry> entries; // newest last
  DWORD nextKey = 1;
};

Table& table() {
  static Table* t = new Table; // outlives every static destructor that may look
  return *t;
}
} // namespace

HRESULT RegisterActiveObject(IUnknown* punk, REFCLSID rclsid, DWORD dwFlags, DWORD* pdwRegister) {
  if (!pdwRegister) return E_POINTER;
  *pdwRegister = 0;
  if (!punk) return E_INVALIDARG;
  // The table keeps the object's identity, as QueryInterface(IUnknown) gives it.
  ComPtr<IUnknown> identity;
  HRESULT hr = punk->QueryInterface(IID_IUnknown, identity.putVoid());
  if (FAILED(hr)) return hr;
  Table& t = table();
  std::lock_guard lock(t.mutex);
  Entry e{t.nextKey++, rclsid, {}, identity.get()};
  if (!(dwFlags & ACTIVEOBJECT_WEAK)) e.strong = identity;
  t.entries.push_back(std::move(e));
  *pdwRegister = t.entries.back().key;
  return S_OK;
}

HRESULT RevokeActiveObject(DWORD dwRegister, void*) {
  ComPtr<IUnknown> gone; // released outside the lock
  Table& t = table();
  std::lock_guard lock(t.mutex);
  for (auto it = t.entries.begin(); it != t.entries.end(); ++it)
    if (it->key == dwRegister) {
      gone = std::move(it->strong);
      t.entries.erase(it);
      return S_OK;
    }
  return E_INVALIDARG;
}

HRESULT GetActiveObject(REFCLSID rclsid, void*, IUnknown** ppunk) {
  if (!ppunk) return E_POINTER;
  *ppunk = nullptr;
  Table& t = table();
  std::lock_guard lock(t.mutex);
  for (auto it = t.entries.rbegin(); it != t.entries.rend(); ++it)
    if (it->clsid == rclsid) {
      it->object->AddRef();
      *ppunk = it->object;
      return S_OK;
    }
  return MK_E_UNAVAILABLE;
}

} // namespace quorvel::com
