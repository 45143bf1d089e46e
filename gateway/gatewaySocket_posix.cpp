// Socket details of the listening socket that the HTTP library leaves to us.
#include "gateway/gatewaySocket.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorvel::gateway {

void setListenSocketOptions(int socket) {
  int yes = 1;
  setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

void raiseListenBacklog(int socket) {
  // Calling listen() again on a listening socket only changes its backlog.
  ::listen(socket, 128);
}

BindFailure bindFailure(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (int rc = getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found); rc != 0)
    return {std::string("unknown address: ") + gai_strerror(rc), false};

  BindFailure failure{"unknown reason", false};
  for (addrinfo* a = found; a; a = a->ai_next) {
    const int s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (s < 0) {
      failure.reason = std::strerror(errno);
      continue;
    }
    setListenSocketOptions(s);
    const bool bound = ::bind(s, a->ai_addr, a->ai_addrlen) == 0;
    const int error = errno;
    ::close(s);
    if (bound) {
      failure = {"the address became free again; try once more", false};
      break;
    }
    failure = {std::strerror(error), error == EADDRINUSE};
  }
  freeaddrinfo(found);
  return failure;
}

} // namespace quorvel::gateway
