// A watch that stops an HTTP request which takes too long in all.
#pragma once

#include "wininet/wininet.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace quorvel {

/// Closes a request handle once a request has run longer than its time in
/// all. The idle time-outs restart with every byte, so a server that
/// trickles its answer never meets them; closing the handle is how WinINet
/// cancels a call under way on another thread (the call fails with
/// ERROR_INTERNET_OPERATION_CANCELLED). The handle's status callback is
/// cleared first, so no notification reaches the client from this thread.
class TRequestDeadline {
public:
  /// Starts watching \p request; a \p seconds of 0 or less watches nothing.
  TRequestDeadline(wininet::HINTERNET request, int32_t seconds);
  /// Stops the watch; the handle is left alone unless the time ran out.
  ~TRequestDeadline();
  TRequestDeadline(const TRequestDeadline&) = delete;
  TRequestDeadline& operator=(const TRequestDeadline&) = delete;

  /// Stops the clock while the user answers a question.
  void hold();
  /// Starts the clock again, with the whole time.
  void resume();
  /// True once the time ran out and the handle was closed.
  bool passed();

private:
  void watch();

  wininet::HINTERNET request_;
  std::chrono::steady_clock::duration limit_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::chrono::steady_clock::time_point until_;
  bool held_ = false;
  bool finished_ = false;
  bool passed_ = false;
  std::thread thread_;
};

} // namespace quorvel
