// What limits password guessing: failures per client and login, and how many password hashes run at once.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <semaphore>
#include <string>
#include <unordered_map>

namespace quorvel::gateway {

/// The clock of sign-in failures and log lines.
using SignInClock = std::chrono::system_clock;

/// How failed sign-ins of one login from one client are answered.
struct ThrottlePolicy {
  int freeFailures = 3;                        ///< failures before the first lock
  std::chrono::seconds firstLock{1};           ///< the lock after them; doubles with each further failure
  std::chrono::seconds longestLock{15 * 60};
  std::chrono::seconds forgetAfter{60 * 60};   ///< failures this old are forgotten
  std::size_t maxEntries = 10000;              ///< clients and logins tracked at once (about 100 bytes each)
};

/// Counts failed sign-ins per client group (see clientGroup) and login.
/// After the free failures each further one locks the pair for a growing
/// time, in which it may not try at all; a right password from another
/// client is not affected. Entries hold a keyed digest of client and login,
/// not the texts, so each costs the same whatever a stranger sends; beyond
/// maxEntries the one untouched longest is dropped. Thread-safe.
class SignInThrottle {
public:
  explicit SignInThrottle(ThrottlePolicy policy = {});

  /// How long \p client may still not try \p login; nothing when it may.
  std::optional<std::chrono::seconds> lockedFor(const std::string& client, const std::string& login,
                                                SignInClock::time_point now);
  enum class Reservation { Reserved, Locked, Busy };
  /// Reserves the check of a password for \p client and \p login. One
  /// check of a pair runs at a time: a second waits for the first's verdict
  /// (at most \p wait, then Busy), so that concurrent guesses meet the lock
  /// the earlier ones brought. A reserved check ends with failed(),
  /// succeeded() or released().
  Reservation reserve(const std::string& client, const std::string& login, SignInClock::time_point now,
                      std::chrono::milliseconds wait);
  /// Counts a wrong password; returns the lock it brings (zero when none).
  std::chrono::seconds failed(const std::string& client, const std::string& login, SignInClock::time_point now);
  /// A right password: the pair's failures are forgotten.
  void succeeded(const std::string& client, const std::string& login);
  /// A reserved check that came to no verdict.
  void released(const std::string& client, const std::string& login);
  /// True when the pair has no record at all: no failure, no check under way.
  bool untouched(const std::string& client, const std::string& login);
  /// True once per lock: whether a refusal in it is the first (to be logged).
  bool firstRefusal(const std::string& client, const std::string& login);

  std::size_t size() const;

private:
  bool empty() const;
  using Key = std::array<unsigned char, 16>;
  struct KeyHash {
    std::size_t operator()(const Key& k) const;
  };
  struct Entry {
    int failures = 0;
    bool checking = false;
    bool refusalLogged = false;
    SignInClock::time_point lastFailure{};
    SignInClock::time_point lockedUntil{};
    std::list<Key>::iterator order;
  };

  Key key(const std::string& client, const std::string& login) const;
  Entry* find(const Key& k);
  Entry& touch(const Key& k, SignInClock::time_point now);

  ThrottlePolicy policy_;
  std::array<unsigned char, 32> secret_{};
  mutable std::mutex mutex_;
  std::condition_variable checked_;  // a pair's check came to an end
  std::unordered_map<Key, Entry, KeyHash> entries_;
  std::list<Key> order_;  // least recently touched first
};

/// Lets at most a fixed number of password hashes run at once (each takes
/// a core and, at the default cost, 32 MiB); the others wait a bounded time,
/// and only so many of them: a flood of checks is refused at once instead of
/// holding the threads that serve other clients.
class HashSlots {
public:
  /// \p slots 0: as many as the machine has cores; \p queue 0: four waiting per slot.
  HashSlots(std::size_t slots, std::chrono::milliseconds wait, std::size_t queue = 0);
  ~HashSlots();

  /// Runs \p hash in a slot; false (without running it) when no slot came free in time.
  bool run(const std::function<void()>& hash);
  std::size_t capacity() const { return slots_; }
  std::chrono::milliseconds wait() const { return wait_; }
  /// How many checks wait for a slot now.
  std::size_t waiting() const { return waiting_.load(); }

  /// For tests: called before waiting for a slot, and inside the slot before each hash.
  std::function<void()> onWait, onHash;

private:
  std::size_t slots_;
  std::chrono::milliseconds wait_;
  std::size_t queue_;
  std::atomic<std::size_t> waiting_{0};
  std::unique_ptr<std::counting_semaphore<>> free_;
};

/// "2026-12-10T18:05:00Z": the time as the log shows it (UTC, to the second).
std::string logTime(SignInClock::time_point time);

/// \p text in double quotes for a log line: quotes, backslashes and control
/// bytes escaped, and cut after 64 bytes, so a stranger's login can neither
/// break the line nor flood it.
std::string logQuoted(const std::string& text);

} // namespace quorvel::gateway
