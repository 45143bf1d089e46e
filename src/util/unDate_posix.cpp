// Reads the local wall clock through the POSIX time functions.
#include "util/unDate_clock.h"

#include <time.h>

namespace quorvel::detail {

LocalClock readLocalClock() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  // tm_gmtoff is the offset of local wall-clock time from UTC, daylight
  // saving included, valid for this very instant.
  const int64_t localSeconds = static_cast<int64_t>(now.tv_sec) + local.tm_gmtoff;
  return LocalClock{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                    local.tm_hour,        local.tm_min,      local.tm_sec,
                    localSeconds * 1000 + now.tv_nsec / 1000000};
}

} // namespace quorvel::detail
