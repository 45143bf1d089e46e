// Time values for the gateway requests: log time stamps and second counts.
#pragma once

#include <cstdint>
#include <string>

namespace quorvel {

/// Day count since 1899-12-30; the fraction is the time of day.
using TDateTime = double;

/// The day count of 1970-01-01 00:00.
inline constexpr TDateTime UnixStartDate = 25569.0;

/// Seconds between UnixStartDate and \p ConvDate, rounded half to even,
/// reduced to its low 32 bits.
int32_t DateTimeToUnix(TDateTime ConvDate);
/// Seconds since 1970-01-01 00:00 counted in local wall-clock time.
int64_t unixnow();
/// The current local time as "yyyy-mm-dd hh:nn:ss".
std::string nowstr();

} // namespace quorvel
