// Tests of the registry files under crashes and concurrent writers.
#include "registry/winreg.h"

#include "sandbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace quorvel::winreg {
namespace {

using testsupport::readAll;
using testsupport::RegistrySandbox;
using testhooks::WriteStage;

LONG setString(const char* name, const std::string& s) {
  return RegSetValueExA(HKEY_CURRENT_USER, name, 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(s.c_str()), static_cast<DWORD>(s.size() + 1));
}

std::string getString(const char* name) {
  char buf[256] = {};
  DWORD size = sizeof buf;
  if (RegQueryValueExA(HKEY_CURRENT_USER, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size) !=
      ERROR_SUCCESS)
    return "<missing>";
  return buf;
}

// A child stops at one stage of its write: it tells the parent through
// `signalFd` and then waits for a byte on `resumeFd` (or to be killed).
WriteStage stopStage;
int signalFd = -1;
int resumeFd = -1;

void stopHere(WriteStage stage) {
  if (stage != stopStage) return;
  char c = 's';
  if (write(signalFd, &c, 1) != 1) _exit(98);
  if (read(resumeFd, &c, 1) != 1) _exit(97);
}

struct Pipe {
  int fd[2];
  Pipe() { EXPECT_EQ(pipe(fd), 0); }
  ~Pipe() {
    close(fd[0]);
    close(fd[1]);
  }
  void send() const { ASSERT_EQ(write(fd[1], "g", 1), 1); }
  void receive() const {
    char c;
    ASSERT_EQ(read(fd[0], &c, 1), 1);
  }
};

// Forks a child that writes `name` = `value`, stopping at `stage` (the
// parent waits until it got there).
pid_t startStoppedWriter(WriteStage stage, const char* name, const char* value, const Pipe& signal,
                         const Pipe& resume) {
  const pid_t pid = fork();
  if (pid == 0) {
    stopStage = stage;
    signalFd = signal.fd[1];
    resumeFd = resume.fd[0];
    testhooks::setWriteHook(stopHere);
    _exit(setString(name, value) == ERROR_SUCCESS ? 0 : 1);
  }
  signal.receive();
  return pid;
}

// Whether `pid` comes to wait for a file lock: the kernel lists waiters in
// /proc/locks with an arrow.  Polled until a generous deadline.
bool comesToWaitForLock(pid_t pid) {
  const std::string needle = " " + std::to_string(pid) + " ";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);)
      if (line.find("->") != std::string::npos && line.find(needle) != std::string::npos) return true;
    std::this_thread::yield();
  }
  return false;
}

