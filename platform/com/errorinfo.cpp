// ComError, error info from texts and the conversion of exceptions into
// failure results, shared by every platform.
#include "com/errorinfo.h"

#include "com/oleauto.h"

#include <new>

namespace quorvel::com {

HRESULT setErrorInfo(HRESULT hr, const std::string& description, const std::string& source,
                     REFGUID iid) {
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.put()))) return hr;
  std::u16string d = bstrToU16(Bstr(description).get());
  std::u16string s = bstrToU16(Bstr(source).get());
  create->SetGUID(iid);
  create->SetDescription(d.data());
  create->SetSource(s.data());
  ComPtr<IErrorInfo> info = create.query<IErrorInfo>();
  SetErrorInfo(0, info.get());
  return hr;
}

ComError::ComError(HRESULT hr, const std::string& description, const std::string& source)
    : std::runtime_error(description.empty() ? hresultText(hr) : description), hr_(hr),
      description_(description), source_(source) {}

ComError::~ComError() = default;

void checkResult(HRESULT hr) {
  if (SUCCEEDED(hr)) return;
  ComPtr<IErrorInfo> info;
  std::string description, source;
  if (GetErrorInfo(0, info.put()) == S_OK && info) {
    Bstr d, s;
    info->GetDescription(d.put());
    info->GetSource(s.put());
    description = d.utf8();
    source = s.utf8();
  }
  throw ComError(hr, description, source);
}

HRESULT handleSafeCallException(const std::string& source, REFGUID iid) {
  try {
    throw;
  } catch (const ComError& e) {
    return setErrorInfo(e.hr(), e.what(), source, iid);
  } catch (const std::bad_alloc& e) {
    return setErrorInfo(E_OUTOFMEMORY, e.what(), source, iid);
  } catch (const std::exception& e) {
    return setErrorInfo(E_UNEXPECTED, e.what(), source, iid);
  } catch (...) {
    return setErrorInfo(E_UNEXPECTED, hresultText(E_UNEXPECTED), source, iid);
  }
}

} // namespace quorvel::com
