// The add-in object T that Office hosts load, its class factory, and the
// process-wide state they share.
#pragma once

#include "addin/EventSink.h"
#include "addin/VaskAddin_TLB.h"
#include "com/errorinfo.h"
#include "com/objbase.h"

#include <bitset>
#include <cstdint>
#include <memory>
#include <string>

namespace quorvel {

class TClipboardFace;
class TOutlookApplication;

/// The Office hosts, in the order of AppNames.
enum TOfficeHostApp : uint8_t {
  ohaExcel = 0,
  ohaWord = 1,
  ohaOutlook = 2,
  ohaPowerPoint = 3,
  ohaAccess = 4,
};
/// A set of hosts, indexed by TOfficeHostApp.
using TOfficeHostApps = std::bitset<5>;

/// Host names as registry paths use them, indexed by TOfficeHostApp.
extern const char* const AppNames[5];

/// The programmatic id: the type library's name, ".", the class's name.
inline constexpr char kVaskAddinProgId[] = "VaskAddin.VaskAddin_";
/// The message box text for a host the add-in does not support.
inline constexpr char kUnsupportedHostText[] = "This Add-in only supports Word , Outlook and Excel.";

/// The host's application object while an add-in is connected (VT_EMPTY
/// otherwise); the same value as T's Application.
extern com::VARIANT GApp;
/// The Outlook application connector of the connected add-in, or null.
extern TOutlookApplication* OutlApp;

/// The add-in object: IDTExtensibility2 and IVaskAddin_ through one table,
/// IDispatch served from the type library's description. Every operation
/// turns an error raised inside into a failure result with error info
/// (description: the error's message; source: the programmatic id).
class T final : public com::DispatchObject<IVaskAddin_, com::ISupportErrorInfo> {
public:
  T();

  com::HRESULT QUORVEL_STDCALL OnConnection(com::IDispatch* Application,
                                            ext_ConnectMode ConnectMode, com::IDispatch* AddInInst,
                                            com::SAFEARRAY** custom) override;
  com::HRESULT QUORVEL_STDCALL OnDisconnection(ext_DisconnectMode RemoveMode,
                                               com::SAFEARRAY** custom) override;
  com::HRESULT QUORVEL_STDCALL OnAddInsUpdate(com::SAFEARRAY** custom) override;
  com::HRESULT QUORVEL_STDCALL OnStartupComplete(com::SAFEARRAY** custom) override;
  com::HRESULT QUORVEL_STDCALL OnBeginShutdown(com::SAFEARRAY** custom) override;
  com::HRESULT QUORVEL_STDCALL InterfaceSupportsErrorInfo(com::REFIID riid) override;

  /// Both buttons' click callback: shows the composer and brings it to the
  /// front; reads or changes neither argument.
  void CommandBarButtonClick(com::IDispatch* Ctrl, com::VARIANT_BOOL* CancelDefault);
  /// The connector's OnReminder handler: texts the notification number
  /// about an appointment or task whose reminder fired.
  void OutlookApplicationReminder(TOutlookApplication* Sender, const com::Variant& Item);

  /// The host's application object (VT_EMPTY while not connected).
  const com::Variant& Application() const { return FApplication; }
  TOfficeHostApp HostApp() const { return FHostApp; }

private:
  ~T() override;

  void connect(com::IDispatch* Application, ext_ConnectMode ConnectMode, com::SAFEARRAY** custom);
  void startupComplete();
  void findOrAddMenuEntry(const com::ComPtr<com::IDispatch>& bars);
  void findOrAddToolbarButton(const com::ComPtr<com::IDispatch>& bars);
  /// Face, texts and click sink of one button; the sink is returned.
  std::unique_ptr<TEventSink> equipButton(const com::ComPtr<com::IDispatch>& button,
                                          const TClipboardFace& face, int32_t& cookie);
  void dressButton(const com::ComPtr<com::IDispatch>& button);
  std::unique_ptr<TEventSink> subscribe(const com::ComPtr<com::IDispatch>& button, int32_t& cookie);
  void beginShutdown();
  void disconnect(ext_DisconnectMode RemoveMode, com::SAFEARRAY** custom);
  com::HRESULT unsubscribe(const com::ComPtr<com::IDispatch>& button, int32_t& cookie,
                           std::unique_ptr<TEventSink>& sink);
  void dropSinks();
  void notifyAppointment(const com::ComPtr<com::IDispatch>& item);
  void notifyTask(const com::ComPtr<com::IDispatch>& item);

  com::Variant FApplication;
  com::ComPtr<com::IDispatch> FButton;     ///< "SMS" in File, New
  com::ComPtr<com::IDispatch> FButton2;    ///< "SMS" on the add-in's toolbar
  com::ComPtr<com::IDispatch> FCommandBar; ///< the toolbar "KAVRI SMS"
  com::ComPtr<com::IDispatch> MainMenu;
  com::ComPtr<com::IDispatch> Filemenu;
  com::ComPtr<com::IDispatch> NewMenu;
  int32_t FCookie = 0;
  int32_t FCookie2 = 0;
  std::unique_ptr<TEventSink> FEventSink;
  std::unique_ptr<TEventSink> FEventSink2;
  TOfficeHostApp FHostApp = ohaExcel;
  bool FOwnsOutlApp = false; // OutlApp was made by this object
};

/// The class factory of VaskAddin_, which also writes and removes the
/// library's registration.
class TOfficeAddInFactory final : public com::ClassFactory {
public:
  TOfficeAddInFactory(const com::CLSID& ClassID, TOfficeHostApps SupportedApps,
                      std::string FriendlyName, int32_t LoadBehavior);

  const com::CLSID& ClassID() const { return FClassID; }
  /// The type library's name, ".", the class's name.
  std::string GetProgID() const;
  /// The class's documentation string from the type library (empty here).
  std::string Description() const;
  /// Writes (\p Register) or removes the COM class keys, then each supported
  /// host's Office add-in key. Throws on a key that cannot be written.
  void UpdateRegistry(bool Register);
  /// Writes the add-in key \p path under HKEY_CURRENT_USER.
  void RegisterAddIn(const std::string& path);
  /// Removes the add-in key \p path under HKEY_CURRENT_USER with every
  /// value and subkey; nothing when it is absent.
  void ReallyDeleteRegKey(const std::string& path);

private:
  ~TOfficeAddInFactory() override = default;
  void registerClass();
  void unregisterClass();

  com::CLSID FClassID;
  std::string FFriendlyName;
  int32_t FLoadBehavior;
  TOfficeHostApps FSupportedApps;
};

} // namespace quorvel
