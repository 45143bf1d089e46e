// The host's main window: the command bars rendered as a real menu bar and
// toolbars, the reminders panel, and the built-in commands.
#pragma once

#include "office/hostsession.h"

#include <QMainWindow>
#include <QPointer>

#include <vector>

class QDockWidget;
class QMenu;
class QToolBar;

namespace quorvel::office {

class RemindersPanel;

/// The Office-style window of one host session. Menus and toolbars are
/// rebuilt from the command bars whenever the model changes; choosing an
/// entry clicks the control, which raises Click to its sinks.
class HostWindow : public QMainWindow {
public:
  explicit HostWindow(HostSession& session);
  ~HostWindow() override;

  /// Loads the add-ins (ext_cm_Startup) and shows what failed.
  void startAddIns();
  /// Rebuilds the menu bar and toolbars now.
  void rebuildCommandBars();
  /// Opens the "COM Add-ins" dialog (modal).
  void showAddInsDialog();
  RemindersPanel* remindersPanel() const { return reminders_; }
  /// Messages shown to the user (also kept here for tests).
  const std::vector<QString>& messages() const { return messages_; }

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  void scheduleRebuild();
  void runBuiltIn(CommandBarControl& control);
  void addControls(QWidget* to, const CommandBarControls& controls, bool inToolBar);
  QAction* makeAction(CommandBarControl& control, bool inMenu);
  void tell(const QString& text);
  void importCalendar();

  HostSession& session_;
  RemindersPanel* reminders_ = nullptr;
  QDockWidget* remindersDock_ = nullptr;
  std::vector<QPointer<QObject>> built_; // menus, actions and toolbars of the last build
  bool rebuildPending_ = false;
  bool closing_ = false;
  std::vector<QString> messages_;
};

} // namespace quorvel::office
