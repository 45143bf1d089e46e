// The composer window's life: creation, showing, closing, status bar and log.
#include "composer/unSMSForm.h"

#include "composer/unComlog.h"
#include "composer/unCreditReceiver.h"
#include "composer/unInternetErrorDialog.h"

#include <QApplication>
#include <QAction>
#include <QCheckBox>
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
  setWindowTitle(caption);
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

  // The window parents the mail layer's dialogs.
  createMapi(uintptr_t(winId()));
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

void TfrmSMSComposer::showStatusPanels(const std::array<std::string, 4>& texts,
                                       const std::string& smsToolTip) {
  for (int i = 0; i < 4; ++i)
    statusPanels_[i]->setText(QString::fromStdString(texts[i]));
  statusPanels_[1]->setToolTip(QString::fromStdString(smsToolTip));
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

void TfrmSMSComposer::showPage(TComposerPage page) {
  switch (page) {
  case TComposerPage::composer: PageControl->setCurrentWidget(tsComposer); break;
  case TComposerPage::settings: PageControl->setCurrentWidget(tsSettings); break;
  case TComposerPage::comlog: PageControl->setCurrentWidget(tsComlog); break;
  }
}

void TfrmSMSComposer::hideWindow() { hide(); }

void TfrmSMSComposer::closeWindow() { close(); }

std::string TfrmSMSComposer::fieldText(TComposerField field) const {
  switch (field) {
  case TComposerField::to: return toStd(eTo->text());
  case TComposerField::cc: return toStd(eCC->text());
  case TComposerField::editor: return toStd(re->toPlainText());
  case TComposerField::serverURL: return toStd(eServerURL->text());
  case TComposerField::userName: return toStd(eUserName->text());
  case TComposerField::password: return toStd(ePass->text());
  case TComposerField::notifPhone: return toStd(eNotifPhoneNumber->text());
  case TComposerField::eventSel: return toStd(cbEventSel->currentText());
  }
  return {};
}

void TfrmSMSComposer::setFieldText(TComposerField field, const std::string& text) {
  const QString s = QString::fromStdString(text);
  switch (field) {
  case TComposerField::to: eTo->setText(s); break;
  case TComposerField::cc: eCC->setText(s); break;
  case TComposerField::editor: re->setPlainText(s); break;
  case TComposerField::serverURL: eServerURL->setText(s); break;
  case TComposerField::userName: eUserName->setText(s); break;
  case TComposerField::password: ePass->setText(s); break;
  case TComposerField::notifPhone: eNotifPhoneNumber->setText(s); break;
  case TComposerField::eventSel: cbEventSel->setCurrentText(s); break;
  }
}

bool TfrmSMSComposer::notifyChecked() const { return cbNotify->isChecked(); }

void TfrmSMSComposer::setNotifyChecked(bool checked) { cbNotify->setChecked(checked); }

bool TfrmSMSComposer::priorityChecked() const { return tbPriority->isChecked(); }

} // namespace quorvel
