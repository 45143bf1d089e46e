// Socket details of the listening socket that the HTTP library leaves to us.
#pragma once

#include <string>

namespace quorvel::gateway {

/// Options for the listening socket: reuse of a port in TIME_WAIT, but never
/// sharing a port with another running server.
void setListenSocketOptions(int socket);

/// Lets more connections wait for accept than the library's small default.
void raiseListenBacklog(int socket);

/// Why an address could not be bound.
struct BindFailure {
  std::string reason;  ///< in words, e.g. "Address already in use"
  bool inUse = false;  ///< another socket holds the port
};

/// Finds out why \p host : \p port cannot be bound.
BindFailure bindFailure(const std::string& host, int port);

} // namespace quorvel::gateway
