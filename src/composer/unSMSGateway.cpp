// Talking to the SMS gateway: the credit query and sending. Until the gateway
// client exists these do nothing, so the window works without a server.
#include "composer/unSMSForm.h"

namespace quorvel {

void TfrmSMSComposer::getCredits(bool warn) {
  (void)warn;
}

void TfrmSMSComposer::sendSMS(const std::string& recip, const std::string& msg) {
  (void)recip;
  (void)msg;
}

void TfrmSMSComposer::startCreditQuery() {}

} // namespace quorvel
