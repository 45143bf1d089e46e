// The class factory helper: makes objects through a creation function.
#include "com/errorinfo.h"
#include "com/objbase.h"

namespace quorvel::com {

ClassFactory::ClassFactory(std::function<IUnknown*()> create) : create_(std::move(create)) {}

ClassFactory::~ClassFactory() = default;

HRESULT ClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  *ppvObject = nullptr;
  if (pUnkOuter) return CLASS_E_NOAGGREGATION;
  IUnknown* object = nullptr;
  try {
    object = create_();
  } catch (...) {
    return handleSafeCallException("COM");
  }
  if (!object) return E_OUTOFMEMORY;
  // Holding a reference while asking means an object not granting riid goes.
  ComPtr<IUnknown> hold(object);
  return object->QueryInterface(riid, ppvObject);
}

HRESULT ClassFactory::LockServer(BOOL fLock) {
  if (fLock) ++locks_;
  else if (locks_ > 0) --locks_;
  return S_OK;
}

} // namespace quorvel::com
