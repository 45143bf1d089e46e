// A scripted table: answers every call from a script and records it, for tests.
#include "wininet/wininet_script.h"

#include "wininet_query.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <utility>

namespace quorvel::wininet {

struct ScriptedInternet::State {
  struct Entry {
    DWORD kind;
    std::string name;
    DWORD_PTR context;
    HINTERNET parent;
    INTERNET_STATUS_CALLBACK callback = nullptr;
  };
  std::map<HINTERNET, Entry> handles;
  uintptr_t next = 0x10;
  int roots = 0, connects = 0, requests = 0;
  size_t sendCall = 0, dialogCall = 0, readIndex = 0, readOffset = 0, bodyOffset = 0;
};

namespace {

ScriptedInternet* current = nullptr;

std::string hex(DWORD v) {
  std::ostringstream out;
  out << "0x" << std::hex << v;
  return out.str();
}

std::string text(const char* s) { return s ? s : "<none>"; }

std::string nameOf(HINTERNET h) {
  auto& handles = current->state->handles;
  auto it = handles.find(h);
  return it == handles.end() ? (h ? "<unknown>" : "<nil>") : it->second.name;
}

void log(std::string line) { current->calls.push_back(std::move(line)); }

bool fail(DWORD code) {
  SetLastError(code);
  return false;
}

HINTERNET add(DWORD kind, const char* prefix, int& counter, DWORD_PTR context, HINTERNET parent) {
  auto& st = *current->state;
  HINTERNET h = reinterpret_cast<HINTERNET>(st.next++);
  st.handles[h] = {kind, std::string(prefix) + "#" + std::to_string(++counter), context, parent};
  return h;
}

bool isKind(HINTERNET h, DWORD kind) {
  auto& handles = current->state->handles;
  auto it = handles.find(h);
  if (it == handles.end()) return fail(ERROR_INVALID_HANDLE);
  if (it->second.kind != kind) return fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  return true;
}

/// A new handle under \p parent, or the scripted failure.
HINTERNET openChild(HINTERNET parent, DWORD parentKind, DWORD scriptedError, DWORD kind,
                    const char* prefix, int& counter, DWORD_PTR context) {
  if (!isKind(parent, parentKind)) return nullptr;
  if (scriptedError) {
    SetLastError(scriptedError);
    return nullptr;
  }
  return add(kind, prefix, counter, context, parent);
}

void notify(HINTERNET h, DWORD status, const void* info, DWORD length) {
  auto& handles = current->state->handles;
  const auto& entry = handles.at(h);
  HINTERNET root = h;
  while (handles.at(root).parent) root = handles.at(root).parent;
  if (auto cb = handles.at(root).callback)
    cb(h, entry.context, status, const_cast<void*>(info), length);
}

HINTERNET openRoot(const char* agent, DWORD access, const char* proxy, const char* bypass,
                   DWORD flags) {
  log("InternetOpenA agent=" + text(agent) + " access=" + std::to_string(access) +
      " proxy=" + text(proxy) + " bypass=" + text(bypass) + " flags=" + hex(flags));
  if (current->openError) {
    SetLastError(current->openError);
    return nullptr;
  }
  return add(INTERNET_HANDLE_TYPE_INTERNET, "root", current->state->roots, 0, nullptr);
}

INTERNET_STATUS_CALLBACK setCallback(HINTERNET h, INTERNET_STATUS_CALLBACK cb) {
  log("InternetSetStatusCallback " + nameOf(h) + (cb ? " set" : " cleared"));
  auto& handles = current->state->handles;
  auto it = handles.find(h);
  if (it == handles.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INTERNET_INVALID_STATUS_CALLBACK;
  }
  return std::exchange(it->second.callback, cb);
}

HINTERNET connect(HINTERNET h, const char* server, INTERNET_PORT port, const char* user,
                  const char* password, DWORD service, DWORD flags, DWORD_PTR context) {
  log("InternetConnectA " + nameOf(h) + " server=" + text(server) +
      " port=" + std::to_string(port) + " user=" + text(user) + " password=" + text(password) +
      " service=" + std::to_string(service) + " flags=" + hex(flags));
  current->connectContext = context;
  return openChild(h, INTERNET_HANDLE_TYPE_INTERNET, current->connectError,
                   INTERNET_HANDLE_TYPE_CONNECT_HTTP, "connect", current->state->connects, context);
}

HINTERNET openRequest(HINTERNET h, const char* verb, const char* object, const char* version,
                      const char* referrer, const char* const* accept, DWORD flags,
                      DWORD_PTR context) {
  std::string types;
  for (const char* const* a = accept; a && *a; ++a) types += (types.empty() ? "" : ",") + std::string(*a);
  log("HttpOpenRequestA " + nameOf(h) + " verb=" + text(verb) + " object=" + text(object) +
      " version=" + text(version) + " referrer=" + text(referrer) + " accept=" + types +
      " flags=" + hex(flags));
  current->requestContext = context;
  return openChild(h, INTERNET_HANDLE_TYPE_CONNECT_HTTP, current->openRequestError,
                   INTERNET_HANDLE_TYPE_HTTP_REQUEST, "request", current->state->requests, context);
}

bool setOption(HINTERNET h, DWORD option, const void* buffer, DWORD length) {
  std::string value = "<none>";
  if (buffer && length == sizeof(DWORD)) {
    DWORD v;
    std::memcpy(&v, buffer, sizeof v);
    value = option == INTERNET_OPTION_SECURITY_FLAGS ? hex(v) : std::to_string(v);
  }
  log("InternetSetOptionA " + nameOf(h) + " option=" + std::to_string(option) +
      " value=" + value + " length=" + std::to_string(length));
  if (current->state->handles.find(h) == current->state->handles.end())
    return fail(ERROR_INVALID_HANDLE);
  if (current->setOptionError) return fail(current->setOptionError);
  return true;
}

bool send(HINTERNET h, const char* headers, DWORD headersLength, const void* body,
          DWORD bodyLength) {
  log("HttpSendRequestA " + nameOf(h) + " headers=" +
      (headers ? std::string(headers, headersLength) : "<none>") + " body=" +
      (body ? std::string(static_cast<const char*>(body), bodyLength) : "<none>"));
  if (!isKind(h, INTERNET_HANDLE_TYPE_HTTP_REQUEST)) return false;
  for (const auto& n : current->sendNotifications) {
    if (n.isValue) notify(h, n.status, &n.value, sizeof n.value);
    else notify(h, n.status, n.text.c_str(), static_cast<DWORD>(n.text.size() + 1));
  }
  auto& st = *current->state;
  const size_t call = st.sendCall++;
  if (call < current->sendErrors.size() && current->sendErrors[call]) {
    return fail(current->sendErrors[call]);
  }
  return true;
}

bool query(HINTERNET h, DWORD level, void* buffer, DWORD* length, DWORD* index) {
  log("HttpQueryInfoA " + nameOf(h) + " level=" + hex(level) +
      " length=" + (length ? std::to_string(*length) : "<none>") +
      " index=" + (index ? std::to_string(*index) : "<none>"));
  if (!isKind(h, INTERNET_HANDLE_TYPE_HTTP_REQUEST)) return false;
  auto forced = current->queryErrors.find(level);
  if (forced != current->queryErrors.end()) return fail(forced->second);
  return detail::queryHeaders(current->requestHeaders, current->responseHeaders, level, buffer,
                              length, index);
}

bool read(HINTERNET h, void* buffer, DWORD toRead, DWORD* count) {
  log("InternetReadFile " + nameOf(h) + " " + std::to_string(toRead));
  if (!isKind(h, INTERNET_HANDLE_TYPE_HTTP_REQUEST)) return false;
  auto& st = *current->state;
  auto& reads = current->reads;
  if (reads.empty()) {
    const size_t n = std::min<size_t>(toRead, current->body.size() - st.bodyOffset);
    std::memcpy(buffer, current->body.data() + st.bodyOffset, n);
    st.bodyOffset += n;
    *count = static_cast<DWORD>(n);
    return true;
  }
  if (st.readIndex >= reads.size()) {
    *count = 0;
    return true;
  }
  const auto& step = reads[st.readIndex];
  if (step.error) {
    ++st.readIndex; // the count is left as it was
    return fail(step.error);
  }
  const size_t n = std::min<size_t>(toRead, step.data.size() - st.readOffset);
  std::memcpy(buffer, step.data.data() + st.readOffset, n);
  st.readOffset += n;
  if (st.readOffset == step.data.size()) {
    ++st.readIndex;
    st.readOffset = 0;
  }
  *count = static_cast<DWORD>(n);
  return true;
}

bool close(HINTERNET h) {
  log("InternetCloseHandle " + nameOf(h));
  if (current->state->handles.erase(h) == 0) return fail(ERROR_INVALID_HANDLE);
  return true;
}

DWORD dialog(HWND, HINTERNET h, DWORD error, DWORD flags, void** data) {
  log("InternetErrorDlg " + nameOf(h) + " error=" + std::to_string(error) +
      " flags=" + std::to_string(flags) + " data=" + (data ? "given" : "<none>"));
  current->dialogErrors.push_back(error);
  auto& st = *current->state;
  const size_t call = st.dialogCall++;
  return call < current->dialogResults.size() ? current->dialogResults[call] : ERROR_CANCELLED;
}

const InternetApi scriptedTable = {openRoot, setCallback, connect, openRequest, setOption,
                                   send,     query,       read,    close,       dialog};

} // namespace

ScriptedInternet::ScriptedInternet() : state(std::make_unique<State>()) {
  current = this;
  previous_ = setInternetApi(&scriptedTable);
}

ScriptedInternet::~ScriptedInternet() {
  setInternetApi(previous_);
  current = nullptr;
}

int ScriptedInternet::openHandles() const { return static_cast<int>(state->handles.size()); }

std::vector<std::string> ScriptedInternet::callsOf(const std::string& name) const {
  std::vector<std::string> out;
  for (const auto& c : calls)
    if (c.rfind(name, 0) == 0) out.push_back(c);
  return out;
}

} // namespace quorvel::wininet
