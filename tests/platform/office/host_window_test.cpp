// The host window (offscreen): command bars as menus and toolbars rebuilt
// from the model, clicks reaching sinks, reminders raised and listed, the
// COM Add-ins dialog, and File > Exit shutting the add-ins down.
#include "officeTestUtil.h"
#include "testaddin.h"

#include "com/automation.h"
#include "com/module.h"
#include "com/objbase.h"
#include "office/addinsdialog.h"
#include "office/hostwindow.h"
#include "office/reminderspanel.h"
#include "registry/winreg.h"
#include "sandbox.h"

#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>

using namespace quorvel::officetest;
using namespace quorvel::office;
namespace reg = quorvel::winreg;

namespace {

class QtEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "host_window_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
  }
  void TearDown() override { app_.reset(); }

private:
  std::unique_ptr<QApplication> app_;
};
[[maybe_unused]] ::testing::Environment* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

QAction* find(const QList<QAction*>& actions, const QString& text) {
  for (QAction* a : actions)
    if (a->text() == text) return a;
  return nullptr;
}

void settle() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

class HostWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(quorvel::com::OleInitialize(nullptr)));
    options.customisationFile = box.dir + "/outlook.commandbars";
    options.schedule.folder = box.dir + "/calendar";
    options.schedule.stateFile = box.dir + "/reminders.state";
  }
  void TearDown() override { quorvel::com::OleUninitialize(); }

  void registerTestAddIn() {
    std::string error;
    void* lib = loadModule(TEST_ADDIN_LIBRARY, &error);
    ASSERT_TRUE(lib) << error;
    ASSERT_EQ(reinterpret_cast<DllRegisterServerFn>(moduleSymbol(lib, "DllRegisterServer"))(),
              S_OK);
    freeModule(lib);
    reg::HKEY h = nullptr;
    std::string key = std::string("Software\\Microsoft\\Office\\Outlook\\AddIns\\") + kGoodProgId;
    ASSERT_EQ(reg::RegCreateKeyExA(reg::HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0,
                                   reg::KEY_WRITE, nullptr, &h, nullptr),
              reg::ERROR_SUCCESS);
    reg::DWORD three = 3;
    reg::RegSetValueExA(h, "LoadBehavior", 0, reg::REG_DWORD,
                        reinterpret_cast<const reg::BYTE*>(&three), 4);
    reg::RegCloseKey(h);
  }

  quorvel::testsupport::RegistrySandbox box;
  MemoryClipboard clipboard;
  HostOptions options;
};

TEST_F(HostWindowTest, CommandBarsBecomeMenusAndToolbarsAndClicksReachSinks) {
  HostSession session(options, &clipboard);
  HostWindow window(session);
  QAction* file = window.menuBar()->actions().value(0);
  ASSERT_TRUE(file && file->menu());
  EXPECT_EQ(file->text(), "File");
  QAction* newMenu = file->menu()->actions().value(0);
  ASSERT_TRUE(newMenu && newMenu->menu());
  EXPECT_EQ(newMenu->text(), "New");
  EXPECT_TRUE(find(newMenu->menu()->actions(), "Mail Message"));

  // What an add-in does, by late binding on the explorer's command bars.
  ComPtr<IDispatch> explorer = callMethod(session.application(), "ActiveExplorer").toDispatch();
  ComPtr<IDispatch> bars = getProperty(explorer.get(), "CommandBars").toDispatch();
  ComPtr<IDispatch> bar = callMethod(bars.get(), "Add", {Variant("KAVRI SMS")}).toDispatch();
  ComPtr<IDispatch> controls = getProperty(bar.get(), "Controls").toDispatch();
  ComPtr<IDispatch> button = callMethod(controls.get(), "Add", {Variant(1)}).toDispatch();
  putProperty(button.get(), "Caption", Variant("SMS"));
  putProperty(button.get(), "ShortcutText", Variant("Ctrl+Shift+G"));
  putProperty(bar.get(), "Visible", Variant(true));
  settle();

  auto* toolbar = window.findChild<QToolBar*>("KAVRI SMS");
  ASSERT_TRUE(toolbar);
  QAction* sms = find(toolbar->actions(), "SMS");
  ASSERT_TRUE(sms);
  EXPECT_TRUE(sms->shortcut().isEmpty());
  ComPtr<ClickSink> sink(new ClickSink);
  DWORD cookie = 0;
  ASSERT_EQ(adviseSink(button.get(), DIID_CommandBarButtonEvents, sink.get(), &cookie), S_OK);
  sms->trigger();
  settle();
  EXPECT_EQ(sink->calls, 1);
  EXPECT_EQ(sink->lastArg.toDispatch().get(), button.get());
  unadviseSink(button.get(), DIID_CommandBarButtonEvents, cookie);
}

