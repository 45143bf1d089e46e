// The window's side of the background credit queries.
#include "composer/unCreditReceiver.h"

#include "composer/unSMSForm.h"

#include <algorithm>
#include <utility>

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
  queries_.push_back(TGetCreditThread::start(settings, options, [self] {
    QMetaObject::invokeMethod(self, "deliver", Qt::QueuedConnection);
  }));
}

void TCreditQueryReceiver::cancelAll() {
  for (const auto& query : queries_)
    query->cancel();
  queries_.clear();
}

void TCreditQueryReceiver::deliver() {
  std::vector<std::pair<uint64_t, TCreditOutcome>> ready;
  for (auto it = queries_.begin(); it != queries_.end();) {
    if (std::optional<TCreditOutcome> outcome = (*it)->takeOutcome()) {
      ready.emplace_back((*it)->finishOrder(), std::move(*outcome));
      it = queries_.erase(it);
    } else {
      ++it;
    }
  }
  std::sort(ready.begin(), ready.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [order, outcome] : ready)
    form_->applyCreditOutcome(outcome, order);
}

} // namespace quorvel
