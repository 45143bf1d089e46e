// Tests of the composer window: layout, commands, status bar, log, lifecycle.
#include "composerProbe.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

namespace quorvel {
namespace {

using WindowTest = ComposerTest;

// Captions of a menu or toolbar, "-" for a separator.
std::vector<std::string> captions(const QList<QAction*>& actions) {
  std::vector<std::string> out;
  for (const QAction* a : actions)
    out.push_back(a->isSeparator() ? "-" : a->text().toStdString());
  return out;
}

void selectAll(QTextEdit* edit) {
  QTextCursor cursor = edit->textCursor();
  cursor.select(QTextCursor::Document);
  edit->setTextCursor(cursor);
}

TEST_F(WindowTest, LayoutAndNames) {
  ProbeForm form;
  EXPECT_EQ(form.windowTitle(), "KAVRI SMS");
  EXPECT_FALSE(form.windowIcon().isNull());
  EXPECT_EQ(form.size(), QSize(496, 475));
  EXPECT_FALSE(form.isVisible());
  ASSERT_EQ(form.PageControl->count(), 3);
  EXPECT_EQ(form.PageControl->tabPosition(), QTabWidget::South);
  EXPECT_EQ(form.PageControl->tabText(0), "SMS Composer");
  EXPECT_EQ(form.PageControl->tabText(1), "SMS Settings");
  EXPECT_EQ(form.PageControl->tabText(2), "Communication Log");
  for (const char* name :
       {"eTo", "eCC", "re", "mComlog", "mOutboxStore", "eServerURL", "eUserName", "ePass",
        "eNotifPhoneNumber", "cbEventSel", "cbNotify", "bTest", "bApply", "bApply3",
        "kaSMSMenuBar", "Splitter1"})
    EXPECT_NE(form.findChild<QWidget*>(name), nullptr) << name;
  EXPECT_EQ(form.credits, "");
  EXPECT_FALSE(form.donthide);
  EXPECT_NE(form.myMapi, nullptr);
  EXPECT_TRUE(form.mOutboxStore->toPlainText().isEmpty());
  EXPECT_EQ(form.StatusBar->findChildren<QLabel*>().size(), 4);
}

TEST_F(WindowTest, MenusToolbarAndShortcuts) {
  ProbeForm form;
  EXPECT_EQ(captions(form.kaSMSMenuBar->actions()),
            (std::vector<std::string>{"&File", "&Edit", "&Tools", "&Help"}));
  EXPECT_EQ(captions(form.mnFile->actions()),
            (std::vector<std::string>{"&Send", "-", "&Open", "&Save", "-", "&Print", "-",
                                      "&Close"}));
  EXPECT_EQ(captions(form.mnEdit->actions()),
            (std::vector<std::string>{"&Undo", "-", "&Cut", "&Copy", "&Paste", "-", "&Delete",
                                      "-", "&Preferences"}));
  EXPECT_EQ(captions(form.mnTools->actions()), (std::vector<std::string>{"&Settings"}));
  EXPECT_EQ(captions(form.mnHelp->actions()),
            (std::vector<std::string>{"Kavri SMS &Help", "&About Kavri SMS"}));
  EXPECT_EQ(captions(form.tbMain->actions()),
            (std::vector<std::string>{"&Send", "-", "&Addressbook", "&Check phone numbers", "-",
                                      "&Priority high", "-", "&Download credits"}));
  // Menu and toolbar share one action per command.
  EXPECT_EQ(form.mnFile->actions().front(), form.tbMain->actions().front());
  EXPECT_EQ(form.actSend->toolTip(), "Send SMS message");
  EXPECT_TRUE(form.tbPriority->isCheckable());
  EXPECT_FALSE(form.tbMain->isMovable());
  EXPECT_FALSE(form.tbMain->isFloatable());
  const auto* sendButton = qobject_cast<QToolButton*>(form.tbMain->widgetForAction(form.actSend));
  ASSERT_NE(sendButton, nullptr);
  EXPECT_EQ(sendButton->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
  EXPECT_FALSE(sendButton->icon().isNull());
  const auto* creditButton =
      qobject_cast<QToolButton*>(form.tbMain->widgetForAction(form.actDownloadCredits));
  EXPECT_EQ(creditButton->toolButtonStyle(), Qt::ToolButtonTextOnly);

  struct Shortcut {
    QAction* action;
    const char* keys;
  };
  const Shortcut shortcuts[] = {
      {form.actOpen, "Ctrl+O"},  {form.actSave, "Ctrl+S"},       {form.actPrint, "Ctrl+P"},
      {form.actUndo, "Alt+Backspace"}, {form.actCut, "Ctrl+X"},  {form.actCopy, "Ctrl+C"},
      {form.actPaste, "Ctrl+V"}, {form.actDelete, "Del"},        {form.actSend, ""},
      {form.actClose, ""},       {form.actPreferences, ""},      {form.actSettings, ""}};
  for (const Shortcut& s : shortcuts)
    EXPECT_EQ(s.action->shortcut(), QKeySequence(s.keys)) << s.action->text().toStdString();
}

TEST_F(WindowTest, StatusBarCountsCharactersNotBytes) {
  ProbeForm form;
  struct Case {
    QString text;
    const char* chars;
    const char* sms;
    const char* left;
  };
  const Case cases[] = {
      {"", "Character: 0", "SMS: 1", "Characters left: 160"},
      {QString(159, 'a'), "Character: 159", "SMS: 1", "Characters left: 1"},
      {QString(160, 'a'), "Character: 160", "SMS: 1", "Characters left: 160"},
      {QString(161, 'a'), "Character: 161", "SMS: 2", "Characters left: 159"},
      {QString(320, 'a'), "Character: 320", "SMS: 2", "Characters left: 160"},
      // Line breaks do not count: 80 + 81 characters on two lines.
      {QString(80, 'a') + "\n" + QString(81, 'b'), "Character: 161", "SMS: 2",
       "Characters left: 159"},
      // 161 accented letters: two bytes each in UTF-8, one character each.
      {QString(161, QChar(0x0151)), "Character: 161", "SMS: 2", "Characters left: 159"},
      {QString::fromUtf8("\xF0\x9F\x98\x80"), "Character: 1", "SMS: 1", "Characters left: 159"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chars);
    form.re->setPlainText(c.text); // every change of the text refreshes the panels
    EXPECT_EQ(form.statusPanelText(0), c.chars);
    EXPECT_EQ(form.statusPanelText(1), c.sms);
    EXPECT_EQ(form.statusPanelText(2), c.left);
  }
  EXPECT_EQ(form.statusPanelText(3), "Credits :  unknown");
  form.credits = "42";
  form.updateStatus();
  EXPECT_EQ(form.statusPanelText(3), "Credits : 42");
}

// The panel's text keeps its own count; the tooltip tells the true parts of
// the text as it is sent (line breaks and tabs removed).
TEST_F(WindowTest, SmsPanelToolTipTellsPartsAndCoding) {
  ProbeForm form;
  form.re->setPlainText(QString(100, QChar(0x0151)));
  EXPECT_EQ(form.statusPanelText(1), "SMS: 1");
  EXPECT_EQ(form.statusPanelToolTip(1), "2 parts, Unicode: '\xC5\x91' is not in the GSM alphabet");
  form.re->setPlainText(QString(80, 'a') + "\t\n" + QString(80, '{'));
  EXPECT_EQ(form.statusPanelToolTip(1), "2 parts, GSM alphabet");
}

TEST_F(WindowTest, TypingUpdatesTheStatusBar) {
  ProbeForm form;
  showActive(form);
  form.re->setFocus();
  QTest::keyClicks(form.re, "ab");
  QTest::keyClick(form.re, Qt::Key_Return);
  QTest::keyClicks(form.re, "c");
  EXPECT_EQ(form.statusPanelText(0), "Character: 3");
}

TEST_F(WindowTest, EditCommandsWorkOnTheEditorWhereverTheFocusIs) {
  ProbeForm form;
  showActive(form);
  QClipboard* clipboard = QApplication::clipboard();
  form.re->setPlainText("hello world");
  selectAll(form.re);
  form.eTo->setFocus();
  form.actCopy->trigger();
  EXPECT_EQ(clipboard->text(), "hello world");
  form.actCut->trigger();
  EXPECT_EQ(form.re->toPlainText(), "");
  form.actPaste->trigger();
  form.actPaste->trigger();
  EXPECT_EQ(form.re->toPlainText(), "hello worldhello world");
  EXPECT_EQ(form.eTo->text(), "");
  form.actUndo->trigger();
  EXPECT_EQ(form.re->toPlainText(), "hello world");
}

TEST_F(WindowTest, DeleteCutsToTheClipboard) {
  ProbeForm form;
  showActive(form);
  QApplication::clipboard()->setText("old");
  form.re->setPlainText("keep this");
  QTextCursor cursor = form.re->textCursor();
  cursor.setPosition(4);
  cursor.setPosition(9, QTextCursor::KeepAnchor);
  form.re->setTextCursor(cursor);
  form.re->setFocus();
  QTest::keyClick(form.re, Qt::Key_Delete); // the Del key of the command table
  EXPECT_EQ(form.re->toPlainText(), "keep");
  EXPECT_EQ(QApplication::clipboard()->text(), " this");
  // Alt+Backspace undoes the editor's last change.
  QTest::keyClick(form.re, Qt::Key_Backspace, Qt::AltModifier);
  EXPECT_EQ(form.re->toPlainText(), "keep this");
}

TEST_F(WindowTest, KeyboardShortcutsReachTheCommands) {
  ProbeForm form;
  showActive(form);
  form.openPath = "";
  form.re->setFocus();
  QTest::keyClick(form.re, Qt::Key_O, Qt::ControlModifier);
  QTest::keyClick(form.re, Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(form.fileDialogs.size(), 2u);
  EXPECT_EQ(form.fileDialogs[0].title, "Select Message File");
  EXPECT_EQ(form.fileDialogs[1].title, "Save Message File");
  form.re->setPlainText("abc");
  selectAll(form.re);
  QTest::keyClick(form.re, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "abc");
  QTest::keyClick(form.re, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(form.re->toPlainText(), "abc");
}

TEST_F(WindowTest, AddressFieldsKeepTheirOwnEditingKeys) {
  ProbeForm form;
  showActive(form);
  form.re->setPlainText("message");
  selectAll(form.re);
  form.eTo->setText("+3612");
  form.eTo->setFocus();
  form.eTo->setCursorPosition(0);
  QTest::keyClick(form.eTo, Qt::Key_Delete);
  EXPECT_EQ(form.eTo->text(), "3612");
  EXPECT_EQ(form.re->toPlainText(), "message");
}

TEST_F(WindowTest, PagesAndToggles) {
  ProbeForm form;
  form.actPreferences->trigger();
  EXPECT_EQ(form.PageControl->currentWidget(), form.tsSettings);
  form.PageControl->setCurrentWidget(form.tsComlog);
  form.actSettings->trigger();
  EXPECT_EQ(form.PageControl->currentWidget(), form.tsSettings);
  form.tbPriority->trigger();
  EXPECT_TRUE(form.tbPriority->isChecked());
  form.tbPriority->trigger();
  EXPECT_FALSE(form.tbPriority->isChecked());
}

TEST_F(WindowTest, ShowingStartsAfreshButKeepsSettingsLogAndCredits) {
  ProbeForm form;
  showActive(form);
  form.eTo->setText("+3612345");
  form.eCC->setText("Ann [+3699] ; ");
  form.re->setPlainText("draft");
  form.tbPriority->setChecked(true);
  form.eUserName->setText("someone");
  form.setComlogText("log line\r\n");
  form.credits = "7";
  form.PageControl->setCurrentWidget(form.tsComlog);

  form.actClose->trigger();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.re->toPlainText(), "draft"); // closing only hides

  showActive(form);
  EXPECT_EQ(form.eTo->text(), "");
  EXPECT_EQ(form.eCC->text(), "");
  EXPECT_EQ(form.re->toPlainText(), "");
  EXPECT_FALSE(form.tbPriority->isChecked());
  EXPECT_EQ(form.PageControl->currentWidget(), form.tsComposer);
  EXPECT_EQ(QApplication::focusWidget(), form.eTo);
  EXPECT_EQ(form.eUserName->text(), "someone");
  EXPECT_EQ(form.comlogText(), "log line\r\n");
  EXPECT_EQ(form.credits, "7");
  EXPECT_EQ(form.statusPanelText(0), "Character: 0");
  EXPECT_EQ(form.statusPanelText(3), "Credits : 7");
}

TEST_F(WindowTest, TabMovesFromToToCcToTheEditor) {
  ProbeForm form;
  showActive(form);
  ASSERT_EQ(QApplication::focusWidget(), form.eTo);
  QTest::keyClick(form.eTo, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), form.eCC);
  QTest::keyClick(form.eCC, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), form.re);
}

TEST_F(WindowTest, ResizingStretchesTheAddressFields) {
  ProbeForm form;
  showActive(form);
  for (int width : {496, 700, 480}) {
    form.resize(width, 475);
    QApplication::processEvents();
    ASSERT_EQ(form.width(), width);
    for (QLineEdit* field : {form.eTo, form.eCC}) {
      const int left = field->mapTo(&form, QPoint(0, 0)).x();
      EXPECT_EQ(field->width(), width - left - 28) << width;
    }
    EXPECT_EQ(form.eTo->mapTo(&form, QPoint(0, 0)).x(), form.eCC->mapTo(&form, QPoint(0, 0)).x());
  }
}

TEST_F(WindowTest, LogKeepsItsLastFiftyLines) {
  ProbeForm form;
  std::string text;
  for (int i = 1; i <= 60; ++i)
    text += "line " + std::to_string(i) + "\r\n";
  form.setComlogText(text);
  EXPECT_EQ(form.mComlog->document()->blockCount(), 51); // 50 lines and the empty last one
  EXPECT_TRUE(form.mComlog->toPlainText().startsWith("line 11\n"));
  EXPECT_TRUE(form.mComlog->toPlainText().endsWith("line 60\n"));
  // Appending a response cuts again from the top.
  form.appendComlogText("[RESPONSE]\r\nanswer");
  EXPECT_TRUE(form.mComlog->toPlainText().startsWith("line 13\n"));
  EXPECT_TRUE(form.comlogText().ends_with("line 60\r\n[RESPONSE]\r\nanswer"));
  // Direct edits of the memo obey the limit as well.
  form.mComlog->setPlainText(QString("x\n").repeated(70));
  EXPECT_EQ(form.mComlog->toPlainText(), QString("x\n").repeated(50));
}

TEST_F(WindowTest, AddressSelectionFillsToAndAppendsToCc) {
  ProbeForm form;
  form.eTo->setText("old to");
  form.eCC->setText("Kept [+361] ; ");
  form.addressSelection = {"Ann [+3611] ", "Bob [+3622] ", "Cy [+3633] "};
  form.actTo->trigger();
  EXPECT_EQ(form.eTo->text(), "Ann [+3611] ");
  EXPECT_EQ(form.eCC->text(), "Kept [+361] ; Bob [+3622] ; Cy [+3633] ; ");
  // An empty selection (a cancelled dialog) changes nothing.
  form.addressSelection.clear();
  form.actCc->trigger();
  form.actAddressbook->trigger();
  EXPECT_EQ(form.addressDialogs, 3);
  EXPECT_EQ(form.eTo->text(), "Ann [+3611] ");
}

TEST_F(WindowTest, SendPassesTrimmedRecipientsAndOneLineText) {
  ProbeForm form;
  form.eTo->setText("  +3612345 ");
  form.eCC->setText(" Ann [+3699] ; ");
  form.re->setPlainText("\t Hello\r\nthere\tyou \n");
  std::string recip;
  std::string msg;
  form.sendArguments(recip, msg);
  EXPECT_EQ(recip, "+3612345;Ann [+3699] ;");
  EXPECT_EQ(msg, "Hellothereyou");
  form.eTo->clear();
  form.eCC->clear();
  form.sendArguments(recip, msg);
  EXPECT_EQ(recip, ";");
}

} // namespace
} // namespace quorvel
