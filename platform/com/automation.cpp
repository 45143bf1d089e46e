// Late binding: members of an IDispatch by name, failures thrown as ComError.
#include "com/automation.h"

#include "util/unTextCodec.h"

#include <algorithm>

namespace quorvel::com {

DISPID dispIdOf(IDispatch* obj, std::string_view name) {
  if (!obj) throw ComError(E_POINTER, "No object to look \"" + std::string(name) + "\" up in");
  std::u16string wide = utf8ToUtf16(std::string(name));
  LPOLESTR names[] = {wide.data()};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = obj->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) {
    SetErrorInfo(0, nullptr);
    throw ComError(hr, hresultText(hr) + ": \"" + std::string(name) + "\"");
  }
  return id;
}

Variant invoke(IDispatch* obj, DISPID id, WORD flags, const std::vector<Variant>& args) {
  if (!obj) throw ComError(E_POINTER);
  // DISPPARAMS wants the last argument first; the variants stay owned by args.
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID putId = DISPID_PROPERTYPUT;
  bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
  DISPPARAMS params{reversed.data(), put ? &putId : nullptr, UINT(reversed.size()),
                    put && !reversed.empty() ? 1u : 0u};
  Variant result;
  EXCEPINFO info{};
  UINT argErr = 0;
  SetErrorInfo(0, nullptr);
  HRESULT hr = obj->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                           put ? nullptr : result.put(), &info, &argErr);
  if (hr == DISP_E_EXCEPTION) {
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    HRESULT code = info.scode ? info.scode : HRESULT(0x80040000u | info.wCode);
    if (!info.scode && !info.wCode) code = DISP_E_EXCEPTION;
    std::string description = bstrToUtf8(info.bstrDescription);
    std::string source = bstrToUtf8(info.bstrSource);
    clearExcepInfo(&info);
    throw ComError(code, description, source);
  }
  clearExcepInfo(&info);
  checkResult(hr);
  return result;
}

Variant getProperty(IDispatch* obj, std::string_view name, std::initializer_list<Variant> args) {
  DISPID id = dispIdOf(obj, name);
  return invoke(obj, id, DISPATCH_PROPERTYGET | DISPATCH_METHOD, std::vector<Variant>(args));
}

Variant callMethod(IDispatch* obj, std::string_view name, std::initializer_list<Variant> args) {
  DISPID id = dispIdOf(obj, name);
  return invoke(obj, id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, std::vector<Variant>(args));
}

void putProperty(IDispatch* obj, std::string_view name, const Variant& value,
                 std::initializer_list<Variant> indices) {
  DISPID id = dispIdOf(obj, name);
  std::vector<Variant> args(indices);
  args.push_back(value);
  invoke(obj, id, DISPATCH_PROPERTYPUT, args);
}

} // namespace quorvel::com
