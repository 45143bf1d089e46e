// The composer's command table: menus, main toolbar and address buttons.
#include "composer/unSMSForm.h"

#include <QAction>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

#include <tuple>

namespace quorvel {

namespace {

// The desktop theme's icon where it has one, else our own image.
QIcon themedIcon(const char* themeName, const char* ownImage) {
  return QIcon::fromTheme(themeName, QIcon(QString(":/composer/icons/") + ownImage));
}

// Left margin of the To and Cc buttons.
constexpr int addressBarIndent = 4;

QIcon sendIcon() { return themedIcon("mail-send", "send.png"); }
QIcon addressBookIcon() { return themedIcon("x-office-address-book", "addressbook.png"); }
QIcon checkNumbersIcon() { return themedIcon("tools-check-spelling", "check.png"); }
QIcon priorityIcon() { return themedIcon("mail-mark-important", "priority.png"); }

} // namespace

QAction* TfrmSMSComposer::makeAction(const QString& text, void (TfrmSMSComposer::*slot)(),
                                     const QKeySequence& shortcut) {
  auto* action = new QAction(text, this);
  if (!shortcut.isEmpty()) {
    action->setShortcut(shortcut);
    commands_.push_back(action);
  }
  if (slot)
    connect(action, &QAction::triggered, this, slot);
  return action;
}

void TfrmSMSComposer::setupFileActions() {
  mnFile = kaSMSMenuBar->addMenu("&File");
  actSend = makeAction("&Send", &TfrmSMSComposer::send);
  actSend->setIcon(sendIcon());
  actSend->setToolTip("Send SMS message");
  actOpen = makeAction("&Open", &TfrmSMSComposer::openMessage, QKeySequence("Ctrl+O"));
  actOpen->setIcon(QIcon::fromTheme("document-open"));
  actSave = makeAction("&Save", &TfrmSMSComposer::saveMessage, QKeySequence("Ctrl+S"));
  actSave->setIcon(QIcon::fromTheme("document-save"));
  actPrint = makeAction("&Print", &TfrmSMSComposer::printMessage, QKeySequence("Ctrl+P"));
  actPrint->setIcon(QIcon::fromTheme("document-print"));
  // Closing only hides the window; the object lives on.
  actClose = makeAction("&Close", nullptr);
  connect(actClose, &QAction::triggered, this, &QWidget::close);
  mnFile->addAction(actSend);
  mnFile->addSeparator();
  mnFile->addAction(actOpen);
  mnFile->addAction(actSave);
  mnFile->addSeparator();
  mnFile->addAction(actPrint);
  mnFile->addSeparator();
  mnFile->addAction(actClose);
}

void TfrmSMSComposer::setupEditActions() {
  mnEdit = kaSMSMenuBar->addMenu("&Edit");
  // Every edit command works on the message editor, wherever the focus is.
  actUndo = makeAction("&Undo", nullptr, QKeySequence(Qt::ALT | Qt::Key_Backspace));
  connect(actUndo, &QAction::triggered, re, &QTextEdit::undo);
  actCut = makeAction("&Cut", nullptr, QKeySequence("Ctrl+X"));
  connect(actCut, &QAction::triggered, re, &QTextEdit::cut);
  actCopy = makeAction("&Copy", nullptr, QKeySequence("Ctrl+C"));
  connect(actCopy, &QAction::triggered, re, &QTextEdit::copy);
  actPaste = makeAction("&Paste", nullptr, QKeySequence("Ctrl+V"));
  connect(actPaste, &QAction::triggered, re, &QTextEdit::paste);
  // "&Delete" keeps the removed text on the clipboard, exactly like "&Cut".
  actDelete = makeAction("&Delete", nullptr, QKeySequence(Qt::Key_Delete));
  connect(actDelete, &QAction::triggered, re, &QTextEdit::cut);
  actPreferences = makeAction("&Preferences", &TfrmSMSComposer::showSettingsPage);
  for (QAction* a : {actUndo, actCut, actCopy, actPaste, actDelete})
    a->setShortcutContext(Qt::WindowShortcut);
  actUndo->setIcon(QIcon::fromTheme("edit-undo"));
  actCut->setIcon(QIcon::fromTheme("edit-cut"));
  actCopy->setIcon(QIcon::fromTheme("edit-copy"));
  actPaste->setIcon(QIcon::fromTheme("edit-paste"));
  actDelete->setIcon(QIcon::fromTheme("edit-delete"));
  mnEdit->addAction(actUndo);
  mnEdit->addSeparator();
  mnEdit->addAction(actCut);
  mnEdit->addAction(actCopy);
  mnEdit->addAction(actPaste);
  mnEdit->addSeparator();
  mnEdit->addAction(actDelete);
  mnEdit->addSeparator();
  mnEdit->addAction(actPreferences);
}

void TfrmSMSComposer::setupToolsActions() {
  mnTools = kaSMSMenuBar->addMenu("&Tools");
  actSettings = makeAction("&Settings", &TfrmSMSComposer::showSettingsPage);
  mnTools->addAction(actSettings);
}

void TfrmSMSComposer::setupHelpActions() {
  mnHelp = kaSMSMenuBar->addMenu("&Help");
  // There is no help yet; the entries are shown disabled.
  actHelp = makeAction("Kavri SMS &Help", nullptr);
  actAbout = makeAction("&About Kavri SMS", nullptr);
  actHelp->setEnabled(false);
  actAbout->setEnabled(false);
  mnHelp->addAction(actHelp);
  mnHelp->addAction(actAbout);
}

void TfrmSMSComposer::setupToolbarActions() {
  actAddressbook = makeAction("&Addressbook", &TfrmSMSComposer::selectAddresses);
  actAddressbook->setIcon(addressBookIcon());
  actCheckNumbers = makeAction("&Check phone numbers", nullptr);
  actCheckNumbers->setIcon(checkNumbersIcon());
  actCheckNumbers->setEnabled(false); // no check exists yet
  tbPriority = makeAction("&Priority high", nullptr);
  tbPriority->setIcon(priorityIcon());
  tbPriority->setCheckable(true);
  actDownloadCredits = makeAction("&Download credits", nullptr);
  connect(actDownloadCredits, &QAction::triggered, this,
          [this] { runCommand([this] { getCredits(true); }); });

  tbMain->addAction(actSend);
  tbMain->addSeparator();
  tbMain->addAction(actAddressbook);
  tbMain->addAction(actCheckNumbers);
  tbMain->addSeparator();
  tbMain->addAction(tbPriority);
  tbMain->addSeparator();
  tbMain->addAction(actDownloadCredits);
  auto style = [this](QAction* action, Qt::ToolButtonStyle s) {
    if (auto* button = qobject_cast<QToolButton*>(tbMain->widgetForAction(action)))
      button->setToolButtonStyle(s);
  };
  style(actSend, Qt::ToolButtonTextBesideIcon);
  style(actDownloadCredits, Qt::ToolButtonTextOnly);
}

void TfrmSMSComposer::setupAddressBars() {
  actTo = makeAction("&To:", &TfrmSMSComposer::selectAddresses);
  actTo->setIcon(addressBookIcon());
  actCc = makeAction("&Cc:", &TfrmSMSComposer::selectAddresses);
  actCc->setIcon(addressBookIcon());
  bTo->setDefaultAction(actTo);
  bCc->setDefaultAction(actCc);
  // Both buttons as wide as the wider, so that both fields start alike.
  const int buttonWidth = std::max(bTo->sizeHint().width(), bCc->sizeHint().width());
  const int height = std::max(bTo->sizeHint().height(), eTo->sizeHint().height()) + 2;
  for (auto [bar, button, field] : {std::tuple{tbToBar, bTo, eTo}, std::tuple{tbCcBar, bCc, eCC}}) {
    bar->setFixedHeight(height);
    button->setGeometry(addressBarIndent, 1, buttonWidth, height - 2);
    field->setGeometry(addressBarIndent + buttonWidth + 4, (height - field->sizeHint().height()) / 2,
                       149, field->sizeHint().height());
  }
}

} // namespace quorvel
