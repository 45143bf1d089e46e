// A gateway program of its own for the benchmarks, so that its memory is measured alone.
#include "gatewayProcess.h"

#include "gateway/gatewayStore.h"
#include "gateway/passwordHash.h"

#include <cstdlib>
#include <random>
#include <vector>

namespace quorvel::gateway::bench {

std::string gatewayProgram() {
  const char* other = std::getenv("QUORVEL_GATEWAY");
  return other && *other ? other : QUORVEL_GATEWAY_PROGRAM;
}

GatewayProcess::GatewayProcess()
    : folder_(std::filesystem::temp_directory_path() /
              ("quorvel-gateway-process-" + std::to_string(std::random_device{}()))) {
  std::filesystem::create_directories(folder_);
  const std::string db = (folder_ / "gateway.sqlite").string();
  {
    GatewayStore store(db);
    store.addAccount("bench", hashPassword("bench pw"), Balance{true, 0});
    store.addAccount("other", hashPassword("other pw"), Balance{true, 0});
  }
  child_ = std::make_unique<test::ChildProcess>(gatewayProgram(),
                                                std::vector<std::string>{"serve", "--listen", "127.0.0.1:0", "--db", db});
  std::string line;
  if (child_->readLine(line) && line.find("Listening on http://127.0.0.1:") == 0)
    port_ = std::stoi(line.substr(line.rfind(':') + 1));
}

GatewayProcess::~GatewayProcess() {
  child_->terminate();
  child_->wait();
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

} // namespace quorvel::gateway::bench
