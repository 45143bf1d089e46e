// A canned-reply HTTP(S) server on loopback, on POSIX sockets and OpenSSL.
#include "canned_server.h"

#include <arpa/inet.h>
#include <csignal>
#include <cerrno>
#include <netinet/in.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvel::testing {

namespace {

bool sameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

SSL_CTX* makeTlsContext(const TlsSetup& tls) {
  SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
  BIO* certBio = BIO_new_mem_buf(tls.certificatePem.data(), static_cast<int>(tls.certificatePem.size()));
  BIO* keyBio = BIO_new_mem_buf(tls.keyPem.data(), static_cast<int>(tls.keyPem.size()));
  X509* cert = PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr);
  EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr);
  const bool ok = ctx && cert && key && SSL_CTX_use_certificate(ctx, cert) == 1 &&
                  SSL_CTX_use_PrivateKey(ctx, key) == 1;
  X509_free(cert);
  EVP_PKEY_free(key);
  BIO_free(certBio);
  BIO_free(keyBio);
  if (!ok) {
    SSL_CTX_free(ctx);
    throw std::runtime_error("TLS set-up of the test server failed");
  }
  if (tls.askForClientCertificate)
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, [](int, X509_STORE_CTX*) { return 1; });
  return ctx;
}

// Sends head and body (never copied into one buffer) up to the reply's limit,
// stopping once at its pause point.
bool sendSegments(const std::function<bool(const char*, size_t)>& send, const CannedReply& r) {
  const std::string empty;
  const std::string* parts[] = {&r.head, r.body ? r.body.get() : &empty};
  size_t offset = 0; // position in head + body
  bool paused = !r.pause;
  for (const std::string* part : parts) {
    size_t from = 0;
    while (from < part->size()) {
      if (offset >= r.sendLimit) return true;
      size_t end = std::min(part->size(), from + (r.sendLimit - offset));
      if (!paused && r.pauseAt >= offset && r.pauseAt < offset + (end - from))
        end = from + (r.pauseAt - offset);
      if (end > from && !send(part->data() + from, end - from)) return false;
      offset += end - from;
      from = end;
      if (!paused && offset == r.pauseAt) {
        paused = true;
        r.pause();
      }
    }
  }
  return true;
}

} // namespace

std::vector<std::string> ReceivedRequest::headerValues(const std::string& name) const {
  std::vector<std::string> out;
  size_t start = head.find("\r\n");
  while (start != std::string::npos && start + 2 < head.size()) {
    start += 2;
    const size_t end = head.find("\r\n", start);
    const std::string line = head.substr(start, end - start);
    const size_t colon = line.find(':');
    if (colon != std::string::npos && sameIgnoringCase(line.substr(0, colon), name)) {
      size_t v = colon + 1;
      while (v < line.size() && line[v] == ' ') ++v;
      out.push_back(line.substr(v));
    }
    start = end;
  }
  return out;
}

std::string ReceivedRequest::requestLine() const { return head.substr(0, head.find("\r\n")); }

CannedReply reply(int status, std::string body, const std::string& extraHeaders, bool withLength) {
  CannedReply r;
  r.head = "HTTP/1.1 " + std::to_string(status) + " Canned\r\n" + extraHeaders;
  if (withLength) r.head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  r.head += "Connection: close\r\n\r\n";
  r.body = std::make_shared<const std::string>(std::move(body));
  return r;
}

struct CannedServer::Connection {
  explicit Connection(int f) : fd(f) {}
  int fd;
  SSL* ssl = nullptr;
  std::thread thread;
  bool finished = false; // guarded by the server's mutex

  long receive(char* buffer, size_t size) {
    if (ssl) return SSL_read(ssl, buffer, static_cast<int>(size));
    ssize_t n;
    do n = ::recv(fd, buffer, size, 0);
    while (n < 0 && errno == EINTR);
    return n;
  }
  bool sendAll(const char* data, size_t size) {
    while (size > 0) {
      long n = ssl ? SSL_write(ssl, data, static_cast<int>(std::min<size_t>(size, 1 << 20)))
                   : ::send(fd, data, size, MSG_NOSIGNAL);
      if (n < 0 && !ssl && errno == EINTR) continue;
      if (n <= 0) return false;
      data += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }
};

CannedServer::CannedServer(Responder responder, std::optional<TlsSetup> tls)
    : responder_(std::move(responder)) {
  std::signal(SIGPIPE, SIG_IGN);
  if (tls) tlsContext_ = makeTlsContext(*tls);
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listenFd_, 64) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    throw std::runtime_error("test server cannot listen");
  port_ = ntohs(addr.sin_port);
  acceptThread_ = std::thread([this] { acceptLoop(); });
}

