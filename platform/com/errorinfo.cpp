// Error objects, the per-thread error slot, ComError and the conversion of
// exceptions into failure results.
#include "com/errorinfo.h"

#include "com/oleauto.h"

#include <new>

namespace quorvel::com {

namespace {

class ErrorObject : public Object<IErrorInfo, ICreateErrorInfo> {
public:
  HRESULT GetGUID(GUID* pGUID) override { return pGUID ? (*pGUID = guid_, S_OK) : E_INVALIDARG; }
  HRESULT GetSource(BSTR* p) override { return give(source_, p); }
  HRESULT GetDescription(BSTR* p) override { return give(description_, p); }
  HRESULT GetHelpFile(BSTR* p) override { return give(helpFile_, p); }
  HRESULT GetHelpContext(DWORD* p) override { return p ? (*p = helpContext_, S_OK) : E_INVALIDARG; }

  HRESULT SetGUID(REFGUID rguid) override {
    guid_ = rguid;
    return S_OK;
  }
  HRESULT SetSource(LPOLESTR s) override { return take(s, source_); }
  HRESULT SetDescription(LPOLESTR s) override { return take(s, description_); }
  HRESULT SetHelpFile(LPOLESTR s) override { return take(s, helpFile_); }
  HRESULT SetHelpContext(DWORD c) override {
    helpContext_ = c;
    return S_OK;
  }

private:
  static HRESULT give(const std::u16string& s, BSTR* out) {
    if (!out) return E_INVALIDARG;
    *out = SysAllocStringLen(s.data(), UINT(s.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  static HRESULT take(LPOLESTR s, std::u16string& into) {
    into = s ? std::u16string(s) : std::u16string();
    return S_OK;
  }

  GUID guid_{};
  std::u16string source_, description_, helpFile_;
  DWORD helpContext_ = 0;
};

// The error object of this thread; released when the thread ends.
thread_local ComPtr<IErrorInfo> tlsError;

} // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
  if (!pperrinfo) return E_INVALIDARG;
  *pperrinfo = nullptr;
  auto* obj = new (std::nothrow) ErrorObject;
  if (!obj) return E_OUTOFMEMORY;
  return obj->QueryInterface(IID_ICreateErrorInfo, reinterpret_cast<void**>(pperrinfo));
}

HRESULT SetErrorInfo(ULONG, IErrorInfo* perrinfo) {
  tlsError = perrinfo;
  return S_OK;
}

HRESULT GetErrorInfo(ULONG, IErrorInfo** pperrinfo) {
  if (!pperrinfo) return E_INVALIDARG;
  *pperrinfo = nullptr;
  if (!tlsError) return S_FALSE;
  *pperrinfo = tlsError.detach();
  return S_OK;
}

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
