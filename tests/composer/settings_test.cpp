// Tests of the settings page: defaults, loading, saving, its buttons.
#include "composerProbe.h"

#include "composer/unSMSSettings.h"
#include "util/unRegistry.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <regex>

namespace quorvel {
namespace {

// These tests read and write the settings store themselves, defaults included.
class SettingsTest : public ComposerTest {
protected:
  SettingsTest() { keepDefaultServer = true; }
};

std::string stored(const char* name) { return kaLoadFromreg(regroot, name, "<missing>"); }

TEST_F(SettingsTest, FirstStartShowsTheDefaults) {
  ProbeForm form;
  EXPECT_EQ(form.eServerURL->text(), "http://127.0.0.1:9333");
  EXPECT_EQ(form.eUserName->text(), "nobody");
  EXPECT_EQ(form.ePass->text(), "pqr456");
  EXPECT_TRUE(std::regex_match(form.eNotifPhoneNumber->text().toStdString(),
                               std::regex(R"(\+[0-9]{11})")));
  EXPECT_EQ(form.cbEventSel->currentText(), "Important events and tasks");
  EXPECT_FALSE(form.cbNotify->isChecked());
  EXPECT_EQ(form.ePass->echoMode(), QLineEdit::Password);
  ASSERT_EQ(form.cbEventSel->count(), 3);
  EXPECT_TRUE(form.cbEventSel->isEditable());
  EXPECT_EQ(form.cbEventSel->itemText(1), "All events and tasks");
  EXPECT_EQ(form.cbEventSel->itemText(2), "Never");
  EXPECT_EQ(form.cbNotify->text(), "Notify all participants");
  EXPECT_EQ(form.bTest->text(), "&Test connection");
  EXPECT_EQ(form.bApply->text(), "&Apply");
  EXPECT_EQ(form.bApply3->text(), "&Apply");
  // Creating the window writes nothing.
  EXPECT_EQ(stored(regUserName), "<missing>");
}

TEST_F(SettingsTest, LeavingAFieldSavesAllSix) {
  ProbeForm form;
  showActive(form);
  form.PageControl->setCurrentWidget(form.tsSettings);
  form.eServerURL->setFocus();
  form.eServerURL->setText("http://sms.example:8080");
  form.cbNotify->setChecked(true); // saved with the next save, not by itself
  EXPECT_NE(stored(regNotify), "1");
  form.eUserName->setFocus(); // leaves the URL field
  EXPECT_EQ(stored(regServerURL), "http://sms.example:8080");
  EXPECT_EQ(stored(regUserName), "nobody");
  EXPECT_EQ(stored(regPassword), "pqr456");
  EXPECT_EQ(stored(regNotifPhone), form.eNotifPhoneNumber->text().toStdString());
  EXPECT_EQ(stored(regEventSel), "Important events and tasks");
  EXPECT_EQ(stored(regNotify), "1");
}

TEST_F(SettingsTest, EveryFieldSavesWhenLeft) {
  ProbeForm form;
  showActive(form);
  form.PageControl->setCurrentWidget(form.tsSettings);
  struct Field {
    QWidget* widget;
    const char* name;
  };
  const Field fields[] = {{form.eServerURL, regServerURL},
                          {form.eUserName, regUserName},
                          {form.ePass, regPassword},
                          {form.eNotifPhoneNumber, regNotifPhone},
                          {form.cbEventSel, regEventSel}};
  int round = 0;
  for (const Field& f : fields) {
    SCOPED_TRACE(f.name);
    const QString value = QString("value %1").arg(++round);
    f.widget->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(f.widget))
      edit->setText(value);
    else
      form.cbEventSel->setCurrentText(value);
    EXPECT_NE(stored(f.name), value.toStdString());
    form.bApply3->setFocus();
    EXPECT_EQ(stored(f.name), value.toStdString());
  }
}

TEST_F(SettingsTest, BothApplyButtonsSaveAndReturnToTheComposer) {
  for (int which = 0; which < 2; ++which) {
    SCOPED_TRACE(which);
    ProbeForm form;
    form.PageControl->setCurrentWidget(form.tsSettings);
    form.eNotifPhoneNumber->setText(which == 0 ? "+10000000000" : "+20000000000");
    form.cbEventSel->setCurrentText("Never");
    (which == 0 ? form.bApply : form.bApply3)->click();
    EXPECT_EQ(form.PageControl->currentWidget(), form.tsComposer);
    EXPECT_EQ(stored(regNotifPhone), which == 0 ? "+10000000000" : "+20000000000");
    EXPECT_EQ(stored(regEventSel), "Never");
    EXPECT_EQ(stored(regNotify), "0");
  }
}

TEST_F(SettingsTest, SavedSettingsComeBackAtTheNextStart) {
  {
    ProbeForm form;
    form.eServerURL->setText("https://gw.example/");
    form.eUserName->setText("ann");
    form.ePass->setText("s3cret");
    form.eNotifPhoneNumber->setText("+36301112222");
    form.cbEventSel->setCurrentText("All events and tasks");
    form.cbNotify->setChecked(true);
    form.bApply->click();
  }
  ProbeForm form;
  EXPECT_EQ(form.eServerURL->text(), "https://gw.example/");
  EXPECT_EQ(form.eUserName->text(), "ann");
  EXPECT_EQ(form.ePass->text(), "s3cret");
  EXPECT_EQ(form.eNotifPhoneNumber->text(), "+36301112222");
  EXPECT_EQ(form.cbEventSel->currentText(), "All events and tasks");
  EXPECT_TRUE(form.cbNotify->isChecked());
  // Showing the window again does not reload: the controls are the copy.
  kaSaveToreg(regroot, regUserName, "elsewhere");
  showActive(form);
  EXPECT_EQ(form.eUserName->text(), "ann");
}

TEST_F(SettingsTest, AnEmptySavedValueBringsBackTheDefault) {
  {
    ProbeForm form;
    form.eUserName->clear();
    form.eServerURL->clear();
    form.bApply->click();
    EXPECT_EQ(stored(regUserName), "<missing>"); // stored empty reads as missing
  }
  ProbeForm form;
  EXPECT_EQ(form.eUserName->text(), "nobody");
  EXPECT_EQ(form.eServerURL->text(), "http://127.0.0.1:9333");
}

TEST_F(SettingsTest, CheckBoxIsTickedOnlyByOne) {
  const std::pair<const char*, bool> cases[] = {
      {"1", true}, {"0", false}, {"true", false}, {" 1", false}, {"yes", false}};
  for (const auto& [value, ticked] : cases) {
    SCOPED_TRACE(value);
    kaSaveToreg(regroot, regNotify, value);
    ProbeForm form;
    EXPECT_EQ(form.cbNotify->isChecked(), ticked);
  }
}

TEST_F(SettingsTest, AValueOfTheWrongTypeStopsLoadingButNotTheWindow) {
  ASSERT_TRUE(QDir(configHome.path()).mkpath("quorvel"));
  writeFileBytes(configHome.filePath("quorvel/user.reg").toStdString(),
                 "Windows Registry Editor Version 5.00\n\n"
                 "[HKEY_CURRENT_USER\\Software\\Kavri\\Nemora\\Outlook]\n"
                 "\"eServerURL\"=\"http://gw.example:1\"\n"
                 "\"eUserName\"=\"ann\"\n"
                 "\"eUserPass\"=dword:00000005\n"
                 "\"eNotifPhoneNumber\"=\"+10000000000\"\n");
  ProbeForm form;
  EXPECT_EQ(form.eServerURL->text(), "http://gw.example:1");
  EXPECT_EQ(form.eUserName->text(), "ann");
  EXPECT_EQ(form.ePass->text(), "pqr456");
  EXPECT_NE(form.eNotifPhoneNumber->text(), "+10000000000");
  EXPECT_NE(form.comlogText().find("eUserPass"), std::string::npos) << form.comlogText();
}

TEST_F(SettingsTest, ADamagedSettingsFileIsToldOnceAndLeftAsItIs) {
  ASSERT_TRUE(QDir(configHome.path()).mkpath("quorvel"));
  const std::string file = configHome.filePath("quorvel/user.reg").toStdString();
  const std::string damaged = "Windows Registry Editor Version 5.00\n\n"
                              "[HKEY_CURRENT_USER\\Software\\Kavri\\Nemora\\Outlook]\n"
                              "\"eUserName\"=\"ann\"\n"
                              "\"eUserPass\"=\"unterminated\n";
  writeFileBytes(file, damaged);
  ProbeForm form;
  form.eUserName->setText("bob");
  form.bApply->click();
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_NE(form.messages[0].find(file + ", line 5"), std::string::npos) << form.messages[0];
  form.bApply3->click(); // the same damage is not told again
  EXPECT_EQ(form.messages.size(), 1u);
  EXPECT_EQ(readFileBytes(file), damaged);

  // Once repaired, saving works again; a new damage is told again.
  writeFileBytes(file, "Windows Registry Editor Version 5.00\n");
  form.bApply->click();
  EXPECT_EQ(stored(regUserName), "bob");
  EXPECT_EQ(form.messages.size(), 1u);
  writeFileBytes(file, damaged);
  form.bApply->click();
  EXPECT_EQ(form.messages.size(), 2u);
}

TEST_F(SettingsTest, TestConnectionUsesTheFieldsAsTheyAre) {
  ProbeForm form;
  form.eServerURL->setText("http://edited:1");
  form.bTest->click();
  // The query reads the field; nothing is saved by the button itself.
  EXPECT_EQ(stored(regServerURL), "<missing>");
  EXPECT_EQ(form.eServerURL->text(), "http://edited:1");
}

TEST_F(SettingsTest, TabOrder) {
  ProbeForm form;
  showActive(form);
  form.PageControl->setCurrentWidget(form.tsSettings);
  form.eUserName->setFocus();
  const QWidget* expected[] = {form.ePass, form.eServerURL, form.bApply, form.bTest,
                               form.eNotifPhoneNumber, form.cbEventSel, form.cbNotify,
                               form.bApply3};
  for (const QWidget* next : expected) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
  }
}

} // namespace
} // namespace quorvel
