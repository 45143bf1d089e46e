// The text of an SMS about an Outlook reminder, and which reminders get one.
#include "addin/unReminderText.h"

#include "com/errorinfo.h"

namespace quorvel {

using namespace com;

namespace {

// Days, hours, minutes and months: 0..99.
std::u16string twoDigits(int n) { return {char16_t(u'0' + n / 10 % 10), char16_t(u'0' + n % 10)}; }

bool startsWith(const std::string& s, size_t at, const char* token) {
  return s.compare(at, std::char_traits<char>::length(token), token) == 0;
}

} // namespace

bool reminderSelected(const std::string& notifyOn, bool important) {
  return notifyOn == kNotifyAll || (notifyOn == kNotifyImportant && important);
}

std::u16string formatReminderDate(DATE date, const std::string& pattern, const DateNames& names) {
  SYSTEMTIME t{};
  if (!VariantTimeToSystemTime(date, &t))
    throw ComError(E_INVALIDARG, "The reminder's date is out of range");
  std::u16string out;
  bool afterHour = false;
  for (size_t i = 0; i < pattern.size();) {
    if (startsWith(pattern, i, "mmmm")) {
      out += names.month(t.wMonth);
      i += 4;
      afterHour = false;
    } else if (startsWith(pattern, i, "dddd")) {
      out += names.weekday(t.wDayOfWeek % 7);
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
      out += char16_t(pattern[i++]);
    }
  }
  return out;
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
