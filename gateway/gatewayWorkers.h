// A fixed pool of threads that runs the service's blocking calls for the HTTP front.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvel::gateway {

/// Runs submitted jobs on a fixed number of threads, in the order given.
class Workers {
public:
  /// A job; \c stopping is true when it runs only to be wound up after stop().
  using Job = std::function<void(bool stopping)>;

  explicit Workers(std::size_t threads);
  ~Workers();
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  /// Queues \p job; false, with nothing queued, once stop() was called.
  bool submit(const Job& job);
  /// Lets running jobs finish, runs every waiting job with stopping = true,
  /// and joins the threads. Idempotent.
  void stop();

private:
  void work();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

} // namespace quorvel::gateway
