// Sends requests and streams their answers through libcurl for the default table.
//
// Each connection handle owns a curl multi handle, so the connections it opens
// are kept and reused until it is closed. A send drives the transfer until the
// final response headers are in; each read drives it only until some body
// bytes have arrived, and a transfer whose unread bytes pile up is paused, so
// memory per request stays bounded whatever the size of the body. A read
// fills the caller's chunk (or ends with the body), as WinINet's synchronous
// reads do.
#include "wininet_curl.h"

#include "wininet_curl_errors.h"
#include "wininet_query.h"
#include "wininet_socket.h"
#include "wininet_tls.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string_view>
#include <vector>

namespace quorvel::wininet::detail {

namespace {

using Clock = std::chrono::steady_clock;

// Unread body bytes at which the transfer stops taking data from the socket
// until the reader catches up.
constexpr size_t kPauseAt = 256 * 1024;
constexpr long kMaxRedirects = 10;
constexpr DWORD kNoFlagsYet = 0xFFFFFFFF;
constexpr DWORD kAcceptanceFlags = SECURITY_FLAG_IGNORE_UNKNOWN_CA |
                                   SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                                   SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;

bool finite(DWORD ms) { return ms != 0 && ms != 0xFFFFFFFF; }

std::string stripLineEnd(const char* data, size_t length) {
  while (length && (data[length - 1] == '\n' || data[length - 1] == '\r')) --length;
  return std::string(data, length);
}

bool startsWithIgnoringCase(const std::string& s, const char* prefix) {
  const size_t n = std::strlen(prefix);
  if (s.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  return true;
}

bool isFollowedStatus(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

/// The connections of one connection handle.
struct Session {
  explicit Session(ConnectHandle& o) : owner(o), multi(curl_multi_init()) {}
  ~Session() {
    // Closing the cached connections reports through the owner, still alive here.
    if (multi) curl_multi_cleanup(multi);
  }

  ConnectHandle& owner;
  CURLM* multi;
  TlsPolicy tls;
  DWORD flagsInUse = kNoFlagsYet;       // acceptance of the connections now kept
  std::set<curl_socket_t> reachedServer; // sockets whose closing is reported
};

enum class Phase { connecting, sending, receiving };

/// One sending of a request and the receiving of its answer.
struct Transfer {
  Transfer(RequestHandle& r, Session& s) : req(r), session(s) {}
  ~Transfer() {
    detach();
    if (easy) curl_easy_cleanup(easy);
    if (url) curl_url_cleanup(url);
    if (headerList) curl_slist_free_all(headerList);
  }

  DWORD setup(const char* headers, DWORD headersLength, const void* data, DWORD dataLength);
  template <class Ready>
  void drive(Ready ready);
  void finish(CURLcode result);
  void detach() {
    if (attached) curl_multi_remove_handle(session.multi, easy);
    attached = false;
  }
  size_t unread() const { return pending.size() - pendingOffset; }
  DWORD phaseLimit() const {
    const DWORD ms = phase == Phase::sending     ? req.timeouts.sendMs
                     : phase == Phase::receiving ? req.timeouts.receiveMs
                                                 : 0;
    return finite(ms) ? ms : 0;
  }

  // Events from libcurl.
  void onResolving();
  curl_socket_t onOpenSocket(curl_sockaddr* address);
  void onConnectionReady(int localPortInUse);
  void onHeaderOut(const char* data, size_t length);
  void onBodyOut(size_t length);
  void onRequestSent();
  bool onHeaderLine(const char* data, size_t length);
  DWORD redirectRefusal(int status, const std::string& from, const std::string& to) const;
  size_t onBody(const char* data, size_t length);

  RequestHandle& req;
  Session& session;
  CURL* easy = nullptr;
  CURLU* url = nullptr;
  curl_slist* headerList = nullptr;
  std::string body;
  std::string effectiveUrl;
  bool attached = false;

  Phase phase = Phase::connecting;
  Clock::time_point lastActivity = Clock::now();
  bool resolveAnnounced = false;
  bool newConnection = false;
  std::vector<curl_socket_t> opened; // sockets tried for a new connection
  bool requestSent = false;
  size_t bodyExpected = 0;
  size_t bodySent = 0;
  long redirects = 0;

  std::string requestHeaders;
  std::string block; // response header block being received
  std::string finalHeaders;
  bool headersDone = false;

  std::string pending;
  size_t pendingOffset = 0;
  bool paused = false;

  bool done = false;
  DWORD error = ERROR_SUCCESS;
  DWORD refusal = ERROR_SUCCESS; // a redirect this layer would not follow
};

void SessionDeleter::operator()(Session* s) const { delete s; }
void TransferDeleter::operator()(Transfer* t) const { delete t; }

ConnectHandle::~ConnectHandle() { session.reset(); }
RequestHandle::~RequestHandle() { transfer.reset(); }

namespace {

// ---- libcurl callbacks: each hands over to the transfer or session ----

size_t headerCallback(char* data, size_t size, size_t count, void* user) {
  // Anything but the full count makes libcurl stop the transfer.
  return static_cast<Transfer*>(user)->onHeaderLine(data, size * count) ? size * count : 0;
}

// "scheme://host:port" of an absolute URL, lower case as libcurl gives it.
std::string originOf(const std::string& url) {
  std::string origin;
  if (CURLU* u = curl_url()) {
    char *scheme = nullptr, *host = nullptr, *port = nullptr;
    if (curl_url_set(u, CURLUPART_URL, url.c_str(), CURLU_ALLOW_SPACE) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK)
      origin = std::string(scheme) + "://" + host + ":" + port;
    curl_free(scheme);
    curl_free(host);
    curl_free(port);
    curl_url_cleanup(u);
  }
  return origin;
}

size_t writeCallback(char* data, size_t size, size_t count, void* user) {
  return static_cast<Transfer*>(user)->onBody(data, size * count);
}

int debugCallback(CURL*, curl_infotype type, char* data, size_t size, void* user) {
  auto* t = static_cast<Transfer*>(user);
  if (type == CURLINFO_HEADER_OUT) t->onHeaderOut(data, size);
  else if (type == CURLINFO_DATA_OUT) t->onBodyOut(size);
  return 0;
}

int resolverStartCallback(void*, void*, void* user) {
  static_cast<Transfer*>(user)->onResolving();
  return 0;
}

curl_socket_t openSocketCallback(void* user, curlsocktype purpose, curl_sockaddr* address) {
  if (purpose != CURLSOCKTYPE_IPCXN) return CURL_SOCKET_BAD;
  return static_cast<Transfer*>(user)->onOpenSocket(address);
}

int closeSocketCallback(void* user, curl_socket_t socket) {
  auto* session = static_cast<Session*>(user);
  const bool reported = session->reachedServer.erase(socket) > 0;
  if (reported) session->owner.notify(INTERNET_STATUS_CLOSING_CONNECTION);
  closeSocket(socket);
  if (reported) session->owner.notify(INTERNET_STATUS_CONNECTION_CLOSED);
  return 0;
}

int prereqCallback(void* user, char*, char*, int, int localPortInUse) {
  static_cast<Transfer*>(user)->onConnectionReady(localPortInUse);
  return CURL_PREREQFUNC_OK;
}

CURLcode sslContextCallback(CURL*, void* sslContext, void* user) {
  applyTlsPolicy(sslContext, static_cast<TlsPolicy*>(user));
  return CURLE_OK;
}

std::string proxyList(std::string bypass) {
  // WinINet separates bypass entries with ";" or blanks, libcurl with commas.
  std::replace(bypass.begin(), bypass.end(), ';', ',');
  std::replace(bypass.begin(), bypass.end(), ' ', ',');
  return bypass;
}

} // namespace

// ---- setting a transfer up ----

DWORD Transfer::setup(const char* headers, DWORD headersLength, const void* data,
                      DWORD dataLength) {
  ConnectHandle& conn = req.connection();
  RootHandle& root = conn.rootHandle();
  easy = curl_easy_init();
  url = curl_url();
  if (!easy || !url) return ERROR_NOT_ENOUGH_MEMORY;
  if (data && dataLength) body.assign(static_cast<const char*>(data), dataLength);

  const bool secure = req.flags & INTERNET_FLAG_SECURE;
  std::string host = conn.server;
  if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
  const unsigned port = conn.port ? conn.port
                                  : (secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT);
  const std::string text =
      (secure ? "https://" : "http://") + host + ":" + std::to_string(port) + req.object;
  if (curl_url_set(url, CURLUPART_URL, text.c_str(), CURLU_ALLOW_SPACE) != CURLUE_OK)
    return ERROR_INTERNET_INVALID_URL;
  curl_easy_setopt(easy, CURLOPT_CURLU, url);
  curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION,
                   req.version == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);

  // The verb and the body.
  if (req.verb == "GET" && body.empty()) {
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  } else if (req.verb == "HEAD") {
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  } else {
    if (req.verb == "POST" || !body.empty()) {
      curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.data());
      curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    }
    if (req.verb != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, req.verb.c_str());
  }

  // Header lines: the caller's, then what keeps libcurl from adding its own.
  bool hasAccept = false, hasContentType = false, hasExpect = false;
  std::string all(headers ? std::string(headers, headersLength) : std::string());
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    std::string line = stripLineEnd(all.data() + start, end - start);
    start = end + 1;
    if (line.empty() || line.find(':') == std::string::npos) continue;
    hasAccept |= startsWithIgnoringCase(line, "accept:");
    hasContentType |= startsWithIgnoringCase(line, "content-type:");
    hasExpect |= startsWithIgnoringCase(line, "expect:");
    headerList = curl_slist_append(headerList, line.c_str());
  }
  if (!hasAccept)
    headerList = curl_slist_append(headerList, ("Accept:" + (req.accept.empty() ? "" : " " + req.accept)).c_str());
  if (!hasContentType) headerList = curl_slist_append(headerList, "Content-Type:");
  if (!hasExpect) headerList = curl_slist_append(headerList, "Expect:");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headerList);

