// The default table: handle bookkeeping, options, header queries and the error dialog.
#include "wininet_curl.h"
#include "wininet_handles.h"
#include "wininet_query.h"

#include <cstring>

namespace quorvel::wininet {

namespace {

using namespace detail;

HINTERNET failHandle(DWORD code) {
  SetLastError(code);
  return nullptr;
}

bool fail(DWORD code) {
  SetLastError(code);
  return false;
}

std::string textOr(const char* s, const char* fallback = "") {
  return s && *s ? std::string(s) : std::string(fallback);
}

void announceCreated(Handle& h) {
  INTERNET_ASYNC_RESULT result{reinterpret_cast<DWORD_PTR>(h.value), ERROR_SUCCESS};
  h.notify(INTERNET_STATUS_HANDLE_CREATED, &result, sizeof result);
}

HINTERNET openRoot(const char* agent, DWORD accessType, const char* proxy,
                   const char* proxyBypass, DWORD flags) {
  if (flags & INTERNET_FLAG_ASYNC) return failHandle(ERROR_INVALID_PARAMETER);
  if (accessType != INTERNET_OPEN_TYPE_PRECONFIG && accessType != INTERNET_OPEN_TYPE_DIRECT &&
      accessType != INTERNET_OPEN_TYPE_PROXY)
    return failHandle(ERROR_INVALID_PARAMETER);
  if (accessType == INTERNET_OPEN_TYPE_PROXY && !(proxy && *proxy))
    return failHandle(ERROR_INVALID_PARAMETER);
  if (!curlReady()) return failHandle(ERROR_INTERNET_INTERNAL_ERROR);
  auto root = std::make_shared<RootHandle>();
  root->agent = textOr(agent);
  root->accessType = accessType;
  root->proxy = textOr(proxy);
  root->proxyBypass = textOr(proxyBypass);
  HINTERNET value = addHandle(root);
  SetLastError(ERROR_SUCCESS);
  return value;
}

INTERNET_STATUS_CALLBACK setStatusCallback(HINTERNET h, INTERNET_STATUS_CALLBACK callback) {
  std::shared_ptr<Handle> handle = findHandle(h);
  if (!handle) return INTERNET_INVALID_STATUS_CALLBACK;
  handle->callbackSet = true;
  return handle->callback.exchange(callback);
}

HINTERNET connect(HINTERNET h, const char* server, INTERNET_PORT port, const char* user,
                  const char* password, DWORD service, DWORD /*flags*/, DWORD_PTR context) {
  auto root = findHandleOf<RootHandle>(h, INTERNET_HANDLE_TYPE_INTERNET);
  if (!root) return nullptr;
  if (service != INTERNET_SERVICE_HTTP) return failHandle(ERROR_INVALID_PARAMETER);
  // The name goes into a URL later: refuse what cannot be a host name there.
  if (!server || !*server || std::strpbrk(server, " /?#@\t\r\n"))
    return failHandle(ERROR_INTERNET_INVALID_URL);
  auto conn = std::make_shared<ConnectHandle>(root, context);
  conn->server = server;
  conn->port = port;
  conn->userName = textOr(user);
  conn->password = textOr(password);
  addHandle(conn);
  announceCreated(*conn);
  SetLastError(ERROR_SUCCESS);
  return conn->value;
}

HINTERNET openRequest(HINTERNET h, const char* verb, const char* object, const char* version,
                      const char* referrer, const char* const* acceptTypes, DWORD flags,
                      DWORD_PTR context) {
  auto conn = findHandleOf<ConnectHandle>(h, INTERNET_HANDLE_TYPE_CONNECT_HTTP);
  if (!conn) return nullptr;
  auto req = std::make_shared<RequestHandle>(conn, context);
  req->verb = textOr(verb, "GET");
  req->object = textOr(object, "/");
  if (req->object.front() != '/') req->object.insert(0, "/");
  req->version = textOr(version, "HTTP/1.1");
  req->referrer = textOr(referrer);
  for (const char* const* a = acceptTypes; a && *a; ++a) {
    if (!req->accept.empty()) req->accept += ", ";
    req->accept += *a;
  }
  req->flags = flags;
  req->securityFlags = (flags & (SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                                 SECURITY_FLAG_IGNORE_CERT_DATE_INVALID)) |
                       ((flags & INTERNET_FLAG_SECURE) ? SECURITY_FLAG_SECURE : 0);
  addHandle(req);
  announceCreated(*req);
  SetLastError(ERROR_SUCCESS);
  return req->value;
}

bool readDword(const void* buffer, DWORD length, DWORD& value) {
  if (!buffer) return fail(ERROR_INVALID_PARAMETER);
  if (length != sizeof(DWORD)) return fail(ERROR_INTERNET_BAD_OPTION_LENGTH);
  std::memcpy(&value, buffer, sizeof value);
  return true;
}

bool setOption(HINTERNET h, DWORD option, const void* buffer, DWORD length) {
  std::shared_ptr<Handle> handle = findHandle(h);
  if (!handle) return false;
  auto* req = handle->kind == INTERNET_HANDLE_TYPE_HTTP_REQUEST
                  ? static_cast<RequestHandle*>(handle.get())
                  : nullptr;
  DWORD value = 0;
  switch (option) {
  case INTERNET_OPTION_CONNECT_TIMEOUT:
  case INTERNET_OPTION_SEND_TIMEOUT:
  case INTERNET_OPTION_RECEIVE_TIMEOUT:
    if (!readDword(buffer, length, value)) return false;
    (option == INTERNET_OPTION_CONNECT_TIMEOUT ? handle->timeouts.connectMs
     : option == INTERNET_OPTION_SEND_TIMEOUT  ? handle->timeouts.sendMs
                                               : handle->timeouts.receiveMs) = value;
    return true;
  case INTERNET_OPTION_SECURITY_FLAGS:
    if (!req) return fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    if (!readDword(buffer, length, value)) return false;
    req->securityFlags = value;
    return true;
  case INTERNET_OPTION_SECURITY_SELECT_CLIENT_CERT: {
    if (!req) return fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    // The value names a client certificate; this layer holds none, so the
    // only value it takes is "none" (zero bytes): go on without one.
    if (!buffer || (length != sizeof(DWORD) && length != sizeof(void*)))
      return fail(ERROR_INTERNET_BAD_OPTION_LENGTH);
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    for (DWORD i = 0; i < length; ++i)
      if (bytes[i] != 0) return fail(ERROR_INVALID_PARAMETER);
    req->withoutClientCert = true;
    return true;
  }
  default:
    return fail(ERROR_INTERNET_INVALID_OPTION);
  }
}

bool sendRequest(HINTERNET h, const char* headers, DWORD headersLength, const void* body,
                 DWORD bodyLength) {
  auto req = findHandleOf<RequestHandle>(h, INTERNET_HANDLE_TYPE_HTTP_REQUEST);
  if (!req) return false;
  if (headers && headersLength == static_cast<DWORD>(-1))
    headersLength = static_cast<DWORD>(std::strlen(headers));
  if ((!headers && headersLength) || (!body && bodyLength)) return fail(ERROR_INVALID_PARAMETER);
  return curlSendRequest(*req, headers, headersLength, body, bodyLength);
}

bool queryInfo(HINTERNET h, DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD* index) {
  auto req = findHandleOf<RequestHandle>(h, INTERNET_HANDLE_TYPE_HTTP_REQUEST);
  if (!req) return false;
  if (!req->sent) return fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  return queryHeaders(req->requestHeaders, req->responseHeaders, infoLevel, buffer, bufferLength,
                      index);
}

bool readFile(HINTERNET h, void* buffer, DWORD toRead, DWORD* read) {
  if (read) *read = 0;
  auto req = findHandleOf<RequestHandle>(h, INTERNET_HANDLE_TYPE_HTTP_REQUEST);
  if (!req) return false;
  if (!read || (!buffer && toRead)) return fail(ERROR_INVALID_PARAMETER);
  if (!req->sent) return fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  return curlReadFile(*req, buffer, toRead, read);
}

bool closeHandle(HINTERNET h) {
  std::shared_ptr<Handle> handle = removeHandle(h);
  if (!handle) return fail(ERROR_INVALID_HANDLE);
  if (handle->kind != INTERNET_HANDLE_TYPE_INTERNET)
    handle->notify(INTERNET_STATUS_HANDLE_CLOSING, &handle->value, sizeof handle->value);
  // A request's transfer ends here, so any closing of its connection is
  // reported within this call.
  if (handle->kind == INTERNET_HANDLE_TYPE_HTTP_REQUEST) {
    auto& req = static_cast<RequestHandle&>(*handle);
    req.closed = true;
    if (req.driving) curlCancel(req);
    else req.transfer.reset();
  }
  SetLastError(ERROR_SUCCESS);
  return true;
}

// Accepting a certificate problem in the dialog lets the resent request through.
void applyAcceptance(HINTERNET h, DWORD error) {
  std::shared_ptr<Handle> handle = findHandle(h);
  if (!handle || handle->kind != INTERNET_HANDLE_TYPE_HTTP_REQUEST) return;
  auto& req = static_cast<RequestHandle&>(*handle);
  switch (error) {
  case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    req.securityFlags |= SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
    break;
  case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    req.securityFlags |= SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
    break;
  case ERROR_INTERNET_INVALID_CA:
    req.securityFlags |= SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    break;
  case ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED:
    req.withoutClientCert = true;
    break;
  default:
    break;
  }
}

DWORD errorDialog(HWND hWnd, HINTERNET hRequest, DWORD error, DWORD flags, void** /*data*/) {
  const DWORD result = runErrorDialog(hWnd, hRequest, error, flags);
  if (result == ERROR_SUCCESS && (flags & FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS))
    applyAcceptance(hRequest, error);
  return result;
}

const InternetApi curlTable = {
    openRoot,  setStatusCallback, connect,  openRequest, setOption,
    sendRequest, queryInfo,       readFile, closeHandle, errorDialog,
};

} // namespace

const InternetApi& curlInternetApi() { return curlTable; }
const InternetApi& defaultInternetApi() { return curlTable; }

} // namespace quorvel::wininet
