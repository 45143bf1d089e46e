// The background credit query: one worker thread per query, with its own
// HTTP client, that hands its outcome back to the window's thread.
#pragma once

#include "composer/unCreditQuery.h"
#include "composer/unGatewayRequest.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace quorvel {

/// One credit query run on a thread of its own. The window's thread reads
/// the settings and starts it; the worker posts the request and judges the
/// answer, then rings `notify` so that the window's thread fetches the
/// outcome with takeOutcome. After cancel() the worker rings nothing and its
/// outcome is dropped, so a window that goes away is never touched. The
/// thread frees itself when its work ends; nothing waits for it but
/// waitForAll at shutdown.
class TGetCreditThread : public std::enable_shared_from_this<TGetCreditThread> {
public:
  /// Called on the worker thread, under the query's lock, once the outcome
  /// is ready and only while the query is not cancelled. It must do no more
  /// than post a wake-up to the window's thread.
  using Notify = std::function<void()>;

  /// Starts one query for \p settings (read by the caller on the window's
  /// thread) with a client set up by \p options.
  static std::shared_ptr<TGetCreditThread> start(const TGatewaySettings& settings,
                                                 const TGatewayClientOptions& options,
                                                 Notify notify);

  /// After this returns, notify is not called any more and the outcome is dropped.
  void cancel();
  /// The outcome once the query has ended, handed out once; empty before.
  std::optional<TCreditOutcome> takeOutcome();
  /// Order in which queries ended (1 for the first of the process); 0 while running.
  uint64_t finishOrder();

  /// The next number in the order in which gateway answers arrive, for any
  /// credit query of the process (background or not): the later answer wins.
  static uint64_t stampAnswer();

  /// Waits until no query of the process runs any more, at most \p limit.
  /// True when none runs.
  static bool waitForAll(std::chrono::milliseconds limit);
  /// Queries of the process still running.
  static int runningCount();

  TGetCreditThread(const TGetCreditThread&) = delete;
  TGetCreditThread& operator=(const TGetCreditThread&) = delete;

private:
  TGetCreditThread(const TGatewaySettings& settings, const TGatewayClientOptions& options,
                   Notify notify);
  /// The work of the thread: one request, its verdict, the hand-over.
  void execute();

  const TGatewaySettings settings_;
  const TGatewayClientOptions options_;
  std::mutex mutex_;
  Notify notify_;                        // guarded by mutex_
  bool cancelled_ = false;               // guarded by mutex_
  std::optional<TCreditOutcome> outcome_; // guarded by mutex_
  uint64_t finishOrder_ = 0;             // guarded by mutex_
};

/// The window's list of background credit queries. Each query rings
/// `notify` when its outcome is ready; the window's thread then takes the
/// outcomes with takeReady. Destroying the list cancels every query still out.
class TCreditQueries {
public:
  TCreditQueries() = default;
  ~TCreditQueries();
  TCreditQueries(const TCreditQueries&) = delete;
  TCreditQueries& operator=(const TCreditQueries&) = delete;

  /// Starts one query with \p settings, read by the caller on the window's thread.
  void start(const TGatewaySettings& settings, const TGatewayClientOptions& options,
             TGetCreditThread::Notify notify);
  /// Cancels every query still out; their outcomes are dropped.
  void cancelAll();
  /// Queries started and not yet taken.
  int pending() const { return static_cast<int>(queries_.size()); }
  /// The outcomes that are ready with their finish order, in the order their
  /// queries ended; those queries leave the list.
  std::vector<std::pair<uint64_t, TCreditOutcome>> takeReady();

private:
  std::vector<std::shared_ptr<TGetCreditThread>> queries_;
};

} // namespace quorvel
