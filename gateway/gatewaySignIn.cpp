// What limits password guessing: failures per client and login, and how many password hashes run at once.
#include "gateway/gatewaySignIn.h"

#include "gateway/gatewayAddress.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace quorvel::gateway {

using std::chrono::seconds;

SignInThrottle::SignInThrottle(ThrottlePolicy policy) : policy_(policy) {
  if (RAND_bytes(secret_.data(), static_cast<int>(secret_.size())) != 1)
    throw std::runtime_error("no random numbers available");
  if (policy_.maxEntries == 0) policy_.maxEntries = 1;
}

std::size_t SignInThrottle::KeyHash::operator()(const Key& k) const {
  std::size_t h;
  std::memcpy(&h, k.data(), sizeof h);
  return h;
}

// Keyed, so that a stranger cannot choose logins whose entries collide with another's.
SignInThrottle::Key SignInThrottle::key(const std::string& client, const std::string& login) const {
  const std::string text = clientGroup(client) + '\0' + login;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  HMAC(EVP_sha256(), secret_.data(), static_cast<int>(secret_.size()),
       reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest, &size);
  Key k{};
  std::memcpy(k.data(), digest, k.size());
  return k;
}

SignInThrottle::Entry* SignInThrottle::find(const Key& k) {
  auto it = entries_.find(k);
  return it == entries_.end() ? nullptr : &it->second;
}

SignInThrottle::Entry& SignInThrottle::touch(const Key& k, SignInClock::time_point now) {
  auto [it, added] = entries_.try_emplace(k);
  Entry& e = it->second;
  if (added) {
    e.order = order_.insert(order_.end(), k);
    if (entries_.size() > policy_.maxEntries) {
      entries_.erase(order_.front());
      order_.pop_front();
    }
  } else {
    order_.splice(order_.end(), order_, e.order);
    if (!e.checking && e.failures > 0 && now - e.lastFailure >= policy_.forgetAfter) e = Entry{.order = e.order};
  }
  return e;
}

std::optional<seconds> SignInThrottle::lockedFor(const std::string& client, const std::string& login,
                                                 SignInClock::time_point now) {
  // Without failures anywhere, as is usual, no digest is needed.
  if (empty()) return std::nullopt;
  const Key k = key(client, login);
  std::lock_guard lock(mutex_);
  const Entry* e = find(k);
  if (!e || now >= e->lockedUntil) return std::nullopt;
  // Rounded up: "try again in 0 seconds" would invite a refused retry.
  return std::chrono::ceil<seconds>(e->lockedUntil - now);
}

SignInThrottle::Reservation SignInThrottle::reserve(const std::string& client, const std::string& login,
                                                   SignInClock::time_point now, std::chrono::milliseconds wait) {
  const Key k = key(client, login);
  const auto deadline = std::chrono::steady_clock::now() + wait;
  std::unique_lock lock(mutex_);
  for (;;) {
    // Looked up anew after each wait: the entry may have gone meanwhile.
    Entry& e = touch(k, now);
    if (now < e.lockedUntil) return Reservation::Locked;
    if (!e.checking) {
      e.checking = true;
      return Reservation::Reserved;
    }
    if (checked_.wait_until(lock, deadline) == std::cv_status::timeout) return Reservation::Busy;
  }
}

seconds SignInThrottle::failed(const std::string& client, const std::string& login, SignInClock::time_point now) {
  const Key k = key(client, login);
  std::lock_guard lock(mutex_);
  Entry& e = touch(k, now);
  e.checking = false;
  checked_.notify_all();
  ++e.failures;
  e.lastFailure = now;
  const int beyond = e.failures - policy_.freeFailures;
  if (beyond <= 0) return seconds{0};
  seconds locked = policy_.longestLock;
  if (beyond <= 30) locked = std::min(policy_.longestLock, policy_.firstLock * (std::int64_t{1} << (beyond - 1)));
  e.lockedUntil = now + locked;
  e.refusalLogged = false;
  return locked;
}

bool SignInThrottle::untouched(const std::string& client, const std::string& login) {
  if (empty()) return true;
  const Key k = key(client, login);
  std::lock_guard lock(mutex_);
  return find(k) == nullptr;
}

void SignInThrottle::succeeded(const std::string& client, const std::string& login) {
  if (empty()) return;
  const Key k = key(client, login);
  std::lock_guard lock(mutex_);
  if (Entry* e = find(k)) {
    order_.erase(e->order);
    entries_.erase(k);
  }
  checked_.notify_all();
}

void SignInThrottle::released(const std::string& client, const std::string& login) {
  const Key k = key(client, login);
  std::lock_guard lock(mutex_);
  if (Entry* e = find(k)) e->checking = false;
  checked_.notify_all();
}

bool SignInThrottle::firstRefusal(const std::string& client, const std::string& login) {
  const Key k = key(client, login);
  std::lock_guard lock(mutex_);
  Entry* e = find(k);
  if (!e || e->refusalLogged) return false;
  e->refusalLogged = true;
  return true;
}

bool SignInThrottle::empty() const {
  std::lock_guard lock(mutex_);
  return entries_.empty();
}

std::size_t SignInThrottle::size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

HashSlots::HashSlots(std::size_t slots, std::chrono::milliseconds wait, std::size_t queue)
    : slots_(slots ? slots : std::max(1u, std::thread::hardware_concurrency())),
      wait_(wait),
      queue_(queue ? queue : 4 * slots_),
      free_(std::make_unique<std::counting_semaphore<>>(static_cast<std::ptrdiff_t>(slots_))) {}

HashSlots::~HashSlots() = default;

bool HashSlots::run(const std::function<void()>& hash) {
  if (onWait) onWait();
  if (!free_->try_acquire()) {
    if (waiting_.fetch_add(1) >= queue_) {
      --waiting_;
      return false;
    }
    const bool got = free_->try_acquire_for(wait_);
    --waiting_;
    if (!got) return false;
  }
  struct Release {
    std::counting_semaphore<>& s;
    ~Release() { s.release(); }
  } release{*free_};
  if (onHash) onHash();
  hash();
  return true;
}

std::string logTime(SignInClock::time_point time) {
  using namespace std::chrono;
  const auto t = floor<seconds>(time);
  const auto day = floor<days>(t);
  const year_month_day date{day};
  const hh_mm_ss clock{t - day};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02ld:%02ld:%02ldZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<long>(clock.hours().count()), static_cast<long>(clock.minutes().count()),
                static_cast<long>(clock.seconds().count()));
  return text;
}

std::string logQuoted(const std::string& text) {
  constexpr std::size_t kMost = 64;
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size() && i < kMost; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7f) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
  if (text.size() > kMost) out += "...";
  return out;
}

} // namespace quorvel::gateway
