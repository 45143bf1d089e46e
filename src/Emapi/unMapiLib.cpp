// Loads the mail library when the program or library that carries this code
// starts and binds its entry points by export name; a missing library or
// export leaves the pointers null. The loader itself is the platform's.
#include "Emapi/unMapiLib.h"

namespace quorvel {
namespace {

struct TMapiLibrary {
  void* handle = nullptr;

  TMapiLibrary() {
    handle = openMapiLibrary();
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
      closeMapiLibrary(handle);
  }

  TMapiLibrary(const TMapiLibrary&) = delete;
  TMapiLibrary& operator=(const TMapiLibrary&) = delete;

  void* find(const char* name) const { return handle ? findMapiExport(handle, name) : nullptr; }

  template <typename F> void bind(F& slot, const char* name) {
    slot = reinterpret_cast<F>(find(name));
  }
};

TMapiLibrary& library() {
  static TMapiLibrary lib;
  return lib;
}

// Loading happens at start, not on first use.
[[maybe_unused]] const bool loadedAtStart = (library(), true);

} // namespace

TMapiEntryPoints& mapiEntryPoints() {
  static TMapiEntryPoints ep;
  return ep;
}

bool mapiLibraryLoaded() { return library().handle != nullptr; }

void* mapiLibraryExport(const char* exportName) { return library().find(exportName); }

} // namespace quorvel
