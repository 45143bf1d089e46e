// The composer window as the add-in hosts it inside the host's application
// object, and the add-in's own message box.
#include "addin/unComposerHost.h"

#include "com/errorinfo.h"
#include "composer/unSMSForm.h"

#include <QApplication>
#include <QMessageBox>

namespace quorvel {

void createComposer() {
  // Widgets need the host's widget application object; the add-in never
  // makes one of its own.
  if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
    throw com::ComError(com::E_UNEXPECTED,
                        "The host has no window application object to show the SMS composer in");
  destroyComposer();
  frmSMSComposer = composerMaker() ? composerMaker()() : new TfrmSMSComposer(nullptr);
}

void showComposer() {
  TfrmSMSComposer* form = frmSMSComposer;
  if (!form)
    return;
  form->show();
  form->raise();
  form->activateWindow();
}

void showAddInError(const std::string& text) {
  if (errorBox()) {
    errorBox()(text);
    return;
  }
  if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
    return;
  QMessageBox box(QMessageBox::Critical, "Error", QString::fromStdString(text), QMessageBox::Ok);
  box.exec();
}

} // namespace quorvel
