// The local wall clock as the date routines need it (one source per platform).
#pragma once

#include <cstdint>

namespace quorvel::detail {

/// The current local date and time, broken down, plus the milliseconds
/// elapsed since 1970-01-01 00:00 of local wall-clock time.
struct LocalClock {
  int year, month, day, hour, minute, second;
  int64_t localMillis;
};

/// Reads the local wall clock once.
LocalClock readLocalClock();

/// Local milliseconds since 1970 to whole seconds, halves rounded to even.
int64_t roundMillisToSeconds(int64_t millis);

} // namespace quorvel::detail
