// One gateway request through a fresh HTTP client.
#include "composer/unGatewayRequest.h"

#include "http/unHTTPClient.h"
#include "util/unDate.h"

#include <memory>

namespace quorvel {

int32_t clientTimeOutSeconds(const TGatewayClientOptions& options) {
  return options.timeOutSeconds > 0 ? options.timeOutSeconds : TkaHTTPClient().downloadTimeOut;
}

int httpStatusOf(const std::vector<std::string>& responseHeaders) {
  if (responseHeaders.empty())
    return 0;
  const std::string& line = responseHeaders.front();
  if (line.rfind("HTTP/", 0) != 0)
    return 0;
  const std::size_t blank = line.find(' ');
  if (blank == std::string::npos || blank + 4 > line.size())
    return 0;
  int code = 0;
  for (std::size_t i = blank + 1; i < blank + 4; ++i) {
    if (line[i] < '0' || line[i] > '9')
      return 0;
    code = code * 10 + (line[i] - '0');
  }
  return code;
}

TGatewayRequest::TGatewayRequest(const TGatewaySettings& settings, const std::string& actionFields)
    : url_(gatewayUrl(settings.serverURL)), body_(gatewayBody(settings, actionFields)) {}

std::string TGatewayRequest::requestLog() const { return requestLogText(nowstr(), url_, body_); }

void TGatewayRequest::post(const TGatewayClientOptions& options) {
  auto client = std::make_unique<TkaHTTPClient>();
  if (options.timeOutSeconds > 0)
    client->downloadTimeOut = options.timeOutSeconds;
  client->popforcert = options.errorDialogs;
  // Every request carries the password: the gateway's certificate is checked.
  // A problem with it is put to the user through the error dialog (when the
  // request may show one), and accepted for that one request only.
  client->acceptinvalidca = false;
  client->acceptinvalidcacn = false;
  client->acceptinvalidcadate = false;
  response = client->postData(url_, body_);
  errormessage = client->errormessage;
  httpStatus = httpStatusOf(client->AResponseHeaders);
  statusLine = client->AResponseHeaders.empty() ? std::string() : client->AResponseHeaders.front();
  while (!statusLine.empty() && (statusLine.back() == '\r' || statusLine.back() == '\n'))
    statusLine.pop_back();
}

} // namespace quorvel
