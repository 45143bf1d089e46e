// Answers gateway requests: checks the credentials, then carries out the action on the store.
#include "gateway/gatewayService.h"

#include "gateway/gatewayCharset.h"
#include "util/unSMSParts.h"
#include "gateway/gatewayMemory.h"

#include <openssl/evp.h>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/params.h>
#include <openssl/rand.h>

#include <mutex>
#include <new>
#include <stdexcept>
#include <variant>

namespace quorvel::gateway {

namespace {

// Requests this large give their memory back to the system when answered.
constexpr size_t kReleaseAfterBytes = size_t{1} << 20;

// Bounds the memory a stream of distinct sign-ins can take.
constexpr size_t kMaxVerified = 10000;

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
// Compilers without aggregate deduction (clang before 17) need the guide.
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

// Runs \p act; what it throws becomes an answer (of the type \p act returns).
template <class Act>
auto guarded(Act act) noexcept -> decltype(act()) {
  try {
    return act();
  } catch (const std::bad_alloc&) {
    return errorAnswer("the gateway ran out of memory, nothing was sent", 500);
  } catch (const std::exception& e) {
    return errorAnswer(std::string("the gateway's store failed, nothing was sent: ") + e.what(), 500);
  } catch (...) {
    return errorAnswer("the gateway failed, nothing was sent", 500);
  }
}

} // namespace

struct VerifiedPasswords::Keyed {
  EVP_MAC* mac = nullptr;
  EVP_MAC_CTX* ctx = nullptr;  // keyed, never used itself: only copied
  ~Keyed() {
    EVP_MAC_CTX_free(ctx);
    EVP_MAC_free(mac);
  }
};

VerifiedPasswords::VerifiedPasswords() : keyed_(std::make_unique<Keyed>()) {
  std::array<unsigned char, 32> key{};
  if (RAND_bytes(key.data(), static_cast<int>(key.size())) != 1)
    throw std::runtime_error("no random numbers available");
  char digestName[] = "SHA256";
  const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digestName, 0),
                               OSSL_PARAM_construct_end()};
  keyed_->mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
  keyed_->ctx = keyed_->mac ? EVP_MAC_CTX_new(keyed_->mac) : nullptr;
  if (!keyed_->ctx || EVP_MAC_init(keyed_->ctx, key.data(), key.size(), params) != 1)
    throw std::runtime_error("HMAC-SHA256 is not available");
  OPENSSL_cleanse(key.data(), key.size());
}

VerifiedPasswords::~VerifiedPasswords() = default;

VerifiedPasswords::Digest VerifiedPasswords::digest(const std::string& password) const {
  Digest d{};
  std::unique_ptr<EVP_MAC_CTX, void (*)(EVP_MAC_CTX*)> ctx(EVP_MAC_CTX_dup(keyed_->ctx), EVP_MAC_CTX_free);
  size_t size = 0;
  if (!ctx || EVP_MAC_update(ctx.get(), reinterpret_cast<const unsigned char*>(password.data()), password.size()) != 1 ||
      EVP_MAC_final(ctx.get(), d.data(), &size, d.size()) != 1)
    throw std::bad_alloc();
  return d;
}

bool VerifiedPasswords::contains(const std::string& storedHash, const std::string& password) {
  const Digest d = digest(password);
  std::lock_guard lock(mutex_);
  auto it = entries_.find(storedHash);
  return it != entries_.end() && it->second == d;
}

void VerifiedPasswords::add(const std::string& storedHash, const std::string& password) {
  const Digest d = digest(password);
  std::lock_guard lock(mutex_);
  if (entries_.size() >= kMaxVerified) entries_.clear();
  entries_[storedHash] = d;
}

GatewayService::GatewayService(GatewayStore& store, HashCost cost, std::size_t maxParts)
    : GatewayService(store, cost, SignInOptions{}, maxParts) {}

GatewayService::GatewayService(GatewayStore& store, HashCost cost, SignInOptions signIn, std::size_t maxParts)
    : store_(store),
      cost_(cost),
      maxParts_(maxParts),
      options_(std::move(signIn)),
      throttle_(options_.throttle),
      slots_(options_.hashSlots, options_.hashWait, options_.hashQueue) {}