  if (!root.agent.empty()) curl_easy_setopt(easy, CURLOPT_USERAGENT, root.agent.c_str());
  if (!req.referrer.empty()) curl_easy_setopt(easy, CURLOPT_REFERER, req.referrer.c_str());
  if (!conn.userName.empty()) {
    curl_easy_setopt(easy, CURLOPT_USERNAME, conn.userName.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, conn.password.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
  }
  // The platform's proxy configuration is libcurl's own reading of the usual
  // environment variables (http_proxy, https_proxy, all_proxy, no_proxy).
  if (root.accessType == INTERNET_OPEN_TYPE_DIRECT) {
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
  } else if (root.accessType == INTERNET_OPEN_TYPE_PROXY) {
    curl_easy_setopt(easy, CURLOPT_PROXY, root.proxy.c_str());
    curl_easy_setopt(easy, CURLOPT_NOPROXY, proxyList(root.proxyBypass).c_str());
  }
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  if (!(req.flags & INTERNET_FLAG_NO_AUTO_REDIRECT)) {
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
  }
  if (finite(req.timeouts.connectMs))
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(req.timeouts.connectMs));

  // Certificate checks: on, except what the security flags accept.
  const DWORD acceptance = (req.securityFlags & kAcceptanceFlags) | (req.withoutClientCert ? 1u : 0u);
  session.tls.ignoreFlags = req.securityFlags & kAcceptanceFlags;
  session.tls.withoutClientCert = req.withoutClientCert;
  session.tls.clearVerdict();
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  // The machine's trusted authorities, as OpenSSL's own variables name them
  // (an operator's private authority, say); libcurl reads neither by itself.
  if (const char* file = std::getenv("SSL_CERT_FILE"); file && *file) curl_easy_setopt(easy, CURLOPT_CAINFO, file);
  if (const char* dir = std::getenv("SSL_CERT_DIR"); dir && *dir) curl_easy_setopt(easy, CURLOPT_CAPATH, dir);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST,
                   (req.securityFlags & SECURITY_FLAG_IGNORE_CERT_CN_INVALID) ? 0L : 2L);
  // A resumed session would skip the checks, so every connection shakes hands in full.
  curl_easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L);
  if (curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, sslContextCallback) == CURLE_OK) {
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, &session.tls);
  } else if (session.tls.ignoreFlags & (SECURITY_FLAG_IGNORE_UNKNOWN_CA |
                                        SECURITY_FLAG_IGNORE_CERT_DATE_INVALID)) {
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L); // a TLS library without the hook
  }
  // A kept connection was accepted under the old flags: never reuse it under new ones.
  if (session.flagsInUse != kNoFlagsYet && session.flagsInUse != acceptance)
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
  session.flagsInUse = acceptance;

  // Events.
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, headerCallback);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, writeCallback);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L); // the only way to see the request headers sent
  curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, debugCallback);
  curl_easy_setopt(easy, CURLOPT_DEBUGDATA, this);
  curl_easy_setopt(easy, CURLOPT_RESOLVER_START_FUNCTION, resolverStartCallback);
  curl_easy_setopt(easy, CURLOPT_RESOLVER_START_DATA, this);
  curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, openSocketCallback);
  curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, this);
  curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, closeSocketCallback);
  curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, &session);
  curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, prereqCallback);
  curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);
  return ERROR_SUCCESS;
}

