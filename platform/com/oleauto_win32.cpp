// BSTR, VARIANT, SAFEARRAY and DATE on Windows: oleaut32 itself, so that
// strings, variants and arrays pass freely between us, ole32 and the host.
#include "com/native_win32.h"

namespace quorvel::com {

using namespace native;

// ---- BSTR ----------------------------------------------------------------

BSTR SysAllocString(const OLECHAR* psz) { return ours(::SysAllocString(wide(psz))); }

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  return ours(::SysAllocStringLen(wide(strIn), ui));
}

void SysFreeString(BSTR bstrString) { ::SysFreeString(str(bstrString)); }

UINT SysStringLen(BSTR pbstr) { return ::SysStringLen(str(pbstr)); }

UINT SysStringByteLen(BSTR bstr) { return ::SysStringByteLen(str(bstr)); }

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  return ::SysReAllocString(str(pbstr), wide(psz));
}

// ---- VARIANT -------------------------------------------------------------

void VariantInit(VARIANTARG* pvarg) { ::VariantInit(var(pvarg)); }

HRESULT VariantClear(VARIANTARG* pvarg) { return ::VariantClear(var(pvarg)); }

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  return ::VariantCopy(var(pvargDest), var(pvargSrc));
}

HRESULT VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc) {
  return ::VariantCopyInd(var(pvarDest), var(pvargSrc));
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags,
                          VARTYPE vt) {
  return ::VariantChangeType(var(pvargDest), var(pvarSrc), wFlags, vt);
}

// ---- SAFEARRAY -----------------------------------------------------------

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
  return as<SAFEARRAY>(::SafeArrayCreate(vt, cDims, bounds(rgsabound)));
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  return as<SAFEARRAY>(::SafeArrayCreateVector(vt, lLbound, cElements));
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) { return ::SafeArrayDestroy(arr(psa)); }

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  return ::SafeArrayCopy(arr(psa), arr(ppsaOut));
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  return ::SafeArrayGetLBound(arr(psa), nDim, as<::LONG>(plLbound));
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  return ::SafeArrayGetUBound(arr(psa), nDim, as<::LONG>(plUbound));
}

UINT SafeArrayGetDim(SAFEARRAY* psa) { return ::SafeArrayGetDim(arr(psa)); }

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  return ::SafeArrayGetElement(arr(psa), as<::LONG>(rgIndices), pv);
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  return ::SafeArrayPutElement(arr(psa), as<::LONG>(rgIndices), pv);
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  return ::SafeArrayAccessData(arr(psa), ppvData);
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) { return ::SafeArrayUnaccessData(arr(psa)); }

// ---- DATE ----------------------------------------------------------------

INT SystemTimeToVariantTime(const SYSTEMTIME* lpSystemTime, DOUBLE* pvtime) {
  // The system's declaration takes a non-const pointer it only reads.
  ::SYSTEMTIME st = *reinterpret_cast<const ::SYSTEMTIME*>(lpSystemTime);
  return ::SystemTimeToVariantTime(&st, pvtime);
}

INT VariantTimeToSystemTime(DOUBLE vtime, SYSTEMTIME* lpSystemTime) {
  return ::VariantTimeToSystemTime(vtime, as<::SYSTEMTIME>(lpSystemTime));
}

} // namespace quorvel::com
