// Forwards the WinINet calls to the table in use; last error and error-dialog registry.
#include "wininet/wininet.h"

#include <atomic>
#include <mutex>

namespace quorvel::wininet {

namespace {

std::atomic<const InternetApi*> installedApi{nullptr};
thread_local DWORD lastError = ERROR_SUCCESS;

std::mutex dialogMutex;
ErrorDialogHandler& dialogHandler() {
  static ErrorDialogHandler handler;
  return handler;
}

} // namespace

const InternetApi* setInternetApi(const InternetApi* api) {
  const InternetApi* previous = installedApi.exchange(api);
  return previous ? previous : &defaultInternetApi();
}

const InternetApi& internetApi() {
  const InternetApi* api = installedApi.load();
  return api ? *api : defaultInternetApi();
}

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }

HWND GetDesktopWindow() { return nullptr; }

void setErrorDialogHandler(ErrorDialogHandler handler) {
  std::lock_guard lock(dialogMutex);
  dialogHandler() = std::move(handler);
}

DWORD runErrorDialog(HWND hWnd, HINTERNET hRequest, DWORD dwError, DWORD dwFlags) {
  ErrorDialogHandler handler;
  {
    std::lock_guard lock(dialogMutex);
    handler = dialogHandler();
  }
  // The dialog may run for as long as the user likes; it runs unlocked.
  return handler ? handler(hWnd, hRequest, dwError, dwFlags) : ERROR_CANCELLED;
}

HINTERNET InternetOpenA(const char* lpszAgent, DWORD dwAccessType, const char* lpszProxy,
                        const char* lpszProxyBypass, DWORD dwFlags) {
  return internetApi().InternetOpenA(lpszAgent, dwAccessType, lpszProxy, lpszProxyBypass,
                                     dwFlags);
}

INTERNET_STATUS_CALLBACK InternetSetStatusCallback(HINTERNET hInternet,
                                                   INTERNET_STATUS_CALLBACK lpfnCallback) {
  return internetApi().InternetSetStatusCallback(hInternet, lpfnCallback);
}

HINTERNET InternetConnectA(HINTERNET hInternet, const char* lpszServerName,
                           INTERNET_PORT nServerPort, const char* lpszUserName,
                           const char* lpszPassword, DWORD dwService, DWORD dwFlags,
                           DWORD_PTR dwContext) {
  return internetApi().InternetConnectA(hInternet, lpszServerName, nServerPort, lpszUserName,
                                        lpszPassword, dwService, dwFlags, dwContext);
}

HINTERNET HttpOpenRequestA(HINTERNET hConnect, const char* lpszVerb, const char* lpszObjectName,
                           const char* lpszVersion, const char* lpszReferrer,
                           const char* const* lplpszAcceptTypes, DWORD dwFlags,
                           DWORD_PTR dwContext) {
  return internetApi().HttpOpenRequestA(hConnect, lpszVerb, lpszObjectName, lpszVersion,
                                        lpszReferrer, lplpszAcceptTypes, dwFlags, dwContext);
}

bool InternetSetOptionA(HINTERNET hInternet, DWORD dwOption, const void* lpBuffer,
                        DWORD dwBufferLength) {
  return internetApi().InternetSetOptionA(hInternet, dwOption, lpBuffer, dwBufferLength);
}

bool HttpSendRequestA(HINTERNET hRequest, const char* lpszHeaders, DWORD dwHeadersLength,
                      const void* lpOptional, DWORD dwOptionalLength) {
  return internetApi().HttpSendRequestA(hRequest, lpszHeaders, dwHeadersLength, lpOptional,
                                        dwOptionalLength);
}

bool HttpQueryInfoA(HINTERNET hRequest, DWORD dwInfoLevel, void* lpBuffer,
                    DWORD* lpdwBufferLength, DWORD* lpdwIndex) {
  return internetApi().HttpQueryInfoA(hRequest, dwInfoLevel, lpBuffer, lpdwBufferLength,
                                      lpdwIndex);
}

bool InternetReadFile(HINTERNET hFile, void* lpBuffer, DWORD dwNumberOfBytesToRead,
                      DWORD* lpdwNumberOfBytesRead) {
  return internetApi().InternetReadFile(hFile, lpBuffer, dwNumberOfBytesToRead,
                                        lpdwNumberOfBytesRead);
}

bool InternetCloseHandle(HINTERNET hInternet) {
  return internetApi().InternetCloseHandle(hInternet);
}

DWORD InternetErrorDlg(HWND hWnd, HINTERNET hRequest, DWORD dwError, DWORD dwFlags,
                       void** lppvData) {
  return internetApi().InternetErrorDlg(hWnd, hRequest, dwError, dwFlags, lppvData);
}

} // namespace quorvel::wininet
