// The composer window's three pages and their controls.
#include "composer/unSMSForm.h"

#include "composer/unComposerTexts.h"
#include "composer/unSMSSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace quorvel {

namespace {

namespace T = composerText;

// A row of the address dock: a button and its field. The row has no layout:
// the window's resize rule sizes the field (see fitAddressFields), and the
// field must never hold the window wider than the user made it.
QWidget* addressBar(QWidget* parent, const char* name, QToolButton*& button, QLineEdit*& field) {
  auto* bar = new QWidget(parent);
  bar->setObjectName(name);
  button = new QToolButton(bar);
  button->setAutoRaise(true);
  button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  button->setFocusPolicy(Qt::NoFocus);
  field = new QLineEdit(bar);
  return bar;
}

QLabel* panel(QStatusBar* bar, const QString& widest, int designWidth, int stretch) {
  auto* label = new QLabel(bar);
  label->setMinimumWidth(std::max(designWidth, label->fontMetrics().horizontalAdvance(widest) + 8));
  bar->addWidget(label, stretch);
  return label;
}

// A label above a field of the log page.
QWidget* captionedMemo(QWidget* parent, const QString& caption, QPlainTextEdit*& memo,
                       const char* name) {
  auto* box = new QWidget(parent);
  auto* column = new QVBoxLayout(box);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(2);
  auto* label = new QLabel(caption, box);
  label->setContentsMargins(2, 2, 2, 0);
  memo = new QPlainTextEdit(box);
  memo->setObjectName(name);
  memo->setReadOnly(true);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  label->setBuddy(memo);
  column->addWidget(label);
  column->addWidget(memo, 1);
  return box;
}

} // namespace

void TfrmSMSComposer::buildComposerPage() {
  tsComposer = new QWidget;
  tsComposer->setObjectName("tsComposer");
  auto* page = new QVBoxLayout(tsComposer);
  page->setContentsMargins(0, 0, 0, 0);
  page->setSpacing(0);

  // The dock: menu bar, main toolbar, To bar and Cc bar; none of them moves.
  kaSMSMenuBar = new QMenuBar(tsComposer);
  kaSMSMenuBar->setObjectName("kaSMSMenuBar");
  kaSMSMenuBar->setNativeMenuBar(false);
  tbMain = new QToolBar("tbMain", tsComposer);
  tbMain->setObjectName("tbMain");
  tbMain->setMovable(false);
  tbMain->setFloatable(false);
  tbMain->setIconSize(QSize(16, 16));
  tbToBar = addressBar(tsComposer, "tbToBar", bTo, eTo);
  tbCcBar = addressBar(tsComposer, "tbCcBar", bCc, eCC);
  eTo->setObjectName("eTo");
  eCC->setObjectName("eCC");
  page->addWidget(kaSMSMenuBar);
  page->addWidget(tbMain);
  page->addWidget(tbToBar);
  page->addWidget(tbCcBar);

  re = new QTextEdit(tsComposer);
  re->setObjectName("re");
  QFont editorFont = re->font();
  editorFont.setPointSize(10);
  editorFont.setBold(true);
  re->setFont(editorFont);
  page->addWidget(re, 1);

  StatusBar = new QStatusBar(tsComposer);
  StatusBar->setObjectName("StatusBar");
  StatusBar->setSizeGripEnabled(false);
  // The last panel takes the rest of the bar.
  for (int i = 0; i < 4; ++i)
    statusPanels_[i] = panel(StatusBar, statusPanelWidest[i], statusPanelDesignWidth[i], i == 3);
  page->addWidget(StatusBar);

  setupMenus();
  setupToolbarActions();
  setupAddressBars();

  connect(re, &QTextEdit::textChanged, this, [this] { updateStatus(); });
  watch(re);
  watch(tbToBar);
  watch(tbCcBar);
  setTabOrder(eTo, eCC);
  setTabOrder(eCC, re);

  PageControl->addTab(tsComposer, T::pageComposer);
}

