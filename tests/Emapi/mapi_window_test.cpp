// The address dialog's real window, driven through its controls under the
// offscreen platform.
#include "Emapi/unMapiLib.h"
#include "Emapi/unMapiUtils.h"
#include "mailtestsupport.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace quorvel {
namespace {

// The application object lives from before the first test to after the
// last, and is gone before the process ends.
class ApplicationEnvironment : public testing::Environment {
public:
  void SetUp() override { app_ = new QApplication(argc_, argv_); }
  void TearDown() override { delete app_; }

private:
  int argc_ = 1;
  char name_[18] = "emapi_window_test";
  char* argv_[2] = {name_, nullptr};
  QApplication* app_ = nullptr;
};

testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

// Runs \p act on the address window once it is open (it is modal, so this
// is queued before the window's own event loop starts).
void whenWindowOpens(std::function<void(QDialog&)> act, int triesLeft = 1000) {
  QTimer::singleShot(0, [act, triesLeft] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* d = qobject_cast<QDialog*>(w); d && d->objectName() == "addressDialog" &&
                                              d->isVisible()) {
        act(*d);
        return;
      }
    if (triesLeft > 0)
      whenWindowOpens(act, triesLeft - 1);
    else
      ADD_FAILURE() << "the address window did not open";
  });
}

void press(QDialog& d, QDialogButtonBox::StandardButton which) {
  d.findChild<QDialogButtonBox*>("buttons")->button(which)->click();
}

class WindowTest : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(mapiLibraryLoaded());
    home.addContacts({"vcard/google_contacts.vcf", "vcard/apple_contacts.vcf"});
  }
  test::TempMailHome home;
};

TEST_F(WindowTest, SearchPickAndOk) {
  TkaMapi mapi(0);
  whenWindowOpens([](QDialog& d) {
    EXPECT_EQ(d.windowTitle(), "Select Names");
    EXPECT_TRUE(d.isModal());
    auto* contacts = d.findChild<QListWidget*>("contacts");
    EXPECT_EQ(contacts->count(), 7);
    d.findChild<QLineEdit*>("search")->setText("hiroshi");
    ASSERT_EQ(contacts->count(), 1);
    EXPECT_EQ(contacts->item(0)->text(), "Hiroshi Tanaka  (+81 90-1234-5678)");
    d.findChild<QPushButton*>("wellButton1")->click();
    EXPECT_EQ(d.findChild<QListWidget*>("well1")->count(), 1);
    EXPECT_EQ(d.findChild<QPushButton*>("wellButton0")->text(), "To ->");
    press(d, QDialogButtonBox::Ok);
  });
  mapi.showAddressSelForm();
  EXPECT_EQ(mapi.selAddrlist, std::vector<std::string>{"Hiroshi Tanaka [+81 90-1234-5678] "});
}

TEST_F(WindowTest, WellsShowThePreviousPicksAndCancelKeepsThem) {
  TkaMapi mapi(0);
  whenWindowOpens([](QDialog& d) {
    auto* contacts = d.findChild<QListWidget*>("contacts");
    d.findChild<QLineEdit*>("search")->setText("anna");
    contacts->setCurrentRow(0);
    d.findChild<QPushButton*>("wellButton0")->click();
    press(d, QDialogButtonBox::Ok);
  });
  mapi.showAddressSelForm();
  whenWindowOpens([](QDialog& d) {
    auto* to = d.findChild<QListWidget*>("well0");
    ASSERT_EQ(to->count(), 1);
    EXPECT_EQ(to->item(0)->text(), "Anna Berg");
    // Double-clicking a name in a well takes it out again.
    emit to->itemDoubleClicked(to->item(0));
    EXPECT_EQ(to->count(), 0);
    press(d, QDialogButtonBox::Cancel);
  });
  mapi.showAddressSelForm();
  EXPECT_EQ(mapi.selAddrlist, std::vector<std::string>{"Anna Berg [+49 170 1234567] "});
}

TEST_F(WindowTest, WindowIsOwnedByTheGivenParent) {
  QWidget parent;
  parent.show();
  TkaMapi mapi(uintptr_t(parent.winId()));
  QWidget* owner = nullptr;
  whenWindowOpens([&](QDialog& d) {
    owner = d.parentWidget();
    press(d, QDialogButtonBox::Cancel);
  });
  mapi.showAddressSelForm();
  EXPECT_EQ(owner, &parent);
  EXPECT_TRUE(mapi.selAddrlist.empty());
}

} // namespace
} // namespace quorvel
