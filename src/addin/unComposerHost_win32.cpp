// The composer window as the add-in hosts it on the host's thread, and the
// add-in's own message box, in plain Win32.
#include "addin/unComposerHost.h"

#include "composer/unSMSForm_win32.h"

namespace quorvel {

void createComposer() {
  // The window lives on the host's thread and takes its keys through that
  // thread's message loop; it has no owner, so it stays out of the host's way.
  destroyComposer();
  frmSMSComposer = composerMaker() ? composerMaker()() : new TfrmSMSComposer(nullptr);
}

void showComposer() {
  if (TfrmSMSComposer* form = frmSMSComposer)
    form->show();
}

void showAddInError(const std::string& text) {
  if (errorBox()) {
    errorBox()(text);
    return;
  }
  MessageBoxW(nullptr, toWide(text).c_str(), L"Error", MB_OK | MB_ICONERROR);
}

} // namespace quorvel
