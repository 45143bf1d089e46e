// Talking to the SMS gateway from the composer window: the credit query (on
// request, after each send and in the background at each showing) and
// sending a text to its recipients with the copy filed in Sent Items.
#include "composer/unSMSForm.h"

#include "Emapi/unEmail.h"
#include "Emapi/unMapiUtils.h"
#include "composer/unCreditReceiver.h"
#include "composer/unSendAction.h"
#include "composer/unTranslate.h"
#include "util/unDate.h"

#include <QAction>
#include <QLineEdit>

#include <memory>
#include <system_error>

namespace quorvel {

TGatewaySettings TfrmSMSComposer::gatewaySettings() const {
  return {eServerURL->text().toStdString(), eUserName->text().toStdString(),
          ePass->text().toStdString()};
}

void TfrmSMSComposer::getCredits(bool warn) {
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

void TfrmSMSComposer::applyCreditOutcome(const TCreditOutcome& outcome, uint64_t order) {
  if (outcome.verdict == TCreditVerdict::success && order > creditsOrder_) {
    credits = outcome.credits;
    creditsOrder_ = order;
  }
  updateStatus();
}

void TfrmSMSComposer::startCreditQuery() {
  if (!creditQueries_)
    creditQueries_ = new TCreditQueryReceiver(this);
  try {
    creditQueries_->start(gatewaySettings(), creditQueryOptions);
  } catch (const std::system_error&) {
    // No thread to be had: the balance stays as it is until asked for.
  }
}

int TfrmSMSComposer::pendingCreditQueries() const {
  return creditQueries_ ? creditQueries_->pending() : 0;
}

void TfrmSMSComposer::sendSMS(const std::string& recip, const std::string& msg) {
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
    hide();
}

std::string TfrmSMSComposer::postSMSMessages2(const std::string& postlist) {
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

void TfrmSMSComposer::fileSentCopy(std::vector<std::string> recipients, const std::string& msg) {
  const TGatewaySettings settings = gatewaySettings();
  auto email = std::make_unique<TkaEmail>();
  email->fromAddr = senderAddress(settings.userName, settings.serverURL);
  email->toAddr = std::move(recipients);
  if (tbPriority->isChecked()) {
    email->priority = 1;
    email->importance = 2;
  }
  email->body = msg;
  email->subject = smsSubject(msg);
  if (myMapi)
    myMapi->CreateMessage(mapi::PR_IPM_SENTMAIL_ENTRYID, email.get());
}

void TfrmSMSComposer::runCommand(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& e) {
    messageBox(e.what(), windowTitle().toStdString(), MsgIcon::error);
  }
}

} // namespace quorvel
