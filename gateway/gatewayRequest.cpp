// The requests a client can post to the gateway, read from a form body as it arrives.
#include "gateway/gatewayRequest.h"

#include "gateway/gatewayForm.h"

#include <charconv>
#include <cstdint>
#include <map>
#include <optional>
#include <set>

namespace quorvel::gateway {

namespace {

const std::string kRecipientPrefix = "recepient";
const std::string kTextPrefix = "messageData";

enum Part : std::uint8_t { kRecipient = 1, kText = 2 };

RequestError missing(const std::string& name) {
  return RequestError{"the field \"" + name + "\" is missing"};
}

// A number of at most nine digits, as a count or an index is written.
std::optional<size_t> parseCount(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  size_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// The index after a field prefix, only in the form the clients write it
// ("0", "17", never "017" or "+1"); other spellings name no message.
std::optional<size_t> parseIndex(std::string_view text) {
  if (text.size() > 1 && text[0] == '0') return std::nullopt;
  if (!text.empty() && (text[0] < '0' || text[0] > '9')) return std::nullopt;
  return parseCount(text);
}

} // namespace

struct RequestReader::State {
  FormReader form{[this](const std::string& name, const std::string& value) { field(name, value); }};

  std::optional<std::string> login, password, action, t, messageCount;
  std::optional<std::string> repeated;  // the first field found twice
  bool tooManyUnknown = false;
  std::set<std::string> unknown;

  // Messages by index: those up to the first gap in order, the rest aside
  // until the gap closes (clients send them in order, so "ahead" stays empty).
  std::vector<SendItem> items;
  std::vector<std::uint8_t> present;
  std::map<size_t, std::pair<SendItem, std::uint8_t>> ahead;
  size_t recipientFields = 0;  // every field with the prefix, also without a usable index
  size_t textFields = 0;

  void field(const std::string& name, const std::string& value) {
    if (repeated || tooManyUnknown) return;
    if (auto* slot = namedSlot(name)) {
      if (*slot) repeated = name;
      else *slot = value;
    } else if (name.starts_with(kRecipientPrefix)) {
      ++recipientFields;
      messagePart(name, kRecipientPrefix.size(), kRecipient, value);
    } else if (name.starts_with(kTextPrefix)) {
      ++textFields;
      messagePart(name, kTextPrefix.size(), kText, value);
    } else if (!unknown.contains(name)) {
      if (unknown.size() >= kMaxUnknownFields) tooManyUnknown = true;
      else unknown.insert(name);
    } else {
      repeated = name;
    }
  }

  std::optional<std::string>* namedSlot(const std::string& name) {
    if (name == "login") return &login;
    if (name == "password") return &password;
    if (name == "action") return &action;
    if (name == "t") return &t;
    if (name == "messageCount") return &messageCount;
    return nullptr;
  }

  void messagePart(const std::string& name, size_t prefix, Part part, const std::string& value) {
    const auto index = parseIndex(std::string_view(name).substr(prefix));
    if (!index) return;  // counted, and so refused by the count check
    if (*index < items.size()) return set(items[*index], present[*index], part, name, value);
    if (*index == items.size()) {
      items.emplace_back();
      present.push_back(0);
      set(items.back(), present.back(), part, name, value);
      while (!ahead.empty() && ahead.begin()->first == items.size()) {
        auto node = ahead.extract(ahead.begin());
        items.push_back(std::move(node.mapped().first));
        present.push_back(node.mapped().second);
      }
      return;
    }
    auto& [item, bits] = ahead[*index];
    set(item, bits, part, name, value);
  }

  void set(SendItem& item, std::uint8_t& bits, Part part, const std::string& name, const std::string& value) {
    if (bits & part) {
      repeated = name;
      return;
    }
    bits |= part;
    (part == kRecipient ? item.recipient : item.text) = value;
  }

  std::uint8_t presence(size_t index) const {
    if (index < present.size()) return present[index];
    auto it = ahead.find(index);
    return it == ahead.end() ? 0 : it->second.second;
  }

  Action readSend() {
    if (!messageCount) return missing("messageCount");
    const auto count = parseCount(*messageCount);
    if (!count) return RequestError{"messageCount \"" + *messageCount + "\" is not a number"};
    if (*count == 0) return RequestError{"messageCount must be at least 1"};

    // Every index below the count needs both fields, and no field may lie
    // outside it: a batch whose parts disagree is refused whole.
    const std::string counted = "messageCount is " + *messageCount + " but the request holds ";
    if (recipientFields > *count) return RequestError{counted + std::to_string(recipientFields) + " recipient fields"};
    if (textFields > *count) return RequestError{counted + std::to_string(textFields) + " message fields"};
    // With no more fields than the count, a gap shows up within the fields
    // present, so this ends early for a huge count and a small body.
    for (size_t i = 0; i < *count; ++i) {
      const std::uint8_t bits = presence(i);
      if (!(bits & kRecipient)) return missing(kRecipientPrefix + std::to_string(i));
      if (!(bits & kText)) return missing(kTextPrefix + std::to_string(i));
    }
    present = {};
    return SendRequest{std::move(items)};
  }

  Action readAction() {
    if (!action) return missing("action");
    if (*action == "getCredits") {
      if (!t) return missing("t");
      return CreditQuery{};
    }
    if (*action == "sendMessages") return readSend();
    if (*action == "registerGUI") return AccountPageRequest{};
    return RequestError{"unknown action \"" + *action + "\""};
  }

  ReadRequest finish() {
    if (!form.finish()) return RequestError{"malformed form body: a \"%\" is not followed by two hexadecimal digits"};
    if (repeated) return RequestError{"the field \"" + *repeated + "\" appears more than once"};
    if (tooManyUnknown)
      return RequestError{"the request holds more than " + std::to_string(kMaxUnknownFields) + " unknown fields"};
    if (!login) return missing("login");
    if (!password) return missing("password");
    Action what = readAction();
    return ParsedRequest{std::move(*login), std::move(*password), std::move(what)};
  }
};

RequestReader::RequestReader() : state_(std::make_unique<State>()) {}

RequestReader::~RequestReader() = default;

void RequestReader::feed(std::string_view piece) { state_->form.feed(piece); }

ReadRequest RequestReader::finish() { return state_->finish(); }

bool holdsDigit(const std::string& recipient) {
  for (char c : recipient)
    if (c >= '0' && c <= '9') return true;
  return false;
}

ReadRequest parseRequest(const std::string& body) {
  RequestReader reader;
  reader.feed(body);
  return reader.finish();
}

} // namespace quorvel::gateway
