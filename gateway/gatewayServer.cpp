// The gateway's HTTP front: POST /kavri goes to the service, everything else is refused.
#include "gateway/gatewayServer.h"

#include "gateway/gatewayForm.h"
#include "gateway/gatewayServerLimits.h"
#include "gateway/gatewaySocket.h"
#include "gateway/gatewayTls.h"
#include "gateway/gatewayWorkers.h"

#include <microhttpd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace quorvel::gateway {

namespace {

using Clock = std::chrono::steady_clock;

const char* const kPath = "/kavri";

// One request, from its headers to its answer (MHD's request context).
struct Request {
  enum class Stage { Reading, WithService, Answered } stage = Stage::Reading;
  bool forService = false;  // POST /kavri
  bool forReport = false;   // GET /dlr; otherwise \c answer is the refusal
  std::multimap<std::string, std::string> reportFields;
  ClientInfo client;
  std::unique_ptr<RequestReader> reader;
  std::size_t size = 0;
  bool tooLarge = false;
  bool broken = false;
  bool stopping = false;  // the gateway stopped while the sign-in waited
  bool counted = false;   // counted in withService until its answer is sent
  Answer answer;
};

// A connection's socket and since when its current request runs.
struct Tracked {
  int socket = -1;
  Clock::time_point since;
  bool withService = false;
  bool cut = false;
};

// Decodes %XX and "+" in the path and the query fields.
size_t unescape(void*, MHD_Connection*, char* s) { return unescapeInPlace(s); }

MHD_Result addField(void* cls, MHD_ValueKind, const char* key, const char* value) {
  static_cast<std::multimap<std::string, std::string>*>(cls)->emplace(key ? key : "", value ? value : "");
  return MHD_YES;
}

MHD_Result queue(MHD_Connection* c, const Answer& answer, bool close) {
  MHD_Response* response =
      MHD_create_response_from_buffer(answer.body.size(), const_cast<char*>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
  if (!response) return MHD_NO;
  if (!answer.contentType.empty()) MHD_add_response_header(response, "Content-Type", answer.contentType.c_str());
  if (answer.status == 405) MHD_add_response_header(response, "Allow", "POST");
  if (close) MHD_add_response_header(response, "Connection", "close");
  const MHD_Result rc = MHD_queue_response(c, static_cast<unsigned>(answer.status), response);
  MHD_destroy_response(response);
  return rc;
}

} // namespace

struct GatewayServer::Impl {
  GatewayService& service;
  ServerOptions options;
  TlsKeyPair tls;
  int listenSocket = -1;
  int port = -1;
  MHD_Daemon* daemon = nullptr;
  std::unique_ptr<Workers> workers;

  std::mutex stateMutex;
  std::condition_variable stateChanged;
  bool stopRequested = false;
  bool serving = false;  // run() has passed the point where stop() could prevent it
  std::thread thread;

  std::mutex trackedMutex;
  std::condition_variable answersSent;
  std::unordered_map<MHD_Connection*, Tracked> tracked;
  std::size_t withService = 0;  // requests handed to the service and not yet answered

  Impl(GatewayService& s, ServerOptions o) : service(s), options(std::move(o)) {}
  ~Impl() {
    if (listenSocket >= 0) closeSocket(listenSocket);
  }

  bool tlsEnabled() const { return !options.tlsCertFile.empty() || !options.tlsKeyFile.empty(); }

  // --- the event thread's callbacks ---

  static MHD_Result onRequest(void* cls, MHD_Connection* c, const char* url, const char* method, const char*,
                              const char* upload, size_t* uploadSize, void** context) {
    try {
      auto* self = static_cast<Impl*>(cls);
      if (!*context) return self->begin(c, url, method, context);
      return self->proceed(c, upload, uploadSize, *static_cast<Request*>(*context));
    } catch (...) {
      return MHD_NO;  // out of memory: the connection is dropped
    }
  }

