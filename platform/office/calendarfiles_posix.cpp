// File access for the reminder schedule on POSIX systems.
#include "office/calendarfiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::calendar::detail {

namespace fs = std::filesystem;

std::vector<std::string> icsFilesIn(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string ext = it->path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    std::error_code typeError;
    if (ext == ".ics" && it->is_regular_file(typeError)) files.push_back(it->path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool fileStamp(const std::string& path, int64_t* mtimeNs, int64_t* size) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  *mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  *size = int64_t(st.st_size);
  return true;
}

bool readWholeFile(const std::string& path, std::string* text, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  std::ostringstream out;
  out << in.rdbuf();
  *text = out.str();
  return true;
}

bool replaceFile(const std::string& path, const std::string& text, std::string* error) {
  auto fail = [&](const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
    return false;
  };
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  const std::string temp = path + ".tmp";
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return fail("cannot create " + temp);
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      close(fd);
      unlink(temp.c_str());
      return fail("cannot write " + temp);
    }
    done += size_t(n);
  }
  if (fsync(fd) != 0) {
    close(fd);
    unlink(temp.c_str());
    return fail("cannot flush " + temp);
  }
  close(fd);
  if (rename(temp.c_str(), path.c_str()) != 0) {
    unlink(temp.c_str());
    return fail("cannot replace " + path);
  }
  return true;
}

std::string dataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg) return xdg;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : ".") + "/.local/share";
}

} // namespace quorvel::calendar::detail
