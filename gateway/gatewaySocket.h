// Socket details of the listening socket that the HTTP library leaves to us.
#pragma once

#include <string>

namespace quorvel::gateway {

/// Options for the listening socket: reuse of a port in TIME_WAIT, but never
/// sharing a port with another running server.
void setListenSocketOptions(int socket);

/// Lets more connections wait for accept than the library's small default.
void raiseListenBacklog(int socket);

/// Why \p host : \p port cannot be bound, in words ("Address already in use").
std::string bindFailureReason(const std::string& host, int port);

} // namespace quorvel::gateway
