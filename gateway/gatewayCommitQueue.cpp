// Group commit: concurrent writers share one transaction, and with it one flush to disk.
#include "gateway/gatewayCommitQueue.h"

namespace quorvel::gateway {

void CommitQueue::submit(Entry& entry, const Commit& commit) {
  std::unique_lock lock(mutex_);
  queue_.push_back(&entry);
  changed_.wait(lock, [&] { return entry.done_ || !leading_; });
  if (entry.done_) return;

  leading_ = true;
  Group group;
  group.swap(queue_);
  lock.unlock();
  try {
    commit(group);
  } catch (...) {
    const std::exception_ptr error = std::current_exception();
    for (Entry* e : group)
      if (!e->error) e->error = error;
  }
  lock.lock();
  for (Entry* e : group) e->done_ = true;
  leading_ = false;
  ++groups_;
  changed_.notify_all();
}

std::size_t CommitQueue::waiting() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

std::uint64_t CommitQueue::groups() const {
  std::lock_guard lock(mutex_);
  return groups_;
}

} // namespace quorvel::gateway