GatewayService::~GatewayService() = default;

SignInClock::time_point GatewayService::now() const { return options_.clock ? options_.clock() : SignInClock::now(); }

void GatewayService::log(const std::string& event, const std::string& login, const ClientInfo& client,
                         const std::string& more) {
  if (!options_.log) return;
  const std::string line = logTime(now()) + " " + event + ": login " + logQuoted(login) + " from " +
                           (client.address.empty() ? "an unknown address" : client.address) + more;
  std::lock_guard lock(logMutex_);
  options_.log(line);
}

// One slow hash for every check, whether the login exists or not.
GatewayService::Check GatewayService::hashCheck(std::optional<Account>& account, const std::string& password) {
  bool right = false;
  const bool ran = slots_.run([&] {
    if (!account) {
      std::call_once(dummyMade_, [&] { dummyHash_ = hashPassword("no account has this password", cost_); });
      (void)verifyPassword(password, dummyHash_);
      return;
    }
    right = verifyPassword(password, account->passwordHash);
    if (right && needsRehash(account->passwordHash, cost_)) {
      try {
        const std::string renewed = hashPassword(password, cost_);
        if (store_.setPasswordHash(account->id, renewed)) account->passwordHash = renewed;
      } catch (const std::exception&) {
        // The old hash still works; try again at the next sign-in.
      }
    }
  });
  if (!ran) return Check::Busy;
  return right ? Check::Right : Check::Wrong;
}

Answer GatewayService::lockedOut(const std::string& login, const ClientInfo& client) {
  const auto locked = throttle_.lockedFor(client.address, login, now()).value_or(std::chrono::seconds{1});
  if (throttle_.firstRefusal(client.address, login)) log("sign-in refused (too many failures)", login, client);
  return errorAnswer("too many failed sign-ins for this login from your address: try again in " +
                         std::to_string(locked.count()) + " s",
                     429);
}

Answer GatewayService::busy(const std::string& login, const ClientInfo& client) {
  log("sign-in not checked (the gateway is busy)", login, client);
  return errorAnswer("the gateway is busy checking other sign-ins: try again in a moment", 503);
}

GatewayService::SignInResult GatewayService::checkSlowly(std::optional<Account>& account, const std::string& login,
                                                         const std::string& password, const ClientInfo& client) {
  switch (throttle_.reserve(client.address, login, now(), options_.hashWait)) {
    case SignInThrottle::Reservation::Reserved: break;
    case SignInThrottle::Reservation::Locked: return lockedOut(login, client);
    case SignInThrottle::Reservation::Busy: return busy(login, client);
  }
  Check check;
  try {
    // The check this one waited for may have verified the same password.
    if (account && verified_.contains(account->passwordHash, password)) check = Check::Right;
    else check = hashCheck(account, password);
  } catch (...) {
    throttle_.released(client.address, login);
    throw;
  }
  switch (check) {
    case Check::Right:
      throttle_.succeeded(client.address, login);
      verified_.add(account->passwordHash, password);
      return std::move(*account);
    case Check::Busy:
      throttle_.released(client.address, login);
      return busy(login, client);
    case Check::Wrong: break;
  }
  const std::chrono::seconds lock = throttle_.failed(client.address, login, now());
  log("sign-in failed", login, client,
      lock.count() ? "; further attempts refused for " + std::to_string(lock.count()) + " s" : "");
  return loginPage();
}

GatewayService::SignInResult GatewayService::signIn(const std::string& login, const std::string& password,
                                                    const ClientInfo& client) noexcept {
  return guarded([&]() -> SignInResult {
    // A locked pair is refused before anything is looked up or hashed, also
    // with the right password: otherwise the lock would not stop guessing.
    if (throttle_.lockedFor(client.address, login, now())) return lockedOut(login, client);
    std::optional<Account> account = store_.findAccount(login);
    if (account && verified_.contains(account->passwordHash, password)) {
      throttle_.succeeded(client.address, login);
      return std::move(*account);
    }
    return checkSlowly(account, login, password, client);
  });
}

