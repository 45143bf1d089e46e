// Resources carried inside the library and their lookup by module, id and
// type; the module is found through the dynamic loader.
#include "addin/unResources.h"

#include "addin/unResourceTable.h"

#include <dlfcn.h>

#include <cstring>
#include <filesystem>

namespace quorvel {

namespace {

Dl_info ownInfo() {
  Dl_info info{};
  ::dladdr(reinterpret_cast<const void*>(&HInstance), &info);
  return info;
}

} // namespace

HMODULE HInstance() { return ownInfo().dli_fbase; }

std::string ownModulePath() {
  const Dl_info info = ownInfo();
  if (!info.dli_fname || !*info.dli_fname)
    return {};
  std::error_code ec;
  const std::filesystem::path path = std::filesystem::absolute(info.dli_fname, ec);
  return ec ? std::string(info.dli_fname) : path.lexically_normal().string();
}

// Short (8.3) path forms do not exist here: the full path goes in as it is.
std::string registryModulePath() { return ownModulePath(); }

bool FindResource(HMODULE module, int id, const char* type, TResourceData* out) {
  if (!module || module != HInstance() || !type || !out)
    return false;
  for (size_t i = 0; i < kResourceCount; ++i) {
    const TResourceEntry& entry = kResourceTable[i];
    if (entry.id == id && std::strcmp(entry.type, type) == 0) {
      *out = {entry.data, entry.size};
      return true;
    }
  }
  return false;
}

} // namespace quorvel
