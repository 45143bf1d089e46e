// The host's main window: built-in commands, add-in start, messages, and the
// orderly close that shuts the add-ins down.
#include "office/hostwindow.h"
#include "office/addinsdialog.h"
#include "office/reminderspanel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>

namespace quorvel::office {

HostWindow::HostWindow(HostSession& session) : session_(session) {
  setWindowTitle("Quorvel " + QString::fromStdString(session.name()));
  resize(900, 560);
  auto* centre = new QLabel(this);
  centre->setAlignment(Qt::AlignCenter);
  centre->setWordWrap(true);
  centre->setText(session.kind() == HostKind::Outlook
                      ? tr("Add-ins put their entries into the menus and toolbars above.\n"
                           "Reminders from your calendar are listed on the right as they "
                           "fall due.")
                      : tr("Add-ins put their entries into the menus and toolbars above."));
  setCentralWidget(centre);

  reminders_ = new RemindersPanel(session, this);
  remindersDock_ = new QDockWidget(tr("Reminders"), this);
  remindersDock_->setObjectName("Reminders");
  remindersDock_->setWidget(reminders_);
  addDockWidget(Qt::RightDockWidgetArea, remindersDock_);
  remindersDock_->setVisible(session.kind() == HostKind::Outlook);
  resizeDocks({remindersDock_}, {300}, Qt::Horizontal);

  CommandBarContext& ctx = session.context();
  ctx.onChanged = [this] { scheduleRebuild(); };
  ctx.onAction = [this](CommandBarControl& c) { runBuiltIn(c); };
  session.setQuitRequest([this] { QTimer::singleShot(0, this, [this] { close(); }); });
  session.addIns().setMessageHandler([this](const std::string& m) {
    tell(QString::fromStdString(m));
  });
  rebuildCommandBars();
  statusBar()->showMessage(tr("Ready"));
  for (const std::string& p : session.takeProblems()) tell(QString::fromStdString(p));
}

HostWindow::~HostWindow() {
  CommandBarContext& ctx = session_.context();
  ctx.onChanged = nullptr;
  ctx.onAction = nullptr;
  session_.setQuitRequest(nullptr);
  session_.addIns().setMessageHandler([](const std::string&) {});
}

void HostWindow::startAddIns() {
  statusBar()->showMessage(tr("Loading add-ins..."));
  session_.startAddIns();
  statusBar()->showMessage(tr("Ready"), 3000);
  reminders_->start();
}

void HostWindow::tell(const QString& text) {
  messages_.push_back(text);
  statusBar()->showMessage(text, 10000);
  // Not modal: a failing add-in or calendar must not stop the host.
  auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  box->show();
}

void HostWindow::runBuiltIn(CommandBarControl& control) {
  switch (control.id()) {
  case kIdExit:
    close();
    break;
  case kIdComAddIns:
    showAddInsDialog();
    break;
  case kIdReminders:
    remindersDock_->setVisible(!remindersDock_->isVisible());
    break;
  case kIdOpenCalendar:
    importCalendar();
    break;
  case kIdAbout:
    QMessageBox::about(this, windowTitle(),
                       tr("An Office-style host for the Quorvel SMS add-in: it loads COM "
                          "add-ins, shows their command bars and raises calendar reminders."));
    break;
  default:
    statusBar()->showMessage(
        tr("\"%1\" is not available in this host.")
            .arg(QString::fromStdString(control.caption()).remove('&')),
        5000);
  }
}

void HostWindow::showAddInsDialog() {
  AddInsDialog dialog(session_.addIns(), this);
  if (dialog.exec() == QDialog::Accepted) dialog.apply();
}

void HostWindow::importCalendar() {
  const QString file = QFileDialog::getOpenFileName(this, tr("Open Calendar File"), QString(),
                                                    tr("Calendar files (*.ics)"));
  if (file.isEmpty()) return;
  const QString folder = QString::fromStdString(calendar::defaultScheduleConfig().folder);
  const QString target = folder + "/" + QFileInfo(file).fileName();
  if (QFileInfo(target) == QFileInfo(file)) return;
  if (!QDir().mkpath(folder) || QFileInfo::exists(target) || !QFile::copy(file, target)) {
    tell(tr("The calendar could not be added as %1 (a file of that name may exist already).")
             .arg(target));
    return;
  }
  statusBar()->showMessage(tr("The calendar %1 is now read for reminders.").arg(target), 5000);
  reminders_->check(calendar::currentTime());
}

void HostWindow::closeEvent(QCloseEvent* event) {
  if (!closing_) {
    closing_ = true;
    // The add-ins go first (OnBeginShutdown, OnDisconnection), while the
    // window they may own things in still exists.
    session_.stop();
    for (const std::string& p : session_.takeProblems()) messages_.push_back(QString::fromStdString(p));
  }
  event->accept();
  QCoreApplication::quit();
}

} // namespace quorvel::office