// Only a password verified a moment ago, from a client and login with no
// failures on record: everything else may hash, wait, or need the clock.
std::optional<GatewayService::SignInResult> GatewayService::signInAtOnce(const std::string& login,
                                                                         const std::string& password,
                                                                         const ClientInfo& client) noexcept {
  try {
    if (!throttle_.untouched(client.address, login)) return std::nullopt;
    std::optional<Account> account = store_.findAccount(login);
    if (!account || !verified_.contains(account->passwordHash, password)) return std::nullopt;
    return SignInResult{std::move(*account)};
  } catch (...) {
    return std::nullopt;  // the slow way says what went wrong
  }
}

// Signs a reader's request in through the service while its body arrives.
class GatewayService::Attempt : public SignInCheck {
public:
  Attempt(GatewayService& service, ClientInfo client) : service_(service), client_(std::move(client)) {}

  bool signIn(const std::string& login, const std::string& password) override {
    result_ = service_.signIn(login, password, client_);
    return std::holds_alternative<Account>(*result_);
  }
  std::optional<bool> signInAtOnce(const std::string& login, const std::string& password) override {
    auto quick = service_.signInAtOnce(login, password, client_);
    if (!quick) return std::nullopt;
    result_ = std::move(*quick);
    return true;
  }
  /// Nothing until the credentials were read.
  std::optional<SignInResult>& result() { return result_; }

private:
  GatewayService& service_;
  ClientInfo client_;
  std::optional<SignInResult> result_;
};

// The balance read with the account at sign-in, a moment ago: reading it
// again would only cost a second query on the busiest path.
Answer GatewayService::credits(const Account& account) { return creditAnswer(account.balance); }

// The refusal of a batch holding texts longer than the gateway takes,
// naming the first of them; none when every text fits.
std::optional<std::string> GatewayService::tooLong(const std::vector<NewMessage>& payable,
                                                   const std::vector<size_t>& payableIndex) const {
  size_t first = payable.size(), more = 0;
  for (size_t k = 0; k < payable.size(); ++k) {
    if (payable[k].parts <= maxParts_) continue;
    if (first == payable.size()) first = k;
    else ++more;
  }
  if (first == payable.size()) return std::nullopt;
  std::string why = "message " + std::to_string(payableIndex[first]) + " is too long: " +
                    std::to_string(payable[first].parts) + " SMS parts, the gateway takes at most " +
                    std::to_string(maxParts_);
  if (more) why += " (and " + std::to_string(more) + " more " + (more == 1 ? "message is" : "messages are") + " too long)";
  return why + "; nothing was sent";
}

Answer GatewayService::send(const Account& account, SendRequest& request) {
  std::vector<SendResult> results(request.items.size());
  std::vector<NewMessage> payable;
  std::vector<size_t> payableIndex;
  payable.reserve(request.items.size());
  payableIndex.reserve(request.items.size());
  for (size_t i = 0; i < request.items.size(); ++i) {
    SendItem& item = request.items[i];
    // Clients that send their ANSI code page rather than UTF-8 are read in
    // the account's; the answer echoes the recipient as it was understood.
    item.recipient = clientTextToUtf8(std::move(item.recipient), account.charset);
    item.text = clientTextToUtf8(std::move(item.text), account.charset);
    if (!holdsDigit(item.recipient)) {
      results[i].outcome = Outcome::NoPhoneNumber;
    } else if (item.text.empty()) {
      results[i].outcome = Outcome::EmptyText;
    } else {
      // The answer needs only the recipients: the texts move on to the store.
      const size_t parts = smsParts(item.text).parts;
      payable.push_back({item.recipient, std::move(item.text), parts});
      payableIndex.push_back(i);
    }
  }
  if (auto why = tooLong(payable, payableIndex)) return errorAnswer(*why);

  // A batch with nothing to send is refused as a whole: a normal answer
  // would let the sending client file a copy of a message that went nowhere.
  if (payable.empty()) {
    std::string why = "nothing was sent:";
    for (size_t i = 0; i < results.size(); ++i)
      why += std::string(i ? "," : "") + " message " + std::to_string(i) +
             (results[i].outcome == Outcome::NoPhoneNumber ? " has no phone number" : " has an empty text");
    return errorAnswer(why);
  }
  const AcceptResult accepted = store_.acceptMessages(account.id, payable);
  payable = {};
  for (size_t k = 0; k < payableIndex.size(); ++k) {
    SendResult& r = results[payableIndex[k]];
    if (k < accepted.ids.size())
      r = {Outcome::Accepted, accepted.ids[k]};
    else
      r.outcome = Outcome::InsufficientCredits;
  }
  return sendAnswer(request.items, results, accepted.balance);
}

