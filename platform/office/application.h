// The host's application objects: Word, Excel or PowerPoint with their
// command bars, and Outlook's application with its explorer window and its
// application events (Reminder, Quit).
#pragma once

#include "com/connpoint.h"
#include "com/objbase.h"
#include "office/commandbars.h"

#include <functional>
#include <optional>
#include <string>

namespace quorvel::office {

/// The Office programs this host can stand in for.
enum class HostKind { Outlook, Word, Excel, PowerPoint };

/// "Outlook", "Word", "Excel", "PowerPoint".
std::string hostName(HostKind kind);
/// The host named \p name (without regard to case), or nothing.
std::optional<HostKind> hostFromName(const std::string& name);
/// The host's `_Application` interface id.
const IID& applicationIid(HostKind kind);

/// Word's, Excel's or PowerPoint's application object: "Name",
/// "CommandBars", "Version", "Quit"; QueryInterface grants that host's
/// `_Application` (and no other host's).
class HostApplication : public DispatchObject<IDispatch> {
public:
  HostApplication(HostKind kind, ComPtr<CommandBars> bars);
  HostKind kind() const { return kind_; }
  CommandBars* commandBars() const { return bars_.get(); }
  /// Called by "Quit".
  void setQuitHandler(std::function<void()> h) { onQuit_ = std::move(h); }

protected:
  void* queryOther(REFIID riid) override;

private:
  HostKind kind_;
  ComPtr<CommandBars> bars_;
  std::function<void()> onQuit_;
};

/// Outlook's explorer window as the object model shows it: its command bars.
class Explorer : public DispatchObject<IExplorer> {
public:
  explicit Explorer(ComPtr<CommandBars> bars);
  CommandBars* commandBars() const { return bars_.get(); }

private:
  ComPtr<CommandBars> bars_;
};

/// Outlook's application object: "Name" ("Outlook"), "Version",
/// "ActiveExplorer" (Nothing while no explorer window is open), "Quit",
/// and the `ApplicationEvents` connection point.
class OutlookApplication
    : public DispatchObject<IOutlookApplication, IConnectionPointContainer> {
public:
  OutlookApplication();

  /// The explorer window whose command bars add-ins reach; null: none.
  void setExplorer(ComPtr<Explorer> explorer) { explorer_ = std::move(explorer); }
  Explorer* explorer() const { return explorer_.get(); }

  /// Raises Reminder (0xF004) with \p item to every advised sink.
  HRESULT raiseReminder(IDispatch* item);
  /// Raises any application event with \p args (first first).
  HRESULT raiseEvent(DISPID id, const std::vector<Variant>& args = {});
  size_t eventSinkCount() const { return events_.sinkCount(); }

  /// Called by "Quit" after the Quit event was raised.
  void setQuitHandler(std::function<void()> h) { onQuit_ = std::move(h); }

  /// Makes this the running Outlook application (running-object table).
  HRESULT registerRunning();
  /// Takes it out of the running-object table again.
  void revokeRunning();
  bool isRunning() const { return rotCookie_ != 0; }

  HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
  HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

  IDispatch* dispatch() { return static_cast<IOutlookApplication*>(this); }

protected:
  ~OutlookApplication() override;

private:
  ComPtr<Explorer> explorer_;
  std::function<void()> onQuit_;
  DWORD rotCookie_ = 0;
  ConnectionPoint events_{*this, DIID_ApplicationEvents};
};

/// A class object for Outlook's application: each creation hands out the
/// object \p current returns (Outlook runs once per session), or fails with
/// E_FAIL when it gives null. Register it with CoRegisterClassObject.
ComPtr<IClassFactory> outlookClassFactory(std::function<ComPtr<OutlookApplication>()> current);

} // namespace quorvel::office
