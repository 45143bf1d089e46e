// Runs a program as a child process and reads its output line by line.
#include "childProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace quorvel::gateway::test {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    dup2(pipeFds[1], STDERR_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  fd_ = pipeFds[0];
}

ChildProcess::~ChildProcess() {
  if (!waited_) {
    kill(pid_, SIGKILL);
    wait();
  }
  if (fd_ >= 0) close(fd_);
}

bool ChildProcess::readLine(std::string& line) {
  for (;;) {
    const size_t end = buffer_.find('\n');
    if (end != std::string::npos) {
      line = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      return true;
    }
    char chunk[4096];
    const ssize_t n = read(fd_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      line = buffer_;
      buffer_.clear();
      return !line.empty();
    }
    buffer_.append(chunk, static_cast<size_t>(n));
  }
}

std::string ChildProcess::readRest() {
  std::string all, line;
  while (readLine(line)) all += line + "\n";
  return all;
}

void ChildProcess::terminate() { kill(pid_, SIGTERM); }

void ChildProcess::interrupt() { kill(pid_, SIGINT); }

int ChildProcess::wait() {
  if (!waited_) {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    waited_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  return status_;
}

} // namespace quorvel::gateway::test
