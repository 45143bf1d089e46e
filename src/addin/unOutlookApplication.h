// TOutlookApplication: a small client of Outlook's application object that
// receives its application events.
#pragma once

#include "com/dispatch.h"

#include <functional>

namespace quorvel {

class TOutlookApplication;

/// An application event handler: the connector and the event's first argument.
using TOutlookEvent = std::function<void(TOutlookApplication* Sender, const com::Variant& Item)>;

/// Attaches to Outlook's application object (the running one, else a new
/// one) and subscribes to its ApplicationEvents.
class TOutlookApplication {
public:
  TOutlookApplication();
  /// Disconnects when still connected; errors are swallowed here.
  ~TOutlookApplication();
  TOutlookApplication(const TOutlookApplication&) = delete;
  TOutlookApplication& operator=(const TOutlookApplication&) = delete;

  /// When not connected: takes the running Outlook from the running-object
  /// table, else creates one; subscribes to ApplicationEvents and keeps the
  /// object as _Application. \p HostOutlook is the host's application
  /// object when the host is Outlook itself: an Outlook created then is the
  /// user's, never one this connector started, and when neither the look-up
  /// nor the creation succeeds \p HostOutlook is used. Throws
  /// com::ComError on failure.
  void Connect(com::IDispatch* HostOutlook = nullptr);
  /// When connected: ends the subscription; when AutoQuit is set and this
  /// connector started Outlook itself, asks it to Quit; drops the interface.
  /// A failing Quit is thrown after the interface was dropped.
  void Disconnect();

  /// Outlook's _Application while connected, else empty.
  com::ComPtr<com::IDispatch> DefaultInterface() const { return FIntf; }
  bool connected() const { return static_cast<bool>(FIntf); }
  /// True when Connect had to start Outlook (none was running).
  bool startedServer() const { return FStarted; }

  bool AutoQuit = false;
  TOutlookEvent OnItemSend;        ///< 0xF002
  TOutlookEvent OnNewMail;         ///< 0xF003
  TOutlookEvent OnReminder;        ///< 0xF004
  TOutlookEvent OnOptionsPagesAdd; ///< 0xF005
  TOutlookEvent OnStartup;         ///< 0xF006
  TOutlookEvent OnQuit;            ///< 0xF007

  /// Hands one event to its handler. The events sink calls this and gives
  /// Outlook an error the handler throws as a failure result instead.
  void InvokeEvent(com::DISPID id, const com::Variant& firstArg);

private:
  com::ComPtr<com::IUnknown> findServer(com::IDispatch* hostOutlook, bool& started);

  com::ComPtr<com::IDispatch> FIntf;
  com::ComPtr<com::IDispatch> FSink;
  com::DWORD FCookie = 0;
  bool FStarted = false;
};

} // namespace quorvel
