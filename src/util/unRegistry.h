// Reads and writes one string value in the registry, addressed by a text path.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace quorvel {

/// Raised when a stored value has the wrong type or cannot be written.
class ERegistryException : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

/// The stored string under \p key / \p name, or \p def when the key or value
/// is missing or the stored string is empty.
std::string kaLoadFromreg(const std::string& key, const std::string& name,
                          const std::string& def);
/// Stores \p s under \p key / \p name, creating the key and its parents.
void kaSaveToreg(const std::string& key, const std::string& name,
                 const std::string& s);

/// Where the file that keeps a key's values cannot be read.
struct TRegistryDamage {
  std::string file;   ///< the file
  int line = 0;       ///< the damaged line, from 1
  std::string reason; ///< what is wrong there
};

/// The damage of the file that keeps \p key (path rules as kaSaveToreg), or
/// nothing when it reads well or does not exist. While it is damaged,
/// kaSaveToreg writes nothing there.
std::optional<TRegistryDamage> kaRegistryDamage(const std::string& key);

} // namespace quorvel
