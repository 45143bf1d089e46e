// The stand-ins' definitions: no composer window, no credit query, no mail
// library (see README.md in this folder).
#include "composer/unGetCreditThread.h"
#include "composer/unSMSForm.h"
#include "Emapi/unMapiLib.h"

namespace quorvel {

TfrmSMSComposer* frmSMSComposer = nullptr;

bool TGetCreditThread::waitForAll(std::chrono::milliseconds) { return true; }

int TGetCreditThread::runningCount() { return 0; }

int32_t clientTimeOutSeconds(const TGatewayClientOptions& options) {
  return options.timeOutSeconds;
}

bool mapiLibraryLoaded() { return false; }

} // namespace quorvel