Answer GatewayService::actSignedIn(ReadRequest& parsed, const Account& account) {
  if (auto* error = std::get_if<RequestError>(&parsed)) return errorAnswer(error->message);
  return std::visit(Overloaded{
                        [&](const RequestError& e) { return errorAnswer(e.message); },
                        [&](const CreditQuery&) { return credits(account); },
                        [&](SendRequest& s) { return send(account, s); },
                        [&](const AccountPageRequest&) {
                          auto balance = store_.balance(account.id);
                          return balance ? accountPage(account.name, *balance) : loginPage();
                        },
                    },
                    std::get<ParsedRequest>(parsed).action);
}


Answer GatewayService::handle(ReadRequest request, const ClientInfo& client) noexcept {
  return guarded([&] {
    if (auto* error = std::get_if<RequestError>(&request)) return errorAnswer(error->message);
    const ParsedRequest& parsed = std::get<ParsedRequest>(request);
    SignInResult result = signIn(parsed.login, parsed.password, client);
    if (auto* refusal = std::get_if<Answer>(&result)) return std::move(*refusal);
    return actSignedIn(request, std::get<Account>(result));
  });
}

std::unique_ptr<RequestReader> GatewayService::reader(const ClientInfo& client) {
  return std::make_unique<RequestReader>(std::make_unique<Attempt>(*this, client));
}

Answer GatewayService::handle(RequestReader& reader, const ClientInfo& client) noexcept {
  Answer answer = guarded([&] {
    ReadRequest request = reader.finish();
    auto* attempt = dynamic_cast<Attempt*>(reader.signInCheck());
    // A reader of another maker's: the request is signed in now.
    if (!attempt) return handle(std::move(request), client);
    auto& result = attempt->result();
    // The credentials were never read, so the request is an error that says why.
    if (!result) {
      auto* error = std::get_if<RequestError>(&request);
      return errorAnswer(error ? error->message : "the request was not signed in");
    }
    if (auto* refusal = std::get_if<Answer>(&*result)) return std::move(*refusal);
    return actSignedIn(request, std::get<Account>(*result));
  });
  // The request's fields are gone by now; what they took goes back to the system.
  if (reader.bytesFed() >= kReleaseAfterBytes) releaseFreeMemory();
  return answer;
}

std::optional<Answer> GatewayService::answerAtOnce(RequestReader& reader, const ClientInfo& client) noexcept {
  // Large requests give memory back when answered, which takes its time.
  if (reader.signInPending() || reader.bytesFed() >= kReleaseAfterBytes) return std::nullopt;
  auto* attempt = dynamic_cast<Attempt*>(reader.signInCheck());
  if (!attempt || !attempt->result()) return std::nullopt;
  const bool refused = std::holds_alternative<Answer>(*attempt->result());
  const auto& action = reader.action();
  if (!refused && (!action || *action != "getCredits")) return std::nullopt;
  return handle(reader, client);
}

Answer GatewayService::handle(const std::string& body, const ClientInfo& client) noexcept {
  return guarded([&] {
    const std::unique_ptr<RequestReader> r = reader(client);
    r->feed(body);
    return handle(*r, client);
  });
}

} // namespace quorvel::gateway
