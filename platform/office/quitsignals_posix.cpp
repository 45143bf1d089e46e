// Termination signals turned into a close of the main window: the handler
// writes one byte to a pipe whose read end the event loop watches.
#include "office/quitsignals.h"

#include <QSocketNotifier>
#include <QWidget>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace quorvel::office {

namespace {

int wakeFds[2] = {-1, -1};

void onSignal(int) {
  const char byte = 1;
  // Only async-signal-safe calls here; a full pipe already holds a wake-up.
  [[maybe_unused]] ssize_t n = write(wakeFds[1], &byte, 1);
}

} // namespace

void closeOnTerminationSignals(QWidget* window) {
  if (wakeFds[0] < 0) {
    if (pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  }
  auto* notifier = new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, window);
  QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
    char buf[16];
    while (read(wakeFds[0], buf, sizeof buf) > 0) {
    }
    window->close();
  });
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
}

} // namespace quorvel::office
