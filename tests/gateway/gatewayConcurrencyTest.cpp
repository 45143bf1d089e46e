// Many clients at once: every credit is spent exactly once, and password hashes run a bounded number at a time.
#include "gateway/gatewayEmbedded.h"

#include "gatewayTestUtil.h"
#include "tempDir.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <latch>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace quorvel::gateway {
namespace {

using test::count;
using test::payload;

const HashCost kCost{test::kTestLog2N, 8, 1};

struct Tally {
  std::atomic<int> accepted{0};
  std::atomic<int> refused{0};
  std::atomic<int> insufficientAnswers{0};
  std::atomic<int> failures{0};
};

std::string batch(int client, int request, int size) {
  std::string body = "login=shared&password=pw&action=sendMessages";
  for (int i = 0; i < size; ++i) {
    const std::string index = std::to_string(i);
    body += "&recepient" + index + "=%2B49" + std::to_string(client * 1000 + request) + index + "&messageData" + index +
            "=client+" + std::to_string(client) + "+request+" + std::to_string(request);
  }
  return body + "&messageCount=" + std::to_string(size) + "\r\n";
}

TEST(GatewayConcurrency, BalanceIsSpentExactlyOnce) {
  constexpr int kClients = 12;
  constexpr int kRequests = 10;
  constexpr int kCredits = 97;  // far fewer than the 12 * 10 * 2 messages asked for

  test::TempDir dir;
  EmbeddedGateway gateway(dir.file("gateway.sqlite"), EmbeddedOptions{"127.0.0.1", 0, false, kCost});
  gateway.store().addAccount("shared", hashPassword("pw", kCost), Balance{false, kCredits});

  Tally tally;
  std::latch ready(kClients);
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      httplib::Client client("127.0.0.1", gateway.port());
      client.set_keep_alive(c % 2 == 0);  // half of them reuse their connection
      ready.arrive_and_wait();
      for (int r = 0; r < kRequests; ++r) {
        // Interleave credit queries; they must never see a negative balance.
        if (r % 3 == 0) {
          auto q = client.Post("/kavri", "login=shared&password=pw&action=getCredits&t=1", "application/x-www-form-urlencoded");
          if (!q || q->status != 200 || std::stoi(payload(q->body)) < 0) ++tally.failures;
        }
        auto res = client.Post("/kavri", batch(c, r, 2), "application/x-www-form-urlencoded");
        if (!res || res->status != 200) {
          ++tally.failures;
          continue;
        }
        const int accepted = static_cast<int>(count(res->body, "status=\"accepted\""));
        tally.accepted += accepted;
        tally.refused += static_cast<int>(count(res->body, "reason=\"insufficient credits\""));
        if (payload(res->body).find("Insufficient") != std::string::npos) ++tally.insufficientAnswers;
        // A batch is paid in order: never the second message without the first.
        if (accepted == 1 && res->body.find("status=\"accepted\"") > res->body.find("index=\"1\""))
          ++tally.failures;
      }
    });
  }
  for (auto& t : clients) t.join();

  EXPECT_EQ(tally.failures.load(), 0);
  EXPECT_EQ(tally.accepted.load(), kCredits);
  EXPECT_EQ(tally.accepted.load() + tally.refused.load(), kClients * kRequests * 2);
  EXPECT_GT(tally.insufficientAnswers.load(), 0);

  const auto account = gateway.store().findAccount("shared");
  ASSERT_TRUE(account);
  EXPECT_EQ(account->balance, (Balance{false, 0}));
  EXPECT_EQ(gateway.store().messageCount(), kCredits);

  // Every filed message is distinct: none was filed twice.
  std::set<std::string> recipients;
  for (const auto& m : gateway.store().messages("shared", 1000)) recipients.insert(m.recipient);
  EXPECT_EQ(recipients.size(), static_cast<size_t>(kCredits));
}

// The accepted messages of a send answer: id and recipient of each.
std::map<std::int64_t, std::string> acceptedIn(const std::string& answer) {
  std::map<std::int64_t, std::string> out;
  const std::string recipientMark = "recipient=\"", idMark = "status=\"accepted\" id=\"";
  for (size_t at = answer.find(idMark); at != std::string::npos; at = answer.find(idMark, at + 1)) {
    const size_t r = answer.rfind(recipientMark, at) + recipientMark.size();
    const std::string recipient = answer.substr(r, answer.find('"', r) - r);
    out[std::stoll(answer.substr(at + idMark.size()))] = recipient;
  }
  return out;
}

