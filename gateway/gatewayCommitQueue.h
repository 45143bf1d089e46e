// Group commit: concurrent writers share one transaction, and with it one flush to disk.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <vector>

namespace quorvel::gateway {

/// Writers queue their work here. The first writer to find no commit under
/// way leads: it takes everything queued so far (its own work included),
/// commits it as one group, and wakes the others; whoever is still waiting
/// then leads the next group. A writer returns only once the commit that
/// holds its work has ended, so an answer sent after submit() is durable.
class CommitQueue {
public:
  /// One writer's work. The leader's commit function fills in what the work
  /// produced, or \c error when it (or the group's commit) failed.
  class Entry {
  public:
    virtual ~Entry() = default;
    std::exception_ptr error;

  private:
    friend class CommitQueue;
    bool done_ = false;
  };

  using Group = std::vector<Entry*>;
  /// Carries out and commits a group, entries in the order they came. When
  /// it throws, every entry of the group without an error of its own gets
  /// that one.
  using Commit = std::function<void(Group&)>;

  /// Queues \p entry and returns once a group holding it was committed.
  void submit(Entry& entry, const Commit& commit);

  /// Writers waiting for a commit to take them (not counting the leader's group).
  std::size_t waiting() const;
  /// Groups committed so far.
  std::uint64_t groups() const;

private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Entry*> queue_;
  bool leading_ = false;
  std::uint64_t groups_ = 0;
};

} // namespace quorvel::gateway
