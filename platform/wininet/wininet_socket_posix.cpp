// Socket calls the transfer code needs around libcurl, on POSIX systems.
#include "wininet_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvel::wininet::detail {

int openSocket(int family, int type, int protocol) {
  return ::socket(family, type | SOCK_CLOEXEC, protocol);
}

void closeSocket(int socket) { ::close(socket); }

std::string addressText(const void* address) {
  const auto* sa = static_cast<const sockaddr*>(address);
  char text[INET6_ADDRSTRLEN] = "";
  if (sa->sa_family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(sa)->sin_addr, text, sizeof text);
  else if (sa->sa_family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(sa)->sin6_addr, text, sizeof text);
  return text;
}

int localPort(int socket) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return -1;
  if (address.ss_family == AF_INET) return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
  if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
  return -1;
}

bool isResetError(long osError) { return osError == ECONNRESET || osError == EPIPE; }

} // namespace quorvel::wininet::detail
