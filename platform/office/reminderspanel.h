// The reminders panel: drives the session's reminders from a timer and lists
// what was raised and what could not be read.
#pragma once

#include "office/hostsession.h"

#include <QWidget>

class QListWidget;
class QTimer;

namespace quorvel::office {

/// Lists the reminders raised in this run, newest first, and calendar
/// problems; its timer raises each due reminder through the session.
class RemindersPanel : public QWidget {
public:
  RemindersPanel(HostSession& session, QWidget* parent = nullptr);

  /// Raises what is due at \p now, lists it and sets the timer again.
  void check(calendar::TimePoint now);
  /// Starts checking now and from then on by the timer.
  void start();
  QListWidget* list() const { return list_; }
  /// The text a raised reminder gets in the list.
  static QString entryText(const calendar::AlarmRecord& alarm);

private:
  void arm(calendar::TimePoint now);

  HostSession& session_;
  QListWidget* list_;
  QTimer* timer_;
};

} // namespace quorvel::office
