// Runs the composer window on its own, the way the add-in shows it when the
// user clicks its "SMS" button in the host.
#include "composer/unSMSForm.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Quorvel");
  QApplication::setOrganizationName("Kavri");

  quorvel::frmSMSComposer = new quorvel::TfrmSMSComposer;
  quorvel::frmSMSComposer->show();
  quorvel::frmSMSComposer->raise();
  quorvel::frmSMSComposer->activateWindow();
  const int rc = QApplication::exec();
  delete quorvel::frmSMSComposer;
  return rc;
}
