// Dispatcher: IDispatch served from an interface description.
#include "com/dispatch.h"

#include "com/errorinfo.h"

#include <stdexcept>

namespace quorvel::com {

void clearExcepInfo(EXCEPINFO* info) {
  if (!info) return;
  SysFreeString(info->bstrSource);
  SysFreeString(info->bstrDescription);
  SysFreeString(info->bstrHelpFile);
  *info = EXCEPINFO{};
}

VARIANT_BOOL* DispArgs::boolRef(size_t i) const {
  const Variant& v = args_.at(i);
  if (v.vt != (VT_BYREF | VT_BOOL)) throw ComError(DISP_E_TYPEMISMATCH);
  return v.pboolVal;
}

SAFEARRAY** DispArgs::arrayRef(size_t i) const {
  const Variant& v = args_.at(i);
  if (v.vt != (VT_BYREF | VT_ARRAY | VT_VARIANT)) throw ComError(DISP_E_TYPEMISMATCH);
  return v.pparray;
}

namespace {

// Automation names compare without regard to case.
bool sameName(const std::string& a, const OLECHAR* b) {
  if (!b) return false;
  size_t i = 0;
  for (; i < a.size(); ++i) {
    OLECHAR c = b[i];
    if (!c) return false;
    char d = a[i];
    if (c >= 'A' && c <= 'Z') c = OLECHAR(c - 'A' + 'a');
    if (d >= 'A' && d <= 'Z') d = char(d - 'A' + 'a');
    if (c != OLECHAR(static_cast<unsigned char>(d))) return false;
  }
  return b[i] == 0;
}

class TypeInfo : public Object<ITypeInfo> {
public:
  explicit TypeInfo(const InterfaceDesc& desc) : desc_(desc) {}

  // Descriptions carry names and documentation only.
  HRESULT QUORVEL_STDCALL GetTypeAttr(void**) override { return E_NOTIMPL; }
  HRESULT QUORVEL_STDCALL GetTypeComp(IUnknown**) override { return E_NOTIMPL; }
  HRESULT QUORVEL_STDCALL GetFuncDesc(UINT, void**) override { return E_NOTIMPL; }
  HRESULT QUORVEL_STDCALL GetVarDesc(UINT, void**) override { return E_NOTIMPL; }
  HRESULT QUORVEL_STDCALL GetRefTypeOfImplType(UINT, DWORD*) override { return E_NOTIMPL; }
  HRESULT QUORVEL_STDCALL GetImplTypeFlags(UINT, INT*) override { return E_NOTIMPL; }
  HRESULT QUORVEL_STDCALL Invoke(void*, MEMBERID, WORD, void*, void*, void*, UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT QUORVEL_STDCALL GetDllEntry(MEMBERID, INT, BSTR*, BSTR*, WORD*) override {
    return E_NOTIMPL;
  }
  HRESULT QUORVEL_STDCALL GetRefTypeInfo(DWORD, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT QUORVEL_STDCALL AddressOfMember(MEMBERID, INT, void**) override { return E_NOTIMPL; }
  HRESULT QUORVEL_STDCALL CreateInstance(IUnknown*, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT QUORVEL_STDCALL GetMops(MEMBERID, BSTR*) override { return E_NOTIMPL; }
  HRESULT QUORVEL_STDCALL GetContainingTypeLib(IUnknown**, UINT*) override { return E_NOTIMPL; }
  void QUORVEL_STDCALL ReleaseTypeAttr(void*) override {}
  void QUORVEL_STDCALL ReleaseFuncDesc(void*) override {}
  void QUORVEL_STDCALL ReleaseVarDesc(void*) override {}

  HRESULT QUORVEL_STDCALL GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) override {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    const MemberDesc* member = nullptr;
    for (const MemberDesc& m : desc_.members)
      if (sameName(m.name, names[0]) && !member) member = &m;
    if (!member) return DISP_E_UNKNOWNNAME;
    ids[0] = member->id;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < count; ++i) {
      for (size_t p = 0; p < member->params.size(); ++p)
        if (sameName(member->params[p].name, names[i])) ids[i] = DISPID(p);
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }

  HRESULT QUORVEL_STDCALL GetNames(MEMBERID memid, BSTR* names, UINT max, UINT* count) override {
    if (!names || !count) return E_INVALIDARG;
    *count = 0;
    for (const MemberDesc& m : desc_.members) {
      if (m.id != memid) continue;
      std::vector<std::string> all{m.name};
      for (const ParamDesc& p : m.params) all.push_back(p.name);
      for (size_t i = 0; i < all.size() && *count < max; ++i) names[(*count)++] = bstrFromUtf8(all[i]);
      return S_OK;
    }
    return TYPE_E_ELEMENTNOTFOUND;
  }

  HRESULT QUORVEL_STDCALL GetDocumentation(MEMBERID memid, BSTR* name, BSTR* doc, DWORD* context,
                                           BSTR* helpFile) override {
    const std::string* n = nullptr;
    const std::string* h = nullptr;
    if (memid == MEMBERID_NIL) {
      n = &desc_.name;
      h = &desc_.help;
    } else {
      for (const MemberDesc& m : desc_.members)
        if (m.id == memid && !n) {
          n = &m.name;
          h = &m.help;
        }
    }
    if (!n) return TYPE_E_ELEMENTNOTFOUND;
    if (name) *name = bstrFromUtf8(*n);
    if (doc) *doc = bstrFromUtf8(*h);
    if (context) *context = 0;
    if (helpFile) *helpFile = nullptr;
    return S_OK;
  }

  static constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = HRESULT(0x8002802B);

private:
  const InterfaceDesc& desc_;
};

// Moves the thread's error object into EXCEPINFO.
void fillExcepInfo(EXCEPINFO* info, HRESULT hr, const std::string& source) {
  *info = EXCEPINFO{};
  info->scode = hr;
  ComPtr<IErrorInfo> error;
  if (GetErrorInfo(0, error.put()) == S_OK && error) {
    error->GetSource(&info->bstrSource);
    error->GetDescription(&info->bstrDescription);
  } else {
    info->bstrSource = bstrFromUtf8(source);
    info->bstrDescription = bstrFromUtf8(hresultText(hr));
  }
}

} // namespace

Dispatcher::Dispatcher(const InterfaceDesc& desc) : desc_(desc), source_(desc.name) {}

Dispatcher::~Dispatcher() = default;

void Dispatcher::bind(std::string_view name, MemberKind kind, DispHandler handler) {
  std::u16string wide(name.begin(), name.end());
  for (const MemberDesc& m : desc_.members)
    if (m.kind == kind && sameName(m.name, wide.c_str())) {
      handlers_[&m] = std::move(handler);
      return;
    }
  throw std::logic_error("no member " + std::string(name) + " in " + desc_.name);
}

HRESULT Dispatcher::GetTypeInfoCount(UINT* pctinfo) {
  if (!pctinfo) return E_INVALIDARG;
  *pctinfo = 1;
  return S_OK;
}

HRESULT Dispatcher::GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) {
  if (!ppTInfo) return E_INVALIDARG;
  *ppTInfo = nullptr;
  if (iTInfo != 0) return DISP_E_BADINDEX;
  ComPtr<ITypeInfo> info(new TypeInfo(desc_));
  *ppTInfo = info.detach();
  return S_OK;
}

HRESULT Dispatcher::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID,
                                  DISPID* rgDispId) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  TypeInfo info(desc_);
  return info.GetIDsOfNames(rgszNames, cNames, rgDispId);
}

