// Loading a library and finding its entry points on Windows: LoadLibrary
// and GetProcAddress.
#include "com/module.h"
#include "com/native_win32.h"

#include "util/unTextCodec.h"

namespace quorvel::com {

namespace native {

std::string win32ErrorText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string message(ours(text), n);
  ::LocalFree(text);
  while (!message.empty() &&
         (message.back() == u'\n' || message.back() == u'\r' || message.back() == u' '))
    message.pop_back();
  if (message.empty()) return "error " + std::to_string(error);
  return utf16ToUtf8(message);
}

} // namespace native

void* loadModule(const std::string& path, std::string* error) {
  const std::u16string wpath = utf8ToUtf16(path);
  HMODULE module = ::LoadLibraryW(native::wide(wpath.c_str()));
  if (!module && error) *error = native::win32ErrorText(::GetLastError());
  return reinterpret_cast<void*>(module);
}

void* moduleSymbol(void* module, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

void freeModule(void* module) {
  if (module) ::FreeLibrary(static_cast<HMODULE>(module));
}

} // namespace quorvel::com
