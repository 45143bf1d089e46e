// The gateway's HTTP front: POST /kavri goes to the service, everything else is refused.
#include "gateway/gatewayServer.h"

#include "gateway/gatewaySocket.h"

#include <httplib.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace quorvel::gateway {

namespace {

const char* const kPath = "/kavri";

// The library keeps its listening socket to itself; this reaches it to
// widen the accept queue, which the library keeps at a handful.
class HttpServer : public httplib::Server {
public:
  void widenBacklog() { raiseListenBacklog(static_cast<int>(svr_sock_.load())); }
};

// Moves the body over: a large batch's answer is not copied.
void apply(Answer&& answer, httplib::Response& res) {
  res.status = answer.status;
  res.body = std::move(answer.body);
  res.set_header("Content-Type", answer.contentType);
}

Answer tooLargeAnswer(std::size_t limit) {
  return errorAnswer("the request is larger than the gateway takes (" + std::to_string(limit) + " bytes)", 413);
}

void refuseMethod(const httplib::Request& req, httplib::Response& res) {
  if (req.path == kPath) {
    apply(plainAnswer(405, "Method not allowed: use POST"), res);
    res.set_header("Allow", "POST");
  } else {
    apply(plainAnswer(404, "Not found"), res);
  }
}

const char* reasonText(int status) {
  switch (status) {
    case 400: return "Bad request";
    case 404: return "Not found";
    case 405: return "Method not allowed";
    case 413: return "Request body too large";
    case 414: return "Request URI too long";
    case 416: return "Range not satisfiable";
    default: return status >= 500 ? "Internal server error" : "Request refused";
  }
}

enum class BodyRead { Complete, TooLarge, Broken };

// Hands the body on piece by piece to \p take. \p status is the response's
// status, which the library sets while reading.
template <class Take>
BodyRead readBody(const httplib::ContentReader& reader, std::size_t limit, Take take, const int& status) {
  bool tooLarge = false;
  std::size_t size = 0;
  const bool ok = reader([&](const char* data, std::size_t n) {
    if (n > limit - size) {
      tooLarge = true;
      return false;
    }
    size += n;
    take(std::string_view(data, n));
    return true;
  });
  if (ok) return BodyRead::Complete;
  // The library itself turns a declared length over the limit into 413.
  return tooLarge || status == 413 ? BodyRead::TooLarge : BodyRead::Broken;
}

} // namespace

struct GatewayServer::Impl {
  GatewayService& service;
  ServerOptions options;
  HttpServer http;
  int port = -1;

  std::mutex stateMutex;
  bool stopRequested = false;
  enum class State { Idle, Running, Finished } state = State::Idle;
  std::thread thread;

  Impl(GatewayService& s, ServerOptions o) : service(s), options(std::move(o)) { configure(); }

