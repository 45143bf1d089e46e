// Handle registry and status notification of the libcurl-backed table.
#include "wininet_handles.h"

#include <mutex>
#include <new>
#include <unordered_map>

namespace quorvel::wininet::detail {

namespace {

// Handle values are counters, never addresses, so a stale or made-up value is
// refused instead of being dereferenced.
struct Registry {
  std::mutex mutex;
  std::unordered_map<uintptr_t, std::shared_ptr<Handle>> handles;
  uintptr_t next = 0x100;
};

Registry& registry() {
  // Never destroyed: a background query may still be closing its handles
  // while the process's static destructors run.
  alignas(Registry) static unsigned char storage[sizeof(Registry)];
  static Registry* r = new (storage) Registry;
  return *r;
}

uintptr_t key(HINTERNET value) { return reinterpret_cast<uintptr_t>(value); }

} // namespace

Handle::Handle(DWORD kind_, std::shared_ptr<Handle> parent_, DWORD_PTR context_)
    : kind(kind_), parent(std::move(parent_)), context(context_) {
  if (parent) timeouts = parent->timeouts;
}

Handle& Handle::root() {
  Handle* h = this;
  while (h->parent) h = h->parent.get();
  return *h;
}

void Handle::notify(DWORD status, const void* info, DWORD length) {
  Handle* h = this;
  while (h && !h->callbackSet.load()) h = h->parent.get();
  INTERNET_STATUS_CALLBACK cb = h ? h->callback.load() : nullptr;
  if (!cb) return;
  // Notifications come from inside libcurl's callbacks, which an exception
  // must not unwind: a callback that throws loses its notification, no more.
  try {
    cb(value, context, status, const_cast<void*>(info), length);
  } catch (...) {
  }
}

void Handle::notifyText(DWORD status, const std::string& text) {
  notify(status, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

HINTERNET addHandle(std::shared_ptr<Handle> h) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  HINTERNET value = reinterpret_cast<HINTERNET>(r.next++);
  h->value = value;
  r.handles.emplace(key(value), std::move(h));
  return value;
}

std::shared_ptr<Handle> findHandle(HINTERNET value) {
  Registry& r = registry();
  {
    std::lock_guard lock(r.mutex);
    auto it = r.handles.find(key(value));
    if (it != r.handles.end()) return it->second;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

std::shared_ptr<Handle> removeHandle(HINTERNET value) {
  Registry& r = registry();
  std::shared_ptr<Handle> h;
  {
    std::lock_guard lock(r.mutex);
    auto it = r.handles.find(key(value));
    if (it == r.handles.end()) return nullptr;
    h = std::move(it->second);
    r.handles.erase(it);
  }
  return h;
}

} // namespace quorvel::wininet::detail
