// The user's calendar files read for reminders: every VEVENT or VTODO alarm
// of an .ics file as a plain record with its due time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::calendar {

/// Seconds since 1970-01-01 00:00 UTC.
using TimePoint = int64_t;

/// A wall-clock time in the local time zone.
struct LocalTime {
  int year = 0;
  int month = 0;   ///< 1..12
  int day = 0;     ///< 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 0; ///< 0 Sunday .. 6 Saturday

  friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

/// The local wall-clock form of \p t (the process's time zone, TZ).
LocalTime toLocalTime(TimePoint t);
/// The current time.
TimePoint currentTime();

enum class ItemKind { Appointment, Task };

/// Outlook's importance levels.
inline constexpr int kImportanceLow = 0;
inline constexpr int kImportanceNormal = 1;
inline constexpr int kImportanceHigh = 2;

/// PRIORITY (1 highest .. 9 lowest, 0 or none undefined) as importance:
/// 1-4 high, 0 and 5 normal, 6-9 low.
int importanceFromPriority(int priority);

/// One alarm of one occurrence of an appointment (VEVENT) or task (VTODO).
struct AlarmRecord {
  /// Identity of this alarm of this occurrence, used to remember that it
  /// was raised: the item's UID (or, without one, its file, summary and
  /// start), the occurrence, the alarm's number and its due time.
  std::string key;
  ItemKind kind = ItemKind::Appointment;
  TimePoint due = 0;          ///< when the reminder falls due
  LocalTime reminderTime;     ///< `due` in local time (a task's ReminderTime)
  std::string subject;        ///< SUMMARY
  std::string conversationTopic; ///< SUMMARY as well
  std::string location;       ///< LOCATION (appointments)
  int importance = kImportanceNormal;
  /// Appointments: the occurrence's start and end (DTEND, or DTSTART plus
  /// DURATION, or the whole day for a date); tasks: DTSTART and DUE when
  /// given, else both equal to `due`.
  TimePoint start = 0;
  TimePoint end = 0;
  LocalTime startLocal;
  LocalTime endLocal;
  bool allDay = false;        ///< the item's start is a date without a time
  std::string uid;
  std::string file;           ///< the calendar file it came from
};

/// A calendar file that could not be read, or not completely.
struct CalendarProblem {
  std::string file;
  int line = 0;         ///< 1-based; 0 when the place is unknown
  std::string message;

  friend bool operator==(const CalendarProblem&, const CalendarProblem&) = default;
  /// "file:line: message" (without ":line" when unknown).
  std::string text() const;
};

/// The alarms of a calendar text whose due time lies in [\p from, \p to],
/// in due order. Recurring items (RRULE, RDATE, EXDATE, and occurrences
/// replaced through RECURRENCE-ID) give one record per occurrence. Cancelled
/// events and completed tasks have no alarms. Anything unreadable is added
/// to \p problems (with \p fileName) and skipped; the rest is still used.
/// A UTF-8 byte-order mark before the first line is skipped.
std::vector<AlarmRecord> readCalendarText(const std::string& fileText, const std::string& fileName,
                                          TimePoint from, TimePoint to,
                                          std::vector<CalendarProblem>* problems);

} // namespace quorvel::calendar
