// Handle objects of the libcurl-backed table and the registry that hands out their values.
#pragma once

#include "wininet/wininet.h"

#include <atomic>
#include <memory>
#include <string>

namespace quorvel::wininet::detail {

struct Timeouts {
  DWORD connectMs = DEFAULT_CONNECT_TIMEOUT_MS;
  DWORD sendMs = DEFAULT_SEND_TIMEOUT_MS;
  DWORD receiveMs = DEFAULT_RECEIVE_TIMEOUT_MS;
};

/// Common part of every handle. A child keeps its parent alive, so closing a
/// parent first never leaves a child pointing at freed memory.
struct Handle {
  Handle(DWORD kind, std::shared_ptr<Handle> parent, DWORD_PTR context);
  virtual ~Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  /// The root handle of this handle's tree.
  Handle& root();
  /// Calls the status callback of the nearest handle up the tree that had one
  /// set (normally the root), with this handle and its context.
  void notify(DWORD status, const void* info = nullptr, DWORD length = 0);
  /// Sends a NUL-terminated text as the status data.
  void notifyText(DWORD status, const std::string& text);

  const DWORD kind;
  const std::shared_ptr<Handle> parent;
  const DWORD_PTR context;
  HINTERNET value = nullptr;
  Timeouts timeouts;
  /// Set by InternetSetStatusCallback. Children look it up when they notify,
  /// so clearing it on the root silences the whole tree.
  std::atomic<INTERNET_STATUS_CALLBACK> callback{nullptr};
  std::atomic<bool> callbackSet{false};
};

struct RootHandle : Handle {
  RootHandle() : Handle(INTERNET_HANDLE_TYPE_INTERNET, nullptr, 0) {}
  std::string agent;
  DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG;
  std::string proxy;
  std::string proxyBypass;
};

struct Session;
struct SessionDeleter {
  void operator()(Session* s) const;
};

/// A connection handle: the server it names, and the connections kept open
/// to it (created by the transfer code on first use).
struct ConnectHandle : Handle {
  ConnectHandle(std::shared_ptr<Handle> parent, DWORD_PTR context)
      : Handle(INTERNET_HANDLE_TYPE_CONNECT_HTTP, std::move(parent), context) {}
  ~ConnectHandle() override;
  RootHandle& rootHandle() { return static_cast<RootHandle&>(root()); }

  std::string server;
  INTERNET_PORT port = INTERNET_INVALID_PORT_NUMBER;
  std::string userName;
  std::string password;
  std::unique_ptr<Session, SessionDeleter> session;
};

struct Transfer;
struct TransferDeleter {
  void operator()(Transfer* t) const;
};

struct RequestHandle : Handle {
  RequestHandle(std::shared_ptr<Handle> parent, DWORD_PTR context)
      : Handle(INTERNET_HANDLE_TYPE_HTTP_REQUEST, std::move(parent), context) {}
  ~RequestHandle() override;
  ConnectHandle& connection() { return static_cast<ConnectHandle&>(*parent); }

  std::string verb;
  std::string object;
  std::string version;
  std::string referrer;
  std::string accept;        // the accept types joined by ", "; empty for none
  DWORD flags = 0;           // flags of HttpOpenRequestA
  DWORD securityFlags = 0;   // INTERNET_OPTION_SECURITY_FLAGS
  bool withoutClientCert = false;

  // Filled by a successful send.
  bool sent = false;
  std::string requestHeaders;  // raw, CR LF line ends, blank line at the end
  std::string responseHeaders; // likewise, of the final response
  std::unique_ptr<Transfer, TransferDeleter> transfer;
  // Closing the handle while a send or read on it runs (from another thread,
  // or from its status callback) cancels that call, as in WinINet: the call
  // fails with ERROR_INTERNET_OPERATION_CANCELLED and the transfer goes
  // with the handle's last reference.
  std::atomic<bool> driving{false}; // a send or read is under way
  std::atomic<bool> closed{false};
  std::atomic<void*> wakeup{nullptr}; // the libcurl multi handle that call waits on
};

/// Registers \p h and returns the value that names it.
HINTERNET addHandle(std::shared_ptr<Handle> h);
/// The handle named by \p value, or nullptr (last error ERROR_INVALID_HANDLE).
std::shared_ptr<Handle> findHandle(HINTERNET value);
/// The handle of kind \p kind named by \p value, or nullptr with the last
/// error set (ERROR_INVALID_HANDLE or ERROR_INTERNET_INCORRECT_HANDLE_TYPE).
template <class T>
std::shared_ptr<T> findHandleOf(HINTERNET value, DWORD kind);
/// Takes the handle out of the registry; nullptr when unknown.
std::shared_ptr<Handle> removeHandle(HINTERNET value);

template <class T>
std::shared_ptr<T> findHandleOf(HINTERNET value, DWORD kind) {
  std::shared_ptr<Handle> h = findHandle(value);
  if (!h) return nullptr;
  if (h->kind != kind) {
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return nullptr;
  }
  return std::static_pointer_cast<T>(h);
}

} // namespace quorvel::wininet::detail
