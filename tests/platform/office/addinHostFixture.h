// A host session loading the real add-in library, with the bundled gateway
// on a free port and the composer's settings pointing at it.
#pragma once

#include "com/module.h"
#include "com/objbase.h"
#include "gateway/gatewayEmbedded.h"
#include "office/hostwindow.h"
#include "office/qtclipboard.h"
#include "registry/winreg.h"
#include "sandbox.h"

#include <QApplication>
#include <QMenu>
#include <QToolBar>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>

namespace quorvel::officetest {

using namespace quorvel::office;

/// One QApplication for the whole test program.
class QtEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "office_addin_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
  }
  void TearDown() override { app_.reset(); }

private:
  std::unique_ptr<QApplication> app_;
};

inline void settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

inline QAction* findAction(const QList<QAction*>& actions, const QString& text) {
  for (QAction* a : actions)
    if (a->text() == text) return a;
  return nullptr;
}

class AddInHostTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(com::OleInitialize(nullptr)));
    dataHome = box.dir + "/data";
    std::filesystem::create_directories(dataHome + "/quorvel/calendar");
    oldDataHome_ = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    options.customisationFile = box.dir + "/outlook.commandbars";
    options.schedule = calendar::defaultScheduleConfig();
    gateway = std::make_unique<gateway::EmbeddedGateway>(dataHome + "/gateway.sqlite");
    setting("eServerURL", gateway->url());
    setting("eNotifPhoneNumber", "+36301112222");
    setting("cbEventSel", "All events and tasks");
    std::string error;
    void* lib = com::loadModule(QUORVEL_ADDIN_LIBRARY, &error);
    ASSERT_TRUE(lib) << error;
    auto registerServer =
        reinterpret_cast<com::DllRegisterServerFn>(com::moduleSymbol(lib, "DllRegisterServer"));
    ASSERT_TRUE(registerServer);
    ASSERT_EQ(registerServer(), com::S_OK);
    com::freeModule(lib);
  }
  void TearDown() override {
    gateway.reset();
    setenv("XDG_DATA_HOME", oldDataHome_.c_str(), 1);
    com::OleUninitialize();
  }

  static void setting(const char* name, const std::string& value) {
    namespace reg = quorvel::winreg;
    reg::HKEY h = nullptr;
    ASSERT_EQ(reg::RegCreateKeyExA(reg::HKEY_CURRENT_USER, "Software\\Kavri\\Nemora\\Outlook", 0,
                                   nullptr, 0, reg::KEY_WRITE, nullptr, &h, nullptr),
              reg::ERROR_SUCCESS);
    reg::RegSetValueExA(h, name, 0, reg::REG_SZ,
                        reinterpret_cast<const reg::BYTE*>(value.c_str()),
                        reg::DWORD(value.size() + 1));
    reg::RegCloseKey(h);
  }

  /// A high-priority appointment two hours after \p now whose alarm rings an
  /// hour before it.
  void writeCalendar(int64_t now) const {
    char start[32];
    std::time_t t = std::time_t(now + 7200);
    std::strftime(start, sizeof start, "%Y%m%dT%H%M%SZ", std::gmtime(&t));
    std::ofstream(options.schedule.folder + "/work.ics")
        << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VEVENT\r\n"
           "UID:review-1\r\nDTSTART:" << start << "\r\nDURATION:PT30M\r\nSUMMARY:Review\r\n"
           "LOCATION:Room 2\r\nPRIORITY:1\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\n"
           "TRIGGER:-PT1H\r\nEND:VALARM\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
  }

  /// The visible top-level window other than \p host (the composer).
  static QWidget* otherWindow(QWidget* host) {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w != host && w->isVisible() && w->isWindow() && !qobject_cast<QMenu*>(w) &&
          w->windowType() != Qt::ToolTip)
        return w;
    return nullptr;
  }

  testsupport::RegistrySandbox box;
  std::string dataHome;
  QtClipboard clipboard;
  HostOptions options;
  std::unique_ptr<gateway::EmbeddedGateway> gateway;

private:
  std::string oldDataHome_;
};

} // namespace quorvel::officetest
