// The window's side of the background credit queries.
#include "composer/unCreditReceiver.h"

#include "composer/unSMSForm.h"

namespace quorvel {

TCreditQueryReceiver::TCreditQueryReceiver(TfrmSMSComposer* form) : QObject(form), form_(form) {
  setObjectName("creditQueries");
}

TCreditQueryReceiver::~TCreditQueryReceiver() { cancelAll(); }

void TCreditQueryReceiver::start(const TGatewaySettings& settings,
                                 const TGatewayClientOptions& options) {
  // The query rings under its own lock and never after cancel(), which this
  // object calls before it goes: the pointer is alive whenever it is used.
  TCreditQueryReceiver* self = this;
  queries_.start(settings, options, [self] {
    QMetaObject::invokeMethod(self, "deliver", Qt::QueuedConnection);
  });
}

void TCreditQueryReceiver::cancelAll() { queries_.cancelAll(); }

void TCreditQueryReceiver::deliver() {
  for (const auto& [order, outcome] : queries_.takeReady())
    form_->applyCreditOutcome(outcome, order);
}

} // namespace quorvel
