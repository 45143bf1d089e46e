// Where each registry root is kept, and safe reading and replacing of files.
#pragma once

#include "registry/winreg.h"

#include <string>

namespace quorvel::winreg::detail {

enum class RootId { ClassesRoot, CurrentUser, LocalMachine };

/// The file of one root and the mode it is created with.
struct HiveFile {
  std::string path;
  unsigned mode;
};

/// Where \p root is kept now (HKEY_LOCAL_MACHINE honours the test override).
HiveFile hiveFile(RootId root);

/// The content of a file; a missing file reads as an empty one.
struct FileText {
  bool exists = false;
  std::string text;
  std::string stamp; ///< identifies this version of the file
};
LONG readFile(const std::string& path, FileText& out);

/// The file a write to \p path replaces: a symbolic link is followed to its
/// target (a link stays a link), \p path itself otherwise.
std::string writeTarget(const std::string& path);

/// Whether this process may replace \p path (and create its folder).
bool mayWrite(const std::string& path);

/// Holds the exclusive lock that serialises writers of one file across
/// processes; released on destruction.
class WriteLock {
public:
  WriteLock(const std::string& path, unsigned mode);
  ~WriteLock();
  WriteLock(const WriteLock&) = delete;
  WriteLock& operator=(const WriteLock&) = delete;
  /// ERROR_SUCCESS when the lock is held.
  LONG status() const { return status_; }

private:
  int fd_ = -1;
  LONG status_;
};

/// Replaces \p path by \p text atomically: a crash leaves the old or the new
/// file, never a mix.
LONG replaceFile(const std::string& path, const std::string& text, unsigned mode);

/// The override of the HKEY_LOCAL_MACHINE file; empty for the default.
std::string machineHiveOverride();
/// Calls the test hook, if any, at \p stage of a replacement.
void runWriteHook(testhooks::WriteStage stage);

} // namespace quorvel::winreg::detail
