// Error objects and the per-thread error slot, kept by this layer itself.
#include "com/errorinfo.h"

#include "com/oleauto.h"

#include <new>

namespace quorvel::com {

namespace {

class ErrorObject : public Object<IErrorInfo, ICreateErrorInfo> {
public:
  HRESULT QUORVEL_STDCALL GetGUID(GUID* pGUID) override {
    return pGUID ? (*pGUID = guid_, S_OK) : E_INVALIDARG;
  }
  HRESULT QUORVEL_STDCALL GetSource(BSTR* p) override { return give(source_, p); }
  HRESULT QUORVEL_STDCALL GetDescription(BSTR* p) override { return give(description_, p); }
  HRESULT QUORVEL_STDCALL GetHelpFile(BSTR* p) override { return give(helpFile_, p); }
  HRESULT QUORVEL_STDCALL GetHelpContext(DWORD* p) override {
    return p ? (*p = helpContext_, S_OK) : E_INVALIDARG;
  }

  HRESULT QUORVEL_STDCALL SetGUID(REFGUID rguid) override {
    guid_ = rguid;
    return S_OK;
  }
  HRESULT QUORVEL_STDCALL SetSource(LPOLESTR s) override { return take(s, source_); }
  HRESULT QUORVEL_STDCALL SetDescription(LPOLESTR s) override { return take(s, description_); }
  HRESULT QUORVEL_STDCALL SetHelpFile(LPOLESTR s) override { return take(s, helpFile_); }
  HRESULT QUORVEL_STDCALL SetHelpContext(DWORD c) override {
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

} // namespace quorvel::com
