// Month and weekday names of reminder texts from the user's default locale.
#include "addin/unReminderText.h"

#include <windows.h>

#include <iterator>

namespace quorvel {

namespace {

// The name GetDateFormat gives for one picture ("MMMM" or "dddd") of a day.
std::u16string dateName(const wchar_t* picture, WORD month, WORD day) {
  SYSTEMTIME t{};
  t.wYear = 2004;
  t.wMonth = month;
  t.wDay = day;
  wchar_t name[128];
  const int length = ::GetDateFormatW(LOCALE_USER_DEFAULT, 0, &t, picture, name, int(std::size(name)));
  // The length counts the terminating null.
  return length > 1 ? std::u16string(name, name + length - 1) : std::u16string();
}

} // namespace

DateNames userDateNames() {
  // 7 March 2004 was a Sunday.
  return {[](int month) { return dateName(L"MMMM", WORD(month), 1); },
          [](int weekday) { return dateName(L"dddd", 3, WORD(7 + weekday)); }};
}

} // namespace quorvel
