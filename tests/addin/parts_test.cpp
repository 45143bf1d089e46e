// The add-in's parts without a host (Outlook's application object of the
// host's model aside): the click sink, the Outlook connector, the reminder
// texts and the selection rule, and the button face resource.
#include "addin/EventSink.h"
#include "office/application.h"
#include "office/officeids.h"
#include "addin/unOutlookApplication.h"
#include "addin/unReminderText.h"
#include "addin/unResources.h"
#include "com/errorinfo.h"
#include "errorInfoText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <functional>
#include <stdexcept>

using namespace quorvel;
using namespace quorvel::com;

namespace {

DATE dateOf(int year, int month, int day, int hour = 0, int minute = 0) {
  SYSTEMTIME t{};
  t.wYear = WORD(year);
  t.wMonth = WORD(month);
  t.wDay = WORD(day);
  t.wHour = WORD(hour);
  t.wMinute = WORD(minute);
  DATE d = 0;
  EXPECT_TRUE(SystemTimeToVariantTime(&t, &d));
  return d;
}

using test::lastErrorInfo;

/// What a handler may throw, the result the host gets instead and the
/// error info left for it.
struct Thrown {
  std::function<void()> raise;
  HRESULT hr;
  std::string errorInfo;
};

std::vector<Thrown> thrownCases() {
  return {
      {[] { throw ComError(E_ACCESSDENIED, "no entry"); }, E_ACCESSDENIED, "no entry|VaskAddin.VaskAddin_"},
      {[] { throw std::runtime_error("went wrong"); }, E_UNEXPECTED, "went wrong|VaskAddin.VaskAddin_"},
      {[] { throw 42; }, E_UNEXPECTED, hresultText(E_UNEXPECTED) + "|VaskAddin.VaskAddin_"},
  };
}

// ---- The click sink ---------------------------------------------------------

struct Clicks {
  int count = 0;
  IDispatch* ctrl = nullptr;
  VARIANT_BOOL* cancel = nullptr;
};

TEST(EventSink, AnswersTheButtonEventInterfaceWithItsDispatchPointer) {
  TEventSink sink([](IDispatch*, VARIANT_BOOL*) {});
  void* asDispatch = nullptr;
  void* asUnknown = nullptr;
  void* asEvents = nullptr;
  EXPECT_EQ(sink.QueryInterface(IID_IDispatch, &asDispatch), S_OK);
  EXPECT_EQ(sink.QueryInterface(IID_IUnknown, &asUnknown), S_OK);
  EXPECT_EQ(sink.QueryInterface(office::DIID_CommandBarButtonEvents, &asEvents), S_OK);
  EXPECT_EQ(asDispatch, static_cast<IDispatch*>(&sink));
  EXPECT_EQ(asUnknown, asDispatch);
  EXPECT_EQ(asEvents, asDispatch);
  void* other = &sink;
  EXPECT_EQ(sink.QueryInterface(makeGuid("00000001-0000-0000-C000-000000000046"), &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
}

TEST(EventSink, CountsNoReferencesAndStaysAlive) {
  TEventSink sink([](IDispatch*, VARIANT_BOOL*) {});
  for (int i = 0; i < 5; ++i) EXPECT_EQ(sink.AddRef(), 2u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(sink.Release(), 1u);
  UINT count = 7;
  EXPECT_EQ(sink.GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(&sink);
  EXPECT_EQ(sink.GetTypeInfo(0, 0, &info), E_NOTIMPL);
  EXPECT_EQ(info, nullptr);
  DISPID id = 42;
  EXPECT_EQ(sink.GetIDsOfNames(IID_NULL, nullptr, 0, 0, &id), E_NOTIMPL);
  EXPECT_EQ(id, 42);
}

// The arguments of a Click, last first: [0] the cancel flag, [1] the button.
struct ClickArgs {
  ClickArgs(IDispatch* button, VARIANT_BOOL* cancel) {
    args[0].vt = VT_BYREF | VT_BOOL;
    args[0].pboolVal = cancel;
    args[1].vt = VT_DISPATCH;
    args[1].pdispVal = button;
  }
  VARIANT args[2];
  DISPPARAMS params{args, nullptr, 2, 0};
};

TEST(EventSink, ClickCallsBackWithTheButtonAndTheCancelFlag) {
  Clicks clicks;
  TEventSink sink([&](IDispatch* ctrl, VARIANT_BOOL* cancel) {
    ++clicks.count;
    clicks.ctrl = ctrl;
    clicks.cancel = cancel;
  });
  TEventSink button([](IDispatch*, VARIANT_BOOL*) {}); // any dispatch object will do
  VARIANT_BOOL cancelDefault = VARIANT_FALSE;
  ClickArgs click(&button, &cancelDefault);
  DISPPARAMS& params = click.params;
  VARIANT* args = click.args;
  VARIANT result;
  result.vt = 0xFFF;
  EXPECT_EQ(sink.Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr), S_OK);
  EXPECT_EQ(clicks.count, 1);
  EXPECT_EQ(clicks.ctrl, static_cast<IDispatch*>(&button));
  EXPECT_EQ(clicks.cancel, &cancelDefault);
  EXPECT_EQ(result.vt, 0xFFF); // never written

  for (DISPID other : {0, 2, -1, 0xF004})
    EXPECT_EQ(sink.Invoke(other, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
  DISPPARAMS tooShort{args, nullptr, 1, 0};
  EXPECT_EQ(sink.Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &tooShort, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(sink.Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(clicks.count, 1);
}

TEST(EventSink, AThrowingCallbackFailsTheClickInsteadOfRaisingIntoTheHost) {
  for (const Thrown& c : thrownCases()) {
    SCOPED_TRACE(c.errorInfo);
    TEventSink sink([&](IDispatch*, VARIANT_BOOL*) { c.raise(); });
    VARIANT_BOOL cancelDefault = VARIANT_FALSE;
    ClickArgs click(&sink, &cancelDefault);
    EXPECT_EQ(sink.Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &click.params, nullptr, nullptr, nullptr), c.hr);
    EXPECT_EQ(lastErrorInfo(), c.errorInfo);
  }
}

// ---- The Outlook connector's events ------------------------------------------

TEST(OutlookConnector, AThrowingHandlerFailsTheEventInsteadOfRaisingIntoOutlook) {
  ComPtr<office::OutlookApplication> outlook(new office::OutlookApplication);
  ASSERT_EQ(outlook->registerRunning(), S_OK);
  TOutlookApplication connector;
  connector.Connect();
  ASSERT_EQ(outlook->eventSinkCount(), 1u);
  for (const Thrown& c : thrownCases()) {
    SCOPED_TRACE(c.errorInfo);
    connector.OnReminder = [&](TOutlookApplication*, const Variant&) { c.raise(); };
    EXPECT_EQ(outlook->raiseReminder(nullptr), c.hr);
    EXPECT_EQ(lastErrorInfo(), c.errorInfo);
  }
  connector.Disconnect();
  EXPECT_EQ(outlook->eventSinkCount(), 0u);
  outlook->revokeRunning();
}

TEST(OutlookConnector, InsideOutlookTheHandedOverApplicationIsUsedAndNeverQuit) {
  // Neither in the running-object table nor creatable.
  ComPtr<office::OutlookApplication> outlook(new office::OutlookApplication);
  int quits = 0;
  outlook->setQuitHandler([&] { ++quits; });
  TOutlookApplication connector;
  int reminders = 0;
  connector.OnReminder = [&](TOutlookApplication*, const Variant&) { ++reminders; };
  connector.AutoQuit = true;
  connector.Connect(outlook->dispatch());
  EXPECT_FALSE(connector.startedServer());
  EXPECT_EQ(outlook->raiseReminder(nullptr), S_OK);
  EXPECT_EQ(reminders, 1);
  connector.Disconnect();
  EXPECT_EQ(outlook->eventSinkCount(), 0u);
  EXPECT_EQ(quits, 0);
}

TEST(OutlookConnector, HandsEachApplicationEventToItsOwnHandler) {
  TOutlookApplication outlook;
  std::vector<uint32_t> seen;
  outlook.OnReminder = [&](TOutlookApplication* sender, const Variant& item) {
    EXPECT_EQ(sender, &outlook);
    EXPECT_EQ(item.toInt(), 7);
    seen.push_back(0xF004);
  };
  outlook.OnQuit = [&](TOutlookApplication*, const Variant&) { seen.push_back(0xF007); };
  for (DISPID id : {0xF004, 0xF002, 0xF003, 0xF005, 0xF006, -1, 0, 0xF007})
    outlook.InvokeEvent(id, Variant(7));
  EXPECT_EQ(seen, (std::vector<uint32_t>{0xF004, 0xF007}));
  EXPECT_FALSE(outlook.connected());
  outlook.Disconnect(); // not connected: nothing to do
}

// ---- Reminder texts and the selection rule -----------------------------------

TEST(ReminderText, AppointmentOfTheExample) {
  EXPECT_EQ(appointmentReminderText(dateOf(2004, 3, 5, 14, 30), dateOf(2004, 3, 5, 15, 0), u"Review",
                                    u"Room 2", u"Review"),
            u"March 05 (Friday), 14:30-15:00 Review (Room 2)  Review");
}

TEST(ReminderText, TaskOfTheExample) {
  EXPECT_EQ(taskReminderText(dateOf(2004, 3, 5, 9, 15), u"Call back"), u"March 05 (Friday) Call back");
}

TEST(ReminderText, WithoutLocationEndingAnotherDay) {
  EXPECT_EQ(appointmentReminderText(dateOf(2026, 12, 31, 23, 5), dateOf(2027, 1, 1, 1, 45), u"Party", u"",
                                    u"Party"),
            u"December 31 (Thursday), 23:05-01:45 Party ()  Party");
}

TEST(ReminderText, DatePatterns) {
  const DATE d = dateOf(2027, 2, 7, 8, 4);
  EXPECT_EQ(formatReminderDate(d, "mmmm dd (dddd), hh:mm"), u"February 07 (Sunday), 08:04");
  EXPECT_EQ(formatReminderDate(d, "hh:mm"), u"08:04");
  EXPECT_EQ(formatReminderDate(d, "dd mm"), u"07 02"); // "mm" away from an hour is the month
}

TEST(ReminderText, NamesComeFromTheNameSource) {
  const char16_t* const months[12] = {u"Januar", u"Februar", u"März",      u"April",   u"Mai",      u"Juni",
                                      u"Juli",   u"August",  u"September", u"Oktober", u"November", u"Dezember"};
  const char16_t* const days[7] = {u"Sonntag",  u"Montag",  u"Dienstag", u"Mittwoch",
                                   u"Donnerstag", u"Freitag", u"Samstag"};
  const DateNames german{[&](int month) { return std::u16string(months[month - 1]); },
                         [&](int weekday) { return std::u16string(days[weekday]); }};
  EXPECT_EQ(formatReminderDate(dateOf(2004, 3, 5, 14, 30), "mmmm dd (dddd), hh:mm", german),
            u"März 05 (Freitag), 14:30");
  EXPECT_EQ(formatReminderDate(dateOf(2027, 2, 7), "mmmm dd (dddd)", german), u"Februar 07 (Sonntag)");
}

TEST(ReminderText, TheCLocaleGivesEnglishNames) {
  std::setlocale(LC_TIME, "C");
  const DateNames names = userDateNames();
  const char16_t* const months[12] = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                                      u"July",    u"August",   u"September", u"October", u"November", u"December"};
  const char16_t* const days[7] = {u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                                   u"Thursday", u"Friday", u"Saturday"};
  for (int month = 1; month <= 12; ++month) EXPECT_EQ(names.month(month), months[month - 1]) << month;
  for (int weekday = 0; weekday < 7; ++weekday) EXPECT_EQ(names.weekday(weekday), days[weekday]) << weekday;
}

TEST(ReminderText, NonAsciiTextStaysWhole) {
  EXPECT_EQ(taskReminderText(dateOf(2004, 3, 5), u"Füße ÷ €"), u"March 05 (Friday) Füße ÷ €");
}

TEST(SelectionRule, ByNotifySettingAndImportance) {
  struct Case {
    const char* notifyOn;
    bool important;
    bool sent;
  };
  const Case cases[] = {
      {"Important events and tasks", true, true},  {"Important events and tasks", false, false},
      {"All events and tasks", true, true},        {"All events and tasks", false, true},
      {"Never", true, false},                      {"", true, false},
      {"all events and tasks", true, false},       {"Important events and tasks ", true, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(reminderSelected(c.notifyOn, c.important), c.sent) << '"' << c.notifyOn << "\" " << c.important;
}

// ---- The button face ---------------------------------------------------------

TEST(Resources, Bitmap101IsA16By16FaceOfThisModule) {
  TBitmap face;
  ASSERT_TRUE(LoadBitmap(HInstance(), kButtonFaceBitmap, &face));
  EXPECT_EQ(face.width, 16);
  EXPECT_EQ(face.height, 16);
  EXPECT_EQ(face.rgb.size(), 16u * 16u * 3u);
  TResourceData data;
  EXPECT_FALSE(FindResource(HInstance(), 102, RT_BITMAP, &data));
  EXPECT_FALSE(FindResource(HInstance(), kButtonFaceBitmap, "TYPELIB", &data));
  int elsewhere = 0;
  EXPECT_FALSE(FindResource(&elsewhere, kButtonFaceBitmap, RT_BITMAP, &data));
}

TEST(Resources, DamagedBitmapsAreRefused) {
  TResourceData data;
  ASSERT_TRUE(FindResource(HInstance(), kButtonFaceBitmap, RT_BITMAP, &data));
  TBitmap out;
  EXPECT_FALSE(decodeDib24(data.data, 39, &out));
  EXPECT_FALSE(decodeDib24(data.data, data.size - 1, &out)); // a pixel short
  std::vector<unsigned char> eightBit(data.data, data.data + data.size);
  eightBit[14] = 8;
  EXPECT_FALSE(decodeDib24(eightBit.data(), eightBit.size(), &out));
  std::vector<unsigned char> huge(data.data, data.data + data.size);
  huge[7] = 0x40; // a width of a billion pixels
  EXPECT_FALSE(decodeDib24(huge.data(), huge.size(), &out));
}

} // namespace
