// Credit queries and sends per second from concurrent local clients, each beside
// its practical limit: a bare libmicrohttpd server answering a fixed body, and
// bare SQLite commits on the same disk. Sends run with a flush per commit and
// with group commit. A credit query's p99 with 200 slow clients connected
// stands beside the idle p99.
#include "bareSqlite.h"
#include "gateway/gatewayServer.h"
#include "leanClient.h"

#include <benchmark/benchmark.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <thread>

namespace quorvel::gateway {
namespace {

const char* const kCreditBody = "login=bench&password=bench+pw&action=getCredits&t=1700000000\r\n";
const char* const kSendBody =
    "login=bench&password=bench+pw&action=sendMessages&recepient0=%2B4915112345678"
    "&messageData0=Meeting+moved+to+3+pm%2C+room+B.&messageCount=1\r\n";
const char* const kFixedAnswer = "<?xml version=\"1.0\"?><Response><Data>25</Data></Response>";

std::filesystem::path freshFolder(const std::string& name) {
  auto folder = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(folder);
  return folder;
}

// One gateway for the whole run, on a store in a folder of its own on the
// temporary folder's disk.
class BenchGateway {
public:
  explicit BenchGateway(StoreOptions options)
      : folder_(freshFolder("quorvel-gateway-bench")),
        store_((folder_ / "gateway.sqlite").string(), options),
        service_(store_),
        server_(service_, serverOptions()) {
    store_.addAccount("bench", hashPassword("bench pw"), Balance{true, 0});
    port_ = server_.start();
    // The first sign-in pays for the slow hash; measure what follows it.
    bench::LeanClient(port_, kCreditBody).post();
  }
  ~BenchGateway() {
    server_.stop();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  int port() const { return port_; }
  GatewayStore& store() { return store_; }
  GatewayService& service() { return service_; }

private:
  // Room for the slow clients and every benchmark thread from this one
  // address, and no deadline cutting a long run's slow clients.
  static ServerOptions serverOptions() {
    ServerOptions o{"127.0.0.1", 0};
    o.maxConnectionsPerAddress = 400;
    o.requestDeadline = std::chrono::hours(1);
    o.idleSeconds = 3600;
    return o;
  }

  std::filesystem::path folder_;
  GatewayStore store_;
  GatewayService service_;
  GatewayServer server_;
  int port_ = 0;
};

BenchGateway& creditGateway() {
  static BenchGateway instance(StoreOptions{});
  return instance;
}

BenchGateway& sendGateway(bool groupCommit) {
  static BenchGateway grouped(StoreOptions{true});
  static BenchGateway single(StoreOptions{false});
  return groupCommit ? grouped : single;
}

// The practical limit for the gateway's HTTP side: the same library in the
// same mode (one epoll thread), answering every request with a fixed body
// from that thread.
class BareServer {
public:
  BareServer() {
    daemon_ = MHD_start_daemon(MHD_USE_EPOLL_INTERNAL_THREAD, 0, nullptr, nullptr, &answer, nullptr,
                               MHD_OPTION_CONNECTION_LIMIT, 1000u, MHD_OPTION_END);
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
    port_ = info ? info->port : 0;
  }
  ~BareServer() { MHD_stop_daemon(daemon_); }
  int port() const { return port_; }

private:
  static MHD_Result answer(void*, MHD_Connection* c, const char*, const char*, const char*, const char*,
                           size_t* uploadSize, void** context) {
    if (!*context) {
      *context = c;  // headers in; the body follows
      return MHD_YES;
    }
    if (*uploadSize) {
      *uploadSize = 0;
      return MHD_YES;
    }
    MHD_Response* r = MHD_create_response_from_buffer(std::strlen(kFixedAnswer), const_cast<char*>(kFixedAnswer),
                                                      MHD_RESPMEM_PERSISTENT);
    MHD_add_response_header(r, "Content-Type", "text/xml; charset=utf-8");
    const MHD_Result rc = MHD_queue_response(c, 200, r);
    MHD_destroy_response(r);
    return rc;
  }

