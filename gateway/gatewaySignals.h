// Stopping the serve command cleanly on Ctrl+C or a termination request.
#pragma once

namespace quorvel::gateway {

/// Holds back SIGINT and SIGTERM in the calling thread and every thread it
/// starts afterwards, and ignores SIGPIPE (a client that hangs up early must
/// not end the server). Call before starting threads.
void blockStopSignals();

/// Waits until SIGINT or SIGTERM arrives.
void waitForStopSignal();

} // namespace quorvel::gateway
