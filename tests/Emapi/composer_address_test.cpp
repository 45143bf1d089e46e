// The composer's "&To:", "&Cc:" and "&Addressbook" with the real mail layer:
// the dialog (answered by script) fills the address fields.
#include "Emapi/unMapiLib.h"
#include "Emapi/unMapiUtils.h"
#include "composer/unSMSForm.h"
#include "mailtestsupport.h"
#include "qtApplication.h"

#include <QAction>
#include <QLineEdit>

namespace quorvel {
namespace {

testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new test::ApplicationEnvironment);

using test::pickByName;
using test::ScriptedDialog;

class ComposerAddressTest : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(mapiLibraryLoaded());
    home.addContacts({"vcard/google_contacts.vcf", "vcard/apple_contacts.vcf",
                      "vcard/android_export.vcf"});
  }
  static std::string text(const QLineEdit* field) { return field->text().toStdString(); }

  test::TempMailHome home;
};

TEST_F(ComposerAddressTest, TheFormOwnsOneMailObject) {
  TfrmSMSComposer form;
  EXPECT_NE(form.myMapi, nullptr);
}

TEST_F(ComposerAddressTest, FirstPickGoesToToAndTheRestAreAppendedToCc) {
  TfrmSMSComposer form;
  form.eCC->setText("0170 1111; ");
  ScriptedDialog dialog(pickByName({{"Anna Berg"}, {"Bernd Ohnehandy"}, {"Hiroshi Tanaka"}}));
  form.actTo->trigger();
  EXPECT_EQ(dialog.calls, 1);
  EXPECT_EQ(text(form.eTo), "Anna Berg [+49 170 1234567] ");
  EXPECT_EQ(text(form.eCC),
            "0170 1111; Bernd Ohnehandy [] ; Hiroshi Tanaka [+81 90-1234-5678] ; ");
}

TEST_F(ComposerAddressTest, CcButtonAndAddressbookOpenTheSameDialog) {
  TfrmSMSComposer form;
  ScriptedDialog dialog([](mapi::IAddressDialog&) { return false; });
  form.actCc->trigger();
  form.actAddressbook->trigger();
  EXPECT_EQ(dialog.calls, 2);
}

TEST_F(ComposerAddressTest, CancelLeavesTheFieldsAsTheyWere) {
  TfrmSMSComposer form;
  {
    ScriptedDialog pick(pickByName({{"Anna Berg"}, {"Ayşe Öztürk"}}));
    form.actTo->trigger();
  }
  form.eTo->setText("+49 151 000");
  std::string cc = text(form.eCC);
  ScriptedDialog cancel([](mapi::IAddressDialog&) { return false; });
  form.actTo->trigger();
  EXPECT_EQ(text(form.eTo), "+49 151 000");
  EXPECT_EQ(text(form.eCC), cc);
}

TEST_F(ComposerAddressTest, ReopenedDialogAddsOnlyTheNewPicksToCc) {
  TfrmSMSComposer form;
  {
    ScriptedDialog first(pickByName({{"Anna Berg"}, {"Ayşe Öztürk"}}));
    form.actTo->trigger();
  }
  // The dialog opens with Anna and Ayşe in their wells; Nikos is added.
  ScriptedDialog second(pickByName({{}, {"Nikos Papadopoulos"}}));
  form.actTo->trigger();
  EXPECT_EQ(text(form.eTo), "Anna Berg [+49 170 1234567] ");
  EXPECT_EQ(text(form.eCC), "Ayşe Öztürk [+905321234567] ; Nikos Papadopoulos [+306912345678] ; ");
}

} // namespace
} // namespace quorvel
