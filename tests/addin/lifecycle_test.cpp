// The add-in object's life in an in-process host made of the host's real
// objects: recognition, the command-bar entries, clicks, failures, and the
// orders of shutdown and user unload.
#include "addin/Main.h"
#include "addin/unButtonFace.h"
#include "addin/unComposerHost.h"
#include "composerProbe.h"
#include "errorInfoText.h"
#include "composer/unGetCreditThread.h"
#include "office/hostsession.h"
#include "office/items.h"
#include "office/qtclipboard.h"

#include <QClipboard>
#include <QGuiApplication>

#include <chrono>
#include <cstdio>

namespace quorvel {
namespace {

using namespace com;
using office::CommandBar;
using office::CommandBarControl;
using office::CommandBarControls;
using office::HostKind;
using office::HostSession;

constexpr char kProgId[] = "VaskAddin.VaskAddin_";

using test::lastErrorInfo;

/// A button whose host will not let go of a click sink: Unadvise fails (as
/// when the host has gone away) and the sink stays advised, to be called.
class StubbornButton : public CommandBarControl {
public:
  explicit StubbornButton(std::shared_ptr<office::CommandBarContext> ctx)
      : CommandBarControl(std::move(ctx), office::msoControlButton, 0, false) {}

  HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override {
    return findConnectionPoint({&events_}, riid, ppCP);
  }
  size_t stubbornSinkCount() const { return events_.sinkCount(); }
  HRESULT raiseClick() {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    return events_.fire(office::DISPID_CommandBarButtonClick, {Variant(dispatch()), Variant::boolRef(&cancel)});
  }

  static constexpr HRESULT kUnadviseFailure = HRESULT(0x80010108); // the object has disconnected

private:
  struct Point : ConnectionPoint {
    using ConnectionPoint::ConnectionPoint;
    HRESULT QUORVEL_STDCALL Unadvise(DWORD) override { return kUnadviseFailure; }
  };
  Point events_{*this, office::DIID_CommandBarButtonEvents};
};

class Lifecycle : public ComposerTest {
protected:
  void SetUp() override {
    ComposerTest::SetUp();
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    setErrorBox([this](const std::string& text) { errorBoxes.push_back(text); });
    setComposerMaker([this] {
      auto* form = new ProbeForm;
      ++composersMade;
      toolbarBeforeComposer = toolbar() != nullptr;
      QObject::connect(form, &QObject::destroyed, [this] { ++composersDestroyed; });
      return form;
    });
    QGuiApplication::clipboard()->setText("the user's text");
    custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
  }
  void TearDown() override {
    addIn = nullptr;
    if (session) session->stop();
    session.reset();
    destroyComposer(); // one a test left connected
    SafeArrayDestroy(custom);
    setErrorBox({});
    setComposerMaker({});
    setClipboardHeld({});
    OleUninitialize();
    EXPECT_TRUE(TGetCreditThread::waitForAll(std::chrono::seconds(60)));
    ComposerTest::TearDown();
  }

  /// A host of \p kind with its classes registered, and a new add-in object.
  /// PasteFace reads \p hostClipboard (the system clipboard when null).
  void start(HostKind kind, office::Clipboard* hostClipboard = nullptr) {
    office::HostOptions options;
    options.kind = kind;
    session = std::make_unique<HostSession>(options, hostClipboard ? hostClipboard : &clipboard);
    ASSERT_EQ(session->registerClasses(), S_OK);
    addIn = ComPtr<IDTExtensibility2>(static_cast<IVaskAddin_*>(new T));
  }
  HRESULT connect(ext_ConnectMode mode) {
    return addIn->OnConnection(session->application(), mode, nullptr, &custom);
  }
  /// Connected as at the host's start, with the start-up complete.
  void connectAtStartup() {
    ASSERT_EQ(connect(ext_cm_Startup), S_OK) << lastErrorInfo();
    ASSERT_EQ(addIn->OnStartupComplete(&custom), S_OK) << lastErrorInfo();
  }
  void shutdownAsHost() {
    EXPECT_EQ(addIn->OnBeginShutdown(&custom), S_OK) << lastErrorInfo();
    EXPECT_EQ(addIn->OnDisconnection(ext_dm_HostShutdown, &custom), S_OK) << lastErrorInfo();
  }

