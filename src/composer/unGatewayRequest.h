// One gateway request: its URL and body, its log text, and the exchange
// through a fresh HTTP client. No toolkit here.
#pragma once

#include "composer/unGatewayFrame.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

/// How the client of one request is set up.
struct TGatewayClientOptions {
  /// Send and receive time-out in seconds; 0 keeps the client's default.
  int32_t timeOutSeconds = 0;
  /// Whether the transport may show its error dialog (which asks about a
  /// certificate problem). Off for quiet requests and for those that run
  /// away from the window's thread: they must never show a window, and a
  /// certificate problem simply fails them.
  bool errorDialogs = true;
};

/// The send and receive time-out, in seconds, of a client set up by \p options.
int32_t clientTimeOutSeconds(const TGatewayClientOptions& options);

/// The HTTP status code in the first of \p responseHeaders ("HTTP/1.1 413
/// ..." gives 413); 0 when there is no status line.
int httpStatusOf(const std::vector<std::string>& responseHeaders);

/// One POST to the gateway with the given action fields.
class TGatewayRequest {
public:
  TGatewayRequest(const TGatewaySettings& settings, const std::string& actionFields);

  const std::string& url() const { return url_; }
  const std::string& body() const { return body_; }
  /// The request part of the log, stamped with the current local time.
  std::string requestLog() const;

  /// Posts the body through a client of its own, created and destroyed
  /// here, which checks the server's certificate. A malformed port or
  /// Content-Length raises EConvertError.
  void post(const TGatewayClientOptions& options = {});

  /// The response body ("" when nothing came back).
  std::string response;
  /// The client's error text; empty when the exchange went well.
  std::string errormessage;
  /// The response's HTTP status code; 0 when none was read.
  int httpStatus = 0;
  /// The response's status line ("" when none was read).
  std::string statusLine;

private:
  std::string url_;
  std::string body_;
};

} // namespace quorvel
