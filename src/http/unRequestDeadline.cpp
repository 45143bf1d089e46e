// A watch that stops an HTTP request which takes too long in all.
#include "http/unRequestDeadline.h"

namespace quorvel {

using namespace wininet;

TRequestDeadline::TRequestDeadline(HINTERNET request, int32_t seconds)
    : request_(request), limit_(std::chrono::seconds(seconds)), until_(std::chrono::steady_clock::now() + limit_) {
  if (seconds > 0 && request) thread_ = std::thread([this] { watch(); });
}

TRequestDeadline::~TRequestDeadline() {
  {
    std::lock_guard lock(mutex_);
    finished_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void TRequestDeadline::hold() {
  std::lock_guard lock(mutex_);
  held_ = true;
}

void TRequestDeadline::resume() {
  {
    std::lock_guard lock(mutex_);
    held_ = false;
    until_ = std::chrono::steady_clock::now() + limit_;
  }
  changed_.notify_all();
}

bool TRequestDeadline::passed() {
  std::lock_guard lock(mutex_);
  return passed_;
}

void TRequestDeadline::watch() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (finished_) return;
    if (held_) {
      changed_.wait(lock);
      continue;
    }
    if (changed_.wait_until(lock, until_) == std::cv_status::timeout && !finished_ && !held_ &&
        std::chrono::steady_clock::now() >= until_)
      break;
  }
  // Closed under the lock: the request cannot finish and close it meanwhile.
  passed_ = true;
  InternetSetStatusCallback(request_, nullptr);
  InternetCloseHandle(request_);
}

} // namespace quorvel
