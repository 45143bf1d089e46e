// Compile-time proof that the layer's types have the layout of the system's
// own: sizes, field offsets, type tags and result codes.
#include "com/dispatch.h"
#include "com/errorinfo.h"
#include "com/objbase.h"
#include "com/oleauto.h"
#include "com/typelib.h"

#include <cstddef>

// The result codes compared, named once and read on both sides of the
// system headers.
#define QUORVEL_COMPARED_RESULTS \
  S_OK, \
  S_FALSE, \
  E_NOTIMPL, \
  E_NOINTERFACE, \
  E_POINTER, \
  E_FAIL, \
  E_UNEXPECTED, \
  E_OUTOFMEMORY, \
  E_INVALIDARG, \
  DISP_E_MEMBERNOTFOUND, \
  DISP_E_PARAMNOTFOUND, \
  DISP_E_TYPEMISMATCH, \
  DISP_E_UNKNOWNNAME, \
  DISP_E_EXCEPTION, \
  DISP_E_BADPARAMCOUNT, \
  DISP_E_PARAMNOTOPTIONAL, \
  CLASS_E_NOAGGREGATION, \
  CLASS_E_CLASSNOTAVAILABLE, \
  REGDB_E_CLASSNOTREG, \
  CONNECT_E_NOCONNECTION, \
  CO_E_NOTINITIALIZED, \
  CO_E_CLASSSTRING, \
  MK_E_UNAVAILABLE, \
  RPC_E_CHANGED_MODE, \
  DISP_E_ARRAYISLOCKED,

// The layer's numbers, taken before the system headers turn these names
// into macros.
namespace quorvel::com::ours {
constexpr HRESULT results[] = {QUORVEL_COMPARED_RESULTS};
constexpr VARTYPE types[] = {VT_EMPTY,   VT_NULL, VT_I2,       VT_I4,    VT_R4,   VT_R8,
                             VT_DATE,    VT_BSTR, VT_DISPATCH, VT_ERROR, VT_BOOL, VT_VARIANT,
                             VT_UNKNOWN, VT_UI1,  VT_I8,       VT_ARRAY, VT_BYREF};
constexpr WORD dispatchFlags[] = {DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT};
constexpr DWORD contexts[] = {CLSCTX_INPROC_SERVER,     CLSCTX_LOCAL_SERVER, CLSCTX_ALL,
                              COINIT_APARTMENTTHREADED, REGCLS_MULTIPLEUSE,  ACTIVEOBJECT_STRONG,
                              ACTIVEOBJECT_WEAK};
constexpr int sysKinds[] = {SYS_WIN32, SYS_WIN64};
} // namespace quorvel::com::ours

#include <windows.h>

#include <oaidl.h>
#include <oleauto.h>

