// Reading and writing string values under HKEY_CLASSES_ROOT (internal).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorvel::com::detail {

/// The REG_SZ value \p name ("" for the default) of \p key, if present.
std::optional<std::string> readClassesString(const std::string& key, const std::string& name = {});
/// Creates \p key as needed and writes a REG_SZ value; false on failure.
bool writeClassesString(const std::string& key, const std::string& name, const std::string& data);
/// Removes \p key with everything below it; false when it could not go.
bool deleteClassesTree(const std::string& key);
/// The names of the keys right below \p key (none when it is missing).
std::vector<std::string> classesSubkeys(const std::string& key);
/// Removes \p key when it has no subkeys and no values left.
void deleteClassesKeyIfEmpty(const std::string& key);

} // namespace quorvel::com::detail
