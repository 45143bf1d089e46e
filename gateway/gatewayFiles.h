// Files the gateway keeps private to its user: its folders, the store and the upstream settings.
#pragma once

#include <stdexcept>
#include <string>

namespace quorvel::gateway {

/// A private file or folder could not be made or written; the text says which and why.
class PrivateFileError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

/// Creates \p folder and every missing folder above it, each readable by its
/// owner only (0700) from the moment it exists. Folders that exist already
/// are left as they are: they may be shared ones such as /srv.
void createPrivateFolders(const std::string& folder);

/// Makes sure \p path exists as a file of its owner only: creates it empty at
/// 0600 when missing, and takes group and other permissions from an existing
/// one. Other files of the same name ("-wal", "-shm") are tightened the same
/// way when they exist. Throws PrivateFileError.
void ensurePrivateFile(const std::string& path);

/// Replaces \p path with \p contents so that no reader ever sees a partly
/// written file or one readable by others: written to a temporary file
/// created exclusively at 0600 beside it, flushed to disk, renamed over
/// \p path, and the folder flushed so that the rename survives a crash.
void writePrivateFile(const std::string& path, const std::string& contents);

} // namespace quorvel::gateway
