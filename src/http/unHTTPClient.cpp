// Blocking HTTP/HTTPS client over WinINet: one request per call, body handed back as a string.
#include "http/unHTTPClient.h"

#include "http/unRequestDeadline.h"
#include "util/unStrings.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

namespace quorvel {

using namespace wininet;

namespace {

constexpr const char* kDefaultAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)";
constexpr const char* kFormContentType = "application/x-www-form-urlencoded";
constexpr const char* kOpenRequestFailed = "Kavri error: could not connect to the server";
constexpr DWORD kHeaderBufferSize = 4095;
constexpr DWORD kChunkSize = 1025;
constexpr int kChunksPerProgressLine = 100; // a line after every 101 chunks
// The body's room grows with the bytes that arrive, from this much on, and
// never past an announced length the server has kept to so far: a false
// Content-Length costs nothing, an honest one ends in one buffer of its size.
constexpr size_t kFirstBodyRoom = 64u << 10;
constexpr const char* kOutOfMemory = "ERROR_NOT_ENOUGH_MEMORY";

// An answer longer than the client takes: it is refused unread.
struct AnswerTooLarge {
  size_t limit;
};

std::string tooLargeText(size_t limit) {
  const bool mebibytes = limit >= (1u << 20) && limit % (1u << 20) == 0;
  return "The answer is larger than " +
         (mebibytes ? std::to_string(limit >> 20) + " MiB" : std::to_string(limit) + " bytes") +
         "; it was not read";
}

/// A failure's text that is never empty: the code's name, or "Error " + code.
std::string failureText(DWORD code) {
  std::string name = internetError(static_cast<uint16_t>(code));
  return name.empty() ? "Error " + std::to_string(code) : name;
}

std::string downloadErrorLine(DWORD code, const std::string& name) {
  return "Download error: " + std::to_string(code) + " (" + name + ")";
}

/// Replaces \p lines by the lines of \p text, split at CR LF, CR or LF.
void setText(std::vector<std::string>& lines, const std::string& text) {
  lines.clear();
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const char* start = p;
    while (p < end && *p != '\r' && *p != '\n') ++p;
    lines.emplace_back(start, p);
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n') ++p;
  }
}

void emptyStream(std::stringstream& s) {
  s.str(std::string());
  s.clear();
}

bool startsWithHttps(const std::string& url) {
  static const char prefix[] = "https://";
  if (url.size() < sizeof prefix - 1) return false;
  for (size_t i = 0; i < sizeof prefix - 1; ++i)
    if (std::tolower(static_cast<unsigned char>(url[i])) != prefix[i]) return false;
  return true;
}

/// The port text as a port number; raises EConvertError for anything else.
INTERNET_PORT toPort(const std::string& port) {
  const int32_t value = StrToInt(port);
  if (value < 0 || value > 65535) throw EConvertError("'" + port + "' is not a valid port number");
  return static_cast<INTERNET_PORT>(value);
}

DWORD timeoutMs(int32_t seconds) {
  return static_cast<DWORD>(std::clamp<int64_t>(int64_t{seconds} * 1000, 0, 0xFFFFFFFF));
}

} // namespace

/// What one run of the send loop has been through.
struct TkaHTTPClient::SendState {
  bool secure = false;
  std::vector<DWORD> dialogShown; // codes the dialog was shown for in this request
  bool withoutClientCert = false; // already resent without a client certificate
  void* dialogData = nullptr;
  TRequestDeadline* deadline = nullptr;
  std::string firstLine;          // the "Download error" line of the last failure
};

TkaHTTPClient::TkaHTTPClient() : ARequestStream(&FRequestStream) {}

TkaHTTPClient::~TkaHTTPClient() { closeKeptHandles(); }

// Handles kept for reuse carry the client's address as their context: left
// open, they would report their closing to a client that is gone.
void TkaHTTPClient::closeKeptHandles() {
  if (NetHandle) InternetSetStatusCallback(NetHandle, nullptr);
  if (hConnect) {
    InternetCloseHandle(hConnect);
    hConnect = nullptr;
  }
  if (NetHandle) {
    InternetCloseHandle(NetHandle);
    NetHandle = nullptr;
  }
}

