// Base of the library's objects whose properties are fixed: the property
// calls answer from one computed set, and changes are refused.
#pragma once

#include "mapi/mapiobject.h"
#include "mapi/mapiprops.h"

namespace quorvel::mapi {

template <typename I> class FixedPropObject : public Object<I> {
public:
  HRESULT SaveChanges(ULONG) override { return MAPI_E_NO_ACCESS; }
  HRESULT GetProps(const SPropTagArray* tags, ULONG, ULONG* count,
                   SPropValue** values) override {
    return guarded([&] { return properties().getProps(tags, count, values); });
  }
  HRESULT OpenProperty(ULONG, LPCIID, ULONG, ULONG, IUnknown**) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT SetProps(ULONG, const SPropValue*, SPropProblemArray**) override {
    return MAPI_E_NO_ACCESS;
  }

protected:
  /// The object's properties as they are now.
  virtual PropertyBag properties() const = 0;
};

} // namespace quorvel::mapi
