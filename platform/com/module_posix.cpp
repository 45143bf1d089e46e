// Shared libraries through dlopen.
#include "com/module.h"

#include <dlfcn.h>

namespace quorvel::com {

void* loadModule(const std::string& path, std::string* error) {
  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle && error) {
    const char* why = dlerror();
    *error = why ? why : "unknown loader error";
  }
  return handle;
}

void* moduleSymbol(void* module, const char* name) {
  return module ? dlsym(module, name) : nullptr;
}

void freeModule(void* module) {
  if (module) dlclose(module);
}

} // namespace quorvel::com
