// Stopping the serve command cleanly on Ctrl+C or a termination request.
#include "gateway/gatewaySignals.h"

#include <pthread.h>
#include <signal.h>

namespace quorvel::gateway {

namespace {

sigset_t stopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

} // namespace

void blockStopSignals() {
  const sigset_t set = stopSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

void waitForStopSignal() {
  const sigset_t set = stopSignals();
  int received = 0;
  while (sigwait(&set, &received) != 0) {
  }
}

} // namespace quorvel::gateway
