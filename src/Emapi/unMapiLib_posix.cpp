// The mail library's loader on Linux: the shared object opened with dlopen,
// its exports found with dlsym; its 8-bit text is UTF-8 already.
#include "Emapi/unMapiLib.h"

#include <dlfcn.h>

namespace quorvel {

void* openMapiLibrary() {
  // Kept mapped after closing: the library brings in the window toolkit,
  // which must not be torn down under a running process.
  return ::dlopen(mapi::kMapiLibraryName, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
}

void* findMapiExport(void* library, const char* exportName) { return ::dlsym(library, exportName); }

void closeMapiLibrary(void* library) { ::dlclose(library); }

// The library here speaks UTF-8 itself.
std::string toMapiText(const std::string& text) { return text; }
std::string fromMapiText(const char* text) { return text ? text : ""; }

} // namespace quorvel