  CommandBarControls& fileMenu() const {
    return *session->commandBars().activeMenuBar()->controls().item(1)->controls();
  }
  CommandBarControls& newMenu() const { return *fileMenu().item(1)->controls(); }
  /// The toolbar "KAVRI SMS", or null.
  CommandBar* toolbar() const { return session ? session->commandBars().find("KAVRI SMS") : nullptr; }
  std::vector<CommandBarControl*> newEntries(const std::string& caption) const {
    std::vector<CommandBarControl*> found;
    for (const auto& c : newMenu().items())
      if (c->caption() == caption) found.push_back(c.get());
    return found;
  }
  /// Captioned, visible, with its texts and its click sink, and a face
  /// \p faceWidth wide (0: none).
  static void expectDressed(const CommandBarControl& button, int faceWidth = 16) {
    EXPECT_EQ(button.caption(), "SMS");
    EXPECT_TRUE(button.visible());
    EXPECT_EQ(button.tooltipText(), "Send SMS Message!");
    EXPECT_EQ(button.shortcutText(), "Ctrl+Shift+G");
    EXPECT_EQ(button.face().width, faceWidth);
    EXPECT_EQ(button.clickSinkCount(), 1u);
  }
  /// A click on \p button shows the composer.
  static void expectShowsComposer(CommandBarControl& button) {
    ASSERT_NE(frmSMSComposer, nullptr);
    frmSMSComposer->close();
    button.click();
    EXPECT_TRUE(frmSMSComposer->isVisible());
  }

