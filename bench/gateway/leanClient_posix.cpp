// A minimal HTTP/1.1 client for the benchmarks: one kept-alive connection, a fixed request.
#include "leanClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace quorvel::gateway::bench {

LeanClient::LeanClient(int port, const std::string& body, bool keepAlive) : port_(port), keepAlive_(keepAlive) {
  request_ = "POST /kavri HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n";
  if (!keepAlive) request_ += "Connection: close\r\n";
  request_ += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

LeanClient::~LeanClient() {
  if (socket_ >= 0) ::close(socket_);
}

bool LeanClient::connect() {
  socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port_));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int yes = 1;
  setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  timeval limit{30, 0};
  setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  if (socket_ >= 0 && ::connect(socket_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return true;
  if (socket_ >= 0) ::close(socket_);
  socket_ = -1;
  return false;
}

int LeanClient::post() {
  // A kept-alive connection the server closed meanwhile fails once: retry on a new one.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (socket_ < 0 && !connect()) return 0;
    const int status = exchange();
    if (!keepAlive_ || status == 0) {
      ::close(socket_);
      socket_ = -1;
    }
    if (status) return status;
  }
  return 0;
}

int LeanClient::exchange() {
  if (::send(socket_, request_.data(), request_.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request_.size())) return 0;
  buffer_.clear();
  std::size_t headerEnd = std::string::npos, total = 0;
  char chunk[16384];
  while (headerEnd == std::string::npos || buffer_.size() < total) {
    const ssize_t n = ::recv(socket_, chunk, sizeof chunk, 0);
    if (n <= 0) return 0;
    buffer_.append(chunk, static_cast<std::size_t>(n));
    if (headerEnd != std::string::npos) continue;
    headerEnd = buffer_.find("\r\n\r\n");
    if (headerEnd == std::string::npos) continue;
    const std::size_t at = buffer_.find("Content-Length: ");
    if (at == std::string::npos || at > headerEnd) return 0;
    total = headerEnd + 4 + std::strtoul(buffer_.c_str() + at + 16, nullptr, 10);
  }
  body_.assign(buffer_, headerEnd + 4, total - headerEnd - 4);
  return std::atoi(buffer_.c_str() + 9);  // after "HTTP/1.1 "
}

} // namespace quorvel::gateway::bench
