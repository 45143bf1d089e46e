// Resident memory of a running process, read from /proc (Linux).
#include "processMemory.h"

#include <fstream>
#include <string>

namespace quorvel::gateway::bench {

namespace {

// A "Name:   1234 kB" line of /proc/PID/status, in bytes.
std::size_t statusField(int pid, const std::string& name) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(name + ":", 0) == 0) return std::stoull(line.substr(name.size() + 1)) * 1024;
  }
  return 0;
}

} // namespace

std::size_t residentBytes(int pid) { return statusField(pid, "VmRSS"); }

std::size_t peakResidentBytes(int pid) { return statusField(pid, "VmHWM"); }

bool resetPeakResident(int pid) {
  std::ofstream clear("/proc/" + std::to_string(pid) + "/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

} // namespace quorvel::gateway::bench
