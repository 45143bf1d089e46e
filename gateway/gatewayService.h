// Answers gateway requests: checks the credentials, then carries out the action on the store.
#pragma once

#include "gateway/gatewayAnswers.h"
#include "gateway/gatewayStore.h"
#include "gateway/gatewayRequest.h"
#include "gateway/passwordHash.h"

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace quorvel::gateway {

/// Remembers passwords that verified against a stored hash, as a keyed
/// digest (the key is random and lives only in this process), so that a
/// client's repeated requests cost the slow hash once. An entry belongs to
/// one stored hash: a changed password never matches an old entry.
class VerifiedPasswords {
public:
  VerifiedPasswords();
  bool contains(const std::string& storedHash, const std::string& password);
  void add(const std::string& storedHash, const std::string& password);

private:
  using Digest = std::array<unsigned char, 32>;
  Digest digest(const std::string& password) const;

  std::array<unsigned char, 32> key_{};
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

/// The gateway's behaviour, apart from HTTP: one call per POST body.
class GatewayService {
public:
  /// \p cost is the hash cost for replaced hashes: a password stored with
  /// another cost is hashed anew at its next successful sign-in. A batch
  /// holding a text of more than \p maxParts SMS parts is refused whole.
  explicit GatewayService(GatewayStore& store, HashCost cost = {}, std::size_t maxParts = kDefaultMaxParts);

  /// Answers one request body. Never throws: a failing store (or a lack of
  /// memory) yields an ERROR answer with status 500, and nothing is filed or paid.
  Answer handle(const std::string& body) noexcept;
  /// Answers a request read with a RequestReader; never throws either.
  Answer handle(ReadRequest request) noexcept;

  /// A reader for one request body from \p client, which the HTTP front
  /// feeds as the body arrives.
  std::unique_ptr<RequestReader> reader(const ClientInfo& client);
  /// Answers the body fed to \p reader (made by reader() for \p client);
  /// never throws.
  Answer handle(RequestReader& reader, const ClientInfo& client) noexcept;

  GatewayStore& store() { return store_; }

private:
  std::optional<Account> signIn(const std::string& login, const std::string& password);
  Answer act(ReadRequest& request);
  Answer send(const Account& account, SendRequest& request);
  std::optional<std::string> tooLong(const std::vector<NewMessage>& payable,
                                     const std::vector<size_t>& payableIndex) const;
  Answer credits(const Account& account);

  GatewayStore& store_;
  HashCost cost_;
  std::size_t maxParts_;
  VerifiedPasswords verified_;
};

} // namespace quorvel::gateway
