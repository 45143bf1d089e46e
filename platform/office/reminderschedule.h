// Which calendar alarms are due: reads the calendar folder, re-reads changed
// files, and remembers across runs which alarms were already raised.
#pragma once

#include "office/calendar.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvel::calendar {

/// Where the calendar and the memory of raised alarms live.
struct ScheduleConfig {
  std::string folder;                  ///< every *.ics file in it is read
  std::vector<std::string> extraFiles; ///< further .ics files (command line)
  std::string stateFile;               ///< raised alarms, kept across runs
};

/// $XDG_DATA_HOME/quorvel/calendar/ (~/.local/share when unset) and
/// $XDG_DATA_HOME/quorvel/reminders.state.
ScheduleConfig defaultScheduleConfig();

/// Drives reminders from a timer on one thread (no threads of its own).
///
/// An alarm is due when its time has come and it was not raised before;
/// an alarm that fell due while the program was not running is due at the
/// next start, once. Two limits keep a freshly added calendar from raising
/// its whole past: alarms due before the schedule first ran, or before the
/// file holding them was first seen, are raised only while their item lies
/// ahead (an appointment not yet begun, a task not yet due), and alarms more
/// than a year overdue never.
class ReminderSchedule {
public:
  explicit ReminderSchedule(ScheduleConfig config = defaultScheduleConfig());

  /// Reads new and changed files (by modification time and size) and
  /// forgets removed ones. dueAlarms calls it; call it directly to pick up
  /// changes and problems at other times.
  void refresh(TimePoint now);
  /// The alarms due at \p now and not yet raised, in due order.
  std::vector<AlarmRecord> dueAlarms(TimePoint now);
  /// Remembers that \p alarm was raised and saves the memory at once
  /// (atomically); false, with the reason in \p error, when it could not be
  /// saved (the alarm still counts as raised in this run).
  bool markRaised(const AlarmRecord& alarm, std::string* error = nullptr);
  /// The earliest due time after \p now among the alarms of the next day,
  /// for setting a timer; nothing when none falls due that soon.
  std::optional<TimePoint> nextDue(TimePoint now);

  /// The problems of the files as last read (a fixed file drops its own).
  std::vector<CalendarProblem> problems() const;
  /// Problems not returned by an earlier call, so each is shown once.
  std::vector<CalendarProblem> takeNewProblems();
  /// The files read, in order.
  std::vector<std::string> files() const;

private:
  struct FileState {
    int64_t mtimeNs = -1;
    int64_t size = -1;
    std::string text;
    std::string readError;
    std::vector<CalendarProblem> problems;
    std::vector<AlarmRecord> alarms; // of the current window
  };
  void loadState();
  bool saveState(std::string* error);
  void readFile(const std::string& path, FileState& state);
  TimePoint watchStart(const std::string& file) const;

  ScheduleConfig config_;
  std::map<std::string, FileState> files_;
  std::vector<CalendarProblem> missing_;  // extra files that are not there
  std::vector<CalendarProblem> notices_;  // about the memory file
  TimePoint windowFrom_ = 0, windowTo_ = -1;
  TimePoint lastNow_ = 0;
  // Kept across runs.
  TimePoint since_ = -1;                  // when the schedule first ran
  std::map<std::string, TimePoint> firstSeen_;
  std::map<std::string, TimePoint> raised_; // key -> due time
  std::vector<CalendarProblem> shown_;
};

} // namespace quorvel::calendar