  office::QtClipboard clipboard;
  std::unique_ptr<HostSession> session;
  ComPtr<IDTExtensibility2> addIn;
  SAFEARRAY* custom = nullptr;
  std::vector<std::string> errorBoxes;
  int composersMade = 0;
  int composersDestroyed = 0;
  bool toolbarBeforeComposer = false;
};

TEST_F(Lifecycle, OutlookWordAndExcelAreServed) {
  for (HostKind kind : {HostKind::Outlook, HostKind::Word, HostKind::Excel}) {
    SCOPED_TRACE(office::hostName(kind));
    composersMade = composersDestroyed = 0;
    start(kind);
    connectAtStartup();
    ASSERT_NE(toolbar(), nullptr);
    EXPECT_TRUE(toolbar()->visible());
    ASSERT_EQ(toolbar()->controls().count(), 1);
    expectDressed(*toolbar()->controls().item(1));
    EXPECT_EQ(toolbar()->controls().item(1)->style(), 3);
    ASSERT_EQ(newEntries("SMS").size(), 1u);
    EXPECT_EQ(newEntries("SMS")[0]->index(), 2);
    expectDressed(*newEntries("SMS")[0]);
    ASSERT_NE(frmSMSComposer, nullptr);
    EXPECT_FALSE(frmSMSComposer->isVisible());
    ASSERT_NE(session->outlook(), nullptr);
    EXPECT_EQ(session->outlook()->eventSinkCount(), 1u);
    // The face went through the clipboard, which holds the user's text again.
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "the user's text");

    shutdownAsHost();
    EXPECT_EQ(composersMade, 1);
    EXPECT_EQ(composersDestroyed, 1);
    EXPECT_EQ(toolbar()->controls().item(1)->clickSinkCount(), 0u);
    EXPECT_EQ(newEntries("SMS")[0]->clickSinkCount(), 0u);
    addIn = nullptr;
    session->stop();
    session.reset();
  }
}

TEST_F(Lifecycle, PowerPointIsRefusedAndNothingIsCreated) {
  start(HostKind::PowerPoint);
  EXPECT_EQ(connect(ext_cm_Startup), E_UNEXPECTED);
  EXPECT_EQ(lastErrorInfo(), std::string("Initialization failed|") + kProgId);
  EXPECT_EQ(errorBoxes, std::vector<std::string>{"This Add-in only supports Word , Outlook and Excel."});
  EXPECT_EQ(composersMade, 0);
  EXPECT_EQ(toolbar(), nullptr);
  EXPECT_EQ(session->outlook(), nullptr); // no Outlook attached or started
  EXPECT_TRUE(addIn.query<IVaskAddin_>() != nullptr);
}

TEST_F(Lifecycle, LoadedAfterStartupBuildsTheEntriesBeforeTheComposer) {
  start(HostKind::Outlook);
  ASSERT_EQ(connect(ext_cm_AfterStartup), S_OK) << lastErrorInfo();
  EXPECT_EQ(composersMade, 1);
  EXPECT_TRUE(toolbarBeforeComposer);
  expectDressed(*toolbar()->controls().item(1));

  // The user unloads it: OnDisconnection alone takes everything down.
  EXPECT_EQ(addIn->OnDisconnection(ext_dm_UserClosed, &custom), S_OK) << lastErrorInfo();
  EXPECT_EQ(composersDestroyed, 1);
  EXPECT_EQ(frmSMSComposer, nullptr);
  EXPECT_EQ(toolbar()->controls().item(1)->clickSinkCount(), 0u);
  EXPECT_EQ(session->outlook()->eventSinkCount(), 0u);
  // The entries stay for the next load.
  EXPECT_EQ(newEntries("SMS").size(), 1u);
}

TEST_F(Lifecycle, AReminderBetweenShutdownAndDisconnectionSendsNothing) {
  start(HostKind::Outlook);
  connectAtStartup();
  EXPECT_EQ(addIn->OnBeginShutdown(&custom), S_OK);
  EXPECT_EQ(composersDestroyed, 1);
  calendar::AlarmRecord alarm;
  alarm.kind = calendar::ItemKind::Appointment;
  alarm.subject = "Review";
  alarm.importance = 2;
  EXPECT_EQ(session->outlook()->raiseReminder(office::makeReminderItem(alarm).get()), S_OK);
  EXPECT_EQ(addIn->OnDisconnection(ext_dm_HostShutdown, &custom), S_OK);
  EXPECT_EQ(composersDestroyed, 1);
}

TEST_F(Lifecycle, ARestartReusesTheEntriesWithoutDuplicates) {
  for (int run = 0; run < 2; ++run) {
    start(HostKind::Outlook);
    connectAtStartup();
    shutdownAsHost();
    addIn = nullptr;
    session->stop(); // saves the customisation
    session.reset();
  }
  start(HostKind::Outlook);
  connectAtStartup();
  EXPECT_EQ(newEntries("SMS").size(), 1u);
  int bars = 0;
  for (const auto& bar : session->commandBars().bars()) bars += bar->name() == "KAVRI SMS";
  EXPECT_EQ(bars, 1);
  EXPECT_EQ(toolbar()->controls().count(), 1);
  expectDressed(*newEntries("SMS")[0]);
}

TEST_F(Lifecycle, OnlyTheExactCaptionIsRecognisedAndTheLastMatchWins) {
  start(HostKind::Outlook);
  newMenu().add(1, 0, std::nullopt, false)->setCaption("sms");
  CommandBarControl* first = newMenu().add(1, 0, std::nullopt, false);
  first->setCaption("SMS");
  CommandBarControl* last = newMenu().add(1, 0, std::nullopt, false);
  last->setCaption("SMS");
  const int before = newMenu().count();
  connectAtStartup();
  EXPECT_EQ(newMenu().count(), before); // "sms" is no match, but "SMS" is
  EXPECT_EQ(first->clickSinkCount(), 0u);
  expectDressed(*last);

  start(HostKind::Word);
  newMenu().add(1, 0, std::nullopt, false)->setCaption("sms");
  const int words = newMenu().count();
  connectAtStartup();
  EXPECT_EQ(newMenu().count(), words + 1);
  ASSERT_EQ(newEntries("SMS").size(), 1u);
  EXPECT_EQ(newEntries("SMS")[0]->index(), 2);
}

TEST_F(Lifecycle, AnEmptiedToolbarGetsANewButtonAndAForeignFirstButtonIsTakenOver) {
  start(HostKind::Outlook);
  CommandBar* bar = session->commandBars().add("KAVRI SMS", 1, false, false);
  connectAtStartup();
  ASSERT_EQ(bar->controls().count(), 1);
  expectDressed(*bar->controls().item(1));
  shutdownAsHost();

  addIn = ComPtr<IDTExtensibility2>(static_cast<IVaskAddin_*>(new T));
  CommandBarControl* foreign = bar->controls().add(1, 0, 1, false);
  foreign->setCaption("Print");
  connectAtStartup();
  EXPECT_EQ(bar->controls().count(), 2);
  expectDressed(*foreign);
  EXPECT_EQ(bar->controls().item(2)->clickSinkCount(), 0u);
}

TEST_F(Lifecycle, AnEntryOfAnotherKindFailsTheStepWithAClearErrorButNotTheOtherEntry) {
  struct Case {
    const char* name;
    bool toolbarSpoilt; // else the File menu
    const char* error;
  };
  const Case cases[] = {
      {"a popup first on the toolbar", true, "The first control of the \"KAVRI SMS\" toolbar is not a button"},
      {"a button ahead of New", false, "The first entry of the host's File menu is not a submenu"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    start(HostKind::Outlook);
    if (c.toolbarSpoilt)
      session->commandBars().add("KAVRI SMS", 1, false, true)->controls().add(10, 0, std::nullopt, true);
    else
      fileMenu().add(1, 0, 1, true);
    ASSERT_EQ(connect(ext_cm_Startup), S_OK);
    EXPECT_EQ(addIn->OnStartupComplete(&custom), E_NOINTERFACE);
    EXPECT_EQ(lastErrorInfo(), std::string(c.error) + "|" + kProgId);
    if (c.toolbarSpoilt) {
      ASSERT_EQ(newEntries("SMS").size(), 1u);
      expectDressed(*newEntries("SMS")[0]);
      expectShowsComposer(*newEntries("SMS")[0]);
    } else {
      ASSERT_NE(toolbar(), nullptr);
      EXPECT_TRUE(toolbar()->visible());
      expectDressed(*toolbar()->controls().item(1));
      expectShowsComposer(*toolbar()->controls().item(1));
    }
    EXPECT_EQ(addIn->OnDisconnection(ext_dm_UserClosed, &custom), S_OK) << lastErrorInfo();
    EXPECT_EQ(frmSMSComposer, nullptr);
    addIn = nullptr;
    session->stop();
    session.reset();
  }
}

TEST_F(Lifecycle, AFaceThatCannotBeHadLeavesWorkingButtonsAndTheUsersClipboard) {
  struct Case {
    const char* name;
    int heldAttempts;         // attempts at opening the clipboard that find it held
    bool hostSeesPicture;     // else the host's PasteFace finds no picture
    int faceWidth;            // of both buttons; 0: none
  };
  const Case cases[] = {
      {"the clipboard held throughout", 1000, true, 0},
      {"the clipboard held for a moment", 3, true, 16},
      {"the host pastes no picture", 0, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int attempts = 0;
    setClipboardHeld([&] { return ++attempts <= c.heldAttempts; });
    office::MemoryClipboard empty;
    start(HostKind::Outlook, c.hostSeesPicture ? nullptr : &empty);
    connectAtStartup();
    if (c.heldAttempts > 10) {
      EXPECT_EQ(attempts, 10); // then it gives up
    }
    ASSERT_NE(toolbar(), nullptr);
    EXPECT_TRUE(toolbar()->visible());
    ASSERT_EQ(newEntries("SMS").size(), 1u);
    for (CommandBarControl* button : {toolbar()->controls().item(1), newEntries("SMS")[0]}) {
      expectDressed(*button, c.faceWidth);
      expectShowsComposer(*button);
    }
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "the user's text");
    shutdownAsHost();
    addIn = nullptr;
    session->stop();
    session.reset();
    // The next case starts from the default bars, without this one's faces.
    std::remove(office::defaultCustomisationFile("Outlook").c_str());
  }
}

TEST_F(Lifecycle, AFailingHostCallEndsTheStepWithItsResultAndErrorInfo) {
  start(HostKind::Outlook);
  session->outlook()->setExplorer(nullptr); // Outlook without an explorer window
  const HRESULT hr = connect(ext_cm_AfterStartup);
  EXPECT_TRUE(FAILED(hr));
  EXPECT_NE(hr, E_UNEXPECTED);
  EXPECT_EQ(lastErrorInfo(),
            std::string("Outlook has no explorer window to hold the command bars|") + kProgId);
  EXPECT_EQ(composersMade, 0);
  // What was done stays done: the connector is attached.
  EXPECT_EQ(session->outlook()->eventSinkCount(), 1u);
  EXPECT_EQ(addIn->OnDisconnection(ext_dm_UserClosed, &custom), S_OK) << lastErrorInfo();
  EXPECT_EQ(session->outlook()->eventSinkCount(), 0u);
}

TEST_F(Lifecycle, EitherButtonShowsTheOneComposer) {
  start(HostKind::Outlook);
  connectAtStartup();
  ASSERT_NE(frmSMSComposer, nullptr);
  TfrmSMSComposer* composer = frmSMSComposer;
  EXPECT_FALSE(toolbar()->controls().item(1)->click()); // CancelDefault left alone
  EXPECT_TRUE(composer->isVisible());
  composer->close(); // closing only hides it
  EXPECT_EQ(frmSMSComposer, composer);
  EXPECT_FALSE(composer->isVisible());
  EXPECT_FALSE(newEntries("SMS")[0]->click());
  EXPECT_TRUE(composer->isVisible());
  newEntries("SMS")[0]->click();
  EXPECT_TRUE(composer->isVisible());
  EXPECT_EQ(composersMade, 1);
}

TEST_F(Lifecycle, ASinkTheHostWouldNotLetGoOfOutlivesTheAddInAndStaysCallable) {
  struct Case {
    const char* name;
    bool hostShutdown; // else the object is released while connected
  };
  const Case cases[] = {{"host shutdown", true}, {"released while connected", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    start(HostKind::Outlook);
    CommandBar* bar = session->commandBars().add("KAVRI SMS", 1, false, true); // not saved
    ComPtr<StubbornButton> button(
        new StubbornButton(std::make_shared<office::CommandBarContext>(session->commandBars().context())));
    bar->controls().append(ComPtr<CommandBarControl>(button.get()));
    connectAtStartup();
    ASSERT_EQ(button->stubbornSinkCount(), 1u);
    if (c.hostShutdown) {
      EXPECT_EQ(addIn->OnBeginShutdown(&custom), StubbornButton::kUnadviseFailure);
      EXPECT_EQ(addIn->OnDisconnection(ext_dm_HostShutdown, &custom), S_OK) << lastErrorInfo();
    }
    addIn = nullptr; // the add-in object is gone, the sink is not
    ASSERT_EQ(button->stubbornSinkCount(), 1u);
    EXPECT_EQ(button->raiseClick(), S_OK);
    EXPECT_TRUE(frmSMSComposer == nullptr || !frmSMSComposer->isVisible()); // the click reached nothing
    session->stop();
    session.reset();
  }
}

TEST_F(Lifecycle, InWordOutlookIsStartedAndAskedToQuitButARunningOneIsLeftRunning) {
  start(HostKind::Word);
  EXPECT_EQ(session->outlook(), nullptr);
  connectAtStartup();
  ASSERT_NE(session->outlook(), nullptr);
  ComPtr<office::OutlookApplication> started(session->outlook());
  EXPECT_EQ(started->eventSinkCount(), 1u);
  shutdownAsHost();
  EXPECT_EQ(started->eventSinkCount(), 0u);
  EXPECT_EQ(session->outlook(), nullptr); // it quit

  // Outlook already runs: the add-in attaches and leaves it running.
  ComPtr<IUnknown> running;
  ASSERT_EQ(CoCreateInstance(office::CLSID_OutlookApplication, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             running.putVoid()),
            S_OK);
  addIn = ComPtr<IDTExtensibility2>(static_cast<IVaskAddin_*>(new T));
  connectAtStartup();
  EXPECT_EQ(session->outlook()->eventSinkCount(), 1u);
  shutdownAsHost();
  ASSERT_NE(session->outlook(), nullptr);
  EXPECT_EQ(session->outlook()->eventSinkCount(), 0u);
}

TEST_F(Lifecycle, OutlookNotYetInTheRunningTableIsTheUsersAndAUserUnloadLeavesItRunning) {
  struct Case {
    HostKind kind;
    bool quits;
  };
  // In Word no Outlook runs, so the connector starts one and quits it.
  for (const Case& c : {Case{HostKind::Outlook, false}, Case{HostKind::Word, true}}) {
    SCOPED_TRACE(office::hostName(c.kind));
    start(c.kind);
    int quitRequests = 0;
    session->setQuitRequest([&] { ++quitRequests; });
    // Outlook starting up: creating it hands out the host, the table is empty.
    if (session->outlook()) session->outlook()->revokeRunning();
    connectAtStartup();
    EXPECT_EQ(addIn->OnDisconnection(ext_dm_UserClosed, &custom), S_OK) << lastErrorInfo();
    const bool outlookQuit = c.kind == HostKind::Outlook ? quitRequests > 0 : session->outlook() == nullptr;
    EXPECT_EQ(outlookQuit, c.quits);
    addIn = nullptr;
    session->stop();
    session.reset();
  }
}

} // namespace
} // namespace quorvel
