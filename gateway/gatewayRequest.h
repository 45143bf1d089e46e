// The requests a client can post to the gateway, read from a decoded form.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quorvel::gateway {

/// A request the gateway cannot act on; \c message explains why (it is sent
/// back after "ERROR: ").
struct RequestError {
  std::string message;
};

/// action=getCredits: the balance of the signed-in account.
struct CreditQuery {};

/// One message of a send batch: a recipient as the client gave it and the text.
struct SendItem {
  std::string recipient;
  std::string text;
};

/// action=sendMessages: messages in the order of their indices.
struct SendRequest {
  std::vector<SendItem> items;
};

/// action=registerGUI: the sign-in form of the login page was submitted.
struct AccountPageRequest {};

using Action = std::variant<RequestError, CreditQuery, SendRequest, AccountPageRequest>;

/// A request whose credentials could be read. The action is judged only after
/// the credentials were checked, so that a stranger learns nothing about it.
struct ParsedRequest {
  std::string login;
  std::string password;
  Action action;
};

/// What a request body yields: an error that leaves no usable credentials
/// (a malformed body, a repeated field, a missing login or password) or the
/// request, whose action may still be a RequestError.
using ReadRequest = std::variant<RequestError, ParsedRequest>;

/// Reads a request body that arrives in pieces, decoding each piece as it
/// comes, so that a large batch is never held twice: what is kept are the
/// decoded fields the request needs. Fields it does not know are only
/// checked for repetition (and refused beyond kMaxUnknownFields names).
class RequestReader {
public:
  RequestReader();
  ~RequestReader();
  RequestReader(const RequestReader&) = delete;
  RequestReader& operator=(const RequestReader&) = delete;

  /// Takes the next piece of the body (the raw form, CR LF at its end allowed).
  void feed(std::string_view piece);
  /// The request in everything fed; call once, at the end of the body.
  ReadRequest finish();

private:
  struct State;
  std::unique_ptr<State> state_;
};

/// How many distinct field names a request may hold besides those it uses.
inline constexpr std::size_t kMaxUnknownFields = 100;

/// Reads a whole request body at once, as RequestReader does.
ReadRequest parseRequest(const std::string& body);

/// True when \p recipient holds at least one decimal digit.
bool holdsDigit(const std::string& recipient);

} // namespace quorvel::gateway
