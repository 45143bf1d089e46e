// The background credit query on a worker thread of its own.
#include "composer/unGetCreditThread.h"

#include "util/unDate.h"

#include <algorithm>
#include <condition_variable>
#include <new>
#include <thread>

namespace quorvel {

namespace {

// Every running query of the process, so that shutdown can wait for them.
struct RunningQueries {
  std::mutex mutex;
  std::condition_variable ended;
  int count = 0;
  uint64_t answers = 0;
};

RunningQueries& runningQueries() {
  // Outlives every worker and every static destructor: built in static
  // storage and never destroyed, so no heap block is left behind at exit.
  alignas(RunningQueries) static unsigned char storage[sizeof(RunningQueries)];
  static RunningQueries* queries = new (storage) RunningQueries;
  return *queries;
}

} // namespace

TGetCreditThread::TGetCreditThread(const TGatewaySettings& settings,
                                   const TGatewayClientOptions& options, Notify notify)
    : settings_(settings), options_(options), notify_(std::move(notify)) {}

std::shared_ptr<TGetCreditThread> TGetCreditThread::start(const TGatewaySettings& settings,
                                                          const TGatewayClientOptions& options,
                                                          Notify notify) {
  std::shared_ptr<TGetCreditThread> query(
      new TGetCreditThread(settings, options, std::move(notify)));
  RunningQueries& all = runningQueries();
  {
    std::lock_guard<std::mutex> lock(all.mutex);
    ++all.count;
  }
  try {
    std::thread([query] { query->execute(); }).detach();
  } catch (...) {
    std::lock_guard<std::mutex> lock(all.mutex);
    --all.count;
    all.ended.notify_all();
    throw;
  }
  return query;
}

void TGetCreditThread::execute() {
  TCreditOutcome outcome;
  try {
    TGatewayRequest request(settings_, creditActionFields(unixnow()));
    request.post(options_);
    outcome = judgeCreditAnswer(creditAnswer(request.response, request.errormessage),
                                settings_.serverURL);
  } catch (...) {
    // A malformed port or answer: the query ends without a balance, as an
    // empty answer would.
    outcome = TCreditOutcome{};
  }
  const uint64_t order = stampAnswer();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!cancelled_) {
      outcome_ = std::move(outcome);
      finishOrder_ = order;
      if (notify_)
        notify_();
    }
    notify_ = nullptr;
  }
  RunningQueries& all = runningQueries();
  std::lock_guard<std::mutex> lock(all.mutex);
  --all.count;
  all.ended.notify_all();
}

uint64_t TGetCreditThread::stampAnswer() {
  RunningQueries& all = runningQueries();
  std::lock_guard<std::mutex> lock(all.mutex);
  return ++all.answers;
}

void TGetCreditThread::cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelled_ = true;
  outcome_.reset();
  notify_ = nullptr;
}

std::optional<TCreditOutcome> TGetCreditThread::takeOutcome() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::optional<TCreditOutcome> out = std::move(outcome_);
  outcome_.reset();
  return out;
}

uint64_t TGetCreditThread::finishOrder() {
  std::lock_guard<std::mutex> lock(mutex_);
  return finishOrder_;
}

bool TGetCreditThread::waitForAll(std::chrono::milliseconds limit) {
  RunningQueries& all = runningQueries();
  std::unique_lock<std::mutex> lock(all.mutex);
  return all.ended.wait_for(lock, limit, [&] { return all.count == 0; });
}

int TGetCreditThread::runningCount() {
  RunningQueries& all = runningQueries();
  std::lock_guard<std::mutex> lock(all.mutex);
  return all.count;
}

TCreditQueries::~TCreditQueries() { cancelAll(); }

void TCreditQueries::start(const TGatewaySettings& settings, const TGatewayClientOptions& options,
                           TGetCreditThread::Notify notify) {
  queries_.push_back(TGetCreditThread::start(settings, options, std::move(notify)));
}

void TCreditQueries::cancelAll() {
  for (const auto& query : queries_)
    query->cancel();
  queries_.clear();
}

std::vector<std::pair<uint64_t, TCreditOutcome>> TCreditQueries::takeReady() {
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
  return ready;
}

} // namespace quorvel
