// Outlook items for reminders, built from the calendar reader's alarm records.
#include "office/items.h"
#include "office/dispbind.h"

namespace quorvel::office {

using namespace detail;

namespace {

const InterfaceDesc kAppointmentDesc{
    .name = "_AppointmentItem",
    .iid = IID_AppointmentItem,
    .members = {getter("Class", 0xF00A, VT_I4), getter("Subject", 0x0037, VT_BSTR),
                getter("Importance", 0x0017, VT_I4), getter("Start", 0x8502, VT_DATE),
                getter("End", 0x8503, VT_DATE), getter("Location", 0x8208, VT_BSTR),
                getter("ConversationTopic", 0x0070, VT_BSTR),
                getter("AllDayEvent", 0x8215, VT_BOOL)},
};

const InterfaceDesc kTaskDesc{
    .name = "_TaskItem",
    .iid = IID_TaskItem,
    .members = {getter("Class", 0xF00A, VT_I4), getter("Subject", 0x0037, VT_BSTR),
                getter("Importance", 0x0017, VT_I4), getter("ReminderTime", 0x8560, VT_DATE),
                getter("StartDate", 0x8104, VT_DATE), getter("DueDate", 0x8105, VT_DATE)},
};

const InterfaceDesc kMailDesc{
    .name = "_MailItem",
    .iid = IID_MailItem,
    .members = {getter("Class", 0xF00A, VT_I4), getter("Subject", 0x0037, VT_BSTR),
                getter("Importance", 0x0017, VT_I4)},
};

Variant dateOf(const calendar::LocalTime& t) { return Variant::fromDate(toVariantDate(t)); }

} // namespace

DATE toVariantDate(const calendar::LocalTime& t) {
  SYSTEMTIME st{WORD(t.year), WORD(t.month), WORD(t.weekday), WORD(t.day), WORD(t.hour),
                WORD(t.minute), WORD(t.second), 0};
  DATE d = 0;
  SystemTimeToVariantTime(&st, &d);
  return d;
}

AppointmentItem::AppointmentItem(const calendar::AlarmRecord& alarm)
    : DispatchObject(kAppointmentDesc), alarm_(alarm) {
  Dispatcher& d = dispatcher();
  d.setSource("Outlook");
  bindGet(d, "Class", [] { return olAppointment; });
  bindGet(d, "Subject", [this] { return alarm_.subject; });
  bindGet(d, "Importance", [this] { return int32_t(alarm_.importance); });
  bindGet(d, "Start", [this] { return dateOf(alarm_.startLocal); });
  bindGet(d, "End", [this] { return dateOf(alarm_.endLocal); });
  bindGet(d, "Location", [this] { return alarm_.location; });
  bindGet(d, "ConversationTopic", [this] { return alarm_.conversationTopic; });
  bindGet(d, "AllDayEvent", [this] { return alarm_.allDay; });
}

TaskItem::TaskItem(const calendar::AlarmRecord& alarm)
    : DispatchObject(kTaskDesc), alarm_(alarm) {
  Dispatcher& d = dispatcher();
  d.setSource("Outlook");
  bindGet(d, "Class", [] { return olTask; });
  bindGet(d, "Subject", [this] { return alarm_.subject; });
  bindGet(d, "Importance", [this] { return int32_t(alarm_.importance); });
  bindGet(d, "ReminderTime", [this] { return dateOf(alarm_.reminderTime); });
  bindGet(d, "StartDate", [this] { return dateOf(alarm_.startLocal); });
  bindGet(d, "DueDate", [this] { return dateOf(alarm_.endLocal); });
}

MailItem::MailItem(std::string subject, int32_t importance)
    : DispatchObject(kMailDesc), subject_(std::move(subject)), importance_(importance) {
  Dispatcher& d = dispatcher();
  d.setSource("Outlook");
  bindGet(d, "Class", [] { return olMail; });
  bindGet(d, "Subject", [this] { return subject_; });
  bindGet(d, "Importance", [this] { return importance_; });
}

ComPtr<IDispatch> makeReminderItem(const calendar::AlarmRecord& alarm) {
  if (alarm.kind == calendar::ItemKind::Task) return ComPtr<IDispatch>(new TaskItem(alarm));
  return ComPtr<IDispatch>(new AppointmentItem(alarm));
}

} // namespace quorvel::office
