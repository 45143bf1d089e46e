// What the native registry holds for a value, read without the layer.
#include <windows.h>

#include <string>

std::wstring storedUtf16(const char* key, const char* value) {
  auto widen = [](const char* s) {
    std::wstring out(MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s, -1, out.data(), int(out.size()));
    out.pop_back();
    return out;
  };
  wchar_t data[256] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, widen(key).c_str(), widen(value).c_str(), RRF_RT_REG_SZ,
                   nullptr, data, &size) != ERROR_SUCCESS)
    return L"(unreadable)";
  return data;
}
