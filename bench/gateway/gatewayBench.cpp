// Credit queries and single-recipient sends per second from concurrent local
// clients, with the median and 99th-percentile latency of one request.
#include "gateway/gatewayEmbedded.h"

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <random>

namespace quorvel::gateway {
namespace {

const char* const kForm = "application/x-www-form-urlencoded";
const char* const kCreditBody = "login=bench&password=bench+pw&action=getCredits&t=1700000000\r\n";
const char* const kSendBody =
    "login=bench&password=bench+pw&action=sendMessages&recepient0=%2B4915112345678"
    "&messageData0=Meeting+moved+to+3+pm%2C+room+B.&messageCount=1\r\n";

// One gateway for the whole run, on a store in a folder of its own.
class BenchGateway {
public:
  BenchGateway()
      : folder_(std::filesystem::temp_directory_path() / ("quorvel-gateway-bench-" + std::to_string(std::random_device{}()))),
        gateway_(make(folder_)) {
    gateway_->store().addAccount("bench", hashPassword("bench pw"), Balance{false, kMaxCredits});
    // The first sign-in pays for the slow hash; measure what follows it.
    httplib::Client("127.0.0.1", gateway_->port()).Post("/kavri", kCreditBody, kForm);
  }
  ~BenchGateway() {
    gateway_.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  int port() const { return gateway_->port(); }

private:
  static std::unique_ptr<EmbeddedGateway> make(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    return std::make_unique<EmbeddedGateway>((folder / "gateway.sqlite").string(),
                                             EmbeddedOptions{"127.0.0.1", 0, false, HashCost{}});
  }
  std::filesystem::path folder_;
  std::unique_ptr<EmbeddedGateway> gateway_;
};

BenchGateway& gateway() {
  static BenchGateway instance;
  return instance;
}

// Latencies of all threads of the benchmark run in progress.
std::mutex latencyMutex;
std::vector<double> latencies;

double percentile(std::vector<double>& values, double p) {
  if (values.empty()) return 0;
  const auto k = static_cast<size_t>(p * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<long>(k), values.end());
  return values[k];
}

void measure(benchmark::State& state, const char* body, bool keepAlive) {
  const int port = gateway().port();
  if (state.thread_index() == 0) {
    std::lock_guard lock(latencyMutex);
    latencies.clear();
  }
  httplib::Client client("127.0.0.1", port);
  client.set_keep_alive(keepAlive);
  client.set_tcp_nodelay(true);
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
  state.SetItemsProcessed(state.iterations());
  // The loop ends for all threads together, so every latency is in by now.
  if (state.thread_index() == 0) {
    std::lock_guard lock(latencyMutex);
    state.counters["p50_us"] = percentile(latencies, 0.50);
    state.counters["p99_us"] = percentile(latencies, 0.99);
  }
}

void BM_CreditQuery(benchmark::State& state) { measure(state, kCreditBody, true); }
void BM_CreditQueryNewConnection(benchmark::State& state) { measure(state, kCreditBody, false); }
void BM_SendOneRecipient(benchmark::State& state) { measure(state, kSendBody, true); }

BENCHMARK(BM_CreditQuery)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();
BENCHMARK(BM_CreditQueryNewConnection)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();
BENCHMARK(BM_SendOneRecipient)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();

} // namespace
} // namespace quorvel::gateway

BENCHMARK_MAIN();