  MHD_Daemon* daemon_ = nullptr;
  int port_ = 0;
};

BareServer& bareServer() {
  static BareServer instance;
  return instance;
}

// Latencies of all threads of the benchmark run in progress.
std::mutex latencyMutex;
std::vector<double> latencies;
// Requests per second of the bare server, by client threads, for the ratio.
std::map<int, double> bareRates;

double percentile(std::vector<double>& values, double p) {
  if (values.empty()) return 0;
  const auto k = static_cast<size_t>(p * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<long>(k), values.end());
  return values[k];
}

// Posts \p body as fast as the thread can; returns the requests per second
// of all threads together (meaningful in thread 0 only).
double measure(benchmark::State& state, int port, const char* body, bool keepAlive) {
  if (state.thread_index() == 0) {
    std::lock_guard lock(latencyMutex);
    latencies.clear();
  }
  bench::LeanClient client(port, body, keepAlive);
  const auto begin = std::chrono::steady_clock::now();
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const int status = client.post();
    const auto end = std::chrono::steady_clock::now();
    if (status != 200) {
      state.SkipWithError("request failed");
      continue;
    }
    std::lock_guard lock(latencyMutex);
    latencies.push_back(std::chrono::duration<double, std::micro>(end - start).count());
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  state.SetItemsProcessed(state.iterations());
  // The loop ends for all threads together, so every latency is in by now.
  if (state.thread_index() != 0) return 0;
  std::lock_guard lock(latencyMutex);
  state.counters["p50_us"] = percentile(latencies, 0.50);
  state.counters["p99_us"] = percentile(latencies, 0.99);
  return static_cast<double>(state.iterations()) * state.threads() / seconds;
}

void BM_BareServerFixedBody(benchmark::State& state) {
  const double rate = measure(state, bareServer().port(), kCreditBody, true);
  if (state.thread_index() == 0) bareRates[state.threads()] = rate;
}

void BM_CreditQuery(benchmark::State& state) {
  const double rate = measure(state, creditGateway().port(), kCreditBody, true);
  if (state.thread_index() == 0 && bareRates.count(state.threads()))
    state.counters["vs_bare"] = rate / bareRates[state.threads()];
}

// Each thread alternates a request to the bare server and a credit query, so
// that both meet the same load from the rest of the machine; the ratio of
// their median times is the gateway's share of the bare rate (medians, as
// other programs on the machine make the means jump).
void BM_CreditQueryBesideBare(benchmark::State& state) {
  bench::LeanClient bare(bareServer().port(), kCreditBody), gateway(creditGateway().port(), kCreditBody);
  std::vector<double> bareTimes, gatewayTimes;
  auto timed = [&](bench::LeanClient& client, std::vector<double>& times) {
    const auto start = std::chrono::steady_clock::now();
    const int status = client.post();
    times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    if (status != 200) state.SkipWithError("request failed");
  };
  bool bareFirst = true;  // the order alternates: neither side always follows the other
  for (auto _ : state) {
    if (bareFirst) timed(bare, bareTimes);
    timed(gateway, gatewayTimes);
    if (!bareFirst) timed(bare, bareTimes);
    bareFirst = !bareFirst;
  }
  const double bareMedian = percentile(bareTimes, 0.5), gatewayMedian = percentile(gatewayTimes, 0.5);
  using benchmark::Counter;
  state.counters["bare_p50_us"] = Counter(bareMedian, Counter::kAvgThreads);
  state.counters["gateway_p50_us"] = Counter(gatewayMedian, Counter::kAvgThreads);
  state.counters["gateway_vs_bare"] = Counter(gatewayMedian > 0 ? bareMedian / gatewayMedian : 0, Counter::kAvgThreads);
}

// The service's own share of a credit query, without HTTP: what the front
// adds to a bare server at best.
void BM_CreditQueryServiceOnly(benchmark::State& state) {
  GatewayService& service = creditGateway().service();
  for (auto _ : state) {
    auto reader = service.reader(ClientInfo{"127.0.0.1"});
    reader->feed(kCreditBody);
    benchmark::DoNotOptimize(service.handle(*reader, ClientInfo{"127.0.0.1"}));
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_CreditQueryNewConnection(benchmark::State& state) { measure(state, creditGateway().port(), kCreditBody, false); }

// Connections that sent part of a request and then sit, as a stranger's
// would; closed at the end of the benchmark.
class SlowClients {
public:
  SlowClients(int port, int count) {
    for (int i = 0; i < count; ++i) {
      const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_port = htons(static_cast<uint16_t>(port));
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) throw std::runtime_error("slow client");
      const char* part = i % 2 ? "POST /kavri HTTP/1.1\r\nHost: x\r\n"
                               : "POST /kavri HTTP/1.1\r\nContent-Length: 100\r\n\r\nlogin=";
      ::send(s, part, std::strlen(part), MSG_NOSIGNAL);
      sockets_.push_back(s);
    }
  }
  ~SlowClients() {
    for (int s : sockets_) ::close(s);
  }

private:
  std::vector<int> sockets_;
};

double idleP99 = 0;

// One client's credit queries, idle (range 0) and with 200 slow clients
// connected (range 200, with the ratio to the idle p99 just before).
void BM_CreditQueryP99(benchmark::State& state) {
  const int port = creditGateway().port();
  SlowClients slow(port, static_cast<int>(state.range(0)));
  measure(state, port, kCreditBody, true);
  const double p99 = state.counters["p99_us"];
  if (state.range(0) == 0) idleP99 = p99;
  else if (idleP99 > 0) state.counters["vs_idle_p99"] = p99 / idleP99;
}

void send(benchmark::State& state, bool groupCommit) {
  BenchGateway& gw = sendGateway(groupCommit);
  const std::uint64_t commits = gw.store().batchCommits();
  measure(state, gw.port(), kSendBody, true);
  if (state.thread_index() == 0) {
    const auto made = gw.store().batchCommits() - commits;
    state.counters["sends_per_commit"] =
        made ? static_cast<double>(state.iterations()) * state.threads() / static_cast<double>(made) : 0;
  }
}

void BM_Send_FlushPerCommit(benchmark::State& state) { send(state, false); }
void BM_Send_GroupCommit(benchmark::State& state) { send(state, true); }

// The practical limit for a flush per commit: one row per transaction
// straight into SQLite, as durable as the gateway's store.
void BM_BareSqliteCommitPerRow(benchmark::State& state) {
  bench::BareSqlite db(freshFolder("quorvel-sqlite-bench"));
  for (auto _ : state) db.insert(1);
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_BareServerFixedBody)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();
BENCHMARK(BM_CreditQuery)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();
BENCHMARK(BM_CreditQueryBesideBare)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();
BENCHMARK(BM_CreditQueryServiceOnly)->Threads(1)->Threads(16)->UseRealTime();
BENCHMARK(BM_CreditQueryP99)->Arg(0)->Arg(200)->UseRealTime();
BENCHMARK(BM_CreditQueryNewConnection)->Threads(1)->Threads(16)->UseRealTime();
BENCHMARK(BM_BareSqliteCommitPerRow)->UseRealTime();
BENCHMARK(BM_Send_FlushPerCommit)->Threads(1)->Threads(16)->UseRealTime();
BENCHMARK(BM_Send_GroupCommit)->Threads(1)->Threads(16)->UseRealTime();

} // namespace
} // namespace quorvel::gateway

BENCHMARK_MAIN();
