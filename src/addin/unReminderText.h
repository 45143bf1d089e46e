// The text of an SMS about an Outlook reminder, and which reminders get one.
#pragma once

#include "com/oleauto.h"

#include <functional>
#include <string>

namespace quorvel {

/// Full month and weekday names for the date patterns.
struct DateNames {
  std::function<std::u16string(int month)> month;     ///< month 1..12
  std::function<std::u16string(int weekday)> weekday; ///< weekday 0 Sunday .. 6 Saturday
};

/// The names of the user's regional settings, looked up at each use: the
/// user's default locale on Windows, the process's LC_TIME locale elsewhere
/// (English in the C locale).
DateNames userDateNames();

/// The "Notify on" choices of the settings page.
inline constexpr char kNotifyImportant[] = "Important events and tasks";
inline constexpr char kNotifyAll[] = "All events and tasks";

/// The selection rule: \p notifyOn equals kNotifyAll, or equals
/// kNotifyImportant and the item is \p important (both exact, case-sensitive).
bool reminderSelected(const std::string& notifyOn, bool important);

/// \p date in a pattern of "mmmm" (full month name), "dddd" (full weekday
/// name), both from \p names, "dd" (day, two digits), "hh" (hour of a
/// 24-hour clock), "mm" right after "hh" (minute), and literal blanks,
/// parentheses, commas and colons.
std::u16string formatReminderDate(com::DATE date, const std::string& pattern,
                                  const DateNames& names = userDateNames());

/// What an appointment reminder sends: start as "mmmm dd (dddd), hh:mm",
/// "-", end as "hh:mm", " ", subject, " (", location, ") ", " ", topic.
std::u16string appointmentReminderText(com::DATE start, com::DATE end, const std::u16string& subject,
                                       const std::u16string& location,
                                       const std::u16string& topic);

/// What a task reminder sends: the reminder time as "mmmm dd (dddd)", " ",
/// subject.
std::u16string taskReminderText(com::DATE reminderTime, const std::u16string& subject);

} // namespace quorvel