const MemberDesc* Dispatcher::findMember(DISPID id, WORD flags) const {
  if (flags & DISPATCH_PROPERTYPUTREF) flags |= DISPATCH_PROPERTYPUT;
  for (const MemberDesc& m : desc_.members)
    if (m.id == id && (WORD(m.kind) & flags)) return &m;
  return nullptr;
}

HRESULT Dispatcher::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags,
                           DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                           UINT* puArgErr) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  const DISPPARAMS& dp = pDispParams ? *pDispParams : none;
  if (dp.cNamedArgs > dp.cArgs || (dp.cArgs && !dp.rgvarg) || (dp.cNamedArgs && !dp.rgdispidNamedArgs))
    return E_INVALIDARG;
  const MemberDesc* member = findMember(dispIdMember, wFlags);
  if (!member) return DISP_E_MEMBERNOTFOUND;
  auto handler = handlers_.find(member);
  if (handler == handlers_.end()) return E_NOTIMPL;

  // Where each declared parameter's value sits in rgvarg (-1: not given).
  const size_t count = member->params.size();
  const UINT positional = dp.cArgs - dp.cNamedArgs;
  if (positional > count) return DISP_E_BADPARAMCOUNT;
  std::vector<long> source(count, -1);
  for (UINT i = 0; i < positional; ++i) source[i] = long(dp.cArgs - 1 - i);
  for (UINT j = 0; j < dp.cNamedArgs; ++j) {
    DISPID named = dp.rgdispidNamedArgs[j];
    if (named == DISPID_PROPERTYPUT && member->kind == MemberKind::PropertyPut && count)
      named = DISPID(count - 1);
    if (named < 0 || size_t(named) >= count || source[size_t(named)] != -1) {
      if (puArgErr) *puArgErr = j;
      return DISP_E_PARAMNOTFOUND;
    }
    source[size_t(named)] = long(j);
  }

  std::vector<Variant> values(count);
  for (size_t p = 0; p < count; ++p) {
    const ParamDesc& param = member->params[p];
    if (source[p] < 0) {
      if (!param.optional) return DISP_E_BADPARAMCOUNT;
      values[p] = Variant::missing();
      continue;
    }
    const VARIANT& given = dp.rgvarg[source[p]];
    bool isMissing = given.vt == VT_ERROR && given.scode == DISP_E_PARAMNOTFOUND;
    HRESULT hr = S_OK;
    if (isMissing && param.type != VT_VARIANT && param.type != VT_ERROR) {
      if (!param.optional) hr = DISP_E_PARAMNOTOPTIONAL;
      else values[p] = Variant::missing();
    } else if (isMissing && !param.optional) {
      hr = DISP_E_PARAMNOTOPTIONAL;
    } else if (param.type == VT_VARIANT) {
      hr = VariantCopy(&values[p], &given);
    } else if (param.type & VT_BYREF) {
      hr = given.vt == param.type ? VariantCopy(&values[p], &given) : DISP_E_TYPEMISMATCH;
    } else {
      hr = VariantChangeType(&values[p], &given, 0, param.type);
      if (hr == DISP_E_OVERFLOW || hr == DISP_E_BADVARTYPE) hr = DISP_E_TYPEMISMATCH;
    }
    if (FAILED(hr)) {
      if (puArgErr) *puArgErr = UINT(source[p]);
      return hr;
    }
  }

  DispArgs args(std::move(values));
  Variant result;
  HRESULT hr;
  SetErrorInfo(0, nullptr); // only this call's failure may reach EXCEPINFO
  try {
    hr = handler->second(args, &result);
  } catch (...) {
    hr = handleSafeCallException(source_, desc_.iid);
  }
  if (FAILED(hr)) {
    if (!pExcepInfo) return hr;
    fillExcepInfo(pExcepInfo, hr, source_);
    return DISP_E_EXCEPTION;
  }
  if (pVarResult) {
    VariantInit(pVarResult);
    *pVarResult = result.detach();
  }
  return hr;
}

} // namespace quorvel::com