// ---- events ----

void Transfer::onResolving() {
  resolveAnnounced = true;
  req.notifyText(INTERNET_STATUS_RESOLVING_NAME, req.connection().server);
}

curl_socket_t Transfer::onOpenSocket(curl_sockaddr* address) {
  const std::string ip = addressText(&address->addr);
  if (!newConnection) {
    // The first attempt of this transfer: the name is resolved by now (from
    // libcurl's cache when it did not have to ask).
    if (!resolveAnnounced) req.notifyText(INTERNET_STATUS_RESOLVING_NAME, req.connection().server);
    resolveAnnounced = true;
    req.notifyText(INTERNET_STATUS_NAME_RESOLVED, ip);
  }
  newConnection = true;
  req.notifyText(INTERNET_STATUS_CONNECTING_TO_SERVER, ip);
  const int s = openSocket(address->family, address->socktype, address->protocol);
  if (s < 0) return CURL_SOCKET_BAD;
  opened.push_back(s);
  return s;
}

void Transfer::onConnectionReady(int localPortInUse) {
  if (newConnection) {
    // Of the sockets tried, the one on the connection's local port got through
    // (with a single attempt there is nothing to ask).
    for (curl_socket_t s : opened)
      if (opened.size() == 1 || localPort(s) == localPortInUse) session.reachedServer.insert(s);
    opened.clear();
    char* ip = nullptr;
    curl_easy_getinfo(easy, CURLINFO_PRIMARY_IP, &ip);
    req.notifyText(INTERNET_STATUS_CONNECTED_TO_SERVER, ip ? ip : "");
    newConnection = false;
  }
  requestSent = false;
  bodySent = 0;
  phase = Phase::sending;
  lastActivity = Clock::now();
  req.notify(INTERNET_STATUS_SENDING_REQUEST);
}

