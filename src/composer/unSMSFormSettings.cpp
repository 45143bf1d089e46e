// The settings page: loading, saving and its buttons.
#include "composer/unSMSForm.h"

#include "composer/unSMSSettings.h"
#include "composer/unTranslate.h"
#include "util/unRegistry.h"
#include "util/unStrings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <exception>
#include <optional>

namespace quorvel {

namespace {

void loadText(QLineEdit* field, const char* name) {
  field->setText(QString::fromStdString(kaLoadFromreg(regroot, name, field->text().toStdString())));
}

} // namespace

void TfrmSMSComposer::loadSettings() {
  // A value the store cannot read stops the loading; the settings after it
  // keep their defaults, and the window still opens.
  try {
    loadText(eServerURL, regServerURL);
    loadText(eUserName, regUserName);
    loadText(ePass, regPassword);
    loadText(eNotifPhoneNumber, regNotifPhone);
    cbEventSel->setCurrentText(QString::fromStdString(
        kaLoadFromreg(regroot, regEventSel, cbEventSel->currentText().toStdString())));
    cbNotify->setChecked(
        stringToBool(kaLoadFromreg(regroot, regNotify, boolToString(cbNotify->isChecked()))));
  } catch (const std::exception& e) {
    setComlogText(std::string("The settings could not be read: ") + e.what() + "\r\n");
  }
}

void TfrmSMSComposer::saveSettings() {
  kaSaveToreg(regroot, regServerURL, eServerURL->text().toStdString());
  kaSaveToreg(regroot, regUserName, eUserName->text().toStdString());
  kaSaveToreg(regroot, regPassword, ePass->text().toStdString());
  kaSaveToreg(regroot, regNotifPhone, eNotifPhoneNumber->text().toStdString());
  kaSaveToreg(regroot, regEventSel, cbEventSel->currentText().toStdString());
  kaSaveToreg(regroot, regNotify, boolToString(cbNotify->isChecked()));
  reportSettingsDamage();
}

void TfrmSMSComposer::reportSettingsDamage() {
  // The store leaves a damaged file untouched and writes nothing; the user
  // learns it once per damage, not at every field left.
  const std::optional<TRegistryDamage> damage = kaRegistryDamage(regroot);
  const std::string where =
      damage ? damage->file + ", line " + std::to_string(damage->line) + ": " + damage->reason : "";
  if (where == reportedDamage_)
    return;
  reportedDamage_ = where;
  if (damage)
    showMessage(translate("The settings could not be saved because the settings file is damaged:") +
                "\r\n" + where + "\r\n" +
                translate("The file is left as it is. Repair or remove it to save the settings again."));
}

void TfrmSMSComposer::saveSettingsReporting() {
  try {
    saveSettings();
  } catch (const std::exception& e) {
    showMessage(std::string("The settings could not be saved: ") + e.what());
  }
}

void TfrmSMSComposer::applySettings() {
  saveSettingsReporting();
  showComposerPage();
}

} // namespace quorvel
