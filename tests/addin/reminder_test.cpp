// Reminder notifications through the add-in object and the composer to a
// scripted gateway: which items are texted, with which text, and nothing
// once the window is gone.
#include "addin/Main.h"
#include "office/officeids.h"
#include "gatewayFixture.h"

#include <QComboBox>
#include <QLineEdit>

#include <clocale>
#include <set>

namespace quorvel {
namespace {

using namespace com;
using testing::CannedServer;
using testing::reply;

DATE dateOf(int year, int month, int day, int hour, int minute) {
  SYSTEMTIME t{};
  t.wYear = WORD(year);
  t.wMonth = WORD(month);
  t.wDay = WORD(day);
  t.wHour = WORD(hour);
  t.wMinute = WORD(minute);
  DATE d = 0;
  SystemTimeToVariantTime(&t, &d);
  return d;
}

MemberDesc getter(const char* name, DISPID id, VARTYPE type) {
  return {.name = name, .id = id, .kind = MemberKind::PropertyGet, .result = type};
}

const InterfaceDesc kItemDesc{
    .name = "_Item",
    .iid = office::IID_AppointmentItem,
    .members = {getter("Importance", 1, VT_I4), getter("Start", 2, VT_DATE), getter("End", 3, VT_DATE),
                getter("Subject", 4, VT_BSTR), getter("Location", 5, VT_BSTR),
                getter("ConversationTopic", 6, VT_BSTR), getter("ReminderTime", 7, VT_DATE)},
};

/// An Outlook item of the kinds given (mail, appointment, task): the
/// example appointment of 5 March 2004 and a task due then.
class Item : public DispatchObject<IDispatch> {
public:
  Item(std::set<const IID*> kinds, int32_t importance, std::string failOn = {})
      : DispatchObject(kItemDesc), kinds_(std::move(kinds)), importance_(importance),
        failOn_(std::move(failOn)) {
    serve("Importance", [this] { return Variant(importance_); });
    serve("Start", [] { return Variant::fromDate(dateOf(2004, 3, 5, 14, 30)); });
    serve("End", [] { return Variant::fromDate(dateOf(2004, 3, 5, 15, 0)); });
    serve("Subject", [this] { return Variant(kinds_.count(&office::IID_TaskItem) ? "Call back" : "Review"); });
    serve("Location", [] { return Variant("Room 2"); });
    serve("ConversationTopic", [] { return Variant("Review"); });
    serve("ReminderTime", [] { return Variant::fromDate(dateOf(2004, 3, 5, 9, 0)); });
  }
  int reads = 0;

protected:
  void* queryOther(REFIID riid) override {
    for (const IID* kind : kinds_)
      if (*kind == riid) return static_cast<IDispatch*>(this);
    return nullptr;
  }

private:
  void serve(const char* name, std::function<Variant()> value) {
    dispatcher().bind(name, MemberKind::PropertyGet, [this, name, value](DispArgs&, VARIANT* result) {
      ++reads;
      if (failOn_ == name) throw ComError(E_FAIL, "Outlook could not read it");
      *result = value().detach();
      return S_OK;
    });
  }
  std::set<const IID*> kinds_;
  int32_t importance_;
  std::string failOn_;
};

class ReminderTest : public GatewayTest {
protected:
  void SetUp() override {
    GatewayTest::SetUp();
    // The expected texts carry English names, as the C locale gives them.
    std::setlocale(LC_TIME, "C");
    server = std::make_unique<CannedServer>(
        scriptedGateway(reply(200, dataDocument("100")), reply(200, dataDocument("Accepted 1 of 1 messages."))));
    useServer(server->origin());
    form->eNotifPhoneNumber->setText("+3630111");
    frmSMSComposer = form.get();
    addIn = new T;
    addIn->AddRef();
  }
  void TearDown() override {
    addIn->Release();
    GatewayTest::TearDown();
  }
  /// Raises a reminder for \p item; the number of texts it sent.
  size_t remind(Item* item) {
    ComPtr<IDispatch> hold(item);
    const size_t before = requestsFor(*server, "sendMessages").size();
    addIn->OutlookApplicationReminder(nullptr, Variant(static_cast<IDispatch*>(item)));
    return requestsFor(*server, "sendMessages").size() - before;
  }

  std::unique_ptr<CannedServer> server;
  T* addIn = nullptr;
};

TEST_F(ReminderTest, AnImportantAppointmentIsTextedWithTheExampleText) {
  ASSERT_EQ(form->cbEventSel->currentText().toStdString(), "Important events and tasks");
  EXPECT_EQ(remind(new Item({&office::IID_AppointmentItem}, 2)), 1u);
  // The balance was not known yet: it was asked for quietly, no box shown.
  EXPECT_TRUE(form->boxes.empty());
  EXPECT_TRUE(form->messages.empty());
  const auto copies = sentItems();
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].body, "March 05 (Friday), 14:30-15:00 Review (Room 2)  Review");
  EXPECT_NE(copies[0].field("To").find("+3630111"), std::string::npos) << copies[0].header;
}

TEST_F(ReminderTest, ATaskIsTextedWithItsReminderDayAndSubject) {
  form->cbEventSel->setCurrentText("All events and tasks");
  EXPECT_EQ(remind(new Item({&office::IID_TaskItem}, 0)), 1u);
  const auto copies = sentItems();
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].body, "March 05 (Friday) Call back");
}

TEST_F(ReminderTest, TheItemsKindAndImportanceDecideWithTheLiveSetting) {
  struct Case {
    const char* notifyOn;
    const IID* kind;
    int32_t importance;
    size_t texts;
  };
  // The rule's own cases are in the parts test; here the handler feeds it.
  const Case cases[] = {
      {"Important events and tasks", &office::IID_AppointmentItem, 1, 0},
      {"Important events and tasks", &office::IID_TaskItem, 2, 1},
      {"All events and tasks", &office::IID_MailItem, 2, 0},
      {"Never", &office::IID_TaskItem, 2, 0},
  };
  form->credits = "unlimited";
  for (const Case& c : cases) {
    form->cbEventSel->setCurrentText(c.notifyOn);
    EXPECT_EQ(remind(new Item({c.kind}, c.importance)), c.texts) << c.notifyOn << " " << c.importance;
  }
}

TEST_F(ReminderTest, AnErrorInTheAppointmentStepLeavesTheTaskStep) {
  form->cbEventSel->setCurrentText("All events and tasks");
  EXPECT_EQ(remind(new Item({&office::IID_AppointmentItem, &office::IID_TaskItem}, 1, "Location")), 1u);
  const auto copies = sentItems();
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].body, "March 05 (Friday) Call back");
  EXPECT_TRUE(form->boxes.empty());
}

TEST_F(ReminderTest, NothingIsReadOrSentOnceTheWindowIsGone) {
  form->cbEventSel->setCurrentText("All events and tasks");
  frmSMSComposer = nullptr;
  auto* item = new Item({&office::IID_AppointmentItem, &office::IID_TaskItem}, 2);
  ComPtr<IDispatch> hold(item);
  EXPECT_EQ(remind(item), 0u);
  EXPECT_EQ(item->reads, 0);
  frmSMSComposer = form.get();
}

} // namespace
} // namespace quorvel
