// The click sink of a command-bar button: forwards Click to a callback.
#include "addin/EventSink.h"

#include "addin/Main.h"
#include "office/officeids.h"

#include <new>
#include <vector>

namespace quorvel {

using namespace com;

namespace {
constexpr DISPID kClick = 1;

// The sinks kept for their hosts: never freed, and reachable from here, so
// held rather than leaked.
std::vector<TEventSink*>& keptSinks() {
  static auto* kept = new std::vector<TEventSink*>;
  return *kept;
}
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
  // Nothing may be thrown into the host, which would end its process.
  try {
    if (FClickProc)
      FClickProc(button, flag);
  } catch (...) {
    return handleSafeCallException(kVaskAddinProgId, office::DIID_CommandBarButtonEvents);
  }
  return S_OK;
}

void TEventSink::keepForHost(std::unique_ptr<TEventSink> sink) noexcept {
  if (!sink)
    return;
  TEventSink* kept = sink.release();
  kept->FClickProc = nullptr;
  try {
    keptSinks().push_back(kept);
  } catch (const std::bad_alloc&) {
    // Unlisted, but alive all the same.
  }
}

} // namespace quorvel
