// Base of the library's objects: reference counting, interface lookup, and
// the guard that keeps exceptions from crossing the library's boundary.
#pragma once

#include "mapi/mapidefs.h"
#include "mapi/mapiref.h"

#include <atomic>
#include <initializer_list>
#include <new>
#include <utility>

namespace quorvel::mapi {

/// Implements IUnknown for an object whose interfaces form one chain ending
/// in \p I; the object starts with one reference owned by its creator.
template <typename I> class Object : public I {
public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;

  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0)
      delete this;
    return left;
  }

protected:
  /// QueryInterface for objects answering to the ids in \p ids.
  HRESULT answer(const IID& riid, void** ppv, std::initializer_list<IID> ids) {
    if (!ppv)
      return MAPI_E_INVALID_PARAMETER;
    *ppv = nullptr;
    for (const IID& id : ids)
      if (id == riid || riid == IID_IUnknown) {
        AddRef();
        *ppv = static_cast<I*>(this);
        return S_OK;
      }
    return MAPI_E_INTERFACE_NOT_SUPPORTED;
  }

private:
  std::atomic<ULONG> refs_{1};
};

/// Runs \p f, turning any exception into a failure status.
template <typename F> HRESULT guarded(F&& f) noexcept {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    return MAPI_E_NOT_ENOUGH_MEMORY;
  } catch (...) {
    return MAPI_E_CALL_FAILED;
  }
}

/// True when the caller asked for no interface or for \p id.
inline bool wants(LPCIID asked, std::initializer_list<IID> ids) {
  if (!asked)
    return true;
  for (const IID& id : ids)
    if (*asked == id || *asked == IID_IUnknown)
      return true;
  return false;
}

} // namespace quorvel::mapi
