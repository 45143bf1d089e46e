// VARIANT: initialising, clearing, copying and converting.
#include "com/dispatch.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace quorvel::com {

namespace {

bool isArrayOfVariants(VARTYPE vt) { return vt == (VT_ARRAY | VT_VARIANT); }

bool isKnownType(VARTYPE vt) {
  if (vt & VT_BYREF) return true;
  if (isArrayOfVariants(vt)) return true;
  switch (vt) {
  case VT_EMPTY: case VT_NULL: case VT_I2: case VT_I4: case VT_R4: case VT_R8:
  case VT_DATE: case VT_BSTR: case VT_DISPATCH: case VT_ERROR: case VT_BOOL:
  case VT_UNKNOWN: case VT_UI1: case VT_I8:
    return true;
  default:
    return false;
  }
}

} // namespace

void VariantInit(VARIANTARG* pvarg) {
  if (!pvarg) return;
  std::memset(pvarg, 0, sizeof *pvarg);
  pvarg->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
  if (!pvarg) return E_INVALIDARG;
  if (!isKnownType(pvarg->vt)) return DISP_E_BADVARTYPE;
  if (!(pvarg->vt & VT_BYREF)) {
    if (pvarg->vt == VT_BSTR) SysFreeString(pvarg->bstrVal);
    else if (pvarg->vt == VT_DISPATCH && pvarg->pdispVal) pvarg->pdispVal->Release();
    else if (pvarg->vt == VT_UNKNOWN && pvarg->punkVal) pvarg->punkVal->Release();
    else if (isArrayOfVariants(pvarg->vt) && pvarg->parray) {
      HRESULT hr = SafeArrayDestroy(pvarg->parray);
      if (FAILED(hr)) return hr;
    }
  }
  VariantInit(pvarg);
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (!pvargDest || !pvargSrc) return E_INVALIDARG;
  if (pvargDest == pvargSrc) return S_OK;
  if (!isKnownType(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  VARIANT copy = *pvargSrc;
  if (!(copy.vt & VT_BYREF)) {
    if (copy.vt == VT_BSTR && copy.bstrVal) {
      copy.bstrVal = SysAllocStringLen(copy.bstrVal, SysStringLen(copy.bstrVal));
      if (!copy.bstrVal) return E_OUTOFMEMORY;
    } else if (copy.vt == VT_DISPATCH && copy.pdispVal) {
      copy.pdispVal->AddRef();
    } else if (copy.vt == VT_UNKNOWN && copy.punkVal) {
      copy.punkVal->AddRef();
    } else if (isArrayOfVariants(copy.vt) && copy.parray) {
      HRESULT hr = SafeArrayCopy(pvargSrc->parray, &copy.parray);
      if (FAILED(hr)) return hr;
    }
  }
  HRESULT hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    VariantClear(&copy);
    return hr;
  }
  *pvargDest = copy;
  return S_OK;
}

HRESULT VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc) {
  if (!pvarDest || !pvargSrc) return E_INVALIDARG;
  if (!(pvargSrc->vt & VT_BYREF)) return VariantCopy(pvarDest, pvargSrc);
  VARTYPE vt = VARTYPE(pvargSrc->vt & ~VT_BYREF);
  if (!pvargSrc->byref) return E_INVALIDARG;
  VARIANT value;
  VariantInit(&value);
  switch (vt) {
  case VT_VARIANT: return VariantCopyInd(pvarDest, pvargSrc->pvarVal);
  case VT_I2: value.iVal = *pvargSrc->piVal; break;
  case VT_I4: value.lVal = *pvargSrc->plVal; break;
  case VT_UI1: value.bVal = *pvargSrc->pbVal; break;
  case VT_R8: value.dblVal = *pvargSrc->pdblVal; break;
  case VT_DATE: value.date = *pvargSrc->pdate; break;
  case VT_BOOL: value.boolVal = *pvargSrc->pboolVal; break;
  case VT_ERROR: value.scode = *pvargSrc->pscode; break;
  case VT_BSTR: value.bstrVal = *pvargSrc->pbstrVal; break;
  case VT_DISPATCH: value.pdispVal = *pvargSrc->ppdispVal; break;
  case VT_UNKNOWN: value.punkVal = *pvargSrc->ppunkVal; break;
  case VT_ARRAY | VT_VARIANT: value.parray = *pvargSrc->pparray; break;
  default: return DISP_E_BADVARTYPE;
  }
  value.vt = vt;
  // value borrows the pointed-at data; VariantCopy makes the owned copy.
  if (pvarDest == pvargSrc) {
    VARIANT owned;
    VariantInit(&owned);
    HRESULT hr = VariantCopy(&owned, &value);
    if (SUCCEEDED(hr)) *pvarDest = owned;
    return hr;
  }
  return VariantCopy(pvarDest, &value);
}

