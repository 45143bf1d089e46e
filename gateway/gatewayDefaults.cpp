// The account a fresh gateway starts with: the one the composer's default settings use.
#include "gateway/gatewayDefaults.h"

#include "gateway/gatewayAddress.h"

namespace quorvel::gateway {

bool defaultAccountWanted(const std::string& listenHost, const std::string& upstreamKind) {
  return isLoopbackHost(listenHost) && upstreamKind == "store";
}

bool addDefaultAccountIfEmpty(GatewayStore& store, const HashCost& cost) {
  // Hashing is slow on purpose; skip it when the store already has accounts.
  if (!store.accounts().empty()) return false;
  return store.addAccountIfNoneExists(kDefaultAccount, hashPassword(kDefaultPassword, cost),
                                      Balance{false, kDefaultCredits});
}

} // namespace quorvel::gateway
