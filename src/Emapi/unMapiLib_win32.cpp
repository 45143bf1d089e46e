// Loads MAPI32.DLL when the library starts and binds its entry points by
// export name; a missing library or export leaves the pointers null.
#include "Emapi/unMapiLib.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace quorvel {
namespace {

struct TMapiLibrary {
  HMODULE handle = nullptr;

  TMapiLibrary() {
    handle = ::LoadLibraryA(mapi::kMapiLibraryName);
    if (!handle) return;
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
    if (handle) ::FreeLibrary(handle);
  }

  TMapiLibrary(const TMapiLibrary&) = delete;
  TMapiLibrary& operator=(const TMapiLibrary&) = delete;

  void* find(const char* name) const {
    if (!handle) return nullptr;
    if (FARPROC p = ::GetProcAddress(handle, name)) return reinterpret_cast<void*>(p);
#ifdef _WIN64
    // 64-bit code has one calling convention and no decorated names: the
    // 64-bit library exports "HrQueryAllRows" for "HrQueryAllRows@24".
    if (const char* at = std::strchr(name, '@'))
      return reinterpret_cast<void*>(::GetProcAddress(handle, std::string(name, at).c_str()));
#endif
    return nullptr;
  }

  template <typename F> void bind(F& slot, const char* name) {
    slot = reinterpret_cast<F>(find(name));
  }
};

TMapiLibrary& library() {
  static TMapiLibrary lib;
  return lib;
}

// Loading happens with the library's start, not on first use.
[[maybe_unused]] const bool loadedAtStart = (library(), true);

} // namespace

TMapiEntryPoints& mapiEntryPoints() {
  static TMapiEntryPoints ep;
  return ep;
}

bool mapiLibraryLoaded() { return library().handle != nullptr; }

void* mapiLibraryExport(const char* exportName) { return library().find(exportName); }

} // namespace quorvel
