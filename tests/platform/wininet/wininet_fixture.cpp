// Helpers shared by the tests of the WinINet-shaped layer.
#include "wininet_fixture.h"

namespace quorvel::testing {

std::vector<Event>& events() {
  thread_local std::vector<Event> list;
  return list;
}

void recordEvent(HINTERNET h, DWORD_PTR context, DWORD status, void* info, DWORD length) {
  Event e{h, context, status, {}, 0};
  switch (status) {
  case INTERNET_STATUS_RESOLVING_NAME:
  case INTERNET_STATUS_NAME_RESOLVED:
  case INTERNET_STATUS_CONNECTING_TO_SERVER:
  case INTERNET_STATUS_CONNECTED_TO_SERVER:
  case INTERNET_STATUS_REDIRECT:
    e.text = info ? static_cast<const char*>(info) : "";
    break;
  case INTERNET_STATUS_REQUEST_SENT:
  case INTERNET_STATUS_RESPONSE_RECEIVED:
    if (info && length == sizeof(DWORD)) e.value = *static_cast<const DWORD*>(info);
    break;
  default:
    break;
  }
  events().push_back(std::move(e));
}

std::vector<DWORD> statuses() {
  std::vector<DWORD> out;
  for (const auto& e : events()) out.push_back(e.status);
  return out;
}

CannedReply HeldBack::reply(const std::string& body, size_t bodyBytesFirst) {
  CannedReply r = testing::reply(200, body);
  r.pauseAt = r.head.size() + bodyBytesFirst;
  r.pause = [released = released_] { released.wait(); };
  return r;
}

void HeldBack::release() {
  std::call_once(once_, [this] { promise_.set_value(); });
}

Exchange::Exchange(const std::string& host, uint16_t port, const char* verb, const char* object,
                   DWORD flags, DWORD access) {
  root = InternetOpenA("wininet test", access, nullptr, nullptr, 0);
  EXPECT_NE(root, nullptr);
  InternetSetStatusCallback(root, recordEvent);
  connection = InternetConnectA(root, host.c_str(), port, nullptr, nullptr,
                                INTERNET_SERVICE_HTTP, 0, kConnectContext);
  EXPECT_NE(connection, nullptr);
  const char* accept[] = {"*/*", "text/xml", nullptr};
  request = HttpOpenRequestA(connection, verb, object, nullptr, nullptr, accept, flags,
                             kRequestContext);
  EXPECT_NE(request, nullptr);
}

Exchange::~Exchange() { close(); }

void Exchange::close() {
  if (request) InternetCloseHandle(request);
  if (connection) InternetCloseHandle(connection);
  if (root) {
    InternetSetStatusCallback(root, nullptr);
    InternetCloseHandle(root);
  }
  request = connection = root = nullptr;
}

bool Exchange::send(const std::string& headers, const std::string& body) {
  return HttpSendRequestA(request, headers.empty() ? nullptr : headers.c_str(),
                          static_cast<DWORD>(headers.size()), body.empty() ? nullptr : body.data(),
                          static_cast<DWORD>(body.size()));
}

std::string Exchange::query(DWORD level, DWORD* error, DWORD* index) {
  char buffer[4095];
  DWORD length = sizeof buffer;
  DWORD ownIndex = 0;
  if (!HttpQueryInfoA(request, level, buffer, &length, index ? index : &ownIndex)) {
    if (error) *error = GetLastError();
    return "";
  }
  if (error) *error = 0;
  return std::string(buffer, length);
}

std::string Exchange::readAll(DWORD chunk, DWORD* error) {
  std::string out;
  std::vector<char> buffer(chunk);
  if (error) *error = 0;
  for (;;) {
    DWORD n = 0;
    if (!InternetReadFile(request, buffer.data(), chunk, &n)) {
      if (error) *error = GetLastError();
      return out.append(buffer.data(), n); // a read cut short keeps what arrived
    }
    if (n == 0) return out;
    out.append(buffer.data(), n);
  }
}

void Exchange::setOption(DWORD option, DWORD value) {
  EXPECT_TRUE(InternetSetOptionA(request, option, &value, sizeof value));
}

} // namespace quorvel::testing
