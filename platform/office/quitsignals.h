// Ending the host in order when the session ends it: SIGINT and SIGTERM
// close the main window, which shuts the add-ins down and saves.
#pragma once

class QWidget;

namespace quorvel::office {

/// From now on, SIGINT, SIGTERM and SIGHUP close \p window from the event
/// loop instead of killing the process.
void closeOnTerminationSignals(QWidget* window);

} // namespace quorvel::office
