// Loads the mail library when the program starts and binds its entry points
// by export name; a missing library or export leaves the pointers null.
#include "Emapi/unMapiLib.h"

#include <dlfcn.h>

namespace quorvel {
namespace {

struct TMapiLibrary {
  void* handle = nullptr;

  TMapiLibrary() {
    // Kept mapped after closing: the library brings in the window toolkit,
    // which must not be torn down under a running process.
    handle = ::dlopen(mapi::kMapiLibraryName, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle)
      return;
    TMapiEntryPoints& ep = mapiEntryPoints();
    bind(ep.MAPIInitialize, mapi::kExportMAPIInitialize);
    bind(ep.MAPIUninitialize, mapi::kExportMAPIUninitialize);
    bind(ep.MAPILogonEx, mapi::kExportMAPILogonEx);
    bind(ep.MAPIAllocateBuffer, mapi::kExportMAPIAllocateBuffer);
    bind(ep.MAPIFreeBuffer, mapi::kExportMAPIFreeBuffer);
    bind(ep.HrQueryAllRows, mapi::kExportHrQueryAllRows);
    bind(ep.FreeProws, mapi::kExportFreeProws);
    bind(ep.HrGetOneProp, mapi::kExportHrGetOneProp);
    bind(ep.WrapCompressedRTFStream, mapi::kExportWrapCompressedRTFStream);
    bind(ep.RTFSync, mapi::kExportRTFSync);
  }

  ~TMapiLibrary() {
    mapiEntryPoints() = TMapiEntryPoints{};
    if (handle)
      ::dlclose(handle);
  }

  template <typename F> void bind(F& slot, const char* name) {
    slot = reinterpret_cast<F>(::dlsym(handle, name));
  }
};

TMapiLibrary& library() {
  static TMapiLibrary lib;
  return lib;
}

// Loading happens with the program's start, not on first use.
[[maybe_unused]] const bool loadedAtStart = (library(), true);

} // namespace

TMapiEntryPoints& mapiEntryPoints() {
  static TMapiEntryPoints ep;
  return ep;
}

bool mapiLibraryLoaded() { return library().handle != nullptr; }

void* mapiLibraryExport(const char* exportName) {
  return library().handle ? ::dlsym(library().handle, exportName) : nullptr;
}

// The library here speaks UTF-8 itself.
std::string toMapiText(const std::string& text) { return text; }
std::string fromMapiText(const char* text) { return text ? text : ""; }

} // namespace quorvel