void TkaHTTPClient::report(const std::string& info) {
  infomessage = info;
  if (onReport) onReport(info);
}

// ---- the request operations ----

void TkaHTTPClient::prepareRequest(const std::string& url, const char* command) {
  errorcode = 0;
  errormessage.clear();
  httpcommand = command;
  emptyStream(AResponseStream);
  requrl = url;
}

std::string TkaHTTPClient::takeResponse() {
  // Moving the string out keeps a large body in memory once, not twice.
  std::string body = std::move(AResponseStream).str();
  emptyStream(AResponseStream);
  return body;
}

std::string TkaHTTPClient::getData(const std::string& url) {
  prepareRequest(url, "GET");
  emptyStream(*ARequestStream);
  startRequest();
  return takeResponse();
}

std::string TkaHTTPClient::postData(const std::string& url, const std::string& datastring) {
  prepareRequest(url, "POST");
  emptyStream(*ARequestStream);
  ARequestStream->write(datastring.data(), static_cast<std::streamsize>(datastring.size()));
  headers.push_back("Content-Type: " + (contentType.empty() ? std::string(kFormContentType) : contentType));
  startRequest();
  return takeResponse();
}

std::string TkaHTTPClient::postDataStream(const std::string& url, std::stringstream& datastream) {
  prepareRequest(url, "POST");
  headers.push_back("Content-Type: " + (contentType.empty() ? std::string(kFormContentType) : contentType));
  std::stringstream* own = ARequestStream;
  ARequestStream = &datastream;
  struct Restore {
    std::stringstream*& field;
    std::stringstream* own;
    ~Restore() { field = own; }
  } restore{ARequestStream, own};
  startRequest();
  return takeResponse();
}

// ---- one request ----

void TkaHTTPClient::startRequest() {
  try {
    runRequest();
  } catch (const std::bad_alloc&) {
    // A body too large for the memory left is a failed transfer like any other.
    emptyStream(AResponseStream);
    FRoom = 0;
    errormessage = kOutOfMemory;
    errorcode = static_cast<int32_t>(ERROR_NOT_ENOUGH_MEMORY);
    report(downloadErrorLine(ERROR_NOT_ENOUGH_MEMORY, errormessage));
  } catch (const AnswerTooLarge& e) {
    emptyStream(AResponseStream);
    FRoom = 0;
    errormessage = tooLargeText(e.limit);
    errorcode = static_cast<int32_t>(ERROR_NOT_ENOUGH_MEMORY);
    report(downloadErrorLine(ERROR_NOT_ENOUGH_MEMORY, errormessage));
  }
}

void TkaHTTPClient::runRequest() {
  const std::string url = requrl;
  FTotal = 0;
  FRoom = 0;
  FProgress = 0;
  report("Initializing wininet");
  const std::string agent = useragent.empty() ? kDefaultAgent : useragent;

  if (!NetHandle || !reuseConnection) {
    closeKeptHandles(); // kept by an earlier request that reused them
    NetHandle = InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    const DWORD openError = GetLastError();
    InternetSetStatusCallback(NetHandle, &InternetStatusCallback);
    if (!NetHandle) {
      report("Could not initialize wininet");
      // A failed request always leaves a text behind, or callers take it for a success.
      errormessage = failureText(openError);
      errorcode = static_cast<int32_t>(openError);
      return;
    }
  }

  std::string host, port, object;
  kaUrlSplitter(url, host, port, object);
  // The scheme decides, as it did for the port: "HTTPS://" is secure too, and
  // an "https://" further on (in a query, say) is not.
  const bool secure = startsWithHttps(url);
  report("Connecting to " + host + " on port " + port);

  try {
    DWORD connectError = ERROR_SUCCESS;
    if (!hConnect || !reuseConnection) {
      const INTERNET_PORT portNumber = toPort(port);
      hConnect = InternetConnectA(NetHandle, host.c_str(), portNumber,
                                  username.empty() ? nullptr : username.c_str(),
                                  password.empty() ? nullptr : password.c_str(),
                                  INTERNET_SERVICE_HTTP, 0, context());
      connectError = GetLastError();
    }
    if (!hConnect) {
      report("Could open connection handle to " + host + " on port " + port);
      errormessage = failureText(connectError);
      errorcode = static_cast<int32_t>(connectError);
    } else {
      sendAndRead(url, object, secure);
    }
  } catch (...) {
    closeHandles();
    throw;
  }
  closeHandles();
}

