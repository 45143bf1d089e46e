// Writers that arrive while a commit is under way wait for it, then go together in the next one.
#include "gateway/gatewayCommitQueue.h"

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <thread>

namespace quorvel::gateway {
namespace {

struct Work : CommitQueue::Entry {
  int value = 0;
  int group = -1;  // the number of the group that committed it
};

class GroupCommit : public ::testing::Test {
protected:
  // Each commit records its group; the first one waits for the gate, so that
  // the writers behind it pile up.
  void commit(CommitQueue::Group& group) {
    const int number = groups++;
    if (number == 0) gate.get_future().wait();
    sizes.push_back(group.size());
    for (auto* entry : group) {
      auto& work = static_cast<Work&>(*entry);
      if (work.value < 0) work.error = std::make_exception_ptr(std::runtime_error("own failure"));
      work.group = number;
    }
    if (failGroup == number) throw std::runtime_error("commit failed");
  }

  // Submits the first writer (held at the gate) and \p others behind it, then opens the gate.
  void run(Work& first, std::vector<Work>& others) {
    const CommitQueue::Commit fn = [this](CommitQueue::Group& g) { commit(g); };
    std::thread leader([&] { queue.submit(first, fn); });
    while (groups == 0) std::this_thread::yield();  // the leader is inside its commit
    std::vector<std::thread> threads;
    for (Work& w : others) threads.emplace_back([&] { queue.submit(w, fn); });
    while (queue.waiting() < others.size()) std::this_thread::yield();
    gate.set_value();
    leader.join();
    for (auto& t : threads) t.join();
  }

  CommitQueue queue;
  std::promise<void> gate;
  std::atomic<int> groups{0};
  std::vector<size_t> sizes;
  int failGroup = -1;
};

TEST_F(GroupCommit, WritersBehindACommitShareTheNextOne) {
  Work first;
  std::vector<Work> others(5);
  run(first, others);
  EXPECT_EQ(sizes, (std::vector<size_t>{1, 5}));
  EXPECT_EQ(queue.groups(), 2u);
  EXPECT_EQ(first.group, 0);
  for (const Work& w : others) {
    EXPECT_EQ(w.group, 1);  // each returned only after the commit that held it
    EXPECT_FALSE(w.error);
  }
}

TEST_F(GroupCommit, FailuresReachTheirOwnWritersAndAFailedCommitReachesAll) {
  failGroup = 1;
  Work first;
  std::vector<Work> others(3);
  others[1].value = -1;
  run(first, others);
  EXPECT_FALSE(first.error);
  for (const Work& w : others) {
    ASSERT_TRUE(w.error);
    try {
      std::rethrow_exception(w.error);
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), &w == &others[1] ? "own failure" : "commit failed");
    }
  }
}

} // namespace
} // namespace quorvel::gateway
