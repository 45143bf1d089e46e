// Variant: the owning VARIANT wrapper, and arrays of variants.
#include "com/dispatch.h"
#include "com/errorinfo.h"

namespace quorvel::com {

Variant::Variant() : VARIANT() { VariantInit(this); }

Variant::Variant(const Variant& o) : Variant() { checkResult(VariantCopy(this, &o)); }

Variant::Variant(Variant&& o) noexcept : VARIANT(o) { VariantInit(&o); }

Variant::Variant(const VARIANT& o) : Variant() { checkResult(VariantCopy(this, &o)); }

Variant::Variant(int32_t v) : Variant() {
  vt = VT_I4;
  lVal = v;
}

Variant::Variant(bool v) : Variant() {
  vt = VT_BOOL;
  boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
}

Variant::Variant(const char* utf8) : Variant(std::string(utf8 ? utf8 : "")) {}

Variant::Variant(const std::string& utf8) : Variant() {
  vt = VT_BSTR;
  bstrVal = bstrFromUtf8(utf8);
}

Variant::Variant(const std::u16string& s) : Variant() {
  vt = VT_BSTR;
  bstrVal = SysAllocStringLen(s.data(), UINT(s.size()));
}

Variant::Variant(const char16_t* s) : Variant(std::u16string(s ? s : u"")) {}

Variant::Variant(IDispatch* p) : Variant() {
  vt = VT_DISPATCH;
  pdispVal = p;
  if (p) p->AddRef();
}

Variant::Variant(IUnknown* p) : Variant() {
  vt = VT_UNKNOWN;
  punkVal = p;
  if (p) p->AddRef();
}

Variant& Variant::operator=(Variant o) noexcept {
  std::swap(static_cast<VARIANT&>(*this), static_cast<VARIANT&>(o));
  return *this;
}

Variant::~Variant() { VariantClear(this); }

Variant Variant::fromDate(DATE d) {
  Variant v;
  v.vt = VT_DATE;
  v.date = d;
  return v;
}

Variant Variant::error(SCODE code) {
  Variant v;
  v.vt = VT_ERROR;
  v.scode = code;
  return v;
}

Variant Variant::missing() { return error(DISP_E_PARAMNOTFOUND); }

Variant Variant::boolRef(VARIANT_BOOL* p) {
  Variant v;
  v.vt = VT_BYREF | VT_BOOL;
  v.pboolVal = p;
  return v;
}

Variant Variant::adopt(VARIANT& src) {
  Variant v;
  static_cast<VARIANT&>(v) = src;
  VariantInit(&src);
  return v;
}

namespace {
Variant converted(const Variant& v, VARTYPE vt, USHORT flags = 0) {
  Variant out;
  checkResult(VariantChangeType(&out, &v, flags, vt));
  return out;
}
} // namespace

int32_t Variant::toInt() const { return converted(*this, VT_I4).lVal; }
bool Variant::toBool() const { return converted(*this, VT_BOOL).boolVal != 0; }
double Variant::toDouble() const { return converted(*this, VT_R8).dblVal; }
DATE Variant::toDate() const { return converted(*this, VT_DATE).date; }
std::string Variant::toString() const {
  return bstrToUtf8(converted(*this, VT_BSTR, VARIANT_ALPHABOOL).bstrVal);
}
std::u16string Variant::toU16String() const {
  return bstrToU16(converted(*this, VT_BSTR, VARIANT_ALPHABOOL).bstrVal);
}

ComPtr<IDispatch> Variant::toDispatch() const {
  Variant v = converted(*this, VT_DISPATCH);
  return ComPtr<IDispatch>::adopt(v.detach().pdispVal);
}

ComPtr<IUnknown> Variant::toUnknown() const {
  Variant v = converted(*this, VT_UNKNOWN);
  return ComPtr<IUnknown>::adopt(v.detach().punkVal);
}

VARIANT* Variant::put() {
  VariantClear(this);
  return this;
}

VARIANT Variant::detach() {
  VARIANT out = *this;
  VariantInit(this);
  return out;
}

SAFEARRAY* makeVariantArray(const std::vector<Variant>& values) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_VARIANT, 0, ULONG(values.size()));
  if (!psa) throw ComError(E_OUTOFMEMORY);
  for (LONG i = 0; i < LONG(values.size()); ++i) {
    HRESULT hr = SafeArrayPutElement(psa, &i, const_cast<Variant*>(&values[size_t(i)]));
    if (FAILED(hr)) {
      SafeArrayDestroy(psa);
      throw ComError(hr);
    }
  }
  return psa;
}

std::vector<Variant> variantArrayItems(SAFEARRAY* psa) {
  std::vector<Variant> out;
  if (!psa) return out;
  LONG lo = psa->rgsabound[0].lLbound;
  for (ULONG i = 0; i < psa->rgsabound[0].cElements; ++i) {
    LONG index = LONG(lo + LONG(i));
    Variant v;
    checkResult(SafeArrayGetElement(psa, &index, v.put()));
    out.push_back(std::move(v));
  }
  return out;
}

} // namespace quorvel::com
