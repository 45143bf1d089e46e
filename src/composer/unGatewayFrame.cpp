// What every gateway request shares: the URL, the form body, the log text and
// the payload of an answer.
#include "composer/unGatewayFrame.h"

#include "util/kaUrl.h"
#include "util/unStrings.h"

namespace quorvel {

namespace {
const std::string crlf = "\r\n";
} // namespace

std::string gatewayUrl(const std::string& serverURL) { return serverURL + "/kavri"; }

std::string gatewayBody(const TGatewaySettings& settings, const std::string& actionFields) {
  std::string body;
  const std::string login = UrlEncode(settings.userName, true);
  const std::string password = UrlEncode(settings.password, true);
  body.reserve(actionFields.size() + login.size() + password.size() + 24);
  body.append("login=").append(login);
  body.append("&password=").append(password);
  body.append("&").append(actionFields).append(crlf);
  return body;
}

std::string requestLogText(const std::string& timestamp, const std::string& url,
                           const std::string& body) {
  return timestamp + crlf + "[REQUEST (" + url + ")]" + crlf + body;
}

std::string responseLogText(const std::string& answer) { return "[RESPONSE]" + crlf + answer; }

std::string parseData(const std::string& s) {
  // Drops the text up to and including the first "Data>" (without one, the
  // first four bytes, as a search result of 0 gives), then keeps what comes
  // before "</Data".
  const std::size_t open = s.find("Data>");
  const int cut = open == std::string::npos ? 4 : static_cast<int>(open) + 5;
  const std::string rest = chopfront(s, cut);
  const std::size_t close = rest.find("</Data");
  if (close == std::string::npos)
    return {};
  return fromXmlReady(leftstr(rest, static_cast<int>(close)));
}

} // namespace quorvel
