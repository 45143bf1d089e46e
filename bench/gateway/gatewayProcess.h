// A gateway program of its own for the benchmarks, so that its memory is measured alone.
#pragma once

#include "childProcess.h"

#include <filesystem>
#include <memory>
#include <string>

namespace quorvel::gateway::bench {

/// The program measured: QUORVEL_GATEWAY when set (another build's), else this build's.
std::string gatewayProgram();

/// `serve` on a free loopback port and a fresh store holding the account
/// "bench" (password "bench pw", unlimited) and "other" (password "other pw");
/// stopped and removed at destruction.
class GatewayProcess {
public:
  GatewayProcess();
  ~GatewayProcess();
  /// 0 when the gateway did not start.
  int port() const { return port_; }
  int pid() const { return child_->pid(); }

private:
  std::filesystem::path folder_;
  std::unique_ptr<test::ChildProcess> child_;
  int port_ = 0;
};

} // namespace quorvel::gateway::bench
