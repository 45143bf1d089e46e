// WinINet-shaped HTTP layer: handles, constants and calls as the HTTP client expects them.
#pragma once

#include <cstdint>
#include <functional>

namespace quorvel::wininet {

using DWORD = uint32_t;
using DWORD_PTR = uintptr_t;
using INTERNET_PORT = uint16_t;
/// Opaque handle of a root, connection or request.
using HINTERNET = void*;
/// Opaque window handle (owner of the error dialog).
using HWND = void*;

/// Status callback: handle, its context value, status code, status data and its length.
using INTERNET_STATUS_CALLBACK = void (*)(HINTERNET hInternet, DWORD_PTR dwContext,
                                          DWORD dwInternetStatus, void* lpvStatusInformation,
                                          DWORD dwStatusInformationLength);
/// Status data of INTERNET_STATUS_HANDLE_CREATED: the new handle.
struct INTERNET_ASYNC_RESULT {
  DWORD_PTR dwResult;
  DWORD dwError;
};

/// What InternetSetStatusCallback returns for a handle it cannot use.
inline const INTERNET_STATUS_CALLBACK INTERNET_INVALID_STATUS_CALLBACK =
    reinterpret_cast<INTERNET_STATUS_CALLBACK>(static_cast<intptr_t>(-1));

// Handle kinds.
constexpr DWORD INTERNET_HANDLE_TYPE_INTERNET = 1;
constexpr DWORD INTERNET_HANDLE_TYPE_CONNECT_HTTP = 3;
constexpr DWORD INTERNET_HANDLE_TYPE_HTTP_REQUEST = 13;

// Access types of InternetOpenA.
constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0; ///< the platform's proxy settings
constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;
constexpr DWORD INTERNET_OPEN_TYPE_PROXY = 3;

/// Flag of InternetOpenA asking for asynchronous calls; this layer is synchronous only.
constexpr DWORD INTERNET_FLAG_ASYNC = 0x10000000;

constexpr DWORD INTERNET_SERVICE_HTTP = 3;
constexpr INTERNET_PORT INTERNET_INVALID_PORT_NUMBER = 0; ///< default port of the scheme
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTP_PORT = 80;
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTPS_PORT = 443;

// Request flags of HttpOpenRequestA.
constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000;
constexpr DWORD INTERNET_FLAG_SECURE = 0x00800000;
constexpr DWORD INTERNET_FLAG_KEEP_CONNECTION = 0x00400000;
constexpr DWORD INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000;
constexpr DWORD INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP = 0x00008000;
constexpr DWORD INTERNET_FLAG_IGNORE_CERT_DATE_INVALID = 0x00002000;
constexpr DWORD INTERNET_FLAG_IGNORE_CERT_CN_INVALID = 0x00001000;

// Security flags (option INTERNET_OPTION_SECURITY_FLAGS).
constexpr DWORD SECURITY_FLAG_SECURE = 0x00000001;
constexpr DWORD SECURITY_FLAG_IGNORE_UNKNOWN_CA = 0x00000100;
constexpr DWORD SECURITY_FLAG_IGNORE_CERT_CN_INVALID = INTERNET_FLAG_IGNORE_CERT_CN_INVALID;
constexpr DWORD SECURITY_FLAG_IGNORE_CERT_DATE_INVALID = INTERNET_FLAG_IGNORE_CERT_DATE_INVALID;

// Option numbers of InternetSetOptionA (values in milliseconds or flag words, 4 bytes).
constexpr DWORD INTERNET_OPTION_CONNECT_TIMEOUT = 2;
constexpr DWORD INTERNET_OPTION_SEND_TIMEOUT = 5;
constexpr DWORD INTERNET_OPTION_RECEIVE_TIMEOUT = 6;
constexpr DWORD INTERNET_OPTION_SECURITY_FLAGS = 31;
constexpr DWORD INTERNET_OPTION_SECURITY_SELECT_CLIENT_CERT = 47;

// Query codes of HttpQueryInfoA.
constexpr DWORD HTTP_QUERY_CONTENT_TYPE = 1;
constexpr DWORD HTTP_QUERY_CONTENT_LENGTH = 5;
constexpr DWORD HTTP_QUERY_STATUS_CODE = 19;
constexpr DWORD HTTP_QUERY_RAW_HEADERS_CRLF = 22;
constexpr DWORD HTTP_QUERY_FLAG_REQUEST_HEADERS = 0x80000000;
constexpr DWORD HTTP_QUERY_FLAG_NUMBER = 0x20000000;

// Status codes given to the status callback.
constexpr DWORD INTERNET_STATUS_RESOLVING_NAME = 10;
constexpr DWORD INTERNET_STATUS_NAME_RESOLVED = 11;
constexpr DWORD INTERNET_STATUS_CONNECTING_TO_SERVER = 20;
constexpr DWORD INTERNET_STATUS_CONNECTED_TO_SERVER = 21;
constexpr DWORD INTERNET_STATUS_SENDING_REQUEST = 30;
constexpr DWORD INTERNET_STATUS_REQUEST_SENT = 31;
constexpr DWORD INTERNET_STATUS_RECEIVING_RESPONSE = 40;
constexpr DWORD INTERNET_STATUS_RESPONSE_RECEIVED = 41;
constexpr DWORD INTERNET_STATUS_CTL_RESPONSE_RECEIVED = 42;
constexpr DWORD INTERNET_STATUS_PREFETCH = 43;
constexpr DWORD INTERNET_STATUS_CLOSING_CONNECTION = 50;
constexpr DWORD INTERNET_STATUS_CONNECTION_CLOSED = 51;
constexpr DWORD INTERNET_STATUS_HANDLE_CREATED = 60;
constexpr DWORD INTERNET_STATUS_HANDLE_CLOSING = 70;
constexpr DWORD INTERNET_STATUS_REQUEST_COMPLETE = 100;
constexpr DWORD INTERNET_STATUS_REDIRECT = 110;
constexpr DWORD INTERNET_STATUS_INTERMEDIATE_RESPONSE = 120;
constexpr DWORD INTERNET_STATUS_STATE_CHANGE = 200;

// Values of the status data of INTERNET_STATUS_STATE_CHANGE.
constexpr DWORD INTERNET_STATE_CONNECTED = 1;
constexpr DWORD INTERNET_STATE_DISCONNECTED = 2;
constexpr DWORD INTERNET_STATE_DISCONNECTED_BY_USER = 16;
constexpr DWORD INTERNET_STATE_IDLE = 256;
constexpr DWORD INTERNET_STATE_BUSY = 512;

// Flags and results of InternetErrorDlg.
constexpr DWORD FLAGS_ERROR_UI_FILTER_FOR_ERRORS = 0x01;
constexpr DWORD FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS = 0x02;
constexpr DWORD FLAGS_ERROR_UI_FLAGS_GENERATE_DATA = 0x04;

// System error codes the layer sets.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_IO_PENDING = 997;
constexpr DWORD ERROR_CANCELLED = 1223;

// WinINet error codes the layer sets.
constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
constexpr DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr DWORD ERROR_INTERNET_INVALID_URL = 12005;
constexpr DWORD ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr DWORD ERROR_INTERNET_INVALID_OPTION = 12009;
constexpr DWORD ERROR_INTERNET_BAD_OPTION_LENGTH = 12010;
constexpr DWORD ERROR_INTERNET_LOGIN_FAILURE = 12015;
constexpr DWORD ERROR_INTERNET_OPERATION_CANCELLED = 12017;
constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_STATE = 12019;
constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr DWORD ERROR_INTERNET_FORCE_RETRY = 12032;
constexpr DWORD ERROR_INTERNET_SEC_CERT_DATE_INVALID = 12037;
constexpr DWORD ERROR_INTERNET_SEC_CERT_CN_INVALID = 12038;
constexpr DWORD ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR = 12040;
constexpr DWORD ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED = 12044;
constexpr DWORD ERROR_INTERNET_INVALID_CA = 12045;
constexpr DWORD ERROR_HTTP_HEADER_NOT_FOUND = 12150;
constexpr DWORD ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr DWORD ERROR_HTTP_INVALID_HEADER = 12153;
constexpr DWORD ERROR_HTTP_INVALID_QUERY_REQUEST = 12154;
constexpr DWORD ERROR_HTTP_REDIRECT_FAILED = 12156;
constexpr DWORD ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;
constexpr DWORD ERROR_HTTP_REDIRECT_NEEDS_CONFIRMATION = 12168;

/// Time-outs a new root handle starts with, in milliseconds; children copy
/// their parent's values when they are created.
constexpr DWORD DEFAULT_CONNECT_TIMEOUT_MS = 60000;
constexpr DWORD DEFAULT_SEND_TIMEOUT_MS = 30000;
constexpr DWORD DEFAULT_RECEIVE_TIMEOUT_MS = 30000;

/// One implementation of the layer. Every call reports failure through a nil
/// handle or a false result and leaves its code in the calling thread's last error.
struct InternetApi {
  HINTERNET (*InternetOpenA)(const char* lpszAgent, DWORD dwAccessType, const char* lpszProxy,
                             const char* lpszProxyBypass, DWORD dwFlags);
  INTERNET_STATUS_CALLBACK (*InternetSetStatusCallback)(HINTERNET hInternet,
                                                        INTERNET_STATUS_CALLBACK lpfnCallback);
  HINTERNET (*InternetConnectA)(HINTERNET hInternet, const char* lpszServerName,
                                INTERNET_PORT nServerPort, const char* lpszUserName,
                                const char* lpszPassword, DWORD dwService, DWORD dwFlags,
                                DWORD_PTR dwContext);
  HINTERNET (*HttpOpenRequestA)(HINTERNET hConnect, const char* lpszVerb,
                                const char* lpszObjectName, const char* lpszVersion,
                                const char* lpszReferrer, const char* const* lplpszAcceptTypes,
                                DWORD dwFlags, DWORD_PTR dwContext);
  bool (*InternetSetOptionA)(HINTERNET hInternet, DWORD dwOption, const void* lpBuffer,
                             DWORD dwBufferLength);
  bool (*HttpSendRequestA)(HINTERNET hRequest, const char* lpszHeaders, DWORD dwHeadersLength,
                           const void* lpOptional, DWORD dwOptionalLength);
  bool (*HttpQueryInfoA)(HINTERNET hRequest, DWORD dwInfoLevel, void* lpBuffer,
                         DWORD* lpdwBufferLength, DWORD* lpdwIndex);
  bool (*InternetReadFile)(HINTERNET hFile, void* lpBuffer, DWORD dwNumberOfBytesToRead,
                           DWORD* lpdwNumberOfBytesRead);
  bool (*InternetCloseHandle)(HINTERNET hInternet);
  DWORD (*InternetErrorDlg)(HWND hWnd, HINTERNET hRequest, DWORD dwError, DWORD dwFlags,
                            void** lppvData);
};

/// The platform's own table, in use until another is installed: the libcurl
/// one on Linux, the real wininet.dll on Windows.
const InternetApi& defaultInternetApi();
/// The table backed by libcurl (Linux only).
const InternetApi& curlInternetApi();
/// Puts \p api in place of the table in use (nullptr restores the default
/// table) and returns the previous one. Meant for start-up and for tests.
const InternetApi* setInternetApi(const InternetApi* api);
/// The table in use.
const InternetApi& internetApi();

/// The calling thread's last error code.
DWORD GetLastError();
/// Sets the calling thread's last error code.
void SetLastError(DWORD dwErrCode);

/// The owner window for dialogs that belong to no window of ours.
HWND GetDesktopWindow();

/// Shows the error dialog for \p dwError and returns ERROR_SUCCESS (go on),
/// ERROR_CANCELLED or ERROR_INTERNET_FORCE_RETRY.
using ErrorDialogHandler =
    std::function<DWORD(HWND hWnd, HINTERNET hRequest, DWORD dwError, DWORD dwFlags)>;
/// Registers the dialog of the window layer (an empty function removes it).
/// Without one, InternetErrorDlg answers as a cancelled dialog.
void setErrorDialogHandler(ErrorDialogHandler handler);
/// Runs the registered dialog, or answers ERROR_CANCELLED when there is none.
DWORD runErrorDialog(HWND hWnd, HINTERNET hRequest, DWORD dwError, DWORD dwFlags);

// The calls, each forwarded to the table in use.
HINTERNET InternetOpenA(const char* lpszAgent, DWORD dwAccessType, const char* lpszProxy,
                        const char* lpszProxyBypass, DWORD dwFlags);
INTERNET_STATUS_CALLBACK InternetSetStatusCallback(HINTERNET hInternet,
                                                   INTERNET_STATUS_CALLBACK lpfnCallback);
HINTERNET InternetConnectA(HINTERNET hInternet, const char* lpszServerName,
                           INTERNET_PORT nServerPort, const char* lpszUserName,
                           const char* lpszPassword, DWORD dwService, DWORD dwFlags,
                           DWORD_PTR dwContext);
HINTERNET HttpOpenRequestA(HINTERNET hConnect, const char* lpszVerb, const char* lpszObjectName,
                           const char* lpszVersion, const char* lpszReferrer,
                           const char* const* lplpszAcceptTypes, DWORD dwFlags,
                           DWORD_PTR dwContext);
bool InternetSetOptionA(HINTERNET hInternet, DWORD dwOption, const void* lpBuffer,
                        DWORD dwBufferLength);
bool HttpSendRequestA(HINTERNET hRequest, const char* lpszHeaders, DWORD dwHeadersLength,
                      const void* lpOptional, DWORD dwOptionalLength);
bool HttpQueryInfoA(HINTERNET hRequest, DWORD dwInfoLevel, void* lpBuffer,
                    DWORD* lpdwBufferLength, DWORD* lpdwIndex);
bool InternetReadFile(HINTERNET hFile, void* lpBuffer, DWORD dwNumberOfBytesToRead,
                      DWORD* lpdwNumberOfBytesRead);
bool InternetCloseHandle(HINTERNET hInternet);
DWORD InternetErrorDlg(HWND hWnd, HINTERNET hRequest, DWORD dwError, DWORD dwFlags,
                       void** lppvData);

} // namespace quorvel::wininet
