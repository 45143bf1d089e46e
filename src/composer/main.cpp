// Runs the composer window on its own, the way the add-in shows it when the
// user clicks its "SMS" button in the host.
#include "composer/unGetCreditThread.h"
#include "composer/unHostStandIn.h"
#include "composer/unSMSForm.h"

#include <QApplication>

#include <chrono>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Quorvel");
  QApplication::setOrganizationName("Kavri");

  quorvel::frmSMSComposer = new quorvel::TfrmSMSComposer;
  new quorvel::THostStandIn(quorvel::frmSMSComposer);
  quorvel::frmSMSComposer->show();
  quorvel::frmSMSComposer->raise();
  quorvel::frmSMSComposer->activateWindow();
  const int rc = QApplication::exec();
  const auto limit = std::chrono::seconds(
      quorvel::clientTimeOutSeconds(quorvel::frmSMSComposer->creditQueryOptions));
  delete quorvel::frmSMSComposer;
  // A credit query still out never reaches the destroyed window; it gets no
  // longer than its client's time-out to end before the program does.
  quorvel::TGetCreditThread::waitForAll(limit);
  return rc;
}
