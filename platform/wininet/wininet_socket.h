// Socket calls the transfer code needs around libcurl.
#pragma once

#include <string>

namespace quorvel::wininet::detail {

/// Opens a stream socket; -1 on failure.
int openSocket(int family, int type, int protocol);
/// Closes a socket opened by openSocket.
void closeSocket(int socket);
/// The numeric address text of a socket address ("127.0.0.1", "::1").
std::string addressText(const void* sockaddr);
/// The local port a socket is bound to, or -1.
int localPort(int socket);
/// Whether an operating-system error code means the peer reset the connection.
bool isResetError(long osError);

} // namespace quorvel::wininet::detail