  void configure() {
    const std::size_t threads = options.threads ? options.threads : 1;
    http.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    http.set_socket_options(setListenSocketOptions);
    http.set_payload_max_length(options.maxBodyBytes);
    http.set_keep_alive_max_count(100);
    http.set_keep_alive_timeout(2);
    // Headers and body leave in separate writes; without this a kept-alive
    // connection waits for the peer's delayed acknowledgement on every answer.
    http.set_tcp_nodelay(true);

    http.Post(".*", [this](const httplib::Request& req, httplib::Response& res,
                           const httplib::ContentReader& reader) { post(req, res, reader); });
    auto refuseWithBody = [this](const httplib::Request& req, httplib::Response& res,
                                 const httplib::ContentReader& reader) {
      if (readBody(reader, options.maxBodyBytes, [](std::string_view) {}, res.status) == BodyRead::TooLarge)
        return apply(tooLargeAnswer(options.maxBodyBytes), res);
      refuseMethod(req, res);
    };
    http.Put(".*", refuseWithBody);
    http.Patch(".*", refuseWithBody);
    http.Delete(".*", refuseWithBody);
    if (options.reportHandler)
      http.Get("/dlr", [this](const httplib::Request& req, httplib::Response& res) {
        apply(options.reportHandler(req.params), res);
      });
    http.Get(".*", refuseMethod);
    http.Options(".*", refuseMethod);

    // Answers the library makes on its own (a malformed request line, ...)
    // get a body too, and with it a Content-Length.
    http.set_error_handler([this](const httplib::Request&, httplib::Response& res) {
      if (!res.body.empty()) return;
      if (res.status == 413) return apply(tooLargeAnswer(options.maxBodyBytes), res);
      apply(plainAnswer(res.status, reasonText(res.status)), res);
    });
    http.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
      apply(plainAnswer(500, "Internal server error"), res);
    });
  }

  void post(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
    if (req.path != kPath) {
      if (readBody(reader, options.maxBodyBytes, [](std::string_view) {}, res.status) == BodyRead::TooLarge)
        return apply(tooLargeAnswer(options.maxBodyBytes), res);
      return apply(plainAnswer(404, "Not found"), res);
    }
    try {
      answer(req, res, reader);
    } catch (...) {
      // Only the decoding can throw here (out of memory); the service never does.
      apply(errorAnswer("the gateway ran out of memory, nothing was sent", 500), res);
    }
  }

  void answer(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
    const ClientInfo client{req.remote_addr};
    const std::unique_ptr<RequestReader> request = service.reader(client);
    auto feed = [&](std::string_view piece) { request->feed(piece); };
    switch (readBody(reader, options.maxBodyBytes, feed, res.status)) {
      case BodyRead::TooLarge: return apply(tooLargeAnswer(options.maxBodyBytes), res);
      case BodyRead::Broken: return apply(plainAnswer(400, "The request body could not be read"), res);
      case BodyRead::Complete: break;
    }
    apply(service.handle(*request, client), res);
  }
};

GatewayServer::GatewayServer(GatewayService& service, ServerOptions options)
    : impl_(std::make_unique<Impl>(service, std::move(options))) {}

GatewayServer::~GatewayServer() { stop(); }

int GatewayServer::bind() {
  if (impl_->port >= 0) return impl_->port;
  const auto& o = impl_->options;
  const std::string where = o.host + ":" + std::to_string(o.port);
  if (o.port < 0 || o.port > 65535) throw ListenError("cannot listen on " + where + ": no such port", false);
  int port = o.port;
  if (o.port == 0) {
    port = impl_->http.bind_to_any_port(o.host);
    if (port <= 0) port = -1;
  } else if (!impl_->http.bind_to_port(o.host, o.port)) {
    port = -1;
  }
  if (port < 0) {
    const BindFailure failure = bindFailure(o.host, o.port);
    throw ListenError("cannot listen on " + where + ": " + failure.reason, failure.inUse);
  }
  impl_->http.widenBacklog();
  impl_->port = port;
  return port;
}

void GatewayServer::run() {
  bind();
  {
    std::lock_guard lock(impl_->stateMutex);
    if (impl_->stopRequested) return;
    impl_->state = Impl::State::Running;
  }
  impl_->http.listen_after_bind();
  std::lock_guard lock(impl_->stateMutex);
  impl_->state = Impl::State::Finished;
}

int GatewayServer::start() {
  const int port = bind();
  impl_->thread = std::thread([this] { run(); });
  return port;
}

void GatewayServer::stop() {
  Impl::State state;
  {
    std::lock_guard lock(impl_->stateMutex);
    impl_->stopRequested = true;
    state = impl_->state;
  }
  if (state == Impl::State::Running) {
    // run() has entered the library's accept loop or is about to; the
    // library ignores stop() until the loop has begun.
    for (;;) {
      if (impl_->http.is_running()) {
        impl_->http.stop();
        break;
      }
      std::lock_guard lock(impl_->stateMutex);
      if (impl_->state == Impl::State::Finished) break;
      std::this_thread::yield();
    }
  }
  if (impl_->thread.joinable() && impl_->thread.get_id() != std::this_thread::get_id()) impl_->thread.join();
}

int GatewayServer::port() const { return impl_->port; }

const std::string& GatewayServer::host() const { return impl_->options.host; }

} // namespace quorvel::gateway
