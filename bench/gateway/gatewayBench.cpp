// Credit queries and sends per second from concurrent local clients, each beside
// its practical limit: a bare HTTP server answering a fixed body, and bare
// SQLite commits on the same disk. Sends run with a flush per commit and with
// group commit.
#include "bareSqlite.h"
#include "gateway/gatewayServer.h"
#include "gateway/gatewaySocket.h"

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <thread>

namespace quorvel::gateway {
namespace {

const char* const kForm = "application/x-www-form-urlencoded";
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
        server_(service_, ServerOptions{"127.0.0.1", 0}) {
    store_.addAccount("bench", hashPassword("bench pw"), Balance{true, 0});
    port_ = server_.start();
    // The first sign-in pays for the slow hash; measure what follows it.
    httplib::Client("127.0.0.1", port_).Post("/kavri", kCreditBody, kForm);
  }
  ~BenchGateway() {
    server_.stop();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  int port() const { return port_; }
  GatewayStore& store() { return store_; }

private:
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

// The library's listening socket is kept to itself; this widens its accept
// queue as the gateway does.
class WideServer : public httplib::Server {
public:
  void widenBacklog() { raiseListenBacklog(static_cast<int>(svr_sock_.load())); }
};

// The practical limit for the gateway's HTTP side: the same library with the
// same settings, answering every POST with a fixed body.
class BareServer {
public:
  BareServer() {
    http_.new_task_queue = [] { return new httplib::ThreadPool(16); };
    http_.set_keep_alive_max_count(100);
    http_.set_keep_alive_timeout(2);
    http_.set_tcp_nodelay(true);
    http_.Post("/kavri", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(kFixedAnswer, "text/xml; charset=utf-8");
    });
    port_ = http_.bind_to_any_port("127.0.0.1");
    http_.widenBacklog();
    // Connections queue from the bind on, so requests may start at once.
    thread_ = std::thread([this] { http_.listen_after_bind(); });
  }
  ~BareServer() {
    http_.stop();
    thread_.join();
  }
  int port() const { return port_; }

private:
  WideServer http_;
  std::thread thread_;
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
  httplib::Client client("127.0.0.1", port);
  client.set_keep_alive(keepAlive);
  client.set_tcp_nodelay(true);
  const auto begin = std::chrono::steady_clock::now();
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto res = client.Post("/kavri", body, kForm);
    const auto end = std::chrono::steady_clock::now();
    if (!res || res->status != 200) {
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
  httplib::Client bare("127.0.0.1", bareServer().port()), gateway("127.0.0.1", creditGateway().port());
  for (auto* c : {&bare, &gateway}) {
    c->set_keep_alive(true);
    c->set_tcp_nodelay(true);
  }
  std::vector<double> bareTimes, gatewayTimes;
  auto timed = [&](httplib::Client& client, std::vector<double>& times) {
    const auto start = std::chrono::steady_clock::now();
    auto res = client.Post("/kavri", kCreditBody, kForm);
    times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    if (!res || res->status != 200) state.SkipWithError("request failed");
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

void BM_CreditQueryNewConnection(benchmark::State& state) { measure(state, creditGateway().port(), kCreditBody, false); }

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
BENCHMARK(BM_CreditQueryNewConnection)->Threads(1)->Threads(16)->UseRealTime();
BENCHMARK(BM_BareSqliteCommitPerRow)->UseRealTime();
BENCHMARK(BM_Send_FlushPerCommit)->Threads(1)->Threads(16)->UseRealTime();
BENCHMARK(BM_Send_GroupCommit)->Threads(1)->Threads(16)->UseRealTime();

} // namespace
} // namespace quorvel::gateway

BENCHMARK_MAIN();
