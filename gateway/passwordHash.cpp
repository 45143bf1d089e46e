// Salted, deliberately slow password hashes (scrypt) for gateway accounts.
#include "gateway/passwordHash.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <vector>

namespace quorvel::gateway {

namespace {

constexpr size_t kSaltBytes = 16;
constexpr size_t kKeyBytes = 32;
const std::string kPrefix = "$scrypt$";

using Bytes = std::vector<unsigned char>;

struct ParsedHash {
  HashCost cost;
  Bytes salt;
  Bytes key;
};

std::string toBase64(const Bytes& data) {
  std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data.data(),
                                static_cast<int>(data.size()));
  out.resize(static_cast<size_t>(n));
  return out;
}

std::optional<Bytes> fromBase64(const std::string& text) {
  if (text.empty() || text.size() % 4 != 0) return std::nullopt;
  Bytes out(text.size() / 4 * 3);
  const int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()));
  if (n < 0) return std::nullopt;
  // EVP_DecodeBlock keeps the padding as zero bytes; drop them.
  size_t size = static_cast<size_t>(n);
  for (size_t i = text.size(); i > 0 && text[i - 1] == '='; --i) --size;
  out.resize(size);
  return out;
}

bool sane(const HashCost& c) {
  return c.log2N >= 1 && c.log2N <= 24 && c.r >= 1 && c.r <= 32 && c.p >= 1 && c.p <= 16;
}

std::optional<Bytes> derive(const std::string& password, const Bytes& salt, const HashCost& cost,
                            size_t keyBytes) {
  if (!sane(cost)) return std::nullopt;
  const uint64_t n = uint64_t{1} << cost.log2N;
  const uint64_t memory = 128ull * cost.r * (n + cost.p + 2) + (1u << 20);
  Bytes key(keyBytes);
  if (EVP_PBE_scrypt(password.data(), password.size(), salt.data(), salt.size(), n,
                     static_cast<uint64_t>(cost.r), static_cast<uint64_t>(cost.p), memory, key.data(),
                     key.size()) != 1)
    return std::nullopt;
  return key;
}

std::optional<ParsedHash> parse(const std::string& stored) {
  if (!stored.starts_with(kPrefix)) return std::nullopt;
  const std::string rest = stored.substr(kPrefix.size());
  const size_t d1 = rest.find('$');
  const size_t d2 = d1 == std::string::npos ? d1 : rest.find('$', d1 + 1);
  if (d2 == std::string::npos) return std::nullopt;

  ParsedHash h;
  int used = 0;
  const std::string params = rest.substr(0, d1);
  if (std::sscanf(params.c_str(), "ln=%d,r=%d,p=%d%n", &h.cost.log2N, &h.cost.r, &h.cost.p, &used) != 3 ||
      static_cast<size_t>(used) != params.size() || !sane(h.cost))
    return std::nullopt;
  auto salt = fromBase64(rest.substr(d1 + 1, d2 - d1 - 1));
  auto key = fromBase64(rest.substr(d2 + 1));
  // A shortened key would be a prefix of the full one and still match.
  if (!salt || !key || salt->size() < 8 || key->size() != kKeyBytes) return std::nullopt;
  h.salt = std::move(*salt);
  h.key = std::move(*key);
  return h;
}

} // namespace

std::string hashPassword(const std::string& password, const HashCost& cost) {
  Bytes salt(kSaltBytes);
  if (RAND_bytes(salt.data(), static_cast<int>(salt.size())) != 1)
    throw std::runtime_error("no random numbers available for a password salt");
  auto key = derive(password, salt, cost, kKeyBytes);
  if (!key) throw std::runtime_error("cannot compute the password hash");
  return kPrefix + "ln=" + std::to_string(cost.log2N) + ",r=" + std::to_string(cost.r) +
         ",p=" + std::to_string(cost.p) + "$" + toBase64(salt) + "$" + toBase64(*key);
}

bool verifyPassword(const std::string& password, const std::string& stored) {
  auto parsed = parse(stored);
  if (!parsed) return false;
  auto key = derive(password, parsed->salt, parsed->cost, parsed->key.size());
  return key && CRYPTO_memcmp(key->data(), parsed->key.data(), key->size()) == 0;
}

bool needsRehash(const std::string& stored, const HashCost& cost) {
  auto parsed = parse(stored);
  return !parsed || !(parsed->cost == cost);
}

} // namespace quorvel::gateway