DWORD TkaHTTPClient::securityFlags() const {
  return INTERNET_FLAG_SECURE | (acceptinvalidca ? SECURITY_FLAG_IGNORE_UNKNOWN_CA : 0) |
         (acceptinvalidcacn ? SECURITY_FLAG_IGNORE_CERT_CN_INVALID : 0) |
         (acceptinvalidcadate ? SECURITY_FLAG_IGNORE_CERT_DATE_INVALID : 0);
}

void TkaHTTPClient::sendAndRead(const std::string& url, const std::string& object, bool secure) {
  DWORD flags = secure ? INTERNET_FLAG_SECURE : 0;
  if (acceptinvalidcacn) flags |= INTERNET_FLAG_IGNORE_CERT_CN_INVALID;
  if (acceptinvalidcadate) flags |= INTERNET_FLAG_IGNORE_CERT_DATE_INVALID;
  const char* accept[] = {"*/*", "text/xml", nullptr};
  hRequest = HttpOpenRequestA(hConnect, httpcommand.c_str(), object.c_str(), nullptr,
                              referer.empty() ? nullptr : referer.c_str(), accept,
                              flags | INTERNET_FLAG_RELOAD | INTERNET_FLAG_KEEP_CONNECTION,
                              context());
  if (!hRequest) {
    errormessage = kOpenRequestFailed;
    report(downloadErrorLine(1, errormessage));
    if (onDownloadError) onDownloadError(1, errormessage);
    reuseConnection = false;
    return;
  }

  std::string headerBlock;
  for (const std::string& line : headers) headerBlock += line + "\r\n";
  if (!lastok) {
    const DWORD ms = timeoutMs(downloadTimeOut);
    InternetSetOptionA(hRequest, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
    InternetSetOptionA(hRequest, INTERNET_OPTION_SEND_TIMEOUT, &ms, sizeof ms);
  }
  const std::string_view body = ARequestStream->view();
  const bool acceptsSomething = acceptinvalidcacn || acceptinvalidcadate || acceptinvalidca;
  if (secure && acceptsSomething) {
    const DWORD value = securityFlags();
    InternetSetOptionA(hRequest, INTERNET_OPTION_SECURITY_FLAGS, &value, sizeof value);
  }

  SendState state;
  state.secure = secure;
  {
    TRequestDeadline deadline(hRequest, totalTimeOut);
    state.deadline = &deadline;
    try {
      bool retry = true;
      while (retry) {
        retry = false;
        if (HttpSendRequestA(hRequest, headerBlock.empty() ? nullptr : headerBlock.c_str(),
                             static_cast<DWORD>(headerBlock.size()), body.empty() ? nullptr : body.data(),
                             static_cast<DWORD>(body.size())))
          readResponse(url);
        else
          retry = sendFailed(state);
      }
    } catch (...) {
      if (deadline.passed()) hRequest = nullptr;
      throw;
    }
    if (!deadline.passed()) return;
  }
  // The watch closed the request handle; whatever arrived is not the answer.
  hRequest = nullptr;
  emptyStream(AResponseStream);
  FRoom = 0;
  lastok = false;
  errormessage = "The request took longer than " + std::to_string(totalTimeOut) + " s in all and was stopped";
  errorcode = static_cast<int32_t>(ERROR_INTERNET_TIMEOUT);
  report(downloadErrorLine(ERROR_INTERNET_TIMEOUT, errormessage));
}

// ---- send failures ----

bool TkaHTTPClient::sendFailed(SendState& state) {
  lastok = false;
  const DWORD e = GetLastError();
  const std::string name = internetError(static_cast<uint16_t>(e));
  state.firstLine = downloadErrorLine(e, name);
  report(state.firstLine);

  if (e == ERROR_INTERNET_SEC_CERT_CN_INVALID) {
    if (popforcert) return showErrorDialog(state, e);
    errormessage = name;
    errorcode = static_cast<int32_t>(e);
    return false;
  }
  if (e == ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED) {
    state.dialogData = nullptr;
    if (popforcert) return showErrorDialog(state, e);
    if (state.withoutClientCert) { // it came back although we went on without one
      giveUp(state, e);
      return false;
    }
    state.withoutClientCert = true;
    bool retry = false;
    try {
      const DWORD none = 0;
      InternetSetOptionA(hRequest, INTERNET_OPTION_SECURITY_SELECT_CLIENT_CERT, &none, sizeof none);
      retry = true;
      if (state.secure && (acceptinvalidcacn || acceptinvalidcadate || acceptinvalidca)) {
        const DWORD value = securityFlags();
        InternetSetOptionA(hRequest, INTERNET_OPTION_SECURITY_FLAGS, &value, sizeof value);
      }
    } catch (const std::exception& ex) {
      report(ex.what());
    }
    return retry;
  }
  if (popforcert) return showErrorDialog(state, e);
  giveUp(state, e);
  return false;
}

// One dialog per error code and request: the same code again, or a cancelled
// dialog, ends the request instead of sending it once more.
bool TkaHTTPClient::showErrorDialog(SendState& state, DWORD error) {
  if (std::find(state.dialogShown.begin(), state.dialogShown.end(), error) != state.dialogShown.end()) {
    giveUp(state, error);
    return false;
  }
  state.dialogShown.push_back(error);
  if (state.deadline) state.deadline->hold();
  const DWORD answer = InternetErrorDlg(GetDesktopWindow(), hRequest, error,
                                        FLAGS_ERROR_UI_FILTER_FOR_ERRORS |
                                            FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                                            FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
                                        &state.dialogData);
  if (state.deadline) state.deadline->resume();
  if (answer == ERROR_CANCELLED) {
    giveUp(state, error);
    return false;
  }
  return true;
}

void TkaHTTPClient::giveUp(const SendState& state, DWORD error) {
  errormessage = failureText(error);
  errorcode = static_cast<int32_t>(error);
  report(state.firstLine);
  reuseConnection = false;
}

// ---- reading the response ----

void TkaHTTPClient::readResponse(const std::string& url) {
  report("Opened: " + url);
  lastok = true;
  std::unique_ptr<char[]> buffer(new char[kHeaderBufferSize]);
  auto text = [&] { return std::string(buffer.get(), strnlen(buffer.get(), kHeaderBufferSize)); };
  DWORD index = 0;
  DWORD length = kHeaderBufferSize;
  auto rawHeaders = [&](DWORD level, const char* line, std::vector<std::string>& lines) {
    length = kHeaderBufferSize;
    if (HttpQueryInfoA(hRequest, level, buffer.get(), &length, &index)) {
      report(line);
      setText(lines, text());
    } else {
      headerQueryFailed();
    }
  };
  rawHeaders(HTTP_QUERY_FLAG_REQUEST_HEADERS | HTTP_QUERY_RAW_HEADERS_CRLF, "Request headers read",
             ARequestHeaders);
  rawHeaders(HTTP_QUERY_RAW_HEADERS_CRLF, "Response headers read", AResponseHeaders);
  length = kHeaderBufferSize;
  if (HttpQueryInfoA(hRequest, HTTP_QUERY_CONTENT_LENGTH, buffer.get(), &length, &index)) {
    const std::string contentLength = text();
    report("Content-Length: " + contentLength);
    readKnownLength(StrToInt(contentLength));
  } else {
    const DWORD e = GetLastError();
    errormessage = internetError(static_cast<uint16_t>(e));
    errorcode = static_cast<int32_t>(e);
    readOpenEnded();
  }
}

void TkaHTTPClient::headerQueryFailed() {
  const DWORD e = GetLastError();
  errormessage = internetError(static_cast<uint16_t>(e));
  errorcode = static_cast<int32_t>(e);
  report("Headers could not be read. Error = " + std::to_string(e) + " (" + errormessage + ")");
}

void TkaHTTPClient::countChunk(int32_t contentLength, bool withPercentage) {
  if (++FProgress <= kChunksPerProgressLine) return;
  FProgress = 0;
  std::string line = "Downloaded " + std::to_string(FTotal) + " bytes";
  if (withPercentage && contentLength != 0) {
    // Rounded to the nearest integer, halves to even.
    const double percent = static_cast<double>(FTotal) / contentLength * 100.0;
    line += " (" + std::to_string(std::llrint(percent)) + "%)";
  }
  report(line);
}

void TkaHTTPClient::appendBody(const char* data, size_t count, int32_t contentLength) {
  const size_t needed = static_cast<size_t>(FTotal) + count;
  if (needed > maxResponseSize) throw AnswerTooLarge{maxResponseSize};
  if (needed > FRoom) {
    size_t room = std::max({needed, 2 * FRoom, kFirstBodyRoom});
    if (contentLength > 0 && static_cast<size_t>(contentLength) >= needed)
      room = std::min(room, static_cast<size_t>(contentLength));
    // A fresh string gets exactly the room asked for (reserve on a string
    // would round up to twice its capacity); the body moves in and out of
    // the stream without a copy.
    std::string grown;
    grown.reserve(room);
    grown.append(std::move(AResponseStream).str());
    FRoom = grown.capacity();
    AResponseStream.str(std::move(grown));
    AResponseStream.seekp(0, std::ios::end);
  }
  AResponseStream.write(data, static_cast<std::streamsize>(count));
  FTotal += static_cast<int64_t>(count);
}

void TkaHTTPClient::readKnownLength(int32_t contentLength) {
  if (contentLength > 0 && static_cast<size_t>(contentLength) > maxResponseSize) throw AnswerTooLarge{maxResponseSize};
  char chunk[kChunkSize];
  DWORD count = kChunkSize;
  while (count >= kChunkSize) {
    if (!InternetReadFile(hRequest, chunk, kChunkSize, &count)) {
      // The body is cut short: say so, or callers take the part for the whole.
      const DWORD e = GetLastError();
      errormessage = failureText(e);
      errorcode = static_cast<int32_t>(e);
      break;
    }
    if (count == 0) break;
    appendBody(chunk, count, contentLength);
    countChunk(contentLength, true);
  }
}

void TkaHTTPClient::readOpenEnded() {
  char chunk[kChunkSize];
  bool ok = true;
  DWORD count = 1;
  while (ok && count != 0) {
    ok = InternetReadFile(hRequest, chunk, kChunkSize, &count);
    if (ok) {
      appendBody(chunk, count, 0);
    } else {
      const DWORD e = GetLastError();
      if (e == ERROR_IO_PENDING) { // not a failure: the data is on its way
        errormessage = internetError(static_cast<uint16_t>(e));
        ok = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      } else {
        errormessage = failureText(e);
      }
    }
    countChunk(0, false);
  }
}

void TkaHTTPClient::closeHandles() {
  if (hRequest) {
    InternetCloseHandle(hRequest);
    hRequest = nullptr;
  }
  if (hConnect && !reuseConnection) {
    InternetCloseHandle(hConnect);
    hConnect = nullptr;
  }
  if (NetHandle && !reuseConnection) {
    InternetSetStatusCallback(NetHandle, nullptr);
    InternetCloseHandle(NetHandle);
    NetHandle = nullptr;
  }
}

} // namespace quorvel