  // The headers are in: refuse at once what needs no body read, else start the request.
  MHD_Result begin(MHD_Connection* c, const char* url, const char* method, void** context) {
    if (auto refusal = screenRequest(c, url, method, options.maxBodyBytes)) return queue(c, *refusal, true);
    auto request = std::make_unique<Request>();
    const MHD_ConnectionInfo* peer = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    request->client.address = numericAddress(peer ? peer->client_addr : nullptr);
    const bool post = std::strcmp(method, "POST") == 0;
    const bool ours = std::strcmp(url, kPath) == 0;
    if (post && ours) {
      request->forService = true;
      request->reader = service.reader(request->client);
    } else if (!post && std::strcmp(method, "GET") == 0 && std::strcmp(url, "/dlr") == 0 && options.reportHandler) {
      // Recording a report commits to the store: a worker does it.
      request->forReport = true;
      MHD_get_connection_values(c, MHD_GET_ARGUMENT_KIND, addField, &request->reportFields);
    } else if (ours) {
      request->answer = plainAnswer(405, "Method not allowed: use POST");
    } else {
      request->answer = plainAnswer(404, "Not found");
    }
    *context = request.release();
    return MHD_YES;
  }

  MHD_Result proceed(MHD_Connection* c, const char* upload, size_t* uploadSize, Request& r) {
    if (*uploadSize > 0) {
      take(r, std::string_view(upload, *uploadSize));
      *uploadSize = 0;
      if (r.reader && r.reader->signInPending() && !signInAtOnce(r)) signInAside(c, r);
      return MHD_YES;
    }
    if (r.tooLarge) return queue(c, tooLargeAnswer(options.maxBodyBytes), true);
    if (r.broken) return queue(c, errorAnswer("the gateway ran out of memory, nothing was sent", 500), true);
    if (r.stopping) return queue(c, plainAnswer(503, "The gateway is stopping; try again"), true);
    if (!(r.forService || r.forReport) || r.stage == Request::Stage::Answered) return queue(c, r.answer, false);
    if (r.forService && r.stage == Request::Stage::Reading) {
      if (auto quick = service.answerAtOnce(*r.reader, r.client)) {
        r.reader.reset();
        r.stage = Request::Stage::Answered;
        return queue(c, *quick, false);
      }
    }
    if (r.stage == Request::Stage::Reading) handOver(c, r);
    return MHD_YES;
  }

  // Feeds a piece of the body to the reader; a body over the limit is read
  // on but dropped (its length was not declared), then refused.
  void take(Request& r, std::string_view piece) {
    if (r.tooLarge || r.broken || r.stopping) return;
    if (piece.size() > options.maxBodyBytes - r.size) {
      r.tooLarge = true;
      r.reader.reset();
      return;
    }
    r.size += piece.size();
    if (!r.forService) return;
    try {
      r.reader->feed(piece);
    } catch (...) {
      r.broken = true;
      r.reader.reset();
    }
  }

  // A sign-in the service can decide without waiting is decided here.
  static bool signInAtOnce(Request& r) {
    try {
      return r.reader->signInAtOnce();
    } catch (...) {
      return false;  // the worker tries again, and reports what fails
    }
  }

  // The credentials are in: their check may block (a password hash, a wait
  // for a free hash slot), so it runs on a worker with the connection
  // suspended. The time it takes is the gateway's, not the client's: it does
  // not count against the request's deadline.
  void signInAside(MHD_Connection* c, Request& r) {
    MHD_suspend_connection(c);
    const Clock::time_point began = Clock::now();
    {
      std::lock_guard lock(trackedMutex);
      if (auto it = tracked.find(c); it != tracked.end()) it->second.withService = true;
    }
    run([this, c, &r, began](bool stopping) {
      if (stopping) {
        r.stopping = true;
        r.reader.reset();
      } else {
        try {
          r.reader->signIn();
        } catch (...) {
          r.broken = true;
          r.reader.reset();
        }
      }
      {
        std::lock_guard lock(trackedMutex);
        if (auto it = tracked.find(c); it != tracked.end()) {
          it->second.withService = false;
          it->second.since += Clock::now() - began;
        }
      }
      MHD_resume_connection(c);
    });
  }

