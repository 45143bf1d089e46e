// Helpers shared by the tests of the WinINet-shaped layer: one request's handles and its notifications.
#pragma once

#include "canned_server.h"
#include "wininet/wininet.h"

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <string>
#include <vector>

namespace quorvel::testing {

using namespace quorvel::wininet;

/// One status notification as the callback saw it.
struct Event {
  HINTERNET handle;
  DWORD_PTR context;
  DWORD status;
  std::string text; // for the statuses that carry a text
  DWORD value = 0;  // for the statuses that carry a 4-byte number
};

/// The notifications received on this thread since the last clearEvents().
std::vector<Event>& events();
void recordEvent(HINTERNET h, DWORD_PTR context, DWORD status, void* info, DWORD length);
/// The status codes of events() in order.
std::vector<DWORD> statuses();

constexpr DWORD_PTR kConnectContext = 5;
constexpr DWORD_PTR kRequestContext = 7;

/// Makes replies whose sending stops after a given number of body bytes
/// until release() (at the latest when this object goes).
class HeldBack {
public:
  ~HeldBack() { release(); }
  CannedReply reply(const std::string& body, size_t bodyBytesFirst);
  void release();

private:
  std::promise<void> promise_;
  std::shared_future<void> released_ = promise_.get_future().share();
  std::once_flag once_;
};

/// Releases a HeldBack when it goes. Declared after the server, it frees the
/// server's threads before the server waits for them, on every way out.
struct ReleaseOnExit {
  HeldBack& held;
  ~ReleaseOnExit() { held.release(); }
};

/// Root, connection and request handles for one request; closed in reverse order.
class Exchange {
public:
  Exchange(const std::string& host, uint16_t port, const char* verb, const char* object,
           DWORD flags = 0, DWORD access = INTERNET_OPEN_TYPE_DIRECT);
  ~Exchange();
  void close();

  bool send(const std::string& headers = "", const std::string& body = "");
  /// The text of a query, or "" with \p error set.
  std::string query(DWORD level, DWORD* error = nullptr, DWORD* index = nullptr);
  /// Reads to the end in chunks of \p chunk; \p error receives the code of a
  /// failed read, whose bytes are kept.
  std::string readAll(DWORD chunk = 1025, DWORD* error = nullptr);
  void setOption(DWORD option, DWORD value);

  HINTERNET root = nullptr;
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;
};

} // namespace quorvel::testing
