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

namespace quorvel::gateway {

/// Seconds since the epoch; replaceable so that tests can move time on.
using Clock = std::function<std::int64_t()>;
std::int64_t systemClock();

/// Hands the queue's due messages to Kannel, part by part, on a thread of
/// its own or one pass at a time (runDue). Failed hand-overs wait with a
/// doubling back-off; after the configured attempts the message is given up
/// and its credit returned. A part whose request got no answer is never
/// sent again: its report settles it, or it fails after the confirm window.
class DeliveryWorker {
public:
  DeliveryWorker(Outbox& outbox, const UpstreamConfig& config, const std::string& reportBase,
                 Clock clock = systemClock);
  ~DeliveryWorker();
  DeliveryWorker(const DeliveryWorker&) = delete;
  DeliveryWorker& operator=(const DeliveryWorker&) = delete;

  /// One pass over what is due now; returns the parts Kannel accepted.
  std::size_t runDue();
  /// Runs passes on a thread until stop(), every \p pollMs or on wake().
  void start(int pollMs = 200);
  void wake();
  void stop();

private:
  // False when the pass should end (Kannel refused or did not answer).
  bool deliver(const QueuedMessage& m, std::size_t& accepted);
  std::int64_t backOff(int attempts) const;

  Outbox& outbox_;
  DeliveryTimings timings_;
  KannelClient client_;
  Clock clock_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool stop_ = false;
  bool woken_ = false;
  std::thread thread_;
};

/// Answers GET /dlr?id=..&part=..&k=..&type=..&status=..&ts=.. from Kannel:
/// 200 when recorded, 403 for a wrong key, 400 for missing or malformed
/// fields, 404 for an unknown message part.
Answer deliveryReport(Outbox& outbox, const std::string& key, const std::multimap<std::string, std::string>& query);

} // namespace quorvel::gateway
