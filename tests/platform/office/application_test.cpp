// The application objects: host recognition by interface id, where the
// command bars are found, Outlook's events, items, the running-object table
// and creation through the registered class object.
#include "officeTestUtil.h"

#include "com/automation.h"
#include "com/objbase.h"
#include "office/application.h"
#include "office/items.h"

#include <gtest/gtest.h>

using namespace quorvel::officetest;

namespace {

TEST(HostApplication, GrantsOnlyItsOwnApplicationInterface) {
  const IID* iids[] = {&IID_WordApplication, &IID_ExcelApplication,
                       &IID_PowerPointApplication, &IID_OutlookApplication};
  struct Case {
    HostKind kind;
    const IID* granted;
  } cases[] = {{HostKind::Word, &IID_WordApplication},
               {HostKind::Excel, &IID_ExcelApplication},
               {HostKind::PowerPoint, &IID_PowerPointApplication}};
  for (const Case& c : cases) {
    BarsFixture f(hostName(c.kind));
    ComPtr<HostApplication> app(new HostApplication(c.kind, f.bars));
    for (const IID* iid : iids)
      EXPECT_EQ(bool(app.query<IDispatch>(*iid)), iid == c.granted)
          << hostName(c.kind) << " asked for " << guidToString(*iid);
    EXPECT_EQ(getProperty(app.get(), "name").toString(), hostName(c.kind));
    EXPECT_EQ(getProperty(app.get(), "CommandBars").toDispatch().get(), f.bars->dispatch());
  }
  EXPECT_EQ(hostFromName("powerpoint"), HostKind::PowerPoint);
  EXPECT_EQ(hostFromName("access"), std::nullopt);
}

TEST(OutlookApplication, CommandBarsAreOnTheActiveExplorerOnly) {
  BarsFixture f;
  ComPtr<OutlookApplication> app(new OutlookApplication);
  EXPECT_TRUE(app.query<IDispatch>(IID_OutlookApplication));
  EXPECT_FALSE(app.query<IDispatch>(IID_WordApplication));
  EXPECT_EQ(getProperty(app.get(), "Name").toString(), "Outlook");
  EXPECT_FALSE(getProperty(app.get(), "ActiveExplorer").toDispatch());
  app->setExplorer(ComPtr<Explorer>(new Explorer(f.bars)));
  ComPtr<IDispatch> explorer = callMethod(app.get(), "ActiveExplorer").toDispatch();
  EXPECT_EQ(getProperty(explorer.get(), "commandbars").toDispatch().get(), f.bars->dispatch());
  EXPECT_THROW(getProperty(app.get(), "CommandBars"), ComError);
}

TEST(OutlookApplication, ReminderAndQuitReachApplicationEventSinks) {
  ComPtr<OutlookApplication> app(new OutlookApplication);
  ComPtr<ClickSink> sink(new ClickSink);
  DWORD cookie = 0;
  ASSERT_EQ(adviseSink(app->identity(), DIID_ApplicationEvents, sink.get(), &cookie), S_OK);
  ComPtr<IDispatch> mail(new MailItem("Hello", olImportanceNormal));
  app->raiseReminder(mail.get());
  EXPECT_EQ(sink->lastId, DISPID_Reminder);
  EXPECT_EQ(sink->lastArg.toDispatch().get(), mail.get());
  int quits = 0;
  app->setQuitHandler([&] { ++quits; });
  callMethod(app.get(), "Quit");
  EXPECT_EQ(sink->lastId, DISPID_Quit);
  EXPECT_EQ(quits, 1);
  ASSERT_EQ(unadviseSink(app->identity(), DIID_ApplicationEvents, cookie), S_OK);
}

TEST(OutlookApplication, FoundRunningAndCreatedThroughItsClassObject) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  {
    ComPtr<OutlookApplication> app(new OutlookApplication);
    ComPtr<IUnknown> found;
    EXPECT_EQ(GetActiveObject(CLSID_OutlookApplication, nullptr, found.put()), MK_E_UNAVAILABLE);
    ASSERT_EQ(app->registerRunning(), S_OK);
    ASSERT_EQ(GetActiveObject(CLSID_OutlookApplication, nullptr, found.put()), S_OK);
    EXPECT_EQ(found.get(), app->identity());

    ComPtr<IClassFactory> factory = outlookClassFactory([&] { return app; });
    DWORD reg = 0;
    ASSERT_EQ(CoRegisterClassObject(CLSID_OutlookApplication, factory.get(),
                                    CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &reg),
              S_OK);
    ComPtr<IDispatch> created;
    ASSERT_EQ(CoCreateInstance(CLSID_OutlookApplication, nullptr, CLSCTX_INPROC_SERVER,
                               IID_OutlookApplication, created.putVoid()),
              S_OK);
    EXPECT_EQ(created.get(), app->dispatch());
    CoRevokeClassObject(reg);
    app->revokeRunning();
    EXPECT_EQ(GetActiveObject(CLSID_OutlookApplication, nullptr, found.put()), MK_E_UNAVAILABLE);
  }
  CoUninitialize();
}

TEST(Items, AppointmentAndTaskCarryTheAlarmsFields) {
  quorvel::calendar::AlarmRecord a;
  a.kind = quorvel::calendar::ItemKind::Appointment;
  a.subject = a.conversationTopic = "Review";
  a.location = "Room 2";
  a.importance = 2;
  a.startLocal = {2004, 3, 5, 14, 30, 0, 5};
  a.endLocal = {2004, 3, 5, 15, 0, 0, 5};
  ComPtr<IDispatch> appt = makeReminderItem(a);
  EXPECT_TRUE(appt.query<IAppointmentItem>());
  EXPECT_FALSE(appt.query<ITaskItem>());
  EXPECT_FALSE(appt.query<IMailItem>());
  EXPECT_EQ(getProperty(appt.get(), "Importance").toInt(), 2);
  EXPECT_EQ(getProperty(appt.get(), "Location").toString(), "Room 2");
  EXPECT_EQ(getProperty(appt.get(), "ConversationTopic").toString(), "Review");
  Variant start = getProperty(appt.get(), "Start");
  ASSERT_EQ(start.vt, VT_DATE);
  SYSTEMTIME st{};
  ASSERT_TRUE(VariantTimeToSystemTime(start.date, &st));
  EXPECT_EQ(std::vector<int>({st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wDayOfWeek}),
            std::vector<int>({2004, 3, 5, 14, 30, 5}));
  EXPECT_NEAR(getProperty(appt.get(), "End").toDate() - start.date, 30.0 / (24 * 60), 1e-9);

  a.kind = quorvel::calendar::ItemKind::Task;
  a.subject = "Call back";
  a.importance = 0;
  a.reminderTime = {2004, 3, 5, 9, 0, 0, 5};
  ComPtr<IDispatch> task = makeReminderItem(a);
  EXPECT_TRUE(task.query<ITaskItem>());
  EXPECT_EQ(getProperty(task.get(), "Subject").toString(), "Call back");
  EXPECT_EQ(getProperty(task.get(), "Importance").toInt(), 0);
  EXPECT_EQ(getProperty(task.get(), "ReminderTime").toDate(), toVariantDate(a.reminderTime));
}

} // namespace
