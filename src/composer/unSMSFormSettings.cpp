// The settings page: loading, saving and its buttons.
#include "composer/unSMSForm.h"

#include "composer/unSMSSettings.h"
#include "util/unRegistry.h"
#include "util/unStrings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <exception>

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
