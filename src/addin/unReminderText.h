// The text of an SMS about an Outlook reminder, and which reminders get one.
#pragma once

#include "com/oleauto.h"

#include <string>

namespace quorvel {

/// The "Notify on" choices of the settings page.
inline constexpr char kNotifyImportant[] = "Important events and tasks";
inline constexpr char kNotifyAll[] = "All events and tasks";

/// The selection rule: \p notifyOn equals kNotifyAll, or equals
/// kNotifyImportant and the item is \p important (both exact, case-sensitive).
bool reminderSelected(const std::string& notifyOn, bool important);

/// \p date in a pattern of "mmmm" (full English month name), "dddd" (full
/// English weekday name), "dd" (day, two digits), "hh" (hour of a 24-hour
/// clock), "mm" right after "hh" (minute), and literal blanks, parentheses,
/// commas and colons.
std::u16string formatReminderDate(com::DATE date, const std::string& pattern);

/// What an appointment reminder sends: start as "mmmm dd (dddd), hh:mm",
/// "-", end as "hh:mm", " ", subject, " (", location, ") ", " ", topic.
std::u16string appointmentReminderText(com::DATE start, com::DATE end, const std::u16string& subject,
                                       const std::u16string& location,
                                       const std::u16string& topic);

/// What a task reminder sends: the reminder time as "mmmm dd (dddd)", " ",
/// subject.
std::u16string taskReminderText(com::DATE reminderTime, const std::u16string& subject);

} // namespace quorvel
