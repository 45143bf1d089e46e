// Reads the local wall clock through the Win32 time functions.
#include "util/unDate_clock.h"

#include <windows.h>

namespace quorvel::detail {

LocalClock readLocalClock() {
  SYSTEMTIME local{};
  ::GetLocalTime(&local);
  // The broken-down local time read as if it were UTC gives the local
  // milliseconds since 1970 for this very instant, daylight saving included.
  FILETIME asFileTime{};
  ::SystemTimeToFileTime(&local, &asFileTime);
  ULARGE_INTEGER ticks{};
  ticks.LowPart = asFileTime.dwLowDateTime;
  ticks.HighPart = asFileTime.dwHighDateTime;
  constexpr int64_t kTicksPerMilli = 10000;
  constexpr int64_t kMillisFrom1601To1970 = 11644473600000LL;
  const int64_t localMillis = int64_t(ticks.QuadPart / kTicksPerMilli) - kMillisFrom1601To1970;
  return LocalClock{local.wYear,   local.wMonth,  local.wDay, local.wHour,
                    local.wMinute, local.wSecond, localMillis};
}

} // namespace quorvel::detail
