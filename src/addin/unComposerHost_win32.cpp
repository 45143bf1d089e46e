// The composer window as the add-in hosts it on the host's thread, and the
// add-in's own message box, in plain Win32.
#include "addin/unComposerHost.h"

#include "composer/unSMSForm_win32.h"

namespace quorvel {

namespace {

TComposerMaker& composerMaker() {
  static TComposerMaker maker;
  return maker;
}

TErrorBox& errorBox() {
  static TErrorBox box;
  return box;
}

} // namespace

void setComposerMaker(TComposerMaker maker) { composerMaker() = std::move(maker); }

void setErrorBox(TErrorBox box) { errorBox() = std::move(box); }

void createComposer() {
  // The window lives on the host's thread and takes its keys through that
  // thread's message loop; it has no owner, so it stays out of the host's way.
  destroyComposer();
  frmSMSComposer = composerMaker() ? composerMaker()() : new TfrmSMSComposer(nullptr);
}

void destroyComposer() {
  // The window's destructor clears frmSMSComposer.
  delete frmSMSComposer;
  frmSMSComposer = nullptr;
}

void showComposer() {
  if (TfrmSMSComposer* form = frmSMSComposer)
    form->show();
}

std::string composerNotifyOn() {
  return frmSMSComposer ? frmSMSComposer->notifyOnText() : std::string();
}

void sendReminderThroughComposer(const std::string& msg) {
  TfrmSMSComposer* form = frmSMSComposer;
  if (!form)
    return;
  // A reminder may come before the window was ever shown: the balance that
  // the send is checked against is then asked for first, without dialogs.
  if (form->credits.empty())
    form->getCredits(false);
  if (frmSMSComposer != form)
    return;
  form->sendSMS(form->notifPhoneText(), msg);
}

void showAddInError(const std::string& text) {
  if (errorBox()) {
    errorBox()(text);
    return;
  }
  MessageBoxW(nullptr, toWide(text).c_str(), L"Error", MB_OK | MB_ICONERROR);
}

} // namespace quorvel
