// Connecting and disconnecting the add-in object: host recognition, the
// Outlook connector, the composer window, and shutting down in order.
#include "addin/Main.h"

#include "addin/unComposerHost.h"
#include "addin/unOutlookApplication.h"

#include <stdexcept>
#include <utility>

namespace quorvel {

using namespace com;

namespace {

/// The first of Word, Excel and Outlook whose application interface the
/// host grants; false for any other host.
bool recogniseHost(IDispatch* app, TOfficeHostApp& host) {
  if (!app)
    return false;
  const std::pair<const IID*, TOfficeHostApp> known[] = {
      {&office::IID_WordApplication, ohaWord},
      {&office::IID_ExcelApplication, ohaExcel},
      {&office::IID_OutlookApplication, ohaOutlook}};
  for (const auto& [iid, kind] : known) {
    ComPtr<IUnknown> granted;
    if (SUCCEEDED(app->QueryInterface(*iid, granted.putVoid())) && granted) {
      host = kind;
      return true;
    }
  }
  return false;
}

} // namespace

HRESULT T::OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode, IDispatch*,
                        SAFEARRAY** custom) {
  try {
    connect(Application, ConnectMode, custom);
    return S_OK;
  } catch (...) {
    return handleSafeCallException(kVaskAddinProgId, IID_IVaskAddin_);
  }
}

void T::connect(IDispatch* Application, ext_ConnectMode ConnectMode, SAFEARRAY** custom) {
  if (!recogniseHost(Application, FHostApp)) {
    showAddInError(kUnsupportedHostText);
    throw std::runtime_error("Initialization failed");
  }
  FApplication = Variant(Application);
  checkResult(VariantCopy(&GApp, &FApplication));

  // A connector left by an earlier connection goes before the new one.
  delete std::exchange(OutlApp, nullptr);
  OutlApp = new TOutlookApplication;
  FOwnsOutlApp = true;
  OutlApp->OnReminder = [this](TOutlookApplication* sender, const Variant& item) {
    OutlookApplicationReminder(sender, item);
  };
  OutlApp->AutoQuit = true;
  // Inside Outlook the host's application object is Outlook itself.
  OutlApp->Connect(FHostApp == ohaOutlook ? Application : nullptr);

  if (ConnectMode != ext_cm_Startup)
    checkResult(OnStartupComplete(custom));
  createComposer();
}

HRESULT T::OnBeginShutdown(SAFEARRAY**) {
  try {
    beginShutdown();
    return S_OK;
  } catch (...) {
    return handleSafeCallException(kVaskAddinProgId, IID_IVaskAddin_);
  }
}

void T::beginShutdown() {
  destroyComposer();
  checkResult(unsubscribe(FButton, FCookie, FEventSink));
  checkResult(unsubscribe(FButton2, FCookie2, FEventSink2));
}

HRESULT T::OnDisconnection(ext_DisconnectMode RemoveMode, SAFEARRAY** custom) {
  try {
    disconnect(RemoveMode, custom);
    return S_OK;
  } catch (...) {
    return handleSafeCallException(kVaskAddinProgId, IID_IVaskAddin_);
  }
}

void T::disconnect(ext_DisconnectMode RemoveMode, SAFEARRAY** custom) {
  if (OutlApp) {
    // Released once disconnected, even when Outlook refuses to quit.
    std::unique_ptr<TOutlookApplication> connector(std::exchange(OutlApp, nullptr));
    FOwnsOutlApp = false;
    connector->Disconnect();
  }
  if (RemoveMode != ext_dm_HostShutdown)
    checkResult(OnBeginShutdown(custom));
  dropSinks();
  FButton = nullptr;
  FButton2 = nullptr;
  FCommandBar = nullptr;
  FApplication = Variant();
  VariantClear(&GApp);
}

} // namespace quorvel
