// Registry files on POSIX: locations, locking and atomic replacement.
#include "registry/store.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::winreg::detail {

namespace {

constexpr const char* kMachineHive = "/etc/quorvel/machine.reg";

std::string configHome() {
  // Relative values are to be ignored, as the base-directory rules say.
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* pw = getpwuid(getuid());
    home = pw ? pw->pw_dir : "/";
  }
  return std::string(home) + "/.config";
}

std::string dirOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool writableDir(const std::string& dir) {
  return faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// Creates the folder and its missing parents; new user folders are private.
bool makeDirs(const std::string& dir, mode_t mode) {
  struct stat st{};
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  if (dir != "/" && !makeDirs(dirOf(dir), mode)) return false;
  return mkdir(dir.c_str(), mode) == 0 || errno == EEXIST;
}

mode_t dirModeFor(unsigned fileMode) {
  // Folders open to those the file is open to: search right where read is.
  mode_t m = 0700;
  if (fileMode & 0040) m |= 0050;
  if (fileMode & 0004) m |= 0005;
  return m;
}

LONG errorFromErrno(int err, LONG fallback) {
  return (err == EACCES || err == EPERM || err == EROFS) ? ERROR_ACCESS_DENIED : fallback;
}

bool writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void syncDir(const std::string& dir) {
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

} // namespace

HiveFile hiveFile(RootId root) {
  switch (root) {
  case RootId::ClassesRoot: return {configHome() + "/quorvel/classes.reg", 0600};
  case RootId::CurrentUser: return {configHome() + "/quorvel/user.reg", 0600};
  case RootId::LocalMachine: break;
  }
  const std::string override = machineHiveOverride();
  return {override.empty() ? kMachineHive : override, 0644};
}

LONG readFile(const std::string& path, FileText& out) {
  out = FileText{};
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ERROR_SUCCESS
                                                         : errorFromErrno(errno, ERROR_CANTREAD);
  out.exists = true;
  struct stat st{};
  fstat(fd, &st);
  out.stamp = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
              std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
              std::to_string(st.st_mtim.tv_nsec);
  char buf[65536];
  LONG rc = ERROR_SUCCESS;
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) rc = ERROR_CANTREAD;
    if (n <= 0) break;
    out.text.append(buf, static_cast<std::size_t>(n));
  }
  close(fd);
  return rc;
}

std::string writeTarget(const std::string& path) {
  std::string target = path;
  // The same bound on links in a row as the system's own path lookup; a
  // loop is left to fail when the file is opened.
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st{};
    if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    char buf[4096];
    const ssize_t n = readlink(target.c_str(), buf, sizeof buf);
    if (n <= 0 || static_cast<std::size_t>(n) == sizeof buf) break;
    const std::string link(buf, static_cast<std::size_t>(n));
    target = link[0] == '/' ? link : dirOf(target) + "/" + link;
  }
  return target;
}

bool mayWrite(const std::string& path) {
  if (faccessat(AT_FDCWD, path.c_str(), F_OK, 0) == 0 &&
      faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
    return false;
  // Replacing the file needs the right to create and rename in its folder,
  // or in the nearest folder that exists when it has still to be made.
  std::string dir = dirOf(path);
  while (faccessat(AT_FDCWD, dir.c_str(), F_OK, 0) != 0 && dir != "/") dir = dirOf(dir);
  return writableDir(dir);
}

WriteLock::WriteLock(const std::string& path, unsigned mode) : status_(ERROR_LOCK_FAILED) {
  if (!makeDirs(dirOf(path), dirModeFor(mode))) {
    status_ = errorFromErrno(errno, ERROR_CANTWRITE);
    return;
  }
  // A separate lock file, because the registry file itself is replaced.
  const std::string lockPath = path + ".lock";
  fd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, static_cast<mode_t>(mode));
  if (fd_ < 0) {
    status_ = errorFromErrno(errno, ERROR_LOCK_FAILED);
    return;
  }
  runWriteHook(testhooks::WriteStage::Locking);
  int rc;
  while ((rc = flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
  }
  if (rc == 0) status_ = ERROR_SUCCESS;
}

WriteLock::~WriteLock() {
  if (fd_ >= 0) close(fd_); // closing releases the lock
}

LONG replaceFile(const std::string& path, const std::string& text, unsigned mode) {
  // Only the lock holder writes, so one fixed temporary name is enough; a
  // leftover of a writer that died is simply replaced.
  const std::string tmp = path + ".tmp";
  unlink(tmp.c_str());
  const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
  if (fd < 0) return errorFromErrno(errno, ERROR_CANTWRITE);
  fchmod(fd, static_cast<mode_t>(mode)); // the umask must not widen or narrow it
  runWriteHook(testhooks::WriteStage::TempCreated);
  const bool written = writeAll(fd, text) && fsync(fd) == 0;
  const int savedErrno = errno;
  if (close(fd) != 0 || !written) {
    unlink(tmp.c_str());
    return errorFromErrno(savedErrno, ERROR_CANTWRITE);
  }
  runWriteHook(testhooks::WriteStage::BeforeRename);
  if (rename(tmp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    unlink(tmp.c_str());
    return errorFromErrno(err, ERROR_CANTWRITE);
  }
  syncDir(dirOf(path));
  return ERROR_SUCCESS;
}

} // namespace quorvel::winreg::detail
