// A fixed pool of threads that runs the service's blocking calls for the HTTP front.
#include "gateway/gatewayWorkers.h"

namespace quorvel::gateway {

Workers::Workers(std::size_t threads) {
  for (std::size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
}

Workers::~Workers() { stop(); }

bool Workers::submit(const Job& job) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return false;
    jobs_.push_back(job);
  }
  wake_.notify_one();
  return true;
}

void Workers::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : threads_)
    if (t.joinable()) t.join();
  threads_.clear();
}

void Workers::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (jobs_.empty()) return;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    const bool stopping = stopping_;
    lock.unlock();
    job(stopping);
    lock.lock();
  }
}

} // namespace quorvel::gateway
