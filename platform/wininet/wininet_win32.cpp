// The default table on Windows: the real wininet.dll calls behind the layer's
// shapes. The layer's names come first: <wininet.h> defines most of them
// again as macros of the same numbers, which from here on mean the real ones.
#include "wininet/wininet.h"

#include <windows.h>
#include <wininet.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace quorvel::wininet {

namespace {

// The layer's last error follows the real one after every real call.
template <typename T> T keepError(T result) {
  SetLastError(::GetLastError());
  return result;
}

// UTF-8 to UTF-16, keeping NULL as NULL.
struct Wide {
  std::wstring text;
  bool present;
  explicit Wide(const char* s) : present(s != nullptr) {
    if (!s || !*s) return;
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
    text.resize(std::size_t(n > 0 ? n - 1 : 0));
    if (n > 1) ::MultiByteToWideChar(CP_UTF8, 0, s, -1, text.data(), n);
  }
  const wchar_t* get() const { return present ? text.c_str() : nullptr; }
};

// Status callbacks. WinINet calls a callback of the Win32 calling convention
// on the thread inside a synchronous call, with the handle concerned; one
// relay of that convention passes each notification on to the layer's
// callback of that handle, which a child takes from its parent when it is
// created, as WinINet does.
struct Callbacks {
  std::mutex mutex;
  std::map<HINTERNET, INTERNET_STATUS_CALLBACK> byHandle;

  INTERNET_STATUS_CALLBACK of(HINTERNET h) {
    std::lock_guard lock(mutex);
    auto it = byHandle.find(h);
    return it == byHandle.end() ? nullptr : it->second;
  }
  INTERNET_STATUS_CALLBACK set(HINTERNET h, INTERNET_STATUS_CALLBACK callback) {
    std::lock_guard lock(mutex);
    INTERNET_STATUS_CALLBACK& slot = byHandle[h];
    INTERNET_STATUS_CALLBACK previous = slot;
    slot = callback;
    if (!callback) byHandle.erase(h);
    return previous;
  }
};

Callbacks& callbacks() {
  static Callbacks c;
  return c;
}

// The callback of the handle the calling thread is working on: notifications
// about a child being made arrive before the child is known here.
thread_local INTERNET_STATUS_CALLBACK activeCallback = nullptr;

class CallScope {
public:
  explicit CallScope(HINTERNET h) : previous(activeCallback) { activeCallback = callbacks().of(h); }
  ~CallScope() { activeCallback = previous; }
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;

private:
  INTERNET_STATUS_CALLBACK previous;
};

void CALLBACK relay(::HINTERNET h, ::DWORD_PTR context, ::DWORD status, ::LPVOID info,
                    ::DWORD infoLength) {
  INTERNET_STATUS_CALLBACK callback = callbacks().of(h);
  if (!callback) callback = activeCallback;
  if (callback) callback(h, context, status, info, infoLength);
}

HINTERNET child(HINTERNET parent, HINTERNET made) {
  if (made) {
    if (INTERNET_STATUS_CALLBACK callback = callbacks().of(parent)) callbacks().set(made, callback);
  }
  return made;
}

HINTERNET openRoot(const char* agent, DWORD accessType, const char* proxy, const char* proxyBypass,
                   DWORD flags) {
  const Wide wAgent(agent), wProxy(proxy), wBypass(proxyBypass);
  return keepError(::InternetOpenW(wAgent.get(), accessType, wProxy.get(), wBypass.get(), flags));
}

INTERNET_STATUS_CALLBACK setStatusCallback(HINTERNET h, INTERNET_STATUS_CALLBACK callback) {
  const ::INTERNET_STATUS_CALLBACK result =
      keepError(::InternetSetStatusCallbackW(h, callback ? relay : nullptr));
  if (result == reinterpret_cast<::INTERNET_STATUS_CALLBACK>(static_cast<intptr_t>(-1)))
    return reinterpret_cast<INTERNET_STATUS_CALLBACK>(static_cast<intptr_t>(-1));
  return callbacks().set(h, callback);
}

HINTERNET connect(HINTERNET h, const char* server, INTERNET_PORT port, const char* user,
                  const char* password, DWORD service, DWORD flags, DWORD_PTR context) {
  const Wide wServer(server), wUser(user), wPassword(password);
  const CallScope scope(h);
  return child(h, keepError(::InternetConnectW(h, wServer.get(), port, wUser.get(), wPassword.get(),
                                               service, flags, context)));
}

HINTERNET openRequest(HINTERNET h, const char* verb, const char* object, const char* version,
                      const char* referrer, const char* const* acceptTypes, DWORD flags,
                      DWORD_PTR context) {
  const Wide wVerb(verb), wObject(object), wVersion(version), wReferrer(referrer);
  std::vector<std::wstring> accept;
  for (const char* const* t = acceptTypes; t && *t; ++t)
    accept.push_back(Wide(*t).text);
  std::vector<const wchar_t*> acceptList;
  for (const std::wstring& a : accept)
    acceptList.push_back(a.c_str());
  acceptList.push_back(nullptr);
  const CallScope scope(h);
  return child(h, keepError(::HttpOpenRequestW(
                      h, wVerb.get(), wObject.get(), wVersion.get(), wReferrer.get(),
                      acceptTypes ? acceptList.data() : nullptr, flags, context)));
}

bool setOption(HINTERNET h, DWORD option, const void* buffer, DWORD length) {
  const CallScope scope(h);
  return keepError(::InternetSetOptionA(h, option, const_cast<void*>(buffer), length)) != FALSE;
}

// Header lines and the body are bytes: the 8-bit calls take them as they are.
bool sendRequest(HINTERNET h, const char* headers, DWORD headersLength, const void* body,
                 DWORD bodyLength) {
  const CallScope scope(h);
  return keepError(::HttpSendRequestA(h, headers, headersLength, const_cast<void*>(body),
                                      bodyLength)) != FALSE;
}

bool queryInfo(HINTERNET h, DWORD level, void* buffer, DWORD* length, DWORD* index) {
  ::DWORD size = length ? *length : 0, at = index ? *index : 0;
  const CallScope scope(h);
  const bool ok = keepError(::HttpQueryInfoA(h, level, buffer, length ? &size : nullptr,
                                             index ? &at : nullptr)) != FALSE;
  if (length) *length = size;
  if (index) *index = at;
  return ok;
}

bool readFile(HINTERNET h, void* buffer, DWORD toRead, DWORD* read) {
  ::DWORD got = 0;
  const CallScope scope(h);
  const bool ok = keepError(::InternetReadFile(h, buffer, toRead, &got)) != FALSE;
  if (read) *read = got;
  return ok;
}

bool closeHandle(HINTERNET h) {
  bool ok;
  {
    const CallScope scope(h);
    ok = keepError(::InternetCloseHandle(h)) != FALSE;
  }
  callbacks().set(h, nullptr);
  return ok;
}

// A dialog that belongs to no window of ours is owned by the desktop.
DWORD errorDialog(HWND hWnd, HINTERNET hRequest, DWORD error, DWORD flags, void** data) {
  ::HWND owner = hWnd ? static_cast<::HWND>(hWnd) : ::GetDesktopWindow();
  return keepError(::InternetErrorDlg(owner, hRequest, error, flags, data));
}

const InternetApi win32Table = {
    openRoot,    setStatusCallback, connect,  openRequest, setOption,
    sendRequest, queryInfo,         readFile, closeHandle, errorDialog,
};

} // namespace

const InternetApi& defaultInternetApi() { return win32Table; }

} // namespace quorvel::wininet
