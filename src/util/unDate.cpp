// Time values for the gateway requests: log time stamps and second counts.
#include "util/unDate.h"

#include "util/unDate_clock.h"

#include <cfenv>
#include <cmath>
#include <cstdio>

namespace quorvel {

namespace detail {

int64_t roundMillisToSeconds(int64_t millis) {
  int64_t q = millis / 1000;
  int64_t r = millis % 1000;
  if (r < 0) { // floor division, so that r lies in 0..999
    r += 1000;
    --q;
  }
  if (r > 500 || (r == 500 && (q & 1) != 0)) ++q;
  return q;
}

} // namespace detail

int32_t DateTimeToUnix(TDateTime ConvDate) {
  const double seconds = (ConvDate - UnixStartDate) * 86400.0;
  if (!std::isfinite(seconds)) return 0;
  // Round half to even regardless of the caller's rounding mode.
  const int saved = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const double whole = std::nearbyint(seconds);
  std::fesetround(saved);
  // The low 32 bits of the whole number, computed exactly for any magnitude.
  double low = std::fmod(whole, 4294967296.0);
  if (low < 0) low += 4294967296.0;
  return static_cast<int32_t>(static_cast<uint32_t>(low));
}

int64_t unixnow() {
  // Counted directly in 64 bits, so that the value stays right after 2038.
  return detail::roundMillisToSeconds(detail::readLocalClock().localMillis);
}

std::string nowstr() {
  const detail::LocalClock c = detail::readLocalClock();
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year,
                c.month, c.day, c.hour, c.minute, c.second);
  return buf;
}

} // namespace quorvel