  // Gives \p job to the workers; once they stopped, it is wound up here.
  void run(const Workers::Job& job) {
    if (!workers->submit(job)) job(true);
  }

  // The body is complete: the service may block (password hash, commit),
  // so it runs on a worker while the event thread serves everyone else.
  void handOver(MHD_Connection* c, Request& r) {
    r.stage = Request::Stage::WithService;
    r.counted = true;
    MHD_suspend_connection(c);
    {
      std::lock_guard lock(trackedMutex);
      ++withService;
      if (auto it = tracked.find(c); it != tracked.end()) it->second.withService = true;
    }
    run([this, c, &r](bool stopping) {
      r.answer = stopping ? plainAnswer(503, "The gateway is stopping; try again") : answerFor(r);
      r.reader.reset();
      r.stage = Request::Stage::Answered;
      {
        std::lock_guard lock(trackedMutex);
        // Writing the answer gets a deadline of its own.
        if (auto it = tracked.find(c); it != tracked.end()) it->second = {it->second.socket, Clock::now(), false, false};
      }
      MHD_resume_connection(c);
    });
  }

  Answer answerFor(Request& r) noexcept {
    if (r.forService) return service.handle(*r.reader, r.client);
    try {
      return options.reportHandler(r.reportFields);
    } catch (...) {
      return plainAnswer(500, "The report could not be recorded");
    }
  }

  static void onCompleted(void* cls, MHD_Connection* c, void** context, MHD_RequestTerminationCode) {
    auto* self = static_cast<Impl*>(cls);
    auto* r = static_cast<Request*>(*context);
    *context = nullptr;
    std::lock_guard lock(self->trackedMutex);
    if (r && r->counted) {
      --self->withService;
      self->answersSent.notify_all();
    }
    delete r;
    // The next request on this connection has a deadline of its own.
    if (auto it = self->tracked.find(c); it != self->tracked.end()) it->second.since = Clock::now();
  }

  static void onConnection(void* cls, MHD_Connection* c, void**, MHD_ConnectionNotificationCode code) {
    auto* self = static_cast<Impl*>(cls);
    std::lock_guard lock(self->trackedMutex);
    if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
      self->tracked.erase(c);
      return;
    }
    const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (info) self->tracked[c] = Tracked{info->connect_fd, Clock::now()};
  }

  // Cuts every connection whose request has taken longer than the deadline
  // (the library's own time-out restarts with every byte).
  void enforceDeadline() {
    const Clock::time_point now = Clock::now();
    std::lock_guard lock(trackedMutex);
    for (auto& [connection, t] : tracked) {
      if (t.withService || t.cut || now - t.since <= options.requestDeadline) continue;
      t.cut = true;
      shutdownSocket(t.socket);
    }
  }

  // --- life cycle ---

