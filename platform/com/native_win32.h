// The layer's types seen as the system's own (Windows only, internal): the
// layouts are the same (layout_win32.cpp proves it at compile time), so a
// pointer to one is a pointer to the other.
#pragma once

// The layer's headers come first: the system headers define some of their
// names (S_OK, TRUE, ...) as macros.
#include "com/dispatch.h"
#include "com/errorinfo.h"
#include "com/objbase.h"
#include "com/oleauto.h"

#include <windows.h>

#include <ole2.h>
#include <oleauto.h>

#include <string>

namespace quorvel::com::native {

inline ::VARIANT* var(VARIANT* v) { return reinterpret_cast<::VARIANT*>(v); }
/// A source variant: some system declarations take it without const,
/// though they only read it.
inline ::VARIANT* var(const VARIANT* v) {
  return reinterpret_cast<::VARIANT*>(const_cast<VARIANT*>(v));
}
inline ::SAFEARRAY* arr(SAFEARRAY* a) { return reinterpret_cast<::SAFEARRAY*>(a); }
inline ::SAFEARRAY** arr(SAFEARRAY** a) { return reinterpret_cast<::SAFEARRAY**>(a); }
inline ::SAFEARRAYBOUND* bounds(SAFEARRAYBOUND* b) {
  return reinterpret_cast<::SAFEARRAYBOUND*>(b);
}
inline const ::GUID& guid(const GUID& g) { return reinterpret_cast<const ::GUID&>(g); }
inline ::GUID* guid(GUID* g) { return reinterpret_cast<::GUID*>(g); }
inline ::IUnknown* unk(IUnknown* p) { return reinterpret_cast<::IUnknown*>(p); }
inline ::IUnknown** unk(IUnknown** p) { return reinterpret_cast<::IUnknown**>(p); }
inline ::BSTR str(BSTR b) { return reinterpret_cast<::BSTR>(b); }
inline ::BSTR* str(BSTR* b) { return reinterpret_cast<::BSTR*>(b); }
inline const wchar_t* wide(LPCOLESTR s) { return reinterpret_cast<const wchar_t*>(s); }
inline LPOLESTR ours(wchar_t* s) { return reinterpret_cast<LPOLESTR>(s); }
template <class To, class From> To* as(From* p) { return reinterpret_cast<To*>(p); }

/// The system's text for a Win32 error number, without the line break.
std::string win32ErrorText(DWORD error);

} // namespace quorvel::com::native
