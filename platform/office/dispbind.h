// Helpers for serving the host objects' properties through a Dispatcher:
// a getter returns a Variant, a setter takes the new value.
#pragma once

#include "com/dispatch.h"
#include "com/errorinfo.h"

#include <string>
#include <utility>

namespace quorvel::office::detail {

using namespace quorvel::com;

/// A property read or method without arguments returning \p get().
template <class F>
void bindGet(Dispatcher& d, std::string_view name, F get) {
  d.bind(name, MemberKind::PropertyGet, [get](DispArgs&, VARIANT* r) {
    *r = Variant(get()).detach();
    return S_OK;
  });
}

/// A property write handing the new value to \p set.
template <class F>
void bindPut(Dispatcher& d, std::string_view name, F set) {
  d.bind(name, MemberKind::PropertyPut, [set](DispArgs& a, VARIANT*) {
    set(a[a.size() - 1]);
    return S_OK;
  });
}

/// A property read for a string member.
inline MemberDesc getter(std::string name, DISPID id, VARTYPE type) {
  return {.name = std::move(name), .id = id, .kind = MemberKind::PropertyGet, .result = type};
}
/// A property write taking one value of \p type.
inline MemberDesc putter(std::string name, DISPID id, VARTYPE type) {
  return {.name = std::move(name), .id = id, .kind = MemberKind::PropertyPut,
          .params = {{.name = "RHS", .type = type}}};
}
/// An optional argument of any type.
inline ParamDesc optionalArg(std::string name) {
  return {.name = std::move(name), .type = VT_VARIANT, .optional = true};
}

/// The optional argument \p v as a number, or \p fallback when missing.
inline int32_t intOr(const Variant& v, int32_t fallback) {
  return v.isMissing() || v.isEmpty() ? fallback : v.toInt();
}
/// The optional argument \p v as a Boolean, or \p fallback when missing.
inline bool boolOr(const Variant& v, bool fallback) {
  return v.isMissing() || v.isEmpty() ? fallback : v.toBool();
}

} // namespace quorvel::office::detail
