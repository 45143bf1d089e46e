// The click sink of a command-bar button: forwards Click to a callback.
#include "addin/EventSink.h"

#include "office/officeids.h"

namespace quorvel {

using namespace com;

namespace {
constexpr DISPID kClick = 1;
} // namespace

TEventSink::TEventSink(TClickProc ClickProc) : FClickProc(std::move(ClickProc)) {}

HRESULT TEventSink::QueryInterface(REFIID riid, void** ppvObject) {
  if (!ppvObject)
    return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == office::DIID_CommandBarButtonEvents) {
    *ppvObject = static_cast<IDispatch*>(this);
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

ULONG TEventSink::AddRef() { return 2; }

ULONG TEventSink::Release() { return 1; }

HRESULT TEventSink::GetTypeInfoCount(UINT* pctinfo) {
  if (pctinfo)
    *pctinfo = 0;
  return S_OK;
}

HRESULT TEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
  if (ppTInfo)
    *ppTInfo = nullptr;
  return E_NOTIMPL;
}

HRESULT TEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT TEventSink::Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams,
                           VARIANT*, EXCEPINFO*, UINT*) {
  // Click lists its arguments last first: [1] the button, [0] the cancel
  // flag. A block too short to hold both is not a Click the host raised.
  if (dispIdMember != kClick || !pDispParams || !pDispParams->rgvarg || pDispParams->cArgs < 2)
    return S_OK;
  const VARIANT& ctrl = pDispParams->rgvarg[1];
  const VARIANT& cancel = pDispParams->rgvarg[0];
  IDispatch* button = ctrl.vt == VT_DISPATCH ? ctrl.pdispVal : nullptr;
  VARIANT_BOOL* flag = cancel.vt == (VT_BYREF | VT_BOOL) ? cancel.pboolVal : nullptr;
  if (FClickProc)
    FClickProc(button, flag);
  return S_OK;
}

} // namespace quorvel