void Transfer::onHeaderOut(const char* data, size_t length) {
  requestHeaders.assign(data, length);
  lastActivity = Clock::now();
  std::string value;
  bodyExpected = findHeader(requestHeaders, "Content-Length", 0, value)
                     ? std::strtoull(value.c_str(), nullptr, 10)
                     : 0;
  if (bodyExpected == 0) onRequestSent();
}

void Transfer::onBodyOut(size_t length) {
  bodySent += length;
  lastActivity = Clock::now();
  if (bodySent >= bodyExpected) onRequestSent();
}

void Transfer::onRequestSent() {
  if (requestSent) return;
  requestSent = true;
  const DWORD bytes = static_cast<DWORD>(requestHeaders.size() + bodySent);
  req.notify(INTERNET_STATUS_REQUEST_SENT, &bytes, sizeof bytes);
  phase = Phase::receiving;
  lastActivity = Clock::now();
  req.notify(INTERNET_STATUS_RECEIVING_RESPONSE);
}

// WinINet's own refusals among redirects: from https to http (unless the
// request's flags allow it), and a 307 or 308 that would send the body
// (a password, say) to another origin.
DWORD Transfer::redirectRefusal(int status, const std::string& from, const std::string& to) const {
  const auto schemeIs = [](const std::string& url, const char* scheme) {
    return url.compare(0, std::strlen(scheme), scheme) == 0;
  };
  if (schemeIs(from, "https:") && schemeIs(to, "http:") && !(req.flags & INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP))
    return ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR;
  if ((status == 307 || status == 308) && !body.empty() && originOf(from) != originOf(to))
    return ERROR_HTTP_REDIRECT_NEEDS_CONFIRMATION;
  return ERROR_SUCCESS;
}

