// A temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <random>
#include <string>

namespace quorvel::gateway::test {

class TempDir {
public:
  TempDir() {
    std::random_device random;
    for (;;) {
      path_ = std::filesystem::temp_directory_path() / ("quorvel-gateway-test-" + std::to_string(random()));
      if (std::filesystem::create_directory(path_)) break;
    }
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  /// A path inside the folder.
  std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
  std::filesystem::path path_;
};

/// Cheap hash cost: tests create and check many passwords.
inline constexpr int kTestLog2N = 10;

} // namespace quorvel::gateway::test
