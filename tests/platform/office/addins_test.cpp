// The add-in manager: start-up loading by LoadBehavior, the order of the
// IDTExtensibility2 calls, user unload and reload, shutdown, and failing
// add-ins reported without stopping the host.
#include "testaddin.h"

#include "com/automation.h"
#include "com/module.h"
#include "com/objbase.h"
#include "office/addins.h"
#include "registry/winreg.h"
#include "sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace quorvel::officetest;
using namespace quorvel::office;
namespace reg = quorvel::winreg;

namespace {

const InterfaceDesc kRecorderDesc{
    .name = "_Application",
    .iid = IID_OutlookApplication,
    .members = {{.name = "Log", .id = 1, .params = {{.name = "Text", .type = VT_BSTR}}}},
};

// A host application that keeps what the add-ins log.
class Recorder : public DispatchObject<IDispatch> {
public:
  Recorder() : DispatchObject(kRecorderDesc) {
    dispatcher().bind("Log", [this](DispArgs& a, VARIANT*) {
      log.push_back(a.toString(0));
      return S_OK;
    });
  }
  std::vector<std::string> log;
};

void registerAddIn(const std::string& progId, uint32_t loadBehavior) {
  reg::HKEY h = nullptr;
  std::string key = "Software\\Microsoft\\Office\\Outlook\\AddIns\\" + progId;
  ASSERT_EQ(reg::RegCreateKeyExA(reg::HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0,
                                 reg::KEY_WRITE, nullptr, &h, nullptr),
            reg::ERROR_SUCCESS);
  reg::RegSetValueExA(h, "LoadBehavior", 0, reg::REG_DWORD,
                      reinterpret_cast<const reg::BYTE*>(&loadBehavior), 4);
  std::string name = "Friendly " + progId;
  reg::RegSetValueExA(h, "FriendlyName", 0, reg::REG_SZ,
                      reinterpret_cast<const reg::BYTE*>(name.c_str()),
                      reg::DWORD(name.size() + 1));
  reg::RegCloseKey(h);
}

class AddInManagerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    std::string error;
    void* lib = loadModule(TEST_ADDIN_LIBRARY, &error);
    ASSERT_TRUE(lib) << error;
    auto registerServer =
        reinterpret_cast<DllRegisterServerFn>(moduleSymbol(lib, "DllRegisterServer"));
    ASSERT_EQ(registerServer(), S_OK);
    freeModule(lib);
  }
  void TearDown() override { OleUninitialize(); }

  quorvel::testsupport::RegistrySandbox box;
  ComPtr<Recorder> app{new Recorder};
  std::vector<std::string> messages;
};

TEST_F(AddInManagerTest, StartupConnectsLoadBehaviorThreeAndShutdownGoesInOrder) {
  registerAddIn(kGoodProgId, 3);
  registerAddIn("QuorvelTest.Manual", 2);
  {
    AddInManager m("Outlook", ComPtr<IDispatch>(app.get()));
    m.setMessageHandler([&](const std::string& s) { messages.push_back(s); });
    m.startup();
    EXPECT_TRUE(m.isConnected(kGoodProgId));
    EXPECT_FALSE(m.isConnected("QuorvelTest.Manual"));
    EXPECT_EQ(m.addIns().size(), 2u);
    m.shutdown();
  }
  EXPECT_EQ(app->log, (std::vector<std::string>{
                          "good OnConnection 1 QuorvelTest.GoodAddIn",
                          "good OnStartupComplete",
                          "good OnBeginShutdown",
                          "good OnDisconnection 0",
                      }));
  EXPECT_TRUE(messages.empty());
}

TEST_F(AddInManagerTest, UserUnloadAndReloadUseTheirModesAndTheRegistry) {
  registerAddIn(kGoodProgId, 3);
  AddInManager m("Outlook", ComPtr<IDispatch>(app.get()));
  m.startup();
  ASSERT_TRUE(m.unload(kGoodProgId));
  EXPECT_FALSE(m.isConnected(kGoodProgId));
  EXPECT_EQ(m.refresh()[0].loadBehavior, 2u);
  ASSERT_TRUE(m.load(kGoodProgId));
  EXPECT_EQ(m.refresh()[0].loadBehavior, 3u);
  EXPECT_EQ(app->log, (std::vector<std::string>{
                          "good OnConnection 1 QuorvelTest.GoodAddIn",
                          "good OnStartupComplete",
                          "good OnDisconnection 1",
                          "good OnConnection 0 QuorvelTest.GoodAddIn",
                      }));
}

TEST_F(AddInManagerTest, FailingAddInsAreReportedAndTheOthersStillLoad) {
  registerAddIn(kFailingProgId, 3);
  registerAddIn("QuorvelTest.NotInstalled", 3);
  registerAddIn(kGoodProgId, 3);
  AddInManager m("Outlook", ComPtr<IDispatch>(app.get()));
  m.setMessageHandler([&](const std::string& s) { messages.push_back(s); });
  m.startup();
  EXPECT_TRUE(m.isConnected(kGoodProgId));
  EXPECT_FALSE(m.isConnected(kFailingProgId));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_NE(messages[0].find("\"Friendly QuorvelTest.FailingAddIn\" (QuorvelTest.FailingAddIn) "
                             "could not be connected: refuses to connect (0x80004005)"),
            std::string::npos)
      << messages[0];
  EXPECT_NE(messages[1].find("(QuorvelTest.NotInstalled) is not registered with COM"),
            std::string::npos)
      << messages[1];
  // The failed add-in got no OnStartupComplete.
  EXPECT_EQ(std::count(app->log.begin(), app->log.end(), "failing OnStartupComplete"), 0);
  EXPECT_EQ(std::count(app->log.begin(), app->log.end(), "good OnStartupComplete"), 1);
}

} // namespace
