// WinINet error names and the status callback that turns notifications into progress lines.
#include "http/unHTTPClient.h"

#include <cstring>
#include <iterator>

namespace quorvel {

using namespace wininet;

namespace {

const char* const kInternetErrors[] = { // 12001 to 12034
    "ERROR_INTERNET_OUT_OF_HANDLES", "ERROR_INTERNET_TIMEOUT", "ERROR_INTERNET_EXTENDED_ERROR",
    "ERROR_INTERNET_INTERNAL_ERROR", "ERROR_INTERNET_INVALID_URL",
    "ERROR_INTERNET_UNRECOGNIZED_SCHEME", "ERROR_INTERNET_NAME_NOT_RESOLVED",
    "ERROR_INTERNET_PROTOCOL_NOT_FOUND", "ERROR_INTERNET_INVALID_OPTION",
    "ERROR_INTERNET_BAD_OPTION_LENGTH", "ERROR_INTERNET_OPTION_NOT_SETTABLE",
    "ERROR_INTERNET_SHUTDOWN", "ERROR_INTERNET_INCORRECT_USER_NAME",
    "ERROR_INTERNET_INCORRECT_PASSWORD", "ERROR_INTERNET_LOGIN_FAILURE",
    "ERROR_INTERNET_INVALID_OPERATION", "ERROR_INTERNET_OPERATION_CANCELLED",
    "ERROR_INTERNET_INCORRECT_HANDLE_TYPE", "ERROR_INTERNET_INCORRECT_HANDLE_STATE",
    "ERROR_INTERNET_NOT_PROXY_REQUEST", "ERROR_INTERNET_REGISTRY_VALUE_NOT_FOUND",
    "ERROR_INTERNET_BAD_REGISTRY_PARAMETER", "ERROR_INTERNET_NO_DIRECT_ACCESS",
    "ERROR_INTERNET_NO_CONTEXT", "ERROR_INTERNET_NO_CALLBACK", "ERROR_INTERNET_REQUEST_PENDING",
    "ERROR_INTERNET_INCORRECT_FORMAT", "ERROR_INTERNET_ITEM_NOT_FOUND", "Cannot connect to host",
    "ERROR_INTERNET_CONNECTION_ABORTED", "ERROR_INTERNET_CONNECTION_RESET",
    "ERROR_INTERNET_FORCE_RETRY", "ERROR_INTERNET_INVALID_PROXY_REQUEST",
    "ERROR_INTERNET_NEED_UI"};
const char* const kSecurityErrors[] = { // 12036 to 12048
    "ERROR_INTERNET_HANDLE_EXISTS", "ERROR_INTERNET_SEC_CERT_DATE_INVALID",
    "ERROR_INTERNET_SEC_CERT_CN_INVALID", "ERROR_INTERNET_HTTP_TO_HTTPS_ON_REDIR",
    "ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR", "ERROR_INTERNET_MIXED_SECURITY",
    "ERROR_INTERNET_CHG_POST_IS_NON_SECURE", "ERROR_INTERNET_POST_IS_NON_SECURE",
    "ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED", "ERROR_INTERNET_INVALID_CA",
    "ERROR_INTERNET_CLIENT_AUTH_NOT_SETUP", "ERROR_INTERNET_ASYNC_THREAD_FAILED",
    "ERROR_INTERNET_REDIRECT_SCHEME_CHANGE"};
const char* const kFtpErrors[] = { // 12110 and 12111
    "ERROR_FTP_TRANSFER_IN_PROGRESS", "ERROR_FTP_DROPPED"};
const char* const kGopherErrors[] = { // 12130 to 12138
    "ERROR_GOPHER_PROTOCOL_ERROR", "ERROR_GOPHER_NOT_FILE", "ERROR_GOPHER_DATA_ERROR",
    "ERROR_GOPHER_END_OF_DATA", "ERROR_GOPHER_INVALID_LOCATOR",
    "ERROR_GOPHER_INCORRECT_LOCATOR_TYPE", "ERROR_GOPHER_NOT_GOPHER_PLUS",
    "ERROR_GOPHER_ATTRIBUTE_NOT_FOUND", "ERROR_GOPHER_UNKNOWN_LOCATOR"};
const char* const kHttpErrors[] = { // 12150 to 12160
    "ERROR_HTTP_HEADER_NOT_FOUND", "ERROR_HTTP_DOWNLEVEL_SERVER",
    "ERROR_HTTP_INVALID_SERVER_RESPONSE", "ERROR_HTTP_INVALID_HEADER",
    "ERROR_HTTP_INVALID_QUERY_REQUEST", "ERROR_HTTP_HEADER_ALREADY_EXISTS",
    "ERROR_HTTP_REDIRECT_FAILED", "ERROR_INTERNET_SECURITY_CHANNEL_ERROR",
    "ERROR_INTERNET_UNABLE_TO_CACHE_FILE", "ERROR_INTERNET_TCPIP_NOT_INSTALLED",
    "ERROR_HTTP_NOT_REDIRECTED"};

struct Range {
  uint16_t first;
  const char* const* names;
  size_t count;
};

const Range kRanges[] = {
    {12001, kInternetErrors, std::size(kInternetErrors)},
    {12036, kSecurityErrors, std::size(kSecurityErrors)},
    {12110, kFtpErrors, std::size(kFtpErrors)},
    {12130, kGopherErrors, std::size(kGopherErrors)},
    {12150, kHttpErrors, std::size(kHttpErrors)},
};

std::string textAt(const void* info) { return info ? static_cast<const char*>(info) : ""; }

const char* stateText(DWORD state) {
  switch (state) {
  case INTERNET_STATE_CONNECTED: return "Connected (i.e. not disconnected)";
  case INTERNET_STATE_DISCONNECTED: return "Disconnected - no network connection could be established.);";
  case INTERNET_STATE_DISCONNECTED_BY_USER: return "Disconnected by user request.";
  case INTERNET_STATE_IDLE: return "No network requests are being made by WinInet.";
  case INTERNET_STATE_BUSY: return "Network requests are being made by WinInet.";
  default: return nullptr;
  }
}

std::string statusText(DWORD status, const void* info) {
  switch (status) {
  case INTERNET_STATUS_RESOLVING_NAME:
    return "Attempting to resolve IP address of name: " + textAt(info);
  case INTERNET_STATUS_NAME_RESOLVED:
    return "Successfully resolved the IP address of: " + textAt(info);
  case INTERNET_STATUS_CONNECTING_TO_SERVER: return "Connecting to the server.";
  case INTERNET_STATUS_CONNECTED_TO_SERVER: return "Connected to the server.";
  case INTERNET_STATUS_SENDING_REQUEST: return "Sending a request to the server.";
  case INTERNET_STATUS_REQUEST_SENT: return "Request sent to the server.";
  case INTERNET_STATUS_RECEIVING_RESPONSE: return "Waiting for response from server.";
  case INTERNET_STATUS_RESPONSE_RECEIVED: return "Received a response from the server.";
  case INTERNET_STATUS_CTL_RESPONSE_RECEIVED: return "Not implemented.";
  case INTERNET_STATUS_PREFETCH: return "Not implemented.";
  case INTERNET_STATUS_CLOSING_CONNECTION: return "Connection to the server is being closed.";
  case INTERNET_STATUS_CONNECTION_CLOSED: return "Connection to the server has been closed.";
  case INTERNET_STATUS_HANDLE_CREATED: return "InternetConnect has created a new handle.";
  case INTERNET_STATUS_HANDLE_CLOSING: return "The handle is closing.";
  case INTERNET_STATUS_REQUEST_COMPLETE: return "Asynchronous operation has completed.";
  case INTERNET_STATUS_REDIRECT:
    return "An HTTP request is redirecting the request to: " + textAt(info);
  case INTERNET_STATUS_INTERMEDIATE_RESPONSE:
    return "Received an intermediate status code message from the server.";
  case INTERNET_STATUS_STATE_CHANGE:
    return "Moved between a secure (HTTPS) and nonsecure (HTTP) site. lpvStatusInformation "
           "points to a DWORD containing one or more of the following flags:";
  default: return "Unknown status";
  }
}

} // namespace

std::string internetError(uint16_t errorcode) {
  for (const Range& r : kRanges)
    if (errorcode >= r.first && errorcode < r.first + r.count) return r.names[errorcode - r.first];
  return "";
}

void InternetStatusCallback(HINTERNET, DWORD_PTR dwContext, DWORD dwInternetStatus,
                            void* lpvStatusInformation, DWORD) {
  auto* client = reinterpret_cast<TkaHTTPClient*>(dwContext);
  // Only notifications about a client's own handles carry it as the context.
  if (!client || !client->reportwininet) return;
  const std::string prefix = "[WININET] " + std::to_string(dwInternetStatus) + " ";
  auto wininetreport = [&](const std::string& msg) { client->report(prefix + msg); };

  wininetreport(statusText(dwInternetStatus, lpvStatusInformation));
  if (dwInternetStatus == INTERNET_STATUS_STATE_CHANGE && lpvStatusInformation) {
    DWORD state;
    std::memcpy(&state, lpvStatusInformation, sizeof state);
    if (const char* second = stateText(state)) wininetreport(second);
  }
}

} // namespace quorvel
