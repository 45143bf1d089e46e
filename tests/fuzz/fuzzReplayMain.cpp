// Runs a fuzz target without libFuzzer: every file named on the command line,
// or found in a folder named there, is fed to LLVMFuzzerTestOneInput once.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputsOf(const fs::path& where) {
  std::vector<fs::path> found;
  if (fs::is_directory(where)) {
    for (const auto& entry : fs::directory_iterator(where))
      if (entry.is_regular_file()) found.push_back(entry.path());
    std::sort(found.begin(), found.end());
  } else if (fs::is_regular_file(where)) {
    found.push_back(where);
  }
  return found;
}

bool replay(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // A copy of exactly the file's size, so that AddressSanitizer sees reads past its end.
  std::vector<uint8_t> data(bytes.begin(), bytes.end());
  static uint8_t none = 0;
  std::fprintf(stderr, "%s\n", file.c_str());
  LLVMFuzzerTestOneInput(data.empty() ? &none : data.data(), data.size());
  return true;
}

} // namespace

int main(int argc, char** argv) {
  size_t count = 0;
  for (int i = 1; i < argc; ++i) {
    const std::vector<fs::path> files = inputsOf(argv[i]);
    if (files.empty()) {
      std::fprintf(stderr, "no inputs in %s\n", argv[i]);
      return 1;
    }
    for (const fs::path& file : files) {
      if (!replay(file)) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return 1;
      }
      ++count;
    }
  }
  std::printf("replayed %zu inputs\n", count);
  return count ? 0 : 1;
}
