// The account a fresh gateway starts with: the one the composer's default settings use.
#pragma once

#include "gateway/gatewayStore.h"
#include "gateway/passwordHash.h"

#include <string>

namespace quorvel::gateway {

inline constexpr const char* kDefaultAccount = "nobody";
inline constexpr const char* kDefaultPassword = "pqr456";
inline constexpr std::int64_t kDefaultCredits = 100;
inline constexpr const char* kDefaultHost = "127.0.0.1";
inline constexpr int kDefaultPort = 9333;

/// Whether a first serve creates the default account: only on a loopback
/// \p listenHost with the "store" upstream, where no stranger reaches its
/// well-known password and nothing it sends costs money.
bool defaultAccountWanted(const std::string& listenHost, const std::string& upstreamKind);

/// Creates the default account when \p store holds no account at all;
/// true when it did.
bool addDefaultAccountIfEmpty(GatewayStore& store, const HashCost& cost = {});

} // namespace quorvel::gateway
