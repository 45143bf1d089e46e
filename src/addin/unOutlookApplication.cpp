// TOutlookApplication: a small client of Outlook's application object that
// receives its application events.
#include "addin/unOutlookApplication.h"

#include "addin/Main.h"
#include "office/officeids.h"
#include "com/automation.h"
#include "com/connpoint.h"
#include "com/objbase.h"

namespace quorvel {

using namespace com;

namespace {

/// The events sink subscribed at Outlook's ApplicationEvents point; it
/// forwards to its connector until the connector lets go of it.
class TApplicationEventsSink : public Object<IDispatch> {
public:
  explicit TApplicationEventsSink(TOutlookApplication* owner) : owner_(owner) {}
  void detach() { owner_ = nullptr; }

  HRESULT QUORVEL_STDCALL GetTypeInfoCount(UINT* pctinfo) override {
    if (pctinfo)
      *pctinfo = 0;
    return S_OK;
  }
  HRESULT QUORVEL_STDCALL GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
    if (ppTInfo)
      *ppTInfo = nullptr;
    return E_NOTIMPL;
  }
  HRESULT QUORVEL_STDCALL GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT QUORVEL_STDCALL Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                 EXCEPINFO*, UINT*) override {
    if (!owner_)
      return S_OK;
    // Nothing may be thrown into Outlook, which would end its process.
    try {
      Variant first;
      if (params && params->rgvarg && params->cArgs > 0)
        first = Variant(params->rgvarg[params->cArgs - 1]);
      owner_->InvokeEvent(id, first);
    } catch (...) {
      return handleSafeCallException(kVaskAddinProgId, office::DIID_ApplicationEvents);
    }
    return S_OK;
  }

protected:
  void* queryOther(REFIID riid) override {
    return riid == office::DIID_ApplicationEvents ? static_cast<IDispatch*>(this) : nullptr;
  }

private:
  TOutlookApplication* owner_;
};

} // namespace

TOutlookApplication::TOutlookApplication() = default;

TOutlookApplication::~TOutlookApplication() {
  try {
    AutoQuit = false;
    Disconnect();
  } catch (...) {
  }
}

ComPtr<IUnknown> TOutlookApplication::findServer(IDispatch* hostOutlook, bool& started) {
  ComPtr<IUnknown> server;
  started = false;
  if (SUCCEEDED(GetActiveObject(office::CLSID_OutlookApplication, nullptr, server.put())))
    return server;
  const HRESULT hr = CoCreateInstance(office::CLSID_OutlookApplication, nullptr, CLSCTX_SERVER,
                                      IID_IUnknown, server.putVoid());
  // During Outlook's own start-up the table may not hold it yet, and the
  // creation hands out the running Outlook: the user's, which must never
  // be asked to quit.
  if (SUCCEEDED(hr)) {
    started = !hostOutlook;
    return server;
  }
  if (!hostOutlook)
    checkResult(hr);
  return ComPtr<IUnknown>(hostOutlook);
}

void TOutlookApplication::Connect(IDispatch* hostOutlook) {
  if (FIntf)
    return;
  bool started = false;
  ComPtr<IUnknown> server = findServer(hostOutlook, started);
  ComPtr<IDispatch> app = server.query<IDispatch>(office::IID_OutlookApplication);
  if (!app)
    throw ComError(E_NOINTERFACE, "The Outlook application object has no _Application interface");
  auto* sink = new TApplicationEventsSink(this);
  ComPtr<IDispatch> hold(sink);
  DWORD cookie = 0;
  const HRESULT hr = adviseSink(app.get(), office::DIID_ApplicationEvents, sink, &cookie);
  if (FAILED(hr)) {
    sink->detach();
    checkResult(hr);
  }
  FSink = std::move(hold);
  FCookie = cookie;
  FStarted = started;
  FIntf = std::move(app);
}

void TOutlookApplication::Disconnect() {
  if (!FIntf)
    return;
  ComPtr<IDispatch> app = std::move(FIntf);
  FIntf = nullptr;
  unadviseSink(app.get(), office::DIID_ApplicationEvents, FCookie);
  if (FSink)
    static_cast<TApplicationEventsSink*>(FSink.get())->detach();
  FSink = nullptr;
  FCookie = 0;
  // An Outlook the user already had running is none of the add-in's
  // business to close; only one it started is asked to go.
  if (AutoQuit && FStarted)
    callMethod(app.get(), "Quit");
  FStarted = false;
}

void TOutlookApplication::InvokeEvent(DISPID id, const Variant& firstArg) {
  const TOutlookEvent* handler = nullptr;
  switch (static_cast<uint32_t>(id)) {
  case 0xF002: handler = &OnItemSend; break;
  case 0xF003: handler = &OnNewMail; break;
  case 0xF004: handler = &OnReminder; break;
  case 0xF005: handler = &OnOptionsPagesAdd; break;
  case 0xF006: handler = &OnStartup; break;
  case 0xF007: handler = &OnQuit; break;
  default: return;
  }
  if (*handler)
    (*handler)(this, firstArg);
}

} // namespace quorvel
