// The composer's behaviour shared by every toolkit's window: sending and
// filing, credit queries, settings, message files, status texts, commands.
#include "composer/unSMSComposerLogic.h"

#include "Emapi/unEmail.h"
#include "Emapi/unMapiUtils.h"
#include "composer/unGatewayFrame.h"
#include "composer/unGetCreditThread.h"
#include "composer/unMsgFile.h"
#include "composer/unSMSSettings.h"
#include "composer/unSMSStatus.h"
#include "composer/unSendAction.h"
#include "composer/unTranslate.h"
#include "util/unDate.h"
#include "util/unRegistry.h"
#include "util/unSMSParts.h"
#include "util/unStrings.h"
#include "util/unTextCodec.h"

#include <algorithm>
#include <exception>
#include <memory>

namespace quorvel {

namespace {

using F = TComposerField;

TFileDialogOptions msgFileDialog(const std::string& title) {
  return {translate(title), TSMSComposerLogic::msgFileFilter, ".msg"};
}

// The selection without the texts after the first that Cc holds already: the
// dialog opens with the previous picks, and appending them again would send
// to the same numbers twice.
std::vector<std::string> withoutCopiesInCc(const std::vector<std::string>& selection,
                                           const std::string& cc) {
  std::vector<std::string> present;
  splittolist(";", cc, present);
  for (auto& item : present)
    item = trim(item);
  std::vector<std::string> result;
  for (std::size_t i = 0; i < selection.size(); ++i) {
    std::string item = trim(selection[i]);
    if (i > 0 && std::find(present.begin(), present.end(), item) != present.end())
      continue;
    if (i > 0)
      present.push_back(item);
    result.push_back(selection[i]);
  }
  return result;
}

} // namespace

TSMSComposerLogic::~TSMSComposerLogic() = default;

// --- Status bar and log ---------------------------------------------------------

void TSMSComposerLogic::updateStatus() {
  const std::size_t n = countStatusCharacters(fieldText(F::editor));
  // The parts are those of the text as "&Send" passes it on.
  std::string recip;
  std::string msg;
  sendArguments(recip, msg);
  showStatusPanels(statusPanelTexts(n, credits), smsPartsDescription(smsParts(msg)));
}

void TSMSComposerLogic::appendComlogText(const std::string& text) {
  setComlogText(comlogText() + text);
}

// --- Settings -------------------------------------------------------------------

void TSMSComposerLogic::loadSettings() {
  auto loadText = [this](F field, const char* name) {
    setFieldText(field, kaLoadFromreg(regroot, name, fieldText(field)));
  };
  // A value the store cannot read stops the loading; the settings after it
  // keep their defaults, and the window still opens.
  try {
    loadText(F::serverURL, regServerURL);
    loadText(F::userName, regUserName);
    loadText(F::password, regPassword);
    loadText(F::notifPhone, regNotifPhone);
    loadText(F::eventSel, regEventSel);
    setNotifyChecked(
        stringToBool(kaLoadFromreg(regroot, regNotify, boolToString(notifyChecked()))));
  } catch (const std::exception& e) {
    setComlogText(std::string("The settings could not be read: ") + e.what() + "\r\n");
  }
}

void TSMSComposerLogic::saveSettings() {
  kaSaveToreg(regroot, regServerURL, fieldText(F::serverURL));
  kaSaveToreg(regroot, regUserName, fieldText(F::userName));
  kaSaveToreg(regroot, regPassword, fieldText(F::password));
  kaSaveToreg(regroot, regNotifPhone, fieldText(F::notifPhone));
  kaSaveToreg(regroot, regEventSel, fieldText(F::eventSel));
  kaSaveToreg(regroot, regNotify, boolToString(notifyChecked()));
  reportSettingsDamage();
}

void TSMSComposerLogic::reportSettingsDamage() {
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

void TSMSComposerLogic::saveSettingsReporting() {
  try {
    saveSettings();
  } catch (const std::exception& e) {
    showMessage(std::string("The settings could not be saved: ") + e.what());
  }
}

void TSMSComposerLogic::applySettings() {
  saveSettingsReporting();
  showPage(TComposerPage::composer);
}

// --- Commands -------------------------------------------------------------------

void TSMSComposerLogic::execute(TCommandId id) {
  switch (id) {
  case TCommandId::send: send(); break;
  case TCommandId::open: openMessage(); break;
  case TCommandId::save: saveMessage(); break;
  case TCommandId::print: printMessage(); break;
  case TCommandId::close: closeWindow(); break;
  case TCommandId::undo:
  case TCommandId::cut:
  case TCommandId::copy:
  case TCommandId::paste:
  case TCommandId::del: editCommand(id); break;
  case TCommandId::preferences:
  case TCommandId::settings: showPage(TComposerPage::settings); break;
  case TCommandId::addressbook:
  case TCommandId::to:
  case TCommandId::cc: selectAddresses(); break;
  case TCommandId::downloadCredits: runCommand([this] { getCredits(true); }); break;
  // Toggles and entries without an action yet.
  case TCommandId::separator:
  case TCommandId::help:
  case TCommandId::about:
  case TCommandId::checkNumbers:
  case TCommandId::priority: break;
  }
}

void TSMSComposerLogic::sendArguments(std::string& recip, std::string& msg) const {
  msg = trim(utf16ToUtf8(singleline(utf8ToUtf16(fieldText(F::editor)))));
  recip = trim(fieldText(F::to)) + ";" + trim(fieldText(F::cc));
}

void TSMSComposerLogic::send() {
  std::string recip;
  std::string msg;
  sendArguments(recip, msg);
  runCommand([&] { sendSMS(recip, msg); });
}

void TSMSComposerLogic::applyAddressSelection(const std::vector<std::string>& selection) {
  if (selection.empty())
    return;
  setFieldText(F::to, selection.front());
  std::string cc = fieldText(F::cc);
  for (std::size_t i = 1; i < selection.size(); ++i)
    cc += selection[i] + "; ";
  setFieldText(F::cc, cc);
}

void TSMSComposerLogic::pickAddresses() {
  if (!myMapi)
    return;
  myMapi->showAddressSelForm();
  // Cancel (or no address book at all) leaves the fields as they were.
  if (!myMapi->lastAddressSelConfirmed())
    return;
  applyAddressSelection(withoutCopiesInCc(myMapi->selAddrlist, fieldText(F::cc)));
}

void TSMSComposerLogic::createMapi(uintptr_t handle) { myMapi = new TkaMapi(handle); }

void TSMSComposerLogic::destroyMapi() {
  delete myMapi;
  myMapi = nullptr;
}

// --- Message files ----------------------------------------------------------------

void TSMSComposerLogic::saveMessage() {
  const std::string path = saveFileDialog(msgFileDialog("Save Message File"));
  if (path.empty())
    return;
  const std::string bytes =
      encodeMsgFile({fieldText(F::to), fieldText(F::cc), fieldText(F::editor)});
  if (!writeFileReplacing(path, bytes))
    showMessage(translate("Could not save file"));
}

void TSMSComposerLogic::openMessage() {
  const std::string path = openFileDialog(msgFileDialog("Select Message File"));
  if (path.empty())
    return;
  const std::optional<std::string> bytes = readWholeFile(path);
  if (!bytes) {
    showMessage(translate("Could not open file"));
    return;
  }
  const auto content = decodeMsgFile(*bytes);
  if (!content)
    return;
  setFieldText(F::to, content->to);
  setFieldText(F::cc, content->cc);
  setFieldText(F::editor, content->text);
}

std::string TSMSComposerLogic::printDocName() const { return "SMS Message " + fieldText(F::to); }

// --- Gateway ----------------------------------------------------------------------

TGatewaySettings TSMSComposerLogic::gatewaySettings() const {
  return {fieldText(F::serverURL), fieldText(F::userName), fieldText(F::password)};
}

void TSMSComposerLogic::getCredits(bool warn) {
  const TGatewaySettings settings = gatewaySettings();
  TGatewayRequest request(settings, creditActionFields(unixnow()));
  if (warn)
    setComlogText(request.requestLog());
  // A quiet refresh asks nothing, not even about a certificate.
  request.post(TGatewayClientOptions{0, warn});
  const uint64_t order = TGetCreditThread::stampAnswer();
  const std::string answer = creditAnswer(request.response, request.errormessage);
  if (warn)
    appendComlogText(responseLogText(answer));
  const TCreditOutcome outcome = judgeCreditAnswer(answer, settings.serverURL);
  if (outcome.verdict == TCreditVerdict::success && order > creditsOrder_) {
    credits = outcome.credits;
    creditsOrder_ = order;
  }
  if (warn && outcome.verdict != TCreditVerdict::empty)
    messageBox(outcome.text, outcome.caption, outcome.icon);
  updateStatus();
}

void TSMSComposerLogic::applyCreditOutcome(const TCreditOutcome& outcome, uint64_t order) {
  if (outcome.verdict == TCreditVerdict::success && order > creditsOrder_) {
    credits = outcome.credits;
    creditsOrder_ = order;
  }
  updateStatus();
}

void TSMSComposerLogic::sendSMS(const std::string& recip, const std::string& msg) {
  if (sendInputMissing(recip, msg)) {
    showMessage(translate("Message text is empty"));
    return;
  }
  std::vector<std::string> recipients = recipientList(recip);
  if (!creditsCover(recipients.size(), credits)) {
    messageBox("You do not have enough credits to send these messages!", "SMS", MsgIcon::warning);
    return;
  }
  donthide = false;
  const TSendAction action = buildSendAction(recipients, msg);
  if (!action.allowed) {
    // Nothing was posted, so nothing is filed either.
    showMessage("Could not find a phone number for " + action.missingEntry);
    donthide = true;
  } else if (isRefusedSendAnswer(postSMSMessages2(action.fields))) {
    donthide = true;
    showMessage("Could not log into SMS server. Please check settings!");
  } else {
    fileSentCopy(std::move(recipients), msg);
  }
  if (!donthide)
    hideWindow();
}

std::string TSMSComposerLogic::postSMSMessages2(const std::string& postlist) {
  setComlogText("");
  TGatewayRequest request(gatewaySettings(), postlist);
  setComlogText(request.requestLog());
  request.post();
  std::string answer;
  if (!request.errormessage.empty()) {
    answer = "[ERROR]\r\n" + request.errormessage;
  } else if (request.httpStatus != 0 && (request.httpStatus < 200 || request.httpStatus > 299)) {
    // A refusal at the HTTP level (a body too large, a wrong path, a server
    // error) sent nothing, whatever its page says.
    answer = "[ERROR]\r\n" + request.statusLine;
    if (!request.response.empty())
      answer += "\r\n" + request.response;
  } else {
    answer = request.response;
    if (parseData(answer).find("Insufficient") != std::string::npos)
      messageBox("You could not send all messages. You have insufficient number of credits!",
                 "SMS", MsgIcon::warning);
  }
  appendComlogText(responseLogText(answer));
  getCredits(false);
  return answer;
}

void TSMSComposerLogic::fileSentCopy(std::vector<std::string> recipients,
                                     const std::string& msg) {
  const TGatewaySettings settings = gatewaySettings();
  auto email = std::make_unique<TkaEmail>();
  email->fromAddr = senderAddress(settings.userName, settings.serverURL);
  email->toAddr = std::move(recipients);
  if (priorityChecked()) {
    email->priority = 1;
    email->importance = 2;
  }
  email->body = msg;
  email->subject = smsSubject(msg);
  if (myMapi)
    myMapi->CreateMessage(mapi::PR_IPM_SENTMAIL_ENTRYID, email.get());
}

void TSMSComposerLogic::runCommand(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& e) {
    messageBox(e.what(), caption, MsgIcon::error);
  }
}

} // namespace quorvel
