// The composer host's toolkit-free part: the maker and error box that tests
// and other hosts put in place of the defaults, and what the add-in asks of
// the window whichever toolkit draws it.
#include "addin/unComposerHost.h"

#include "composer/unSMSForm.h"

#include <utility>

namespace quorvel {

namespace {

TComposerMaker& composerMakerSlot() {
  static TComposerMaker maker;
  return maker;
}

TErrorBox& errorBoxSlot() {
  static TErrorBox box;
  return box;
}

} // namespace

void setComposerMaker(TComposerMaker maker) { composerMakerSlot() = std::move(maker); }

void setErrorBox(TErrorBox box) { errorBoxSlot() = std::move(box); }

const TComposerMaker& composerMaker() { return composerMakerSlot(); }

const TErrorBox& errorBox() { return errorBoxSlot(); }

void destroyComposer() {
  // The window's destructor clears frmSMSComposer.
  delete frmSMSComposer;
  frmSMSComposer = nullptr;
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

} // namespace quorvel
