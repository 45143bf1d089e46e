// The add-in object T: its life, its dispatch table and the click callback.
#include "addin/Main.h"

#include "addin/unComposerHost.h"
#include "addin/unLibMain.h"
#include "addin/unOutlookApplication.h"
#include "com/connpoint.h"

namespace quorvel {

using namespace com;

const char* const AppNames[5] = {"Excel", "Word", "Outlook", "PowerPoint", "Access"};

constinit VARIANT GApp{};
constinit TOutlookApplication* OutlApp = nullptr;

T::T() : DispatchObject(VaskAddinInterface()) {
  objectCreated();
  dispatcher().setSource(kVaskAddinProgId);
  Dispatcher& d = dispatcher();
  d.bind("OnConnection", [this](DispArgs& a, VARIANT*) {
    return OnConnection(a.toDispatch(0).get(), ext_ConnectMode(a.toInt(1)), a.toDispatch(2).get(),
                        a.arrayRef(3));
  });
  d.bind("OnDisconnection", [this](DispArgs& a, VARIANT*) {
    return OnDisconnection(ext_DisconnectMode(a.toInt(0)), a.arrayRef(1));
  });
  d.bind("OnAddInsUpdate", [this](DispArgs& a, VARIANT*) { return OnAddInsUpdate(a.arrayRef(0)); });
  d.bind("OnStartupComplete",
         [this](DispArgs& a, VARIANT*) { return OnStartupComplete(a.arrayRef(0)); });
  d.bind("OnBeginShutdown", [this](DispArgs& a, VARIANT*) { return OnBeginShutdown(a.arrayRef(0)); });
}

T::~T() {
  // Released without a disconnection: nothing the host holds may point
  // into this object any more.
  dropSinks();
  if (FOwnsOutlApp && OutlApp) {
    delete OutlApp; // disconnects without asking Outlook to quit
    OutlApp = nullptr;
  }
  objectDestroyed();
}

HRESULT T::OnAddInsUpdate(SAFEARRAY**) { return S_OK; }

HRESULT T::InterfaceSupportsErrorInfo(REFIID riid) {
  return riid == IID_IVaskAddin_ || riid == office::IID_IDTExtensibility2 ? S_OK : S_FALSE;
}

void T::CommandBarButtonClick(IDispatch*, VARIANT_BOOL*) { showComposer(); }

HRESULT T::unsubscribe(const ComPtr<IDispatch>& button, int32_t& cookie,
                       std::unique_ptr<TEventSink>& sink) {
  if (cookie == 0)
    return S_OK;
  const HRESULT hr = unadviseSink(button.get(), office::DIID_CommandBarButtonEvents, DWORD(cookie));
  cookie = 0;
  // The host would not let go of the sink and may still call it: it is
  // kept rather than freed.
  if (FAILED(hr))
    TEventSink::keepForHost(std::move(sink));
  return hr;
}

void T::dropSinks() {
  // A sink still subscribed is unsubscribed before it goes, whatever the
  // host answers; one it would not let go of is kept, so that no connection
  // point holds a freed sink.
  unsubscribe(FButton, FCookie, FEventSink);
  unsubscribe(FButton2, FCookie2, FEventSink2);
  FEventSink.reset();
  FEventSink2.reset();
}

} // namespace quorvel
