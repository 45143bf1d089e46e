// Maildir folders on disk: creating them and delivering one message.
#pragma once

#include "mapi/mapidefs.h"

#include <filesystem>
#include <string>

namespace quorvel::mapi {

/// The folder \p name of the Maildir at \p root: the root itself for the
/// inbox (""), else the subfolder "." + name.
std::filesystem::path maildirFolder(const std::filesystem::path& root, const std::string& name);
/// A valid folder name: not empty, no "/", no leading "." and no "..".
bool isValidFolderName(const std::string& name);
/// Creates the folder's cur, new and tmp (and marks a subfolder as one).
HRESULT ensureMaildir(const std::filesystem::path& folder, bool subfolder);

/// Delivers \p content into \p folder the Maildir way: written and synced in
/// tmp/, then moved into cur/ with the seen flag when \p seen, else into new/.
/// \p delivered receives the final path.
HRESULT deliverToMaildir(const std::filesystem::path& folder, const std::string& content, bool seen,
                         std::filesystem::path& delivered);

/// A unique name for a new message file.
std::string uniqueMessageName();
/// The name of this machine, as used in message file names and ids.
std::string hostName();

} // namespace quorvel::mapi