void TfrmSMSComposer::buildSettingsPage() {
  tsSettings = new QWidget;
  tsSettings->setObjectName("tsSettings");
  auto* page = new QVBoxLayout(tsSettings);
  page->setContentsMargins(8, 8, 8, 8);
  page->setSpacing(8);

  gbServer = new QGroupBox(T::serverGroup, tsSettings);
  gbServer->setObjectName("gbServer");
  auto* server = new QGridLayout(gbServer);
  server->setHorizontalSpacing(8);
  auto* serverInfo = new QLabel(T::serverInfo, gbServer);
  eServerURL = new QLineEdit(gbServer);
  eServerURL->setObjectName("eServerURL");
  eServerURL->setFixedWidth(183);
  eServerURL->setText(defaultServerURL);
  eUserName = new QLineEdit(gbServer);
  eUserName->setObjectName("eUserName");
  eUserName->setFixedWidth(79);
  eUserName->setText(defaultUserName);
  ePass = new QLineEdit(gbServer);
  ePass->setObjectName("ePass");
  ePass->setFixedWidth(79);
  ePass->setEchoMode(QLineEdit::Password);
  ePass->setStyleSheet("lineedit-password-character: 42");
  ePass->setText(defaultPassword);
  bTest = new QPushButton(T::testConnection, gbServer);
  bTest->setObjectName("bTest");
  bTest->setMinimumWidth(115);
  bApply = new QPushButton(T::apply, gbServer);
  bApply->setObjectName("bApply");
  bApply->setMinimumWidth(115);
  auto addRow = [&](int row, const char* caption, QLineEdit* field) {
    auto* label = new QLabel(caption, gbServer);
    label->setBuddy(field);
    server->addWidget(label, row, 0);
    server->addWidget(field, row, 1, Qt::AlignLeft);
  };
  server->addWidget(serverInfo, 0, 0, 1, 3);
  addRow(1, T::serverURL, eServerURL);
  addRow(2, T::userName, eUserName);
  addRow(3, T::password, ePass);
  server->addWidget(bTest, 2, 2, Qt::AlignRight);
  server->addWidget(bApply, 3, 2, Qt::AlignRight);
  server->setColumnStretch(2, 1);
  server->setRowMinimumHeight(0, 40);

  gbNotifications = new QGroupBox(T::notificationsGroup, tsSettings);
  gbNotifications->setObjectName("gbNotifications");
  auto* notify = new QGridLayout(gbNotifications);
  notify->setHorizontalSpacing(8);
  auto* notifyInfo = new QLabel(T::notificationsInfo, gbNotifications);
  eNotifPhoneNumber = new QLineEdit(gbNotifications);
  eNotifPhoneNumber->setObjectName("eNotifPhoneNumber");
  eNotifPhoneNumber->setFixedWidth(149);
  eNotifPhoneNumber->setText(defaultNotifPhone);
  cbEventSel = new QComboBox(gbNotifications);
  cbEventSel->setObjectName("cbEventSel");
  cbEventSel->setEditable(true);
  cbEventSel->setInsertPolicy(QComboBox::NoInsert);
  cbEventSel->setFixedWidth(228);
  cbEventSel->addItems({eventSelImportant, eventSelAll, eventSelNever});
  cbEventSel->setCurrentIndex(0);
  cbNotify = new QCheckBox(T::notifyAll, gbNotifications);
  cbNotify->setObjectName("cbNotify");
  cbNotify->setChecked(false);
  bApply3 = new QPushButton(T::apply, gbNotifications);
  bApply3->setObjectName("bApply3");
  bApply3->setMinimumWidth(115);
  auto* phoneLabel = new QLabel(T::phone, gbNotifications);
  phoneLabel->setBuddy(eNotifPhoneNumber);
  auto* eventLabel = new QLabel(T::notifyOn, gbNotifications);
  eventLabel->setBuddy(cbEventSel);
  notify->addWidget(notifyInfo, 0, 0, 1, 3);
  notify->addWidget(phoneLabel, 1, 0);
  notify->addWidget(eNotifPhoneNumber, 1, 1, Qt::AlignLeft);
  notify->addWidget(eventLabel, 2, 0);
  notify->addWidget(cbEventSel, 2, 1, Qt::AlignLeft);
  notify->addWidget(cbNotify, 3, 1);
  notify->addWidget(bApply3, 3, 2, Qt::AlignRight);
  notify->setColumnStretch(2, 1);
  notify->setRowMinimumHeight(0, 56);

  page->addWidget(gbServer);
  page->addWidget(gbNotifications);
  page->addStretch(1);

  setTabOrder(eUserName, ePass);
  setTabOrder(ePass, eServerURL);
  setTabOrder(eServerURL, bApply);
  setTabOrder(bApply, bTest);
  setTabOrder(bTest, eNotifPhoneNumber);
  setTabOrder(eNotifPhoneNumber, cbEventSel);
  setTabOrder(cbEventSel, cbNotify);
  setTabOrder(cbNotify, bApply3);

  // Leaving a field saves every setting.
  for (QWidget* field : {static_cast<QWidget*>(eServerURL), static_cast<QWidget*>(eUserName),
                         static_cast<QWidget*>(ePass), static_cast<QWidget*>(eNotifPhoneNumber),
                         static_cast<QWidget*>(cbEventSel)})
    watch(field);
  connect(bApply, &QPushButton::clicked, this, [this] { applySettings(); });
  connect(bApply3, &QPushButton::clicked, this, [this] { applySettings(); });
  connect(bTest, &QPushButton::clicked, this, [this] { runCommand([this] { getCredits(true); }); });

  PageControl->addTab(tsSettings, T::pageSettings);
}

void TfrmSMSComposer::buildLogPage() {
  tsComlog = new QWidget;
  tsComlog->setObjectName("tsComlog");
  auto* page = new QVBoxLayout(tsComlog);
  page->setContentsMargins(0, 0, 0, 0);
  Splitter1 = new QSplitter(Qt::Vertical, tsComlog);
  Splitter1->setObjectName("Splitter1");
  Splitter1->setHandleWidth(5);
  Splitter1->setChildrenCollapsible(false);
  Splitter1->addWidget(
      captionedMemo(Splitter1, T::comlogCaption, mComlog, "mComlog"));
  Splitter1->addWidget(captionedMemo(Splitter1, T::outboxCaption, mOutboxStore,
                                     "mOutboxStore"));
  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({17 + 185, 200});
  page->addWidget(Splitter1);

  connect(mComlog, &QPlainTextEdit::textChanged, this, &TfrmSMSComposer::limitComlog);
  connect(mOutboxStore, &QPlainTextEdit::textChanged, this, &TfrmSMSComposer::limitComlog);

  PageControl->addTab(tsComlog, T::pageComlog);
}

} // namespace quorvel