namespace quorvel::com {
namespace {

template <class A, class B, size_t N> constexpr bool sameValues(const A (&a)[N], const B (&b)[N]) {
  for (size_t i = 0; i < N; ++i)
    if (a[i] != b[i]) return false;
  return true;
}
constexpr HRESULT systemResults[] = {QUORVEL_COMPARED_RESULTS};
static_assert(sameValues(ours::results, systemResults));
constexpr ::VARTYPE systemTypes[] = {
    ::VT_EMPTY,   ::VT_NULL, ::VT_I2,       ::VT_I4,    ::VT_R4,   ::VT_R8,
    ::VT_DATE,    ::VT_BSTR, ::VT_DISPATCH, ::VT_ERROR, ::VT_BOOL, ::VT_VARIANT,
    ::VT_UNKNOWN, ::VT_UI1,  ::VT_I8,       ::VT_ARRAY, ::VT_BYREF};
static_assert(sameValues(ours::types, systemTypes));
constexpr WORD systemDispatchFlags[] = {DISPATCH_METHOD, DISPATCH_PROPERTYGET,
                                        DISPATCH_PROPERTYPUT};
static_assert(sameValues(ours::dispatchFlags, systemDispatchFlags));
constexpr DWORD systemContexts[] = {
    CLSCTX_INPROC_SERVER, CLSCTX_LOCAL_SERVER, CLSCTX_ALL,       COINIT_APARTMENTTHREADED,
    REGCLS_MULTIPLEUSE,   ACTIVEOBJECT_STRONG, ACTIVEOBJECT_WEAK};
static_assert(sameValues(ours::contexts, systemContexts));
constexpr int systemSysKinds[] = {::SYS_WIN32, ::SYS_WIN64};
static_assert(sameValues(ours::sysKinds, systemSysKinds));

// Same size and same field offsets: a pointer to one is a pointer to the other.
#define QUORVEL_SAME_FIELD(T, f) static_assert(offsetof(com::T, f) == offsetof(::T, f), #T "." #f)
#define QUORVEL_SAME_SIZE(T) static_assert(sizeof(com::T) == sizeof(::T), #T)

QUORVEL_SAME_SIZE(GUID);
QUORVEL_SAME_FIELD(GUID, Data1);
QUORVEL_SAME_FIELD(GUID, Data2);
QUORVEL_SAME_FIELD(GUID, Data3);
QUORVEL_SAME_FIELD(GUID, Data4);

QUORVEL_SAME_SIZE(VARIANT);
QUORVEL_SAME_FIELD(VARIANT, vt);
QUORVEL_SAME_FIELD(VARIANT, lVal);
QUORVEL_SAME_FIELD(VARIANT, llVal);
QUORVEL_SAME_FIELD(VARIANT, dblVal);
QUORVEL_SAME_FIELD(VARIANT, bstrVal);
QUORVEL_SAME_FIELD(VARIANT, pdispVal);
QUORVEL_SAME_FIELD(VARIANT, parray);
QUORVEL_SAME_FIELD(VARIANT, byref);
static_assert(sizeof(Variant) == sizeof(::VARIANT), "a Variant is a VARIANT");

QUORVEL_SAME_SIZE(DISPPARAMS);
QUORVEL_SAME_FIELD(DISPPARAMS, rgvarg);
QUORVEL_SAME_FIELD(DISPPARAMS, rgdispidNamedArgs);
QUORVEL_SAME_FIELD(DISPPARAMS, cArgs);
QUORVEL_SAME_FIELD(DISPPARAMS, cNamedArgs);

QUORVEL_SAME_SIZE(EXCEPINFO);
QUORVEL_SAME_FIELD(EXCEPINFO, wCode);
QUORVEL_SAME_FIELD(EXCEPINFO, bstrSource);
QUORVEL_SAME_FIELD(EXCEPINFO, bstrDescription);
QUORVEL_SAME_FIELD(EXCEPINFO, bstrHelpFile);
QUORVEL_SAME_FIELD(EXCEPINFO, dwHelpContext);
QUORVEL_SAME_FIELD(EXCEPINFO, pvReserved);
QUORVEL_SAME_FIELD(EXCEPINFO, pfnDeferredFillIn);
QUORVEL_SAME_FIELD(EXCEPINFO, scode);

QUORVEL_SAME_SIZE(SAFEARRAYBOUND);
QUORVEL_SAME_FIELD(SAFEARRAYBOUND, cElements);
QUORVEL_SAME_FIELD(SAFEARRAYBOUND, lLbound);
QUORVEL_SAME_SIZE(SAFEARRAY);
QUORVEL_SAME_FIELD(SAFEARRAY, cDims);
QUORVEL_SAME_FIELD(SAFEARRAY, fFeatures);
QUORVEL_SAME_FIELD(SAFEARRAY, cbElements);
QUORVEL_SAME_FIELD(SAFEARRAY, cLocks);
QUORVEL_SAME_FIELD(SAFEARRAY, pvData);
QUORVEL_SAME_FIELD(SAFEARRAY, rgsabound);

QUORVEL_SAME_SIZE(SYSTEMTIME);
QUORVEL_SAME_FIELD(SYSTEMTIME, wYear);
QUORVEL_SAME_FIELD(SYSTEMTIME, wDayOfWeek);
QUORVEL_SAME_FIELD(SYSTEMTIME, wMilliseconds);

// Scalars and interface pointers.
static_assert(sizeof(com::HRESULT) == sizeof(::HRESULT) && sizeof(com::LONG) == sizeof(::LONG));
static_assert(sizeof(com::ULONG) == sizeof(::ULONG) && sizeof(com::DWORD) == sizeof(::DWORD));
static_assert(sizeof(com::OLECHAR) == sizeof(::OLECHAR) && sizeof(com::DATE) == sizeof(::DATE));
static_assert(sizeof(com::VARIANT_BOOL) == sizeof(::VARIANT_BOOL));
// One vtable pointer and nothing else: the object layout COM expects.
static_assert(sizeof(com::IDispatch) == sizeof(void*) && sizeof(com::ITypeInfo) == sizeof(void*));

} // namespace
} // namespace quorvel::com
