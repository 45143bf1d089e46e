// DATE values (days since 1899-12-30) to and from calendar fields.
#include "com/oleauto.h"

#include <cmath>

namespace quorvel::com {

namespace {
// Days from 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's method).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + int64_t(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = unsigned(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = int64_t(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

constexpr int64_t kEpochOffset = 25569; // 1970-01-01 as a DATE

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int daysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : days[m - 1];
}
} // namespace

INT SystemTimeToVariantTime(const SYSTEMTIME* st, DOUBLE* pvtime) {
  if (!st || !pvtime) return FALSE;
  if (st->wYear < 100 || st->wYear > 9999 || st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1 ||
      st->wDay > daysInMonth(st->wYear, st->wMonth) || st->wHour > 23 || st->wMinute > 59 ||
      st->wSecond > 59 || st->wMilliseconds > 999)
    return FALSE;
  double days = double(daysFromCivil(st->wYear, st->wMonth, st->wDay) + kEpochOffset);
  double frac = (st->wHour * 3600.0 + st->wMinute * 60.0 + st->wSecond) / 86400.0;
  // Before 1899-12-30 the whole part counts backwards and the fraction still
  // counts forwards: -1.25 is 1899-12-29 06:00.
  *pvtime = days < 0 ? days - frac : days + frac;
  return TRUE;
}

INT VariantTimeToSystemTime(DOUBLE vtime, SYSTEMTIME* st) {
  if (!st || !std::isfinite(vtime) || vtime < -657434.0 || vtime >= 2958466.0) return FALSE;
  double whole = std::trunc(vtime);
  double frac = std::fabs(vtime - whole);
  int64_t seconds = std::llround(frac * 86400.0);
  int64_t day = int64_t(whole);
  if (seconds >= 86400) {
    seconds -= 86400;
    day += vtime < 0 ? -1 : 1;
  }
  int64_t y;
  unsigned m, d;
  civilFromDays(day - kEpochOffset, y, m, d);
  st->wYear = WORD(y);
  st->wMonth = WORD(m);
  st->wDay = WORD(d);
  st->wHour = WORD(seconds / 3600);
  st->wMinute = WORD(seconds / 60 % 60);
  st->wSecond = WORD(seconds % 60);
  st->wMilliseconds = 0;
  int64_t dow = (day - kEpochOffset + 4) % 7; // 1970-01-01 was a Thursday
  st->wDayOfWeek = WORD(dow < 0 ? dow + 7 : dow);
  return TRUE;
}

} // namespace quorvel::com