TEST_F(HostWindowTest, DueReminderIsRaisedOnceThroughOutlookAndListed) {
  std::filesystem::create_directories(options.schedule.folder);
  const int64_t now = quorvel::calendar::currentTime();
  char start[32];
  std::time_t t = std::time_t(now + 7200);
  std::strftime(start, sizeof start, "%Y%m%dT%H%M%SZ", std::gmtime(&t));
  std::ofstream(options.schedule.folder + "/work.ics")
      << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VEVENT\r\n"
         "UID:review-1\r\nDTSTART:" << start << "\r\nDURATION:PT30M\r\nSUMMARY:Review\r\n"
         "LOCATION:Room 2\r\nPRIORITY:1\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\n"
         "TRIGGER:-PT1H\r\nEND:VALARM\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
  HostSession session(options, &clipboard);
  HostWindow window(session);
  ComPtr<ClickSink> sink(new ClickSink);
  DWORD cookie = 0;
  ASSERT_EQ(adviseSink(session.outlook()->identity(), DIID_ApplicationEvents, sink.get(),
                       &cookie),
            S_OK);
  RemindersPanel* panel = window.remindersPanel();
  panel->check(now);
  EXPECT_EQ(sink->calls, 0);
  panel->check(now + 3700);
  ASSERT_EQ(sink->calls, 1);
  EXPECT_EQ(sink->lastId, DISPID_Reminder);
  ComPtr<IDispatch> item = sink->lastArg.toDispatch();
  EXPECT_TRUE(item.query<IAppointmentItem>());
  EXPECT_EQ(getProperty(item.get(), "Importance").toInt(), olImportanceHigh);
  ASSERT_EQ(panel->list()->count(), 1);
  EXPECT_TRUE(panel->list()->item(0)->text().contains("Review (Room 2)"));
  panel->check(now + 3800);
  EXPECT_EQ(sink->calls, 1);
  unadviseSink(session.outlook()->identity(), DIID_ApplicationEvents, cookie);
}

TEST_F(HostWindowTest, AddInsDialogUnloadsAndLoadsAndExitShutsThemDown) {
  registerTestAddIn();
  HostSession session(options, &clipboard);
  HostWindow window(session);
  window.show();
  window.startAddIns();
  ASSERT_TRUE(session.addIns().isConnected(kGoodProgId));
  {
    AddInsDialog dialog(session.addIns(), &window);
    ASSERT_EQ(dialog.list()->count(), 1);
    EXPECT_EQ(dialog.list()->item(0)->checkState(), Qt::Checked);
    dialog.list()->item(0)->setCheckState(Qt::Unchecked);
    dialog.apply();
    EXPECT_FALSE(session.addIns().isConnected(kGoodProgId));
    dialog.list()->item(0)->setCheckState(Qt::Checked);
    dialog.apply();
    EXPECT_TRUE(session.addIns().isConnected(kGoodProgId));
  }
  QMenu* fileMenu = window.menuBar()->actions().value(0)->menu();
  QAction* exitAction = find(fileMenu->actions(), "Exit");
  ASSERT_TRUE(exitAction);
  exitAction->trigger();
  settle();
  EXPECT_TRUE(session.stopping());
  EXPECT_FALSE(session.addIns().isConnected(kGoodProgId));
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(window.messages().empty());
}

} // namespace
