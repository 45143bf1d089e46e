// A private place for registry files, and child processes for tests (POSIX).
#include "sandbox.h"

#include "registry/winreg.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorvel::testsupport {

RegistrySandbox::RegistrySandbox() {
  std::string pattern = std::filesystem::temp_directory_path().string() + "/quorvel-reg-XXXXXX";
  dir = mkdtemp(pattern.data());
  chmod(dir.c_str(), 0755); // a child without rights must still reach the machine file
  userFile = dir + "/quorvel/user.reg";
  classesFile = dir + "/quorvel/classes.reg";
  machineFile = dir + "/machine/machine.reg";
  const char* old = std::getenv("XDG_CONFIG_HOME");
  hadConfigHome_ = old != nullptr;
  oldConfigHome_ = old ? old : "";
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  winreg::testhooks::setMachineHivePath(machineFile.c_str());
}

RegistrySandbox::~RegistrySandbox() {
  winreg::testhooks::setMachineHivePath(nullptr);
  if (hadConfigHome_) setenv("XDG_CONFIG_HOME", oldConfigHome_.c_str(), 1);
  else unsetenv("XDG_CONFIG_HOME");
  std::error_code ec;
  std::filesystem::permissions(dir + "/machine", std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(dir, ec);
}

void RegistrySandbox::lockMachineFile() const {
  chmod(machineFile.c_str(), 0444);
  chmod((dir + "/machine").c_str(), 0555);
}

int runInChild(const std::function<int()>& body, bool asOrdinaryUser) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (asOrdinaryUser && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(99);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void writeAll(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

int fileMode(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

} // namespace quorvel::testsupport
