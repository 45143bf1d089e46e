// The composer window's life: creation, showing, closing, status bar and log.
#include "composer/unSMSForm.h"

#include "composer/unComlog.h"
#include "composer/unCreditReceiver.h"
#include "composer/unInternetErrorDialog.h"
#include "composer/unSMSStatus.h"
#include "util/unSMSParts.h"
#include "util/unTextCodec.h"
#include "util/unStrings.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShowEvent>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>

namespace quorvel {

TfrmSMSComposer* frmSMSComposer = nullptr;

namespace {

// Right margin the address fields keep to the window's edge.
constexpr int addressFieldMargin = 28;
constexpr int addressFieldMinWidth = 60;

std::string toStd(const QString& s) { return s.toStdString(); }

} // namespace

TfrmSMSComposer::TfrmSMSComposer(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("frmSMSComposer");
  setWindowTitle("KAVRI SMS");
  QIcon icon;
  for (const char* size : {"16", "32", "48"})
    icon.addFile(QString(":/composer/icons/kavri-sms-%1.png").arg(size));
  setWindowIcon(icon);
  resize(496, 475);

  PageControl = new QTabWidget(this);
  PageControl->setObjectName("PageControl");
  PageControl->setTabPosition(QTabWidget::South);
  PageControl->setDocumentMode(false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(PageControl);

  buildComposerPage();
  buildSettingsPage();
  buildLogPage();

  createMapi();
  eTo->clear();
  eCC->clear();
  re->clear();
  loadSettings();
  donthide = false;
  updateStatus();
  registerInternetErrorDialog(this);
}

TfrmSMSComposer::~TfrmSMSComposer() {
  // Children still exist while QWidget tears them down; no handler of ours
  // may run from here on (a focus change would otherwise save settings).
  destroying_ = true;
  unregisterInternetErrorDialog(this);
  // A background credit query still out must never reach this window.
  if (creditQueries_)
    creditQueries_->cancelAll();
  for (QObject* watched : watched_)
    watched->removeEventFilter(this);
  disconnect(re, nullptr, this, nullptr);
  disconnect(mComlog, nullptr, this, nullptr);
  disconnect(mOutboxStore, nullptr, this, nullptr);
  destroyMapi();
  if (frmSMSComposer == this)
    frmSMSComposer = nullptr;
}

void TfrmSMSComposer::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A window restored from the task bar is not shown anew.
  if (event->spontaneous())
    return;
  if (!positioned_ && !parentWidget()) {
    positioned_ = true;
    if (const QScreen* screen = this->screen()) {
      QRect frame = frameGeometry();
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
  }
  eTo->clear();
  eCC->clear();
  re->clear();
  tbPriority->setChecked(false);
  PageControl->setCurrentWidget(tsComposer);
  eTo->setFocus(Qt::OtherFocusReason);
  fitAddressFields();
  updateStatus();
  startCreditQuery();
}

void TfrmSMSComposer::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  fitAddressFields();
}

bool TfrmSMSComposer::eventFilter(QObject* watched, QEvent* event) {
  if (destroying_)
    return false;
  switch (event->type()) {
  case QEvent::FocusOut:
    // Leaving a settings field saves every setting.
    if (watched == eServerURL || watched == eUserName || watched == ePass ||
        watched == eNotifPhoneNumber || watched == static_cast<QObject*>(cbEventSel))
      saveSettingsReporting();
    break;
  case QEvent::Move:
  case QEvent::Resize:
    if (watched == tbToBar || watched == tbCcBar)
      fitAddressFields();
    break;
  case QEvent::ShortcutOverride:
    // In the editor the command table wins over the editor's own keys, so
    // that "&Delete" (Del) cuts to the clipboard rather than deleting.
    if (watched == re) {
      const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
      for (const QAction* action : commands_) {
        if (action->isEnabled() && !action->shortcut().isEmpty() && action->shortcut() == pressed) {
          event->ignore();
          return true;
        }
      }
    }
    break;
  default:
    break;
  }
  return QWidget::eventFilter(watched, event);
}

void TfrmSMSComposer::watch(QObject* watched) {
  watched->installEventFilter(this);
  watched_.push_back(watched);
}

void TfrmSMSComposer::fitAddressFields() {
  if (!eTo || !eCC)
    return;
  for (QLineEdit* field : {eTo, eCC}) {
    const int left = field->mapTo(this, QPoint(0, 0)).x();
    field->resize(std::max(addressFieldMinWidth, width() - left - addressFieldMargin),
                  field->height());
  }
}

void TfrmSMSComposer::updateStatus() {
  const std::size_t n = countStatusCharacters(toStd(re->toPlainText()));
  const auto texts = statusPanelTexts(n, credits);
  for (int i = 0; i < 4; ++i)
    statusPanels_[i]->setText(QString::fromStdString(texts[i]));
  // The parts are those of the text as "&Send" passes it on.
  std::string recip;
  std::string msg;
  sendArguments(recip, msg);
  statusPanels_[1]->setToolTip(QString::fromStdString(smsPartsDescription(smsParts(msg))));
}

std::string TfrmSMSComposer::statusPanelToolTip(int index) const {
  if (index < 0 || index > 3)
    return {};
  return toStd(statusPanels_[index]->toolTip());
}

std::string TfrmSMSComposer::statusPanelText(int index) const {
  if (index < 0 || index > 3)
    return {};
  return toStd(statusPanels_[index]->text());
}

void TfrmSMSComposer::setComlogText(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace("\r\n", "\n");
  s.replace('\r', '\n');
  mComlog->setPlainText(s);
}

void TfrmSMSComposer::appendComlogText(const std::string& text) {
  setComlogText(comlogText() + text);
}

std::string TfrmSMSComposer::comlogText() const {
  QString s = mComlog->toPlainText();
  s.replace('\n', "\r\n");
  return toStd(s);
}

void TfrmSMSComposer::limitComlog() {
  if (limitingLog_ || destroying_)
    return;
  const std::string text = toStd(mComlog->toPlainText());
  const std::string kept = keepLastLines(text, comlogMaxLines);
  if (kept.size() == text.size())
    return;
  limitingLog_ = true;
  mComlog->setPlainText(QString::fromStdString(kept));
  limitingLog_ = false;
}

void TfrmSMSComposer::showComposerPage() { PageControl->setCurrentWidget(tsComposer); }

void TfrmSMSComposer::showSettingsPage() { PageControl->setCurrentWidget(tsSettings); }

void TfrmSMSComposer::sendArguments(std::string& recip, std::string& msg) const {
  msg = trim(utf16ToUtf8(singleline(re->toPlainText().toStdU16String())));
  recip = trim(toStd(eTo->text())) + ";" + trim(toStd(eCC->text()));
}

void TfrmSMSComposer::send() {
  std::string recip;
  std::string msg;
  sendArguments(recip, msg);
  runCommand([&] { sendSMS(recip, msg); });
}

void TfrmSMSComposer::applyAddressSelection(const std::vector<std::string>& selection) {
  if (selection.empty())
    return;
  eTo->setText(QString::fromStdString(selection.front()));
  QString cc = eCC->text();
  for (std::size_t i = 1; i < selection.size(); ++i)
    cc += QString::fromStdString(selection[i]) + "; ";
  eCC->setText(cc);
}

} // namespace quorvel
