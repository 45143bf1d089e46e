// The mail library's loader on Windows: MAPI32.DLL through LoadLibrary, its
// exports through GetProcAddress; its 8-bit text in the ANSI code page.
#include "Emapi/unMapiLib.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace quorvel {

void* openMapiLibrary() { return ::LoadLibraryA(mapi::kMapiLibraryName); }

void* findMapiExport(void* library, const char* exportName) {
  const HMODULE module = static_cast<HMODULE>(library);
  if (FARPROC p = ::GetProcAddress(module, exportName)) return reinterpret_cast<void*>(p);
#ifdef _WIN64
  // 64-bit code has one calling convention and no decorated names: the
  // 64-bit library exports "HrQueryAllRows" for "HrQueryAllRows@24".
  if (const char* at = std::strchr(exportName, '@'))
    return reinterpret_cast<void*>(::GetProcAddress(module, std::string(exportName, at).c_str()));
#endif
  return nullptr;
}

void closeMapiLibrary(void* library) { ::FreeLibrary(static_cast<HMODULE>(library)); }

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
