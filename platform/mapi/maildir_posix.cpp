// Maildir folders on disk: creating them and delivering one message with
// the write-sync-rename sequence that leaves no half-written message.
#include "mapi/maildir.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::mapi {
namespace fs = std::filesystem;

fs::path maildirFolder(const fs::path& root, const std::string& name) {
  return name.empty() ? root : root / ("." + name);
}

bool isValidFolderName(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos && name[0] != '.' &&
         name.find("..") == std::string::npos && name.find('\0') == std::string::npos;
}

namespace {

bool makeDir(const fs::path& p) {
  if (::mkdir(p.c_str(), 0700) == 0 || errno == EEXIST)
    return fs::is_directory(p);
  return false;
}

bool writeAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += size_t(n);
  }
  return true;
}

void syncDir(const fs::path& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

} // namespace

HRESULT ensureMaildir(const fs::path& folder, bool subfolder) {
  std::error_code ec;
  fs::create_directories(folder.parent_path(), ec);
  if (!makeDir(folder) || !makeDir(folder / "cur") || !makeDir(folder / "new") ||
      !makeDir(folder / "tmp"))
    return MAPI_E_DISK_ERROR;
  if (subfolder) {
    int fd = ::open((folder / "maildirfolder").c_str(), O_WRONLY | O_CREAT, 0600);
    if (fd >= 0)
      ::close(fd);
  }
  return S_OK;
}

std::string hostName() {
  char buf[256] = {};
  if (::gethostname(buf, sizeof buf - 1) != 0 || !buf[0])
    return "localhost";
  std::string out;
  for (const char* p = buf; *p; ++p) {
    if (*p == '/')
      out += "\\057";
    else if (*p == ':')
      out += "\\072";
    else
      out.push_back(*p);
  }
  return out;
}

std::string uniqueMessageName() {
  static std::atomic<unsigned> counter{0};
  auto now = std::chrono::system_clock::now().time_since_epoch();
  auto usec = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
  return std::to_string(usec / 1000000) + ".M" + std::to_string(usec % 1000000) + "P" +
         std::to_string(::getpid()) + "Q" + std::to_string(++counter) + "." + hostName();
}

HRESULT deliverToMaildir(const fs::path& folder, const std::string& content, bool seen,
                         fs::path& delivered) {
  std::string name = uniqueMessageName();
  fs::path tmp = folder / "tmp" / name;
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0)
    return MAPI_E_DISK_ERROR;
  bool ok = writeAll(fd, content) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  fs::path target = seen ? folder / "cur" / (name + ":2,S") : folder / "new" / name;
  if (!ok || ::rename(tmp.c_str(), target.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return MAPI_E_DISK_ERROR;
  }
  syncDir(target.parent_path());
  delivered = target;
  return S_OK;
}

} // namespace quorvel::mapi
