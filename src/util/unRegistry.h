// Reads and writes one string value in the registry, addressed by a text path.
#pragma once

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

} // namespace quorvel