  // Each connection holds the library's default 32 KiB for its request line,
  // headers and read buffer (a larger pool made every request ~50 µs slower
  // on the kept-alive path); headers beyond it get the library's own 431.
  void startDaemon() {
    unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME;
    std::vector<MHD_OptionItem> o = {
        {MHD_OPTION_LISTEN_SOCKET, listenSocket, nullptr},
        {MHD_OPTION_CONNECTION_LIMIT, static_cast<intptr_t>(options.maxConnections), nullptr},
        {MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<intptr_t>(options.maxConnectionsPerAddress), nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, static_cast<intptr_t>(options.idleSeconds), nullptr},
        {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&onCompleted), this},
        {MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(&onConnection), this},
        {MHD_OPTION_UNESCAPE_CALLBACK, reinterpret_cast<intptr_t>(&unescape), nullptr},
    };
    if (tlsEnabled()) {
      flags |= MHD_USE_TLS;
      o.push_back({MHD_OPTION_HTTPS_MEM_CERT, 0, tls.certificate.data()});
      o.push_back({MHD_OPTION_HTTPS_MEM_KEY, 0, tls.key.data()});
    }
    o.push_back({MHD_OPTION_END, 0, nullptr});
    daemon = MHD_start_daemon(flags, 0, nullptr, nullptr, &onRequest, this, MHD_OPTION_ARRAY, o.data(), MHD_OPTION_END);
    if (!daemon) throw std::runtime_error("the HTTP server could not start on " + options.host);
    listenSocket = -1;  // the library's now
  }

  // Stops taking connections, lets the service finish what it holds, then
  // closes everything else without waiting on slow clients.
  void shutDown() {
    // The listening socket refuses new clients at once, but is closed only
    // once the library's thread is gone: that thread still takes it out of
    // its epoll set, and a number closed meanwhile could be another file's.
    const MHD_socket listening = MHD_quiesce_daemon(daemon);
    if (listening != MHD_INVALID_SOCKET) shutdownSocket(listening);
    workers->stop();  // requests not begun are answered 503
    {
      std::unique_lock lock(trackedMutex);
      answersSent.wait_for(lock, std::chrono::seconds(1), [this] { return withService == 0; });
    }
    MHD_stop_daemon(daemon);
    daemon = nullptr;
    if (listening != MHD_INVALID_SOCKET) closeSocket(listening);
  }

  void serve() {
    workers = std::make_unique<Workers>(options.threads ? options.threads : 1);
    startDaemon();
    const auto period = std::clamp<std::chrono::milliseconds>(options.requestDeadline / 10, std::chrono::milliseconds(10),
                                                              std::chrono::milliseconds(1000));
    std::unique_lock lock(stateMutex);
    while (!stopRequested) {
      stateChanged.wait_for(lock, period);
      lock.unlock();
      enforceDeadline();
      lock.lock();
    }
    lock.unlock();
    shutDown();
  }
};

GatewayServer::GatewayServer(GatewayService& service, ServerOptions options)
    : impl_(std::make_unique<Impl>(service, std::move(options))) {}

GatewayServer::~GatewayServer() { stop(); }

int GatewayServer::bind() {
  if (impl_->port >= 0) return impl_->port;
  const auto& o = impl_->options;
  if (impl_->tlsEnabled()) impl_->tls = loadTlsKeyPair(o.tlsCertFile, o.tlsKeyFile);
  const std::string where = o.host + ":" + std::to_string(o.port);
  if (o.port < 0 || o.port > 65535) throw ListenError("cannot listen on " + where + ": no such port", false);
  BindFailure failure;
  const int s = listenOn(o.host, o.port, failure);
  if (s < 0) throw ListenError("cannot listen on " + where + ": " + failure.reason, failure.inUse);
  impl_->listenSocket = s;
  impl_->port = boundPort(s);
  return impl_->port;
}

void GatewayServer::run() {
  bind();
  {
    std::lock_guard lock(impl_->stateMutex);
    if (impl_->stopRequested) return;
    impl_->serving = true;
  }
  impl_->serve();
}

int GatewayServer::start() {
  const int port = bind();
  impl_->thread = std::thread([this] { run(); });
  return port;
}

void GatewayServer::stop() {
  {
    std::lock_guard lock(impl_->stateMutex);
    impl_->stopRequested = true;
  }
  impl_->stateChanged.notify_all();
  if (impl_->thread.joinable() && impl_->thread.get_id() != std::this_thread::get_id()) impl_->thread.join();
  // Stopped before serving: connections waiting in the queue are refused now.
  std::lock_guard lock(impl_->stateMutex);
  if (!impl_->serving && impl_->listenSocket >= 0) {
    closeSocket(impl_->listenSocket);
    impl_->listenSocket = -1;
  }
}

int GatewayServer::port() const { return impl_->port; }

const std::string& GatewayServer::host() const { return impl_->options.host; }

bool GatewayServer::tls() const { return impl_->tlsEnabled(); }

} // namespace quorvel::gateway
