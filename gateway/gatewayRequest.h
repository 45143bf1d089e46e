// The requests a client can post to the gateway, read from a decoded form.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
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

/// Decides on a request's credentials while its body is still arriving.
class SignInCheck {
public:
  virtual ~SignInCheck() = default;
  /// Called once, as soon as both login and password were read; false
  /// refuses them, and the reader keeps nothing more of the body.
  virtual bool signIn(const std::string& login, const std::string& password) = 0;
  /// The verdict when it can be given at once, without waiting or hashing
  /// (a password verified a moment ago); nothing otherwise.
  virtual std::optional<bool> signInAtOnce(const std::string&, const std::string&) { return std::nullopt; }
};

/// How many bytes of a body may come before its login and password are both
/// read. The clients send them first; the login page's form puts its one
/// hidden field before them. A stranger's body costs no more than this.
inline constexpr std::size_t kMaxBytesBeforeSignIn = 4096;

/// Reads a request body that arrives in pieces, decoding each piece as it
/// comes, so that a large batch is never held twice: what is kept are the
/// decoded fields the request needs. Fields it does not know are only
/// checked for repetition (and refused beyond kMaxUnknownFields names).
///
/// Login and password must come within the first kMaxBytesBeforeSignIn
/// bytes and before any message field; once both are read, the check (if
/// any) decides whether the rest is kept at all. Messages must come in the
/// order of their indices, each below messageCount when that came first. A
/// body that breaks a rule is refused as the rule breaks: from then on the
/// reader only drains what follows.
class RequestReader {
public:
  explicit RequestReader(std::unique_ptr<SignInCheck> check = nullptr);
  ~RequestReader();
  RequestReader(const RequestReader&) = delete;
  RequestReader& operator=(const RequestReader&) = delete;

  /// Takes the next piece of the body (the raw form, CR LF at its end allowed).
  /// When the credentials complete within the piece, the check is not run
  /// here (it may block for a while): signInPending() turns true and the
  /// rest of the piece is held, unread, until signIn() runs it. A feed() or
  /// finish() while it is pending runs the check first.
  void feed(std::string_view piece);
  /// True from the moment login and password were read until the check ran.
  bool signInPending() const;
  /// Runs the pending check, then reads what was held back for it.
  void signIn();
  /// As signIn() when the check can decide at once; false, with the check
  /// still pending, when it cannot.
  bool signInAtOnce();
  /// The action field as read so far; nothing before it came.
  const std::optional<std::string>& action() const;
  /// The request in everything fed; call once, at the end of the body.
  ReadRequest finish();
  /// How many bytes were fed, also those only drained.
  std::size_t bytesFed() const;
  /// The check given at construction; null without one.
  SignInCheck* signInCheck() const;

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