// ---- Conversion ----------------------------------------------------------

namespace {

bool isNumeric(VARTYPE vt) {
  switch (vt) {
  case VT_EMPTY: case VT_I2: case VT_I4: case VT_UI1: case VT_I8: case VT_R4: case VT_R8:
  case VT_DATE: case VT_BOOL:
    return true;
  default:
    return false;
  }
}

double numberOf(const VARIANT& v) {
  switch (v.vt) {
  case VT_I2: return v.iVal;
  case VT_I4: return v.lVal;
  case VT_UI1: return v.bVal;
  case VT_I8: return double(v.llVal);
  case VT_R4: return v.fltVal;
  case VT_R8: return v.dblVal;
  case VT_DATE: return v.date;
  case VT_BOOL: return v.boolVal ? -1 : 0;
  default: return 0;
  }
}

bool equalsNoCase(const std::u16string& a, const char* b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char16_t c = a[i];
    if (c >= 'A' && c <= 'Z') c = char16_t(c - 'A' + 'a');
    char d = b[i];
    if (d >= 'A' && d <= 'Z') d = char(d - 'A' + 'a');
    if (c != char16_t(d)) return false;
  }
  return true;
}

// Numbers in text: optional blanks around a C-locale number.
bool parseNumber(BSTR b, VARTYPE target, double& out) {
  std::u16string w = bstrToU16(b);
  if (target == VT_BOOL) {
    if (equalsNoCase(w, "true")) return out = -1, true;
    if (equalsNoCase(w, "false")) return out = 0, true;
  }
  std::string s;
  for (char16_t c : w) {
    if (c > 0x7F) return false;
    s += char(c);
  }
  size_t first = s.find_first_not_of(" \t");
  size_t last = s.find_last_not_of(" \t");
  if (first == std::string::npos) return false;
  const char* begin = s.data() + first;
  const char* end = s.data() + last + 1;
  if (*begin == '+') ++begin;
  auto [ptr, ec] = std::from_chars(begin, end, out);
  return ec == std::errc() && ptr == end;
}

HRESULT toNumber(double d, VARTYPE vt, VARIANT& out) {
  // Integers round half to even, as automation does.
  auto integral = [&](double lo, double hi, auto store) -> HRESULT {
    double r = std::nearbyint(d);
    if (!(r >= lo && r <= hi)) return DISP_E_OVERFLOW;
    store(r);
    return S_OK;
  };
  VariantInit(&out);
  out.vt = vt;
  switch (vt) {
  case VT_I2: return integral(-32768, 32767, [&](double r) { out.iVal = SHORT(r); });
  case VT_I4:
    return integral(-2147483648.0, 2147483647.0, [&](double r) { out.lVal = LONG(r); });
  case VT_UI1: return integral(0, 255, [&](double r) { out.bVal = BYTE(r); });
  case VT_I8:
    return integral(-9223372036854775808.0, 9223372036854774784.0,
                    [&](double r) { out.llVal = LONGLONG(r); });
  case VT_R4:
    if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) return DISP_E_OVERFLOW;
    out.fltVal = FLOAT(d);
    return S_OK;
  case VT_R8: out.dblVal = d; return S_OK;
  case VT_DATE: out.date = d; return S_OK;
  case VT_BOOL: out.boolVal = d != 0 ? VARIANT_TRUE : VARIANT_FALSE; return S_OK;
  default: return DISP_E_TYPEMISMATCH;
  }
}

