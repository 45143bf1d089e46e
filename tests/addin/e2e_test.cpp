// End to end: the host program's session and window load the add-in that
// the registration tool registered, a click on its toolbar button shows the
// composer, and a calendar alarm falling due is texted through the bundled
// gateway.
#include "com/objbase.h"
#include "gateway/gatewayEmbedded.h"
#include "office/hostwindow.h"
#include "office/qtclipboard.h"
#include "registry/winreg.h"
#include "sandbox.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QToolBar>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <sys/wait.h>

namespace {

using namespace quorvel;
using namespace quorvel::com;
namespace reg = quorvel::winreg;

/// Runs the window thread's events until \p done (at most 60 s).
bool pumpUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  return true;
}

QWidget* composerWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "frmSMSComposer") return w;
  return nullptr;
}

void setSetting(const char* name, const std::string& value) {
  reg::HKEY h = nullptr;
  ASSERT_EQ(reg::RegCreateKeyExA(reg::HKEY_CURRENT_USER, "Software\\Kavri\\Nemora\\Outlook", 0, nullptr, 0,
                                 reg::KEY_WRITE, nullptr, &h, nullptr),
            reg::ERROR_SUCCESS);
  reg::RegSetValueExA(h, name, 0, reg::REG_SZ, reinterpret_cast<const reg::BYTE*>(value.c_str()),
                      reg::DWORD(value.size() + 1));
  reg::RegCloseKey(h);
}

std::string utcStamp(calendar::TimePoint t) {
  const std::time_t tt = std::time_t(t);
  std::tm tm{};
  gmtime_r(&tt, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%dT%H%M%SZ", &tm);
  return buf;
}

int runRegsvr(const std::string& library) {
  const std::string command = std::string(REGSVR_TOOL) + " /s " + library;
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(EndToEnd, HostLoadsTheAddInAClickShowsTheComposerAndAReminderIsTexted) {
  int argc = 1;
  char name[] = "addin_e2e_test";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);

  testsupport::RegistrySandbox sandbox;
  QTemporaryDir dataHome;
  ASSERT_TRUE(dataHome.isValid());
  qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
  gateway::EmbeddedOptions options;
  options.cost = gateway::HashCost{10, 8, 1};
  gateway::EmbeddedGateway gateway(dataHome.filePath("gateway.sqlite").toStdString(), options);
  setSetting("eServerURL", gateway.url());
  setSetting("eUserName", "nobody");
  setSetting("eUserPass", "pqr456");
  setSetting("eNotifPhoneNumber", "+3670555");
  setSetting("cbEventSel", "Important events and tasks");
  ASSERT_EQ(runRegsvr(ADDIN_LIBRARY), 0);

  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  {
    office::QtClipboard clipboard;
    office::HostSession session(office::HostOptions{}, &clipboard);
    ASSERT_EQ(session.registerClasses(), S_OK);
    office::HostWindow window(session);
    window.show();
    window.startAddIns();
    ASSERT_TRUE(session.addIns().isConnected("VaskAddin.VaskAddin_"))
        << session.addIns().addIns().front().lastError;
    window.rebuildCommandBars();

    // A click on the toolbar button shows the composer.
    auto* toolbar = window.findChild<QToolBar*>("KAVRI SMS");
    ASSERT_NE(toolbar, nullptr);
    QAction* sms = nullptr;
    for (QAction* a : toolbar->actions())
      if (a->text() == "SMS") sms = a;
    ASSERT_NE(sms, nullptr);
    ASSERT_NE(composerWindow(), nullptr);
    EXPECT_FALSE(composerWindow()->isVisible());
    sms->trigger();
    ASSERT_TRUE(pumpUntil([] { return composerWindow()->isVisible(); }));

    // An important appointment whose alarm falls due five minutes from now.
    const calendar::TimePoint now = calendar::currentTime();
    QDir().mkpath(dataHome.filePath("quorvel/calendar"));
    std::ofstream(dataHome.filePath("quorvel/calendar/work.ics").toStdString())
        << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Quorvel//Test//EN\r\n"
        << "BEGIN:VEVENT\r\nUID:review-1@quorvel.test\r\nDTSTAMP:" << utcStamp(now) << "\r\n"
        << "DTSTART:" << utcStamp(now + 600) << "\r\nDTEND:" << utcStamp(now + 2400) << "\r\n"
        << "SUMMARY:Review\r\nLOCATION:Room 2\r\nPRIORITY:1\r\n"
        << "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:Review\r\nTRIGGER:-PT5M\r\nEND:VALARM\r\n"
        << "END:VEVENT\r\nEND:VCALENDAR\r\n";
    EXPECT_TRUE(session.raiseDueReminders(now).empty());
    ASSERT_EQ(session.raiseDueReminders(now + 360).size(), 1u);

    const auto messages = gateway.store().messages(std::string("nobody"), 10);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].recipient, "+3670555");
    const std::string tail = " Review (Room 2)  Review";
    ASSERT_GE(messages[0].text.size(), tail.size());
    EXPECT_EQ(messages[0].text.substr(messages[0].text.size() - tail.size()), tail) << messages[0].text;
    EXPECT_FALSE(composerWindow()->isVisible()); // a successful send hides it

    session.stop();
    EXPECT_EQ(composerWindow(), nullptr);
  }
  OleUninitialize();
}

} // namespace
