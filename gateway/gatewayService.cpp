// Answers gateway requests: checks the credentials, then carries out the action on the store.
#include "gateway/gatewayService.h"

#include "gateway/gatewayCharset.h"
#include "util/unSMSParts.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <new>
#include <stdexcept>
#include <variant>

namespace quorvel::gateway {

namespace {

// Bounds the memory a stream of distinct sign-ins can take.
constexpr size_t kMaxVerified = 10000;

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
// Compilers without aggregate deduction (clang before 17) need the guide.
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

} // namespace

VerifiedPasswords::VerifiedPasswords() {
  if (RAND_bytes(key_.data(), static_cast<int>(key_.size())) != 1)
    throw std::runtime_error("no random numbers available");
}

VerifiedPasswords::Digest VerifiedPasswords::digest(const std::string& password) const {
  Digest d{};
  unsigned int size = 0;
  HMAC(EVP_sha256(), key_.data(), static_cast<int>(key_.size()),
       reinterpret_cast<const unsigned char*>(password.data()), password.size(), d.data(), &size);
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
    : store_(store), cost_(cost), maxParts_(maxParts) {}

std::optional<Account> GatewayService::signIn(const std::string& login, const std::string& password) {
  auto account = store_.findAccount(login);
  if (!account) return std::nullopt;
  if (verified_.contains(account->passwordHash, password)) return account;
  if (!verifyPassword(password, account->passwordHash)) return std::nullopt;

  if (needsRehash(account->passwordHash, cost_)) {
    try {
      const std::string renewed = hashPassword(password, cost_);
      if (store_.setPasswordHash(account->id, renewed)) account->passwordHash = renewed;
    } catch (const std::exception&) {
      // The old hash still works; try again at the next sign-in.
    }
  }
  verified_.add(account->passwordHash, password);
  return account;
}

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

Answer GatewayService::act(ReadRequest& parsed) {
  if (auto* error = std::get_if<RequestError>(&parsed)) return errorAnswer(error->message);
  ParsedRequest& request = std::get<ParsedRequest>(parsed);

  auto account = signIn(request.login, request.password);
  if (!account) return loginPage();
  return std::visit(Overloaded{
                        [&](const RequestError& e) { return errorAnswer(e.message); },
                        [&](const CreditQuery&) { return credits(*account); },
                        [&](SendRequest& s) { return send(*account, s); },
                        [&](const AccountPageRequest&) {
                          auto balance = store_.balance(account->id);
                          return balance ? accountPage(account->name, *balance) : loginPage();
                        },
                    },
                    request.action);
}

Answer GatewayService::handle(ReadRequest request) noexcept {
  try {
    return act(request);
  } catch (const std::bad_alloc&) {
    return errorAnswer("the gateway ran out of memory, nothing was sent", 500);
  } catch (const std::exception& e) {
    return errorAnswer(std::string("the gateway's store failed, nothing was sent: ") + e.what(), 500);
  } catch (...) {
    return errorAnswer("the gateway failed, nothing was sent", 500);
  }
}

std::unique_ptr<RequestReader> GatewayService::reader(const ClientInfo&) {
  return std::make_unique<RequestReader>();
}

Answer GatewayService::handle(RequestReader& reader, const ClientInfo&) noexcept {
  try {
    return handle(reader.finish());
  } catch (...) {
    return errorAnswer("the gateway ran out of memory, nothing was sent", 500);
  }
}

Answer GatewayService::handle(const std::string& body) noexcept {
  try {
    return handle(parseRequest(body));
  } catch (...) {
    return errorAnswer("the gateway ran out of memory, nothing was sent", 500);
  }
}

} // namespace quorvel::gateway