int exitCode(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class KilledWriter : public ::testing::TestWithParam<WriteStage> {
protected:
  RegistrySandbox box;
};

TEST_P(KilledWriter, LeavesTheOldFileAndTheLockFree) {
  ASSERT_EQ(setString("Kept", "old"), ERROR_SUCCESS);
  const std::string before = readAll(box.userFile);

  Pipe signal, resume;
  const pid_t child = startStoppedWriter(GetParam(), "Kept", "new", signal, resume);
  ASSERT_EQ(kill(child, SIGKILL), 0);
  EXPECT_EQ(exitCode(child), -1);

  EXPECT_EQ(readAll(box.userFile), before);
  EXPECT_EQ(getString("Kept"), "old");
  // The dead writer's lock is gone and its leftover does not get in the way.
  ASSERT_EQ(setString("After", "1"), ERROR_SUCCESS);
  EXPECT_EQ(getString("Kept"), "old");
  EXPECT_EQ(getString("After"), "1");
  EXPECT_EQ(readAll(box.userFile + ".tmp"), "");
}

INSTANTIATE_TEST_SUITE_P(Stages, KilledWriter,
                         ::testing::Values(WriteStage::TempCreated, WriteStage::BeforeRename));

TEST(ConcurrentWriters, SecondWriterWaitsAndKeepsTheFirstValue) {
  RegistrySandbox box;
  ASSERT_EQ(setString("Base", "0"), ERROR_SUCCESS);
  Pipe firstStopped, firstResume, secondStopped, secondResume;
  // The first writer holds the lock with its new file not yet in place.
  const pid_t first = startStoppedWriter(WriteStage::BeforeRename, "First", "1", firstStopped, firstResume);
  // The second one starts writing meanwhile and has to wait for the first.
  const pid_t second = startStoppedWriter(WriteStage::Locking, "Second", "2", secondStopped, secondResume);
  secondResume.send();
  EXPECT_TRUE(comesToWaitForLock(second));
  firstResume.send();
  EXPECT_EQ(exitCode(first), 0);
  EXPECT_EQ(exitCode(second), 0);
  EXPECT_EQ(getString("Base"), "0");
  EXPECT_EQ(getString("First"), "1");
  EXPECT_EQ(getString("Second"), "2");
}

TEST(ConcurrentWriters, ManyProcessesLoseNothing) {
  RegistrySandbox box;
  constexpr int kProcesses = 4, kWrites = 20;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    if (pid == 0) {
      int failures = 0;
      for (int w = 0; w < kWrites; ++w) {
        const std::string name = "P" + std::to_string(p) + "W" + std::to_string(w);
        failures += setString(name.c_str(), name) != ERROR_SUCCESS;
      }
      _exit(failures);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) EXPECT_EQ(exitCode(pid), 0);
  for (int p = 0; p < kProcesses; ++p) {
    for (int w = 0; w < kWrites; ++w) {
      const std::string name = "P" + std::to_string(p) + "W" + std::to_string(w);
      EXPECT_EQ(getString(name.c_str()), name);
    }
  }
}

TEST(Permissions, UserFileIsPrivate) {
  RegistrySandbox box;
  const mode_t old = umask(0);
  EXPECT_EQ(setString("Pass", "secret"), ERROR_SUCCESS);
  umask(old);
  EXPECT_EQ(testsupport::fileMode(box.userFile), 0600);
  EXPECT_EQ(testsupport::fileMode(box.dir + "/quorvel") & 077, 0);
}

TEST(Permissions, MachineRootIsReadOnlyForOrdinaryUsers) {
  RegistrySandbox box;
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\M", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &k, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(k, "V", 0, REG_SZ, reinterpret_cast<const BYTE*>("m"), 2), ERROR_SUCCESS);
  RegCloseKey(k);
  EXPECT_EQ(testsupport::fileMode(box.machineFile), 0644);
  box.lockMachineFile();

  const int code = testsupport::runInChild(
      [] {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\M", 0, KEY_ALL_ACCESS, &key) != ERROR_ACCESS_DENIED)
          return 1;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\M", 0, KEY_READ, &key) != ERROR_SUCCESS) return 2;
        char buf[8];
        DWORD size = sizeof buf;
        if (RegQueryValueExA(key, "V", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS ||
            std::string(buf) != "m")
          return 3;
        RegCloseKey(key);
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\New", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr) != ERROR_ACCESS_DENIED)
          return 4;
        if (RegSetValueExA(HKEY_LOCAL_MACHINE, "X", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2) !=
            ERROR_ACCESS_DENIED)
          return 5;
        return 0;
      },
      true);
  EXPECT_EQ(code, 0);
}

TEST(Threads, TwoThreadsLoseNothing) {
  RegistrySandbox box;
  constexpr int kWrites = 15;
  auto writer = [](char tag) {
    for (int w = 0; w < kWrites; ++w) {
      const std::string name = std::string(1, tag) + std::to_string(w);
      EXPECT_EQ(setString(name.c_str(), name), ERROR_SUCCESS);
    }
  };
  std::thread a(writer, 'a'), b(writer, 'b');
  a.join();
  b.join();
  for (char tag : {'a', 'b'}) {
    for (int w = 0; w < kWrites; ++w) {
      const std::string name = std::string(1, tag) + std::to_string(w);
      EXPECT_EQ(getString(name.c_str()), name);
    }
  }
}

} // namespace
} // namespace quorvel::winreg
