// What every gateway request shares: the URL, the form body, the log text and
// the payload of an answer. No toolkit and no network here.
#pragma once

#include <string>

namespace quorvel {

/// The three settings a gateway request reads, taken at the moment of use.
struct TGatewaySettings {
  std::string serverURL; ///< e.g. "http://127.0.0.1:9333"
  std::string userName;
  std::string password;
};

/// The setting's URL followed directly by "/kavri".
std::string gatewayUrl(const std::string& serverURL);

/// "login=" + encoded user name + "&password=" + encoded password + "&" +
/// \p actionFields + CR LF.
std::string gatewayBody(const TGatewaySettings& settings, const std::string& actionFields);

/// The request part of the log: \p timestamp, "[REQUEST (" + \p url + ")]"
/// and \p body, each ending in CR LF (the body brings its own).
std::string requestLogText(const std::string& timestamp, const std::string& url,
                           const std::string& body);

/// The response part appended to the log: "[RESPONSE]", CR LF, \p answer.
std::string responseLogText(const std::string& answer);

/// The payload of a gateway answer: the text between the first "Data>" and
/// the "</Data" after it, with the five XML entities decoded; "" without
/// "</Data".
std::string parseData(const std::string& s);

} // namespace quorvel
