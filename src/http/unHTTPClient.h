// Blocking HTTP/HTTPS client over WinINet, with WinINet's error names and status lines.
#pragma once

#include "wininet/wininet.h"

#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace quorvel {

/// Receives one progress line.
using TprogressReport = std::function<void(const std::string& info)>;
/// Receives an error code and its text.
using TDownloadError = std::function<void(int32_t code, const std::string& message)>;
/// The WinINet status callback signature.
using TIsCallback = wininet::INTERNET_STATUS_CALLBACK;

/// The name of a WinINet error code (reduced to its low 16 bits), or "" for a
/// code without one.
std::string internetError(uint16_t errorcode);

/// The status callback every client registers on its root handles. The
/// context is the client; with its reportwininet set, each notification
/// becomes a progress line "[WININET] " + code + " " + text. Notifications
/// without a context are ignored.
void InternetStatusCallback(wininet::HINTERNET hInet, wininet::DWORD_PTR dwContext,
                            wininet::DWORD dwInternetStatus, void* lpvStatusInformation,
                            wininet::DWORD dwStatusInformationLength);

/// Performs one blocking HTTP or HTTPS request per call and hands back the
/// response body. Transport failures never raise: they are left in
/// errormessage, errorcode and the progress lines; a body that outgrows the
/// memory left is one of them ("ERROR_NOT_ENOUGH_MEMORY", 8, empty result).
/// Memory for the body follows the bytes that arrive, never the announced
/// length alone. Malformed numbers (a port or a Content-Length that is not
/// an integer) raise EConvertError.
/// One client serves one request at a time, on the caller's thread.
class TkaHTTPClient {
public:
  TkaHTTPClient();
  /// Closes the handles a reused connection kept open.
  virtual ~TkaHTTPClient();
  TkaHTTPClient(const TkaHTTPClient&) = delete;
  TkaHTTPClient& operator=(const TkaHTTPClient&) = delete;

  /// POSTs \p datastring with the Content-Type line of contentType (added to
  /// headers, where it stays) and returns the response body.
  virtual std::string postData(const std::string& url, const std::string& datastring);
  /// As postData, with the whole content of \p datastream as the body.
  virtual std::string postDataStream(const std::string& url, std::stringstream& datastream);
  /// GETs \p url and returns the response body.
  virtual std::string getData(const std::string& url);

private:
  wininet::HINTERNET hRequest = nullptr;
  std::string requrl;
  uint32_t handle = 0;

public:
  wininet::HINTERNET NetHandle = nullptr; ///< root handle
  wininet::HINTERNET hConnect = nullptr;  ///< connection handle
  bool lastok = false;                    ///< the last request was sent
  /// Request body: the client's own stream, or the caller's during postDataStream.
  std::stringstream* ARequestStream;
  /// Response body while a request runs; handed over (and so emptied) when
  /// the request operation returns it.
  std::stringstream AResponseStream;
  std::vector<std::string> AResponseHeaders; ///< raw response header lines
  std::vector<std::string> ARequestHeaders;  ///< raw request header lines as sent
  int32_t downloadTimeOut = 15;              ///< send and receive time-out, seconds
  /// Seconds one request may take in all, however slowly the server sends;
  /// 0: no limit. The time the user spends on a question does not count.
  int32_t totalTimeOut = 120;
  /// Bytes an answer may hold; a longer one is refused, unread.
  size_t maxResponseSize = size_t{64} << 20;
  TprogressReport onReport;
  TDownloadError onDownloadError; ///< called when the request handle cannot be opened
  bool reportwininet = false;     ///< pass status notifications on as progress lines
  bool popforcert = true;         ///< show the error dialog for send failures
  bool acceptinvalidca = true;
  bool acceptinvalidcacn = true;
  bool acceptinvalidcadate = true;
  bool reuseConnection = false;
  std::string contentType; ///< of POST bodies; empty: application/x-www-form-urlencoded
  std::string useragent = "Kavri HTTP Client";
  std::string username;
  std::string password;
  std::string httpcommand = "POST";
  std::string referer;
  std::string errormessage; ///< error text of the last request; empty when it went well
  std::string infomessage;  ///< the last progress line
  int32_t errorcode = 0;
  std::vector<std::string> headers; ///< extra request header lines ("Name: value")
  bool useClientCert = false;

private:
  struct SendState;
  friend void InternetStatusCallback(wininet::HINTERNET, wininet::DWORD_PTR, wininet::DWORD,
                                     void*, wininet::DWORD);

  void report(const std::string& info);
  void startRequest();
  void runRequest();
  void sendAndRead(const std::string& url, const std::string& object, bool secure);
  bool sendFailed(SendState& state);
  bool showErrorDialog(SendState& state, wininet::DWORD error);
  void giveUp(const SendState& state, wininet::DWORD error);
  void readResponse(const std::string& url);
  void headerQueryFailed();
  void readKnownLength(int32_t contentLength);
  void readOpenEnded();
  void countChunk(int32_t contentLength, bool withPercentage);
  void appendBody(const char* data, size_t count, int32_t contentLength);
  void closeHandles();
  void closeKeptHandles();
  void prepareRequest(const std::string& url, const char* command);
  std::string takeResponse();
  wininet::DWORD securityFlags() const;
  wininet::DWORD_PTR context() const { return reinterpret_cast<wininet::DWORD_PTR>(this); }

  std::stringstream FRequestStream; // the client's own request stream
  int64_t FTotal = 0;               // bytes read in the request in progress
  size_t FRoom = 0;                 // bytes the response stream holds room for
  int FProgress = 0;                // chunks since the last "Downloaded" line
};

} // namespace quorvel