bool Transfer::onHeaderLine(const char* data, size_t length) {
  lastActivity = Clock::now();
  while (length && (data[length - 1] == '\n' || data[length - 1] == '\r')) --length;
  const std::string_view line(data, length);
  if (line.substr(0, 5) == "HTTP/") block.clear();
  if (!line.empty()) {
    block.append(line).append("\r\n");
    return true;
  }
  // The blank line that ends a header block.
  block += "\r\n";
  const int status = statusCodeOf(block);
  std::string location;
  if (status >= 100 && status < 200 && status != 101) {
    req.notify(INTERNET_STATUS_INTERMEDIATE_RESPONSE);
    block.clear();
    return true;
  }
  if (!(req.flags & INTERNET_FLAG_NO_AUTO_REDIRECT) && isFollowedStatus(status) &&
      findHeader(block, "Location", 0, location) && redirects < kMaxRedirects) {
    // libcurl follows it; tell where to, resolved against the current URL.
    ++redirects;
    char* current = nullptr;
    curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &current);
    std::string target = location;
    if (CURLU* u = curl_url()) {
      char* resolved = nullptr;
      if (current && curl_url_set(u, CURLUPART_URL, current, CURLU_ALLOW_SPACE) == CURLUE_OK &&
          curl_url_set(u, CURLUPART_URL, location.c_str(), CURLU_ALLOW_SPACE) == CURLUE_OK &&
          curl_url_get(u, CURLUPART_URL, &resolved, 0) == CURLUE_OK)
        target = resolved;
      curl_free(resolved);
      curl_url_cleanup(u);
    }
    refusal = redirectRefusal(status, current ? current : "", target);
    if (refusal != ERROR_SUCCESS) return false;
    req.notifyText(INTERNET_STATUS_REDIRECT, target);
    block.clear();
    return true;
  }
  finalHeaders = block;
  headersDone = true;
  const DWORD bytes = static_cast<DWORD>(block.size());
  req.notify(INTERNET_STATUS_RESPONSE_RECEIVED, &bytes, sizeof bytes);
  return true;
}

size_t Transfer::onBody(const char* data, size_t length) {
  lastActivity = Clock::now();
  if (unread() >= kPauseAt) {
    paused = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  if (pendingOffset == pending.size()) {
    pending.clear();
    pendingOffset = 0;
  } else if (pendingOffset >= kPauseAt) {
    pending.erase(0, pendingOffset);
    pendingOffset = 0;
  }
  pending.append(data, length);
  return length;
}

// ---- driving ----

void Transfer::finish(CURLcode result) {
  if (done) return;
  done = true;
  detach();
  long osError = 0;
  curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError);
  error = refusal != ERROR_SUCCESS ? refusal : mapCurlError(result, osError, session.tls);
}

static void collectFinished(CURLM* multi) {
  int queued = 0;
  while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
    if (msg->msg != CURLMSG_DONE) continue;
    const CURLcode result = msg->data.result;
    Transfer* t = nullptr;
    curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &t);
    if (t) t->finish(result);
  }
}

template <class Ready>
void Transfer::drive(Ready ready) {
  // Time spent while nobody asked for data does not count as waiting.
  lastActivity = Clock::now();
  while (!done && !ready()) {
    if (req.closed) {
      finish(CURLE_ABORTED_BY_CALLBACK);
      break;
    }
    if (paused && unread() < kPauseAt) {
      paused = false;
      curl_easy_pause(easy, CURLPAUSE_CONT);
      continue;
    }
    int running = 0;
    if (curl_multi_perform(session.multi, &running) != CURLM_OK) {
      finish(CURLE_OUT_OF_MEMORY);
      break;
    }
    collectFinished(session.multi);
    if (done || ready()) break;
    long waitMs = 1000;
    if (const DWORD limit = phaseLimit()) {
      const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastActivity).count();
      if (idle >= static_cast<long>(limit)) {
        finish(CURLE_OPERATION_TIMEDOUT);
        break;
      }
      waitMs = std::min<long>(waitMs, static_cast<long>(limit) - idle);
    }
    curl_multi_poll(session.multi, nullptr, 0, static_cast<int>(waitMs), nullptr);
  }
}