CannedServer::~CannedServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  ::shutdown(listenFd_, SHUT_RDWR);
  acceptThread_.join();
  ::close(listenFd_);
  {
    std::lock_guard lock(mutex_);
    for (auto& c : connections_)
      if (c->fd >= 0) ::shutdown(c->fd, SHUT_RDWR);
  }
  for (auto& c : connections_) c->thread.join();
  SSL_CTX_free(static_cast<SSL_CTX*>(tlsContext_));
}

std::string CannedServer::origin() const {
  return std::string(tlsContext_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

std::vector<ReceivedRequest> CannedServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

int CannedServer::connections() const {
  std::lock_guard lock(mutex_);
  return accepted_;
}

void CannedServer::waitForRequests(size_t n) const {
  std::unique_lock lock(mutex_);
  arrived_.wait(lock, [&] { return requests_.size() >= n; });
}

void CannedServer::acceptLoop() {
  for (;;) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    std::lock_guard lock(mutex_);
    if (stopping_) {
      if (fd >= 0) ::close(fd);
      return;
    }
    if (fd < 0) continue;
    for (auto it = connections_.begin(); it != connections_.end();) {
      if ((*it)->finished) {
        (*it)->thread.join();
        it = connections_.erase(it);
      } else {
        ++it;
      }
    }
    ++accepted_;
    auto c = std::make_unique<Connection>(fd);
    Connection* raw = c.get();
    connections_.push_back(std::move(c));
    raw->thread = std::thread([this, raw] { serve(*raw); });
  }
}

bool CannedServer::sendReply(Connection& c, const CannedReply& r) {
  return sendSegments([&c](const char* data, size_t size) { return c.sendAll(data, size); }, r);
}

void CannedServer::serve(Connection& c) {
  bool reset = false;
  if (tlsContext_) {
    c.ssl = SSL_new(static_cast<SSL_CTX*>(tlsContext_));
    SSL_set_fd(c.ssl, c.fd);
  }
  std::string buffer;
  char chunk[16384];
  auto fill = [&](auto enough) {
    while (!enough()) {
      const long n = c.receive(chunk, sizeof chunk);
      if (n <= 0) return false;
      buffer.append(chunk, static_cast<size_t>(n));
    }
    return true;
  };
  if (c.ssl && SSL_accept(c.ssl) != 1) goto done;
  for (;;) {
    if (!fill([&] { return buffer.find("\r\n\r\n") != std::string::npos; })) break;
    ReceivedRequest request;
    const size_t end = buffer.find("\r\n\r\n") + 4;
    request.head = buffer.substr(0, end);
    buffer.erase(0, end);
    const auto lengths = request.headerValues("Content-Length");
    const size_t length = lengths.empty() ? 0 : std::stoull(lengths.front());
    if (!fill([&] { return buffer.size() >= length; })) break;
    request.body = buffer.substr(0, length);
    buffer.erase(0, length);
    {
      std::lock_guard lock(mutex_);
      request.number = requests_.size();
      requests_.push_back(request);
    }
    arrived_.notify_all();

    CannedReply r = responder_(request);
    if (r.silent) {
      while (c.receive(chunk, sizeof chunk) > 0) {
      }
      break;
    }
    if (!sendReply(c, r)) break;
    if (r.then == CannedReply::Then::reset) {
      reset = true;
      break;
    }
    if (r.then == CannedReply::Then::close) break;
  }
done:
  if (reset) {
    linger hard{1, 0};
    ::setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  } else if (c.ssl) {
    SSL_shutdown(c.ssl);
  }
  SSL_free(c.ssl);
  c.ssl = nullptr;
  std::lock_guard lock(mutex_);
  ::close(c.fd);
  c.fd = -1;
  c.finished = true;
}

IdlePort::IdlePort(Kind kind) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
      (kind == silent && ::listen(fd_, 16) != 0))
    throw std::runtime_error("cannot set up an idle port");
  port_ = ntohs(addr.sin_port);
}

IdlePort::~IdlePort() { ::close(fd_); }

} // namespace quorvel::testing
