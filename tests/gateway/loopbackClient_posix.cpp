// A bare TCP client for the HTTP front's tests: requests cut short, trickled or oversized.
#include "loopbackClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <stdexcept>

namespace quorvel::gateway::test {

LoopbackClient::LoopbackClient(int port) {
  socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (socket_ < 0 || ::connect(socket_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
    throw std::runtime_error("cannot connect to 127.0.0.1:" + std::to_string(port));
  timeval limit{10, 0};
  setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(socket_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

LoopbackClient::~LoopbackClient() {
  if (socket_ >= 0) ::close(socket_);
}

bool LoopbackClient::send(std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::send(socket_, data.data(), data.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string LoopbackClient::readToClose() {
  std::string all;
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::recv(socket_, buffer, sizeof buffer, 0);
    if (n <= 0) return all;
    all.append(buffer, static_cast<std::size_t>(n));
  }
}

bool LoopbackClient::waitClosed() {
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::recv(socket_, buffer, sizeof buffer, 0);
    if (n == 0) return true;
    if (n < 0) return errno != EAGAIN && errno != EWOULDBLOCK;
  }
}

bool LoopbackClient::closedNow() {
  pollfd p{socket_, POLLIN, 0};
  if (::poll(&p, 1, 0) <= 0) return false;
  char c;
  return ::recv(socket_, &c, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;
}

std::size_t residentBytes() {
  std::ifstream status("/proc/self/status");
  std::string key;
  std::size_t kib = 0;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> kib;
      break;
    }
  }
  return kib * 1024;
}

} // namespace quorvel::gateway::test
