// Reminder notifications: an Outlook appointment or task reminder texted to
// the notification number when the "Notify on" setting selects it.
#include "addin/Main.h"

#include "addin/unComposerHost.h"
#include "addin/unReminderText.h"
#include "com/automation.h"
#include "composer/unSMSForm.h"
#include "util/unTextCodec.h"

namespace quorvel {

using namespace com;

namespace {

bool isImportant(IDispatch* item) { return getProperty(item, "Importance").toInt() == 2; }

std::u16string textOf(IDispatch* item, const char* name) {
  return getProperty(item, name).toU16String();
}

DATE dateOf(IDispatch* item, const char* name) { return getProperty(item, name).toDate(); }

} // namespace

void T::OutlookApplicationReminder(TOutlookApplication*, const Variant& Item) {
  // After OnBeginShutdown the window is gone: nothing to read the settings
  // from or to send with.
  if (!frmSMSComposer)
    return;
  ComPtr<IDispatch> item;
  try {
    item = Item.toDispatch();
  } catch (const ComError&) {
    return;
  }
  if (!item || item.query<IUnknown>(office::IID_MailItem))
    return;
  if (ComPtr<IDispatch> appointment = item.query<IDispatch>(office::IID_AppointmentItem)) {
    try {
      notifyAppointment(appointment);
    } catch (...) {
      // Any error ends this step silently.
    }
  }
  if (ComPtr<IDispatch> task = item.query<IDispatch>(office::IID_TaskItem)) {
    try {
      notifyTask(task);
    } catch (...) {
      // Any error ends this step silently.
    }
  }
}

void T::notifyAppointment(const ComPtr<IDispatch>& item) {
  const bool important = isImportant(item.get());
  if (!frmSMSComposer || !reminderSelected(composerNotifyOn(), important))
    return;
  const std::u16string mess = appointmentReminderText(
      dateOf(item.get(), "Start"), dateOf(item.get(), "End"), textOf(item.get(), "Subject"),
      textOf(item.get(), "Location"), textOf(item.get(), "ConversationTopic"));
  sendReminderThroughComposer(utf16ToUtf8(mess));
}

void T::notifyTask(const ComPtr<IDispatch>& item) {
  const bool important = isImportant(item.get());
  if (!frmSMSComposer || !reminderSelected(composerNotifyOn(), important))
    return;
  const std::u16string mess =
      taskReminderText(dateOf(item.get(), "ReminderTime"), textOf(item.get(), "Subject"));
  sendReminderThroughComposer(utf16ToUtf8(mess));
}

} // namespace quorvel
