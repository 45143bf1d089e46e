// Salted, deliberately slow password hashes (scrypt) for gateway accounts.
#pragma once

#include <string>

namespace quorvel::gateway {

/// scrypt cost: N = 2^log2N, block size r, parallelism p. The defaults take
/// about a tenth of a second and 32 MiB per hash.
struct HashCost {
  int log2N = 15;
  int r = 8;
  int p = 1;

  bool operator==(const HashCost&) const = default;
};

/// Hashes \p password with a fresh random salt. The result names the method
/// and the cost, so stored hashes stay verifiable after the cost is raised:
/// "$scrypt$ln=15,r=8,p=1$<salt>$<hash>" (salt and hash in base64).
/// Throws std::runtime_error when the system offers no randomness.
std::string hashPassword(const std::string& password, const HashCost& cost = {});

/// True when \p stored was made from \p password. A malformed or unknown
/// stored text never verifies.
bool verifyPassword(const std::string& password, const std::string& stored);

/// True when \p stored was made with a cost other than \p cost (or cannot be
/// read), so that it should be replaced at the next successful sign-in.
bool needsRehash(const std::string& stored, const HashCost& cost);

} // namespace quorvel::gateway
