// Resources carried inside the library and their lookup by module, id and
// type on Windows: the resource section of the module DllMain was given.
#include "addin/unResources.h"

#include "util/unTextCodec.h"

#include <cstring>

// The system's headers define RT_BITMAP as a macro: the type's name is
// taken before.
namespace quorvel {
namespace {
constexpr const char* kBitmapTypeName = RT_BITMAP;
} // namespace
} // namespace quorvel

#include <windows.h>

// The system names its own functions the same way, as macros.
#undef FindResource
#undef LoadBitmap

namespace quorvel {

namespace {

// Set by DllMain before anything else runs.
HMODULE ownModule = nullptr;

std::string moduleFileName(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(static_cast<HINSTANCE>(const_cast<void*>(module)),
                                         path.data(), DWORD(path.size()));
    if (n == 0)
      return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return utf16ToUtf8(std::u16string(path.begin(), path.end()));
}

} // namespace

void setHInstance(HMODULE module) { ownModule = module; }

HMODULE HInstance() {
  if (!ownModule) {
    // Linked into a program instead of the library: the module holding this code.
    HINSTANCE self = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&HInstance), &self);
    ownModule = self;
  }
  return ownModule;
}

std::string ownModulePath() { return moduleFileName(HInstance()); }

std::string registryModulePath() {
  const std::string path = ownModulePath();
  if (path.find(' ') == std::string::npos)
    return path;
  // A path with a blank goes in as its short form, which has none.
  const std::u16string wide = utf8ToUtf16(path);
  const auto* longPath = reinterpret_cast<const wchar_t*>(wide.c_str());
  const DWORD needed = ::GetShortPathNameW(longPath, nullptr, 0);
  if (needed == 0)
    return path;
  std::wstring shortPath(needed, L'\0');
  const DWORD n = ::GetShortPathNameW(longPath, shortPath.data(), needed);
  if (n == 0 || n >= needed)
    return path;
  shortPath.resize(n);
  return utf16ToUtf8(std::u16string(shortPath.begin(), shortPath.end()));
}

bool FindResource(HMODULE module, int id, const char* type, TResourceData* out) {
  if (!module || !type || !out)
    return false;
  auto* instance = static_cast<HINSTANCE>(const_cast<void*>(module));
  // Bitmaps have their numbered type; other types go by name ("TYPELIB").
  const std::u16string typeName = utf8ToUtf16(type);
  LPCWSTR resourceType = std::strcmp(type, kBitmapTypeName) == 0
                             ? MAKEINTRESOURCEW(2)
                             : reinterpret_cast<LPCWSTR>(typeName.c_str());
  HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(id), resourceType);
  if (!found)
    return false;
  HGLOBAL loaded = ::LoadResource(instance, found);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data)
    return false;
  *out = {static_cast<const unsigned char*>(data), ::SizeofResource(instance, found)};
  return true;
}

} // namespace quorvel