HRESULT toText(const VARIANT& v, USHORT flags, VARIANT& out) {
  std::string s;
  char buf[40];
  switch (v.vt) {
  case VT_EMPTY: break;
  case VT_I2: case VT_I4: case VT_UI1:
    std::snprintf(buf, sizeof buf, "%ld", long(numberOf(v)));
    s = buf;
    break;
  case VT_I8:
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v.llVal));
    s = buf;
    break;
  case VT_R4: case VT_R8:
    std::snprintf(buf, sizeof buf, "%.15g", numberOf(v));
    s = buf;
    break;
  case VT_BOOL:
    if (flags & VARIANT_ALPHABOOL) s = v.boolVal ? "True" : "False";
    else s = v.boolVal ? "-1" : "0";
    break;
  default:
    return DISP_E_TYPEMISMATCH;
  }
  VariantInit(&out);
  out.vt = VT_BSTR;
  out.bstrVal = bstrFromUtf8(s);
  return out.bstrVal ? S_OK : E_OUTOFMEMORY;
}

HRESULT toInterface(const VARIANT& v, VARTYPE vt, VARIANT& out) {
  if (v.vt != VT_EMPTY && v.vt != VT_DISPATCH && v.vt != VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
  VariantInit(&out);
  out.vt = vt;
  IUnknown* src = v.vt == VT_EMPTY ? nullptr : v.punkVal;
  if (!src) return S_OK;
  if (vt == VT_UNKNOWN) {
    src->AddRef();
    out.punkVal = src;
    return S_OK;
  }
  if (v.vt == VT_DISPATCH) {
    v.pdispVal->AddRef();
    out.pdispVal = v.pdispVal;
    return S_OK;
  }
  void* p = nullptr;
  if (FAILED(src->QueryInterface(IID_IDispatch, &p))) return DISP_E_TYPEMISMATCH;
  out.pdispVal = static_cast<IDispatch*>(p);
  return S_OK;
}

HRESULT convert(const VARIANT& v, USHORT flags, VARTYPE vt, VARIANT& out) {
  if (v.vt == vt) return VariantCopy(&out, &v);
  if (vt == VT_BSTR) return toText(v, flags, out);
  if (vt == VT_DISPATCH || vt == VT_UNKNOWN) return toInterface(v, vt, out);
  if (isNumeric(vt) && vt != VT_EMPTY) {
    double d = 0;
    if (v.vt == VT_BSTR) {
      if (!parseNumber(v.bstrVal, vt, d)) return DISP_E_TYPEMISMATCH;
    } else if (isNumeric(v.vt)) {
      d = numberOf(v);
    } else {
      return DISP_E_TYPEMISMATCH;
    }
    return toNumber(d, vt, out);
  }
  if (vt == VT_EMPTY) {
    VariantInit(&out);
    return S_OK;
  }
  return DISP_E_TYPEMISMATCH;
}

} // namespace

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags,
                          VARTYPE vt) {
  if (!pvargDest || !pvarSrc) return E_INVALIDARG;
  VARIANT src;
  VariantInit(&src);
  HRESULT hr = VariantCopyInd(&src, pvarSrc);
  if (FAILED(hr)) return hr;
  VARIANT out;
  VariantInit(&out);
  hr = convert(src, wFlags, vt, out);
  VariantClear(&src);
  if (FAILED(hr)) return hr;
  VariantClear(pvargDest);
  *pvargDest = out;
  return S_OK;
}

} // namespace quorvel::com
