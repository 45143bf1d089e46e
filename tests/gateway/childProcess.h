// Runs a program as a child process and reads its output line by line.
#pragma once

#include <string>
#include <vector>

namespace quorvel::gateway::test {

class ChildProcess {
public:
  /// Starts \p program with \p args; its standard output and error both
  /// come through readLine().
  ChildProcess(const std::string& program, const std::vector<std::string>& args);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  /// The next line of output without its line break; false at the end.
  bool readLine(std::string& line);
  /// Everything still to come, up to the end of output.
  std::string readRest();
  /// Asks the child to end (SIGTERM).
  void terminate();
  /// Interrupts the child (SIGINT), as Ctrl+C would.
  void interrupt();
  /// Waits for the child's end; its exit status, or -1 when a signal ended it.
  int wait();
  /// The child's process id.
  int pid() const { return pid_; }

private:
  int pid_ = -1;
  int fd_ = -1;
  std::string buffer_;
  bool waited_ = false;
  int status_ = -1;
};

} // namespace quorvel::gateway::test
