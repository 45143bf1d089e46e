// Socket details of the listening socket and of connections, for the HTTP front.
#pragma once

#include <string>

namespace quorvel::gateway {

/// Why an address could not be bound.
struct BindFailure {
  std::string reason;  ///< in words, e.g. "Address already in use"
  bool inUse = false;  ///< another socket holds the port
};

/// A listening socket on \p host : \p port (port 0: any free port), with a
/// wide accept queue, reusing a port in TIME_WAIT but never sharing one with
/// another running server. -1 with \p failure filled in when it cannot be had.
int listenOn(const std::string& host, int port, BindFailure& failure);

/// The local port of a bound socket.
int boundPort(int socket);

/// The numeric text of a socket address ("127.0.0.1", "::1"); \p address
/// points to a struct sockaddr.
std::string numericAddress(const void* address);

/// Ends both directions of a connection; its owner sees it closed and
/// closes the socket itself.
void shutdownSocket(int socket);

void closeSocket(int socket);

} // namespace quorvel::gateway
