// The text of an SMS about an Outlook reminder, and which reminders get one.
#include "addin/unReminderText.h"

#include "com/errorinfo.h"

#include <cstdio>

namespace quorvel {

using namespace com;

namespace {

const char* const kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                 "July",    "August",   "September", "October", "November", "December"};
const char* const kDays[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

std::u16string widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string twoDigits(int n) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}

bool startsWith(const std::string& s, size_t at, const char* token) {
  return s.compare(at, std::char_traits<char>::length(token), token) == 0;
}

} // namespace

bool reminderSelected(const std::string& notifyOn, bool important) {
  return notifyOn == kNotifyAll || (notifyOn == kNotifyImportant && important);
}

std::u16string formatReminderDate(DATE date, const std::string& pattern) {
  SYSTEMTIME t{};
  if (!VariantTimeToSystemTime(date, &t))
    throw ComError(E_INVALIDARG, "The reminder's date is out of range");
  std::string out;
  bool afterHour = false;
  for (size_t i = 0; i < pattern.size();) {
    if (startsWith(pattern, i, "mmmm")) {
      out += kMonths[(t.wMonth + 11) % 12];
      i += 4;
      afterHour = false;
    } else if (startsWith(pattern, i, "dddd")) {
      out += kDays[t.wDayOfWeek % 7];
      i += 4;
      afterHour = false;
    } else if (startsWith(pattern, i, "dd")) {
      out += twoDigits(t.wDay);
      i += 2;
      afterHour = false;
    } else if (startsWith(pattern, i, "hh")) {
      out += twoDigits(t.wHour);
      i += 2;
      afterHour = true;
    } else if (startsWith(pattern, i, "mm")) {
      // "mm" is the minute right after an hour, the month otherwise.
      out += twoDigits(afterHour ? t.wMinute : t.wMonth);
      i += 2;
      afterHour = false;
    } else {
      // Separators between an hour and its minutes keep "mm" a minute.
      out += pattern[i++];
    }
  }
  return widen(out);
}

std::u16string appointmentReminderText(DATE start, DATE end, const std::u16string& subject,
                                       const std::u16string& location, const std::u16string& topic) {
  std::u16string mess = formatReminderDate(start, "mmmm dd (dddd), hh:mm");
  mess += u"-" + formatReminderDate(end, "hh:mm");
  mess += u" " + subject;
  mess += u" (" + location + u") ";
  mess += u" " + topic;
  return mess;
}

std::u16string taskReminderText(DATE reminderTime, const std::u16string& subject) {
  return formatReminderDate(reminderTime, "mmmm dd (dddd)") + u" " + subject;
}

} // namespace quorvel
