// The Qt window's background credit query, run at each showing.
#include "composer/unSMSForm.h"

#include "composer/unCreditReceiver.h"

#include <system_error>

namespace quorvel {

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

} // namespace quorvel
