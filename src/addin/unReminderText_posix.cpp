// Month and weekday names of reminder texts from the process's LC_TIME locale.
#include "addin/unReminderText.h"

#include "util/unTextCodec.h"

#include <ctime>
#include <cwchar>
#include <iterator>

namespace quorvel {

namespace {

// wcsftime hands out the locale's names as wide characters, so no code set
// of the locale needs knowing.
std::u16string timeName(const wchar_t* format, const std::tm& tm) {
  wchar_t name[128];
  const size_t length = std::wcsftime(name, std::size(name), format, &tm);
  std::string utf8;
  for (size_t i = 0; i < length; ++i) appendUtf8(utf8, char32_t(name[i]));
  return utf8ToUtf16(utf8);
}

} // namespace

DateNames userDateNames() {
  return {[](int month) {
            std::tm tm{};
            tm.tm_mon = month - 1;
            return timeName(L"%B", tm);
          },
          [](int weekday) {
            std::tm tm{};
            tm.tm_wday = weekday;
            return timeName(L"%A", tm);
          }};
}

} // namespace quorvel
