// Outlook items handed to Reminder handlers: appointments and tasks made from
// calendar alarms, and plain mail items.
#pragma once

#include "office/calendar.h"
#include "office/officeids.h"

#include <string>

namespace quorvel::office {

/// The DATE (local time, as Outlook delivers item times) of \p t.
DATE toVariantDate(const calendar::LocalTime& t);

/// `_AppointmentItem`: Class, Subject, Location, ConversationTopic, Start,
/// End, Importance, AllDayEvent.
class AppointmentItem : public DispatchObject<IAppointmentItem> {
public:
  explicit AppointmentItem(const calendar::AlarmRecord& alarm);

private:
  calendar::AlarmRecord alarm_;
};

/// `_TaskItem`: Class, Subject, Importance, ReminderTime, StartDate, DueDate.
class TaskItem : public DispatchObject<ITaskItem> {
public:
  explicit TaskItem(const calendar::AlarmRecord& alarm);

private:
  calendar::AlarmRecord alarm_;
};

/// `_MailItem`: Class, Subject, Importance.
class MailItem : public DispatchObject<IMailItem> {
public:
  MailItem(std::string subject, int32_t importance);

private:
  std::string subject_;
  int32_t importance_;
};

/// The appointment or task item of a calendar alarm.
ComPtr<IDispatch> makeReminderItem(const calendar::AlarmRecord& alarm);

} // namespace quorvel::office
