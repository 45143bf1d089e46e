// The requests a client can post to the gateway, read from a form body as it arrives.
#include "gateway/gatewayRequest.h"

#include "gateway/gatewayForm.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
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
  explicit State(std::unique_ptr<SignInCheck> c) : check(std::move(c)) {}

  std::unique_ptr<SignInCheck> check;
  FormReader form{[this](const std::string& name, const std::string& value) { field(name, value); }};

  std::optional<std::string> login, password, action, t, messageCount;
  std::optional<size_t> count;           // messageCount, once it came as a number
  std::optional<RequestError> failure;   // the first rule the body broke
  bool credentialsRead = false;
  bool pending = false;                  // credentials read, the check not yet run
  bool refused = false;                  // the check refused the credentials
  size_t bytesBeforeSignIn = 0;
  size_t bytesFed = 0;
  std::set<std::string> unknown;

  // What arrived after the credentials while their check is pending: the
  // fields decoded with them and the rest of the piece, at most one piece.
  std::vector<std::pair<std::string, std::string>> heldFields;
  std::string heldBytes;

  // Messages by index, in the order the clients send them.
  std::vector<SendItem> items;
  std::vector<std::uint8_t> present;
  size_t recipientFields = 0;  // every field with the prefix, also without a usable index
  size_t textFields = 0;

  bool draining() const { return failure || refused; }

  // Ends the keeping of fields: what was kept goes, the rest of the body is only drained.
  void fail(RequestError error) {
    failure = std::move(error);
    items = {};
    present = {};
    unknown = {};
  }

  void feed(std::string_view piece) {
    if (pending) signIn();
    bytesFed += piece.size();
    read(piece);
  }

  void read(std::string_view piece) {
    while (!piece.empty() && !draining() && form.good()) {
      if (credentialsRead) return form.feed(piece);
      const size_t room = kMaxBytesBeforeSignIn - bytesBeforeSignIn;
      if (room == 0) return fail(credentialsFirst());
      const std::string_view part = piece.substr(0, std::min(room, piece.size()));
      bytesBeforeSignIn += part.size();
      form.feed(part);
      piece.remove_prefix(part.size());
      if (pending) {
        heldBytes.assign(piece);
        return;
      }
    }
  }

  static RequestError credentialsFirst() {
    return RequestError{"the login and the password must come first in the request, within its first " +
                        std::to_string(kMaxBytesBeforeSignIn) + " bytes and before the messages"};
  }

  void field(const std::string& name, const std::string& value) {
    if (pending) {
      heldFields.emplace_back(name, value);
      return;
    }
    if (draining()) return;
    if (auto* slot = namedSlot(name)) {
      if (*slot) return fail(repeatedField(name));
      *slot = value;
      if (slot == &messageCount) count = parseCount(value);
      if (!credentialsRead && login && password) {
        if (check) pending = true;
        else credentialsRead = true;
      }
    } else if (name.starts_with(kRecipientPrefix)) {
      ++recipientFields;
      messagePart(name, kRecipientPrefix.size(), kRecipient, value);
    } else if (name.starts_with(kTextPrefix)) {
      ++textFields;
      messagePart(name, kTextPrefix.size(), kText, value);
    } else if (unknown.contains(name)) {
      fail(repeatedField(name));
    } else if (unknown.size() >= kMaxUnknownFields) {
      fail(RequestError{"the request holds more than " + std::to_string(kMaxUnknownFields) + " unknown fields"});
    } else {
      unknown.insert(name);
    }
  }

  static RequestError repeatedField(const std::string& name) {
    return RequestError{"the field \"" + name + "\" appears more than once"};
  }

  void signIn() {
    if (pending) signedIn(check->signIn(*login, *password));
  }

  bool signInAtOnce() {
    if (!pending) return true;
    const std::optional<bool> verdict = check->signInAtOnce(*login, *password);
    if (verdict) signedIn(*verdict);
    return verdict.has_value();
  }

  void signedIn(bool accepted) {
    pending = false;
    credentialsRead = true;
    auto fields = std::move(heldFields);
    const std::string bytes = std::move(heldBytes);
    heldFields = {};
    heldBytes = {};
    if (!accepted) {
      refused = true;
      unknown = {};
      return;
    }
    for (const auto& [name, value] : fields) field(name, value);
    read(bytes);
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
    if (!credentialsRead) return fail(credentialsFirst());
    const auto index = parseIndex(std::string_view(name).substr(prefix));
    if (!index) return;  // counted, and so refused by the count check
    if (count && *index >= *count)
      return fail(RequestError{"the field \"" + name + "\" lies beyond messageCount " + *messageCount});
    // A gap would make the reader hold messages aside until it closes; the
    // clients never leave one.
    if (*index > items.size())
      return fail(RequestError{"the field \"" + name + "\" comes before message " + std::to_string(items.size()) +
                               ": the messages must come in the order of their indices"});
    if (*index == items.size()) {
      items.emplace_back();
      present.push_back(0);
    }
    if (present[*index] & part) return fail(repeatedField(name));
    present[*index] |= part;
    (part == kRecipient ? items[*index].recipient : items[*index].text) = value;
  }

  Action readSend() {
    if (!messageCount) return missing("messageCount");
    if (!count) return RequestError{"messageCount \"" + *messageCount + "\" is not a number"};
    if (*count == 0) return RequestError{"messageCount must be at least 1"};

    // Every index below the count needs both fields, and no field may lie
    // outside it: a batch whose parts disagree is refused whole.
    const std::string counted = "messageCount is " + *messageCount + " but the request holds ";
    if (recipientFields > *count) return RequestError{counted + std::to_string(recipientFields) + " recipient fields"};
    if (textFields > *count) return RequestError{counted + std::to_string(textFields) + " message fields"};
    // The fields present have no gap, so this ends at the first index beyond
    // them, early for a huge count and a small body.
    for (size_t i = 0; i < *count; ++i) {
      const std::uint8_t bits = i < present.size() ? present[i] : 0;
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
    signIn();
    const bool wellFormed = draining() || form.finish();
    signIn();  // the credentials may have come with the last field
    if (!wellFormed) return RequestError{"malformed form body: a \"%\" is not followed by two hexadecimal digits"};
    // The check's owner answers a refusal; this text only stands in for it.
    if (refused) return RequestError{"the sign-in was refused"};
    if (failure) return std::move(*failure);
    if (!login) return missing("login");
    if (!password) return missing("password");
    Action what = readAction();
    return ParsedRequest{std::move(*login), std::move(*password), std::move(what)};
  }
};

RequestReader::RequestReader(std::unique_ptr<SignInCheck> check)
    : state_(std::make_unique<State>(std::move(check))) {}

RequestReader::~RequestReader() = default;

void RequestReader::feed(std::string_view piece) { state_->feed(piece); }

ReadRequest RequestReader::finish() { return state_->finish(); }

bool RequestReader::signInPending() const { return state_->pending; }

void RequestReader::signIn() { state_->signIn(); }

bool RequestReader::signInAtOnce() { return state_->signInAtOnce(); }

const std::optional<std::string>& RequestReader::action() const { return state_->action; }

std::size_t RequestReader::bytesFed() const { return state_->bytesFed; }

SignInCheck* RequestReader::signInCheck() const { return state_->check.get(); }

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
