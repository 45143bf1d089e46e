// SAFEARRAY of VARIANTs, one dimension: what automation passes as `custom`.
#include "com/oleauto.h"

#include <cstdlib>
#include <new>

namespace quorvel::com {

namespace {
VARIANT* items(SAFEARRAY* psa) { return static_cast<VARIANT*>(psa->pvData); }

bool indexOf(SAFEARRAY* psa, LONG* rgIndices, size_t* at) {
  if (!psa || !rgIndices) return false;
  int64_t i = int64_t(rgIndices[0]) - psa->rgsabound[0].lLbound;
  if (i < 0 || i >= int64_t(psa->rgsabound[0].cElements)) return false;
  *at = size_t(i);
  return true;
}
} // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
  if (vt != VT_VARIANT || cDims != 1 || !rgsabound) return nullptr;
  auto* psa = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
  if (!psa) return nullptr;
  ULONG n = rgsabound[0].cElements;
  psa->cDims = 1;
  psa->fFeatures = FADF_VARIANT;
  psa->cbElements = sizeof(VARIANT);
  psa->rgsabound[0] = rgsabound[0];
  if (n) {
    psa->pvData = std::calloc(n, sizeof(VARIANT));
    if (!psa->pvData) {
      std::free(psa);
      return nullptr;
    }
    for (ULONG i = 0; i < n; ++i) VariantInit(&items(psa)[i]);
  }
  return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  SAFEARRAYBOUND bound{cElements, lLbound};
  return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
  if (!psa) return S_OK;
  if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
  for (ULONG i = 0; i < psa->rgsabound[0].cElements; ++i) VariantClear(&items(psa)[i]);
  std::free(psa->pvData);
  std::free(psa);
  return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (!ppsaOut) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (!psa) return S_OK;
  SAFEARRAY* copy = SafeArrayCreate(VT_VARIANT, 1, psa->rgsabound);
  if (!copy) return E_OUTOFMEMORY;
  for (ULONG i = 0; i < psa->rgsabound[0].cElements; ++i) {
    HRESULT hr = VariantCopy(&items(copy)[i], &items(psa)[i]);
    if (FAILED(hr)) {
      SafeArrayDestroy(copy);
      return hr;
    }
  }
  *ppsaOut = copy;
  return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (!psa || !plLbound) return E_INVALIDARG;
  if (nDim != 1) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[0].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (!psa || !plUbound) return E_INVALIDARG;
  if (nDim != 1) return DISP_E_BADINDEX;
  *plUbound = LONG(int64_t(psa->rgsabound[0].lLbound) + psa->rgsabound[0].cElements - 1);
  return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  size_t at;
  if (!pv) return E_INVALIDARG;
  if (!indexOf(psa, rgIndices, &at)) return psa && rgIndices ? DISP_E_BADINDEX : E_INVALIDARG;
  auto* out = static_cast<VARIANT*>(pv);
  VariantInit(out);
  return VariantCopy(out, &items(psa)[at]);
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  size_t at;
  if (!pv) return E_INVALIDARG;
  if (!indexOf(psa, rgIndices, &at)) return psa && rgIndices ? DISP_E_BADINDEX : E_INVALIDARG;
  return VariantCopy(&items(psa)[at], static_cast<VARIANT*>(pv));
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (!psa || !ppvData) return E_INVALIDARG;
  ++psa->cLocks;
  *ppvData = psa->pvData;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (!psa->cLocks) return E_UNEXPECTED;
  --psa->cLocks;
  return S_OK;
}

} // namespace quorvel::com
