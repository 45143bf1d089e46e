// The delivery stage: a worker that hands queued messages to Kannel, and
// the endpoint that takes Kannel's delivery reports.
#pragma once

#include "gateway/gatewayAnswers.h"
#include "gateway/gatewayKannel.h"
#include "gateway/gatewayOutbox.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorvel::gateway {

/// Seconds since the epoch; replaceable so that tests can move time on.
using Clock = std::function<std::int64_t()>;
std::int64_t systemClock();

/// Hands one part to the upstream; KannelClient::send unless a test gives another.
using Transport = std::function<HandOverResult(const SmsPart&)>;

/// Hands the queue's due messages to Kannel, part by part, on a thread of
/// its own or one pass at a time (runDue). A message Kannel answers with an
/// error waits with a doubling back-off of its own; when Kannel cannot be
/// reached at all, the whole queue waits with that back-off instead and no
/// message spends an attempt. A message not handed over within its validity
/// after acceptance is given up and what it cost returned. A part whose
/// request got no answer is never sent again: its report settles it, or it
/// fails after the confirm window.
class DeliveryWorker {
public:
  DeliveryWorker(Outbox& outbox, const UpstreamConfig& config, const std::string& reportBase,
                 Clock clock = systemClock, Transport transport = {});
  ~DeliveryWorker();
  DeliveryWorker(const DeliveryWorker&) = delete;
  DeliveryWorker& operator=(const DeliveryWorker&) = delete;

  /// One pass over what is due now; returns the parts Kannel accepted.
  std::size_t runDue();
  /// Runs passes on a thread until stop(), every \p pollMs or on wake().
  void start(int pollMs = 200);
  void wake();
  void stop();

  /// Until when (unix seconds) the queue waits for an unreachable Kannel; 0 when it does not.
  std::int64_t pausedUntil() const { return pausedUntil_; }

private:
  // False when the pass should end (Kannel refused or did not answer).
  bool deliver(const QueuedMessage& m, std::size_t& accepted);
  // The parts of \p m as they go: texts, reference and header form.
  std::vector<SmsPart> layOut(const QueuedMessage& m);
  // Gives up the queued messages whose validity is over.
  void giveUpExpired(std::int64_t now);
  std::int64_t backOff(int attempts) const;

  Outbox& outbox_;
  DeliveryTimings timings_;
  KannelClient client_;
  Clock clock_;
  Transport transport_;
  std::int64_t pausedUntil_ = 0;
  int outages_ = 0;  // hand-overs in a row that found Kannel unreachable
  std::mutex mutex_;
  std::condition_variable cv_;
  bool stop_ = false;
  bool woken_ = false;
  std::thread thread_;
};

/// Answers GET /dlr?id=..&part=..&k=..&type=..&status=..&ts=.. from Kannel:
/// 200 when recorded, 400 for missing or malformed fields, 403 unless \c k
/// is reportKey(secret, id, part) (or the secret itself, for a part that
/// went out with it before keys were per part), 404 for an unknown part.
Answer deliveryReport(Outbox& outbox, const std::string& secret,
                      const std::multimap<std::string, std::string>& query);

} // namespace quorvel::gateway
