// Stand-in for the background credit query's header while the composer does
// not build on Windows: no query ever runs.
#pragma once

#include "composer/unGatewayRequest.h"

#include <chrono>

namespace quorvel {

/// What the library's unload needs of the credit queries.
class TGetCreditThread {
public:
  /// True at once: no query runs.
  static bool waitForAll(std::chrono::milliseconds limit);
  /// Always 0.
  static int runningCount();
};

} // namespace quorvel
