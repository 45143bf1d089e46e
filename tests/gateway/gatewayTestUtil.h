// What the gateway's clients look for in an answer, for the tests to check.
#pragma once

#include <string>

namespace quorvel::gateway::test {

/// The login page's marker that the sending client looks for.
inline const std::string kLoginMarker = "<input type=hidden name=\"action\" value=\"registerGUI\">";

/// The payload as the clients find it: after the first "Data>", up to the
/// following "</Data"; empty without one.
inline std::string payload(const std::string& answer) {
  const size_t open = answer.find("Data>");
  if (open == std::string::npos) return {};
  const std::string rest = answer.substr(open + 5);
  const size_t close = rest.find("</Data");
  return close == std::string::npos ? std::string() : rest.substr(0, close);
}

inline bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

/// How many times \p part occurs in \p text.
inline size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

} // namespace quorvel::gateway::test
