// The requests a client can post to the gateway, read from a decoded form.
#include "gateway/gatewayRequest.h"

#include "gateway/gatewayForm.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>

namespace quorvel::gateway {

namespace {

using Fields = std::map<std::string, std::string>;

const std::string kRecipientPrefix = "recepient";
const std::string kTextPrefix = "messageData";

RequestError missing(const std::string& name) {
  return RequestError{"the field \"" + name + "\" is missing"};
}

const std::string* find(const Fields& fields, const std::string& name) {
  auto it = fields.find(name);
  return it == fields.end() ? nullptr : &it->second;
}

size_t countWithPrefix(const Fields& fields, const std::string& prefix) {
  size_t n = 0;
  for (auto it = fields.lower_bound(prefix); it != fields.end() && it->first.starts_with(prefix); ++it)
    ++n;
  return n;
}

std::optional<size_t> parseCount(const std::string& text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  size_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

Action readSend(const Fields& fields) {
  const std::string* countText = find(fields, "messageCount");
  if (!countText) return missing("messageCount");
  const auto count = parseCount(*countText);
  if (!count) return RequestError{"messageCount \"" + *countText + "\" is not a number"};
  if (*count == 0) return RequestError{"messageCount must be at least 1"};

  // Every index below the count needs both fields, and no field may lie
  // outside it: a batch whose parts disagree is refused whole.
  const size_t recipients = countWithPrefix(fields, kRecipientPrefix);
  const size_t texts = countWithPrefix(fields, kTextPrefix);
  const std::string counted = "messageCount is " + *countText + " but the request holds ";
  if (recipients > *count) return RequestError{counted + std::to_string(recipients) + " recipient fields"};
  if (texts > *count) return RequestError{counted + std::to_string(texts) + " message fields"};

  // The count is the client's word: memory is reserved only for the items
  // the body really holds. The loop below ends at the first missing index,
  // which lies at or below the number of recipient fields.
  SendRequest send;
  send.items.reserve(std::min(*count, recipients));
  for (size_t i = 0; i < *count; ++i) {
    const std::string index = std::to_string(i);
    const std::string* recipient = find(fields, kRecipientPrefix + index);
    if (!recipient) return missing(kRecipientPrefix + index);
    const std::string* text = find(fields, kTextPrefix + index);
    if (!text) return missing(kTextPrefix + index);
    send.items.push_back({*recipient, *text});
  }
  return send;
}

Action readAction(const Fields& fields) {
  const std::string* action = find(fields, "action");
  if (!action) return missing("action");
  if (*action == "getCredits") {
    if (!find(fields, "t")) return missing("t");
    return CreditQuery{};
  }
  if (*action == "sendMessages") return readSend(fields);
  if (*action == "registerGUI") return AccountPageRequest{};
  return RequestError{"unknown action \"" + *action + "\""};
}

} // namespace

bool holdsDigit(const std::string& recipient) {
  for (char c : recipient)
    if (c >= '0' && c <= '9') return true;
  return false;
}

std::variant<RequestError, ParsedRequest> parseRequest(const std::string& body) {
  auto form = parseForm(body);
  if (!form) return RequestError{"malformed form body: a \"%\" is not followed by two hexadecimal digits"};

  Fields fields;
  for (auto& [name, value] : *form) {
    if (!fields.emplace(name, value).second)
      return RequestError{"the field \"" + name + "\" appears more than once"};
  }
  const std::string* login = find(fields, "login");
  if (!login) return missing("login");
  const std::string* password = find(fields, "password");
  if (!password) return missing("password");
  return ParsedRequest{*login, *password, readAction(fields)};
}

} // namespace quorvel::gateway
