// One run of the host program without its window: the command bars, the
// application objects and their registration, the add-ins, and reminders
// from the calendar raised through Outlook's application events.
#pragma once

#include "office/addins.h"
#include "office/application.h"
#include "office/reminderschedule.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::office {

/// How the host runs.
struct HostOptions {
  HostKind kind = HostKind::Outlook;
  /// The saved customisation; empty: defaultCustomisationFile(host).
  std::string customisationFile;
  /// Where calendars and the memory of raised reminders live; the
  /// calendar files given on the command line go into its extraFiles.
  calendar::ScheduleConfig schedule = calendar::defaultScheduleConfig();
};

/// The host's objects for one run. As Outlook it is the Outlook application
/// (in the running-object table, its explorer holding the command bars); as
/// Word, Excel or PowerPoint it is that host's application, and an Outlook
/// application is made on request through the registered class object
/// (Outlook is a single object per session).
class HostSession {
public:
  HostSession(HostOptions options, Clipboard* clipboard);
  ~HostSession();
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  HostKind kind() const { return options_.kind; }
  std::string name() const { return hostName(options_.kind); }
  CommandBars& commandBars() const { return *bars_; }
  CommandBarContext& context() const { return *ctx_; }
  /// The application object handed to add-ins.
  IDispatch* application() const { return application_.get(); }
  /// The running Outlook application, or null.
  OutlookApplication* outlook() const { return outlook_.get(); }
  AddInManager& addIns() { return *addIns_; }

  /// Registers the Outlook application's class object (and, as Outlook,
  /// the running object); S_OK or the failing call's result.
  HRESULT registerClasses();
  /// Loads the add-ins registered for this host (ext_cm_Startup), after
  /// registering the classes when that was not done yet.
  void startAddIns();

  /// Raises Reminder once for each alarm due at \p now, when an Outlook
  /// application runs (otherwise they wait), and remembers them as raised.
  /// Returns the alarms raised.
  std::vector<calendar::AlarmRecord> raiseDueReminders(calendar::TimePoint now);
  /// When to look again at the latest.
  std::optional<calendar::TimePoint> nextReminder(calendar::TimePoint now);
  /// Calendar and memory-file problems, each once; also customisation
  /// problems and failures to save.
  std::vector<std::string> takeProblems();

  /// Called when the host should close (Quit on the application).
  void setQuitRequest(std::function<void()> f) { quitRequest_ = std::move(f); }
  /// Shuts the add-ins down, saves the customisation and revokes the
  /// registrations; later calls do nothing.
  void stop();
  bool stopping() const { return stopping_; }

private:
  ComPtr<OutlookApplication> currentOutlook();
  ComPtr<OutlookApplication> makeOutlook();
  void outlookQuit();

  HostOptions options_;
  std::shared_ptr<CommandBarContext> ctx_;
  ComPtr<CommandBars> bars_;
  ComPtr<IDispatch> application_;
  ComPtr<OutlookApplication> outlook_;
  std::unique_ptr<AddInManager> addIns_;
  calendar::ReminderSchedule schedule_;
  DWORD classCookie_ = 0;
  std::function<void()> quitRequest_;
  std::vector<std::string> problems_;
  bool stopping_ = false;
};

} // namespace quorvel::office