// ---- the table's entries ----

bool curlReady() {
  static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ready;
}

namespace {

// Marks a send or read under way, so that closing the handle cancels it
// rather than freeing what it works on; false when the handle was closed.
class Driving {
public:
  explicit Driving(RequestHandle& r) : req_(r) { req_.driving = true; }
  ~Driving() { req_.driving = false; }
  bool cancelled() const { return req_.closed; }

private:
  RequestHandle& req_;
};

} // namespace

void curlCancel(RequestHandle& req) {
  if (void* multi = req.wakeup.load()) curl_multi_wakeup(static_cast<CURLM*>(multi));
}

bool curlSendRequest(RequestHandle& req, const char* headers, DWORD headersLength,
                     const void* body, DWORD bodyLength) {
  const Driving driving(req);
  if (driving.cancelled()) {
    SetLastError(ERROR_INTERNET_OPERATION_CANCELLED);
    return false;
  }
  ConnectHandle& conn = req.connection();
  req.transfer.reset();
  req.sent = false;
  req.requestHeaders.clear();
  req.responseHeaders.clear();
  if (!conn.session) conn.session.reset(new Session(conn));
  if (!conn.session->multi) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  req.wakeup = conn.session->multi;
  std::unique_ptr<Transfer, TransferDeleter> owned(new Transfer(req, *conn.session));
  Transfer& t = *owned;
  if (const DWORD err = t.setup(headers, headersLength, body, bodyLength)) {
    SetLastError(err);
    return false;
  }
  if (curl_multi_add_handle(conn.session->multi, t.easy) != CURLM_OK) {
    SetLastError(ERROR_INTERNET_INTERNAL_ERROR);
    return false;
  }
  t.attached = true;
  req.transfer = std::move(owned);
  t.drive([&t] { return t.headersDone; });
  if (!t.headersDone && t.error != ERROR_SUCCESS) {
    const DWORD err = t.error;
    req.transfer.reset();
    SetLastError(err);
    return false;
  }
  req.requestHeaders = t.requestHeaders;
  req.responseHeaders = t.headersDone ? t.finalHeaders : t.block;
  req.sent = true;
  SetLastError(ERROR_SUCCESS);
  return true;
}

bool curlReadFile(RequestHandle& req, void* buffer, DWORD toRead, DWORD* read) {
  const Driving driving(req);
  if (driving.cancelled()) {
    SetLastError(ERROR_INTERNET_OPERATION_CANCELLED);
    return false;
  }
  Transfer* t = req.transfer.get();
  if (!t) {
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    return false;
  }
  // Like a synchronous WinINet read: the chunk is filled unless the body ends
  // or fails first. Only the bytes of this chunk are waited for.
  size_t copied = 0;
  while (copied < toRead) {
    if (t->unread() == 0) {
      if (t->done) break;
      req.notify(INTERNET_STATUS_RECEIVING_RESPONSE);
      t->drive([t] { return t->unread() > 0; });
      if (const DWORD bytes = static_cast<DWORD>(t->unread()))
        req.notify(INTERNET_STATUS_RESPONSE_RECEIVED, &bytes, sizeof bytes);
      continue;
    }
    const size_t n = std::min<size_t>(t->unread(), toRead - copied);
    std::memcpy(static_cast<char*>(buffer) + copied, t->pending.data() + t->pendingOffset, n);
    t->pendingOffset += n;
    copied += n;
  }
  *read = static_cast<DWORD>(copied);
  if (copied < toRead && t->error != ERROR_SUCCESS) {
    // Cut short: what did arrive is in the buffer, but the read fails.
    SetLastError(t->error);
    return false;
  }
  return true;
}

} // namespace quorvel::wininet::detail
