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

namespace {

std::string recode(const char* text, int length, UINT from, UINT to) {
  if (!text || length == 0) return {};
  const int wide = ::MultiByteToWideChar(from, 0, text, length, nullptr, 0);
  if (wide <= 0) return {};
  std::wstring utf16(std::size_t(wide), L'\0');
  ::MultiByteToWideChar(from, 0, text, length, utf16.data(), wide);
  const int n = ::WideCharToMultiByte(to, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string out(std::size_t(n > 0 ? n : 0), '\0');
  if (n > 0) ::WideCharToMultiByte(to, 0, utf16.data(), wide, out.data(), n, nullptr, nullptr);
  return out;
}

} // namespace

std::string toMapiText(const std::string& text) {
  return recode(text.data(), int(text.size()), CP_UTF8, CP_ACP);
}

std::string fromMapiText(const char* text) {
  return text ? recode(text, int(std::strlen(text)), CP_ACP, CP_UTF8) : std::string();
}

} // namespace quorvel