// The ids in the outbound queue, in order.
std::vector<std::int64_t> queuedIds(const std::string& path) {
  sqlite3* db = nullptr;
  std::vector<std::int64_t> ids;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return ids;
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT message_id FROM outbox ORDER BY message_id", -1, &s, nullptr) == SQLITE_OK)
    while (sqlite3_step(s) == SQLITE_ROW) ids.push_back(sqlite3_column_int64(s, 0));
  sqlite3_finalize(s);
  sqlite3_close(db);
  return ids;
}

// Requests that arrive together share commits; whatever was answered as
// accepted is in the store, and in the outbound queue, when it is opened
// again, and a batch that failed in a shared commit left nothing behind
// (no queue rows either) while the others of its group stayed.
TEST(GatewayConcurrency, EveryAcceptedMessageIsStoredAfterReopening) {
  constexpr int kClients = 16;
  constexpr int kRequests = 12;
  test::TempDir dir;
  const std::string path = dir.file("gateway.sqlite");
  {
    GatewayStore store(path);
    store.addAccount("shared", hashPassword("pw", kCost), Balance{true, 0});
  }
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TRIGGER fail BEFORE INSERT ON messages WHEN NEW.recipient LIKE '%poison%' "
                           "BEGIN SELECT RAISE(ABORT, 'disk trouble'); END;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }

  std::mutex mutex;
  std::map<std::int64_t, std::string> answered;
  std::atomic<int> failures{0}, refusedBatches{0};
  std::uint64_t commits = 0;
  {
    EmbeddedGateway gateway(path, EmbeddedOptions{"127.0.0.1", 0, false, kCost});
    gateway.outbox().setUpstream("kannel");  // queue every message, with no worker taking them away
    std::latch ready(kClients);
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
      clients.emplace_back([&, c] {
        httplib::Client client("127.0.0.1", gateway.port());
        ready.arrive_and_wait();
        for (int r = 0; r < kRequests; ++r) {
          std::string body = batch(c, r, 3);
          const bool poisoned = (c + r) % 5 == 0;
          if (poisoned) body.replace(body.find("recepient2=") + 11, 0, "poison");
          auto res = client.Post("/kavri", body, "application/x-www-form-urlencoded");
          if (!res || res->status != (poisoned ? 500 : 200)) {
            ++failures;
            continue;
          }
          if (poisoned) {
            ++refusedBatches;
            continue;
          }
          const auto accepted = acceptedIn(res->body);
          if (accepted.size() != 3) ++failures;
          std::lock_guard lock(mutex);
          answered.insert(accepted.begin(), accepted.end());
        }
      });
    }
    for (auto& t : clients) t.join();
    commits = gateway.store().batchCommits();
  }
  EXPECT_EQ(failures.load(), 0);
  EXPECT_GT(refusedBatches.load(), 0);
  EXPECT_LE(commits, static_cast<std::uint64_t>(kClients * kRequests));

  GatewayStore reopened(path);
  std::map<std::int64_t, std::string> stored;
  for (const auto& m : reopened.messages("shared", 100000)) stored[m.id] = m.recipient;
  EXPECT_EQ(stored, answered);
  EXPECT_EQ(answered.size(), static_cast<size_t>(kClients * kRequests - refusedBatches.load()) * 3);
  std::vector<std::int64_t> ids;
  for (const auto& [id, recipient] : answered) ids.push_back(id);
  EXPECT_EQ(queuedIds(path), ids);
}

