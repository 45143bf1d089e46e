// The stand-ins' definitions: no composer window and no credit query (see
// README.md in this folder).
#include "composer/unGetCreditThread.h"
#include "composer/unSMSForm.h"

namespace quorvel {

TfrmSMSComposer* frmSMSComposer = nullptr;

bool TGetCreditThread::waitForAll(std::chrono::milliseconds) { return true; }

int TGetCreditThread::runningCount() { return 0; }

int32_t clientTimeOutSeconds(const TGatewayClientOptions& options) {
  return options.timeOutSeconds;
}

} // namespace quorvel
