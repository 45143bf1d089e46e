// Socket details of the listening socket and of connections, for the HTTP front.
#include "gateway/gatewaySocket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorvel::gateway {

namespace {

// Tries one resolved address; -1 and the reason in \p failure when it fails.
int listenOnAddress(const addrinfo& a, BindFailure& failure) {
  const int s = ::socket(a.ai_family, a.ai_socktype | SOCK_CLOEXEC, a.ai_protocol);
  if (s < 0) {
    failure = {std::strerror(errno), false};
    return -1;
  }
  int yes = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  // "::" means IPv6 only, as the address says; 0.0.0.0 is its own listener.
  if (a.ai_family == AF_INET6) setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, &yes, sizeof yes);
  if (::bind(s, a.ai_addr, a.ai_addrlen) != 0 || ::listen(s, 128) != 0) {
    const int error = errno;
    ::close(s);
    failure = {std::strerror(error), error == EADDRINUSE};
    return -1;
  }
  return s;
}

} // namespace

int listenOn(const std::string& host, int port, BindFailure& failure) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (int rc = getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found); rc != 0) {
    failure = {std::string("unknown address: ") + gai_strerror(rc), false};
    return -1;
  }
  int s = -1;
  failure = {"no address found", false};
  for (addrinfo* a = found; a && s < 0; a = a->ai_next) s = listenOnAddress(*a, failure);
  freeaddrinfo(found);
  return s;
}

int boundPort(int socket) {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) return -1;
  if (address.ss_family == AF_INET) return ntohs(reinterpret_cast<sockaddr_in&>(address).sin_port);
  return ntohs(reinterpret_cast<sockaddr_in6&>(address).sin6_port);
}

std::string numericAddress(const void* address) {
  const auto* a = static_cast<const sockaddr*>(address);
  if (!a) return {};
  const socklen_t size = a->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
  char text[NI_MAXHOST] = "";
  if (getnameinfo(a, size, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0) return {};
  return text;
}

void shutdownSocket(int socket) { ::shutdown(socket, SHUT_RDWR); }

void closeSocket(int socket) { ::close(socket); }

} // namespace quorvel::gateway