// A second store object on the same file stands for another process (the
// command line changing a balance while the server runs).
TEST(GatewayConcurrency, TwoStoresOnOneFileNeverOverspend) {
  constexpr int kThreads = 8;
  constexpr int kCredits = 50;
  test::TempDir dir;
  GatewayStore first(dir.file("gateway.sqlite"));
  GatewayStore second(dir.file("gateway.sqlite"));
  first.addAccount("shared", hashPassword("pw", kCost), Balance{false, kCredits});
  const auto id = first.findAccount("shared")->id;

  std::atomic<int> accepted{0};
  std::latch ready(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      GatewayStore& store = t % 2 ? second : first;
      ready.arrive_and_wait();
      for (int i = 0; i < 10; ++i)
        accepted += static_cast<int>(store.acceptMessages(id, {{"1", "a"}, {"2", "b"}}).ids.size());
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(accepted.load(), kCredits);
  EXPECT_EQ(second.balance(id), (Balance{false, 0}));
  EXPECT_EQ(first.messageCount(), kCredits);
}

// Threads that sign in at once, with hooks that see how many hashes run.
struct HashWatch {
  std::mutex mutex;
  std::condition_variable changed;
  int arrived = 0, inside = 0, most = 0, hashed = 0;
  bool released = false;

  void watch(HashSlots& slots) {
    slots.onWait = [this] {
      std::lock_guard lock(mutex);
      ++arrived;
      changed.notify_all();
    };
    slots.onHash = [this] {
      std::unique_lock lock(mutex);
      most = std::max(most, ++inside);
      ++hashed;
      changed.notify_all();
      changed.wait(lock, [&] { return released; });
      --inside;
    };
  }
  template <class Ready>
  bool waitUntil(Ready ready) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(30), ready);
  }
  void release() {
    std::lock_guard lock(mutex);
    released = true;
    changed.notify_all();
  }
};

std::string guess(int i) { return "login=guess" + std::to_string(i) + "&password=x&action=getCredits&t=1"; }

// With two slots, five sign-ins at once run two hashes at a time; before the
// bound all five ran together.
TEST(GatewaySignInConcurrency, HashesRunAtMostOnePerSlot) {
  test::TempDir dir;
  GatewayStore store(dir.file("gateway.sqlite"));
  SignInOptions options;
  options.hashSlots = 2;
  options.hashWait = std::chrono::seconds(60);
  GatewayService service(store, kCost, options);
  HashWatch watch;
  watch.watch(service.hashSlots());

  constexpr int kClients = 5;
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i)
    clients.emplace_back([&, i] { service.handle(guess(i), ClientInfo{"192.0.2." + std::to_string(i)}); });
  EXPECT_TRUE(watch.waitUntil([&] { return watch.arrived == kClients && watch.inside >= 2; }));
  watch.release();
  for (auto& c : clients) c.join();
  EXPECT_EQ(watch.most, 2);
  EXPECT_EQ(watch.hashed, kClients);
}

// No slot free within the wait: the sign-in is refused as busy, unhashed.
TEST(GatewaySignInConcurrency, BusySlotsAnswerAfterABoundedWait) {
  test::TempDir dir;
  GatewayStore store(dir.file("gateway.sqlite"));
  SignInOptions options;
  options.hashSlots = 1;
  options.hashWait = std::chrono::milliseconds(0);
  GatewayService service(store, kCost, options);
  HashWatch watch;
  watch.watch(service.hashSlots());

  std::thread first([&] { service.handle(guess(1), ClientInfo{"192.0.2.1"}); });
  EXPECT_TRUE(watch.waitUntil([&] { return watch.inside == 1; }));
  const Answer busy = service.handle(guess(2), ClientInfo{"192.0.2.2"});
  watch.release();
  first.join();
  EXPECT_EQ(busy.status, 503);
  EXPECT_TRUE(test::contains(busy.body, "[ERROR]"));
  EXPECT_TRUE(test::contains(payload(busy.body), "the gateway is busy checking other sign-ins"));
  EXPECT_EQ(watch.hashed, 1);
}

// With the one slot taken and its one waiting place too, a further check is
// answered busy at once instead of holding its thread for the whole wait.
TEST(GatewaySignInConcurrency, AFullQueueAnswersBusyAtOnce) {
  test::TempDir dir;
  GatewayStore store(dir.file("gateway.sqlite"));
  SignInOptions options;
  options.hashSlots = 1;
  options.hashQueue = 1;
  options.hashWait = std::chrono::minutes(10);
  GatewayService service(store, kCost, options);
  HashWatch watch;
  watch.watch(service.hashSlots());

  std::thread first([&] { service.handle(guess(1), ClientInfo{"192.0.2.1"}); });
  EXPECT_TRUE(watch.waitUntil([&] { return watch.inside == 1; }));
  std::thread second([&] { service.handle(guess(2), ClientInfo{"192.0.2.2"}); });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (service.hashSlots().waiting() < 1 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  const Answer busy = service.handle(guess(3), ClientInfo{"192.0.2.3"});
  watch.release();
  first.join();
  second.join();
  EXPECT_EQ(busy.status, 503);
  EXPECT_EQ(watch.hashed, 2);
}

} // namespace
} // namespace quorvel::gateway
