// The requests a client can post to the gateway, read from a decoded form.
#pragma once

#include <string>
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

/// Reads the request body (the raw form, CR LF at its end allowed). Errors
/// that leave no usable credentials (a malformed body, a repeated field, a
/// missing login or password) come back as RequestError directly.
std::variant<RequestError, ParsedRequest> parseRequest(const std::string& body);

/// True when \p recipient holds at least one decimal digit.
bool holdsDigit(const std::string& recipient);

} // namespace quorvel::gateway
