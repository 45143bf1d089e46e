// Resident memory of a running process, for the benchmarks' memory figures.
#pragma once

#include <cstddef>

namespace quorvel::gateway::bench {

/// Bytes of \p pid's memory now resident; 0 when unknown.
std::size_t residentBytes(int pid);
/// The most bytes resident at once since the start or the last resetPeakResident(); 0 when unknown.
std::size_t peakResidentBytes(int pid);
/// Starts the peak over from the present size; false when the system does not allow it.
bool resetPeakResident(int pid);

} // namespace quorvel::gateway::bench
