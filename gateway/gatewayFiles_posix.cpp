// Files the gateway keeps private to its user: its folders, the store and the upstream settings.
#include "gateway/gatewayFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace quorvel::gateway {

namespace {

constexpr mode_t kPrivateFile = S_IRUSR | S_IWUSR;
constexpr mode_t kPrivateFolder = S_IRWXU;

[[noreturn]] void fail(const std::string& what, const std::string& path, int error) {
  throw PrivateFileError("cannot " + what + " " + path + ": " + std::strerror(error));
}

// Closes the descriptor on every path out.
class Descriptor {
public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  /// Closes now, so that a failing close is seen.
  int release() {
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc;
  }

private:
  int fd_;
};

void writeAll(int fd, const std::string& contents, const std::string& path) {
  const char* p = contents.data();
  std::size_t left = contents.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail("write", path, errno);
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

// Takes group and other permissions from an existing file, keeping the rest.
void tighten(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return;
    fail("inspect", path, errno);
  }
  if ((st.st_mode & (S_IRWXG | S_IRWXO)) == 0) return;
  if (::chmod(path.c_str(), st.st_mode & S_IRWXU) != 0) fail("make private", path, errno);
}

void syncFolder(const std::string& folder) {
  const Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) fail("open the folder", folder, errno);
  if (::fsync(dir.get()) != 0) fail("flush the folder", folder, errno);
}

} // namespace

void createPrivateFolders(const std::string& folder) {
  if (folder.empty()) return;
  std::filesystem::path built;
  for (const auto& part : std::filesystem::path(folder)) {
    built /= part;
    // mkdir's mode can only lose bits to the umask, never gain any.
    if (::mkdir(built.c_str(), kPrivateFolder) == 0 || errno == EEXIST) continue;
    fail("create the folder", built.string(), errno);
  }
}

void ensurePrivateFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, kPrivateFile);
  if (fd >= 0) {
    ::close(fd);
  } else if (errno == EEXIST) {
    tighten(path);
  } else {
    fail("create", path, errno);
  }
  for (const char* companion : {"-wal", "-shm", "-journal"}) tighten(path + companion);
}

void writePrivateFile(const std::string& path, const std::string& contents) {
  const std::filesystem::path target(path);
  const std::string folder = target.has_parent_path() ? target.parent_path().string() : std::string(".");
  createPrivateFolders(target.parent_path().string());
  const std::string temporary = path + ".new";
  // A temporary left by a crash is ours; O_EXCL below refuses anything else.
  ::unlink(temporary.c_str());
  Descriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, kPrivateFile));
  if (out.get() < 0) fail("create", temporary, errno);
  try {
    writeAll(out.get(), contents, temporary);
    if (::fsync(out.get()) != 0) fail("flush", temporary, errno);
    if (out.release() != 0) fail("write", temporary, errno);
    if (::rename(temporary.c_str(), path.c_str()) != 0) fail("replace", path, errno);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
  syncFolder(folder);
}

} // namespace quorvel::gateway
