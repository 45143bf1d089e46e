// Helpers for the calendar tests: a fixed time zone and UTC instants.
#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

namespace quorvel::calendar::test {

/// Central European time with its summer rule, without zone files.
inline void useCentralEuropeanTime() {
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  tzset();
}

/// Seconds since the epoch of a UTC date and time.
inline int64_t utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  return static_cast<int64_t>(timegm(&tm));
}

/// A calendar around the given component lines.
inline std::string calendar(const std::string& body) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + body + "END:VCALENDAR\r\n";
}

} // namespace quorvel::calendar::test
