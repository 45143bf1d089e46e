// Answers gateway requests: checks the credentials, then carries out the action on the store.
#pragma once

#include "gateway/gatewayAnswers.h"
#include "gateway/gatewayStore.h"
#include "gateway/gatewayRequest.h"
#include "gateway/gatewaySignIn.h"
#include "gateway/passwordHash.h"

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>

namespace quorvel::gateway {

/// Remembers passwords that verified against a stored hash, as a keyed
/// digest (the key is random and lives only in this process), so that a
/// client's repeated requests cost the slow hash once. An entry belongs to
/// one stored hash: a changed password never matches an old entry.
class VerifiedPasswords {
public:
  VerifiedPasswords();
  ~VerifiedPasswords();
  VerifiedPasswords(const VerifiedPasswords&) = delete;
  VerifiedPasswords& operator=(const VerifiedPasswords&) = delete;
  bool contains(const std::string& storedHash, const std::string& password);
  void add(const std::string& storedHash, const std::string& password);

private:
  using Digest = std::array<unsigned char, 32>;
  Digest digest(const std::string& password) const;

  // The HMAC keyed once: every digest starts from a copy of it, as keying
  // and looking the algorithm up anew took most of a credit query's time.
  struct Keyed;
  std::unique_ptr<Keyed> keyed_;
  std::mutex mutex_;
  std::unordered_map<std::string, Digest> entries_;
};

/// The SMS parts a message may take unless the gateway is told otherwise.
inline constexpr std::size_t kDefaultMaxParts = 10;
/// The most any gateway takes: the concatenation header counts parts in one byte.
inline constexpr std::size_t kMostParts = 255;

/// Who sent a request, as the HTTP front saw it.
struct ClientInfo {
  std::string address;  ///< the peer's numeric address, "127.0.0.1" or "::1"
};

/// Receives the gateway's log lines (without a line break), from any thread
/// but one at a time.
using LogSink = std::function<void(const std::string& line)>;

/// How the service checks passwords and meets guessing.
struct SignInOptions {
  std::size_t hashSlots = 0;                    ///< hashes at once; 0: as many as there are cores
  std::chrono::milliseconds hashWait{10000};    ///< the longest wait for a slot before "busy"
  std::size_t hashQueue = 0;                    ///< checks waiting for a slot at most; 0: four per slot
  ThrottlePolicy throttle = {};
  std::function<SignInClock::time_point()> clock = nullptr;  ///< null: the system clock
  LogSink log = nullptr;                        ///< null: no log
};

/// The gateway's behaviour, apart from HTTP: one call per POST body.
///
/// A request is signed in as soon as its login and password are read, before
/// anything else of the body is kept. Every check of a password costs one
/// slow hash, also for an unknown login (against a stand-in hash of the
/// configured cost), so that answers take as long whether a login exists or
/// not; passwords that verified before are recognised from a cache instead.
/// Failed sign-ins are logged and throttled per client and login
/// (SignInThrottle); at most SignInOptions::hashSlots hashes run at once.
class GatewayService {
public:
  /// \p cost is the hash cost for replaced hashes: a password stored with
  /// another cost is hashed anew at its next successful sign-in. A batch
  /// holding a text of more than \p maxParts SMS parts is refused whole.
  explicit GatewayService(GatewayStore& store, HashCost cost = {}, std::size_t maxParts = kDefaultMaxParts);
  GatewayService(GatewayStore& store, HashCost cost, SignInOptions signIn, std::size_t maxParts = kDefaultMaxParts);
  ~GatewayService();

  /// Answers one request body from \p client. Never throws: a failing store
  /// (or a lack of memory) yields an ERROR answer with status 500, and nothing
  /// is filed or paid.
  Answer handle(const std::string& body, const ClientInfo& client = {}) noexcept;
  /// Answers a request read by a RequestReader without a check; never throws either.
  Answer handle(ReadRequest request, const ClientInfo& client = {}) noexcept;

  /// A reader for one request body from \p client, which the HTTP front
  /// feeds as the body arrives; it signs in through this service as soon as
  /// the credentials are read (RequestReader::signIn()). That call blocks
  /// while the password is checked: one hash, after waiting at most
  /// SignInOptions::hashWait for an earlier check of the same client and
  /// login and at most as long again for a free hash slot.
  std::unique_ptr<RequestReader> reader(const ClientInfo& client);
  /// Answers the body fed to \p reader (made by reader() for \p client);
  /// never throws.
  Answer handle(RequestReader& reader, const ClientInfo& client) noexcept;
  /// As handle(), when the answer needs no wait: the sign-in was decided and
  /// the action touches nothing durable (a credit query, a refusal). Nothing
  /// otherwise, with \p reader untouched. The HTTP front answers these on
  /// its event thread, without a worker's round trip.
  std::optional<Answer> answerAtOnce(RequestReader& reader, const ClientInfo& client) noexcept;

  GatewayStore& store() { return store_; }
  /// The bound on concurrent hashes, with hooks for tests.
  HashSlots& hashSlots() { return slots_; }
  /// The failure bookkeeping, for tests.
  const SignInThrottle& throttle() const { return throttle_; }

private:
  class Attempt;
  /// A signed-in account, or the answer that refuses the sign-in.
  using SignInResult = std::variant<Account, Answer>;
  enum class Check { Right, Wrong, Busy };

  SignInResult signIn(const std::string& login, const std::string& password, const ClientInfo& client) noexcept;
  std::optional<SignInResult> signInAtOnce(const std::string& login, const std::string& password,
                                           const ClientInfo& client) noexcept;
  SignInResult checkSlowly(std::optional<Account>& account, const std::string& login, const std::string& password,
                           const ClientInfo& client);
  Answer lockedOut(const std::string& login, const ClientInfo& client);
  Answer busy(const std::string& login, const ClientInfo& client);
  Check hashCheck(std::optional<Account>& account, const std::string& password);
  void log(const std::string& event, const std::string& login, const ClientInfo& client, const std::string& more = {});
  Answer actSignedIn(ReadRequest& request, const Account& account);
  Answer send(const Account& account, SendRequest& request);
  std::optional<std::string> tooLong(const std::vector<NewMessage>& payable,
                                     const std::vector<size_t>& payableIndex) const;
  Answer credits(const Account& account);
  SignInClock::time_point now() const;

  GatewayStore& store_;
  HashCost cost_;
  std::size_t maxParts_;
  SignInOptions options_;
  VerifiedPasswords verified_;
  SignInThrottle throttle_;
  HashSlots slots_;
  std::once_flag dummyMade_;
  std::string dummyHash_;  // stands in for the hash of an unknown login
  std::mutex logMutex_;
};

} // namespace quorvel::gateway
