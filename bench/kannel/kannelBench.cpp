// Messages per second from the gateway's queue through Kannel to fakesmsc,
// beside the practical limit: the same requests sent straight to Kannel.
#include "gateway/gatewayDelivery.h"
#include "gateway/gatewayStore.h"

#include "kannelHarness.h"

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <filesystem>
#include <random>

namespace quorvel::gateway {
namespace {

constexpr int kBatch = 500;
const char* const kText = "Meeting moved to 3 pm, room B.";

// Kannel, a store with its queue and one account, for the whole run.
class Setup {
public:
  Setup()
      : folder_(std::filesystem::temp_directory_path() /
                ("quorvel-kannel-bench-" + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(folder_);
    kannel_ = std::make_unique<test::KannelHarness>(folder_.string());
    if (!kannel_->missing().empty()) return;
    kannel_->start();
    const std::string db = (folder_ / "gateway.sqlite").string();
    store_ = std::make_unique<GatewayStore>(db);
    outbox_ = std::make_unique<Outbox>(db);
    outbox_->setUpstream("kannel");
    store_->addAccount("bench", "h", Balance{true, 0});
  }
  ~Setup() {
    outbox_.reset();
    store_.reset();
    kannel_.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  std::string missing() const { return kannel_->missing(); }
  test::KannelHarness& kannel() { return *kannel_; }
  GatewayStore& store() { return *store_; }
  Outbox& outbox() { return *outbox_; }
  std::size_t received = 0;  // messages fakesmsc has printed so far

private:
  std::filesystem::path folder_;
  std::unique_ptr<test::KannelHarness> kannel_;
  std::unique_ptr<GatewayStore> store_;
  std::unique_ptr<Outbox> outbox_;
};

Setup& setup() {
  static Setup instance;
  return instance;
}

// Waits until fakesmsc has the batch; false when it never came.
bool arrived(Setup& s) {
  s.received += kBatch;
  return s.kannel().waitForMessages(s.received, std::chrono::seconds(120)).size() >= s.received;
}

// Accepted messages handed over by the delivery worker, one pass after
// another, until fakesmsc printed every one.
void BM_DeliveryThroughKannel(benchmark::State& state) {
  Setup& s = setup();
  if (!s.missing().empty()) return state.SkipWithError(s.missing().c_str());
  DeliveryWorker worker(s.outbox(), s.kannel().upstream(), "http://127.0.0.1:9");
  const std::vector<NewMessage> batch(kBatch, NewMessage{"+4915112345678", kText});
  for (auto _ : state) {
    state.PauseTiming();
    s.store().acceptMessages(1, batch);
    state.ResumeTiming();
    std::size_t handed = 0;
    while (handed < kBatch) {
      const std::size_t n = worker.runDue();
      if (n == 0) return state.SkipWithError("Kannel took nothing");
      handed += n;
    }
    if (!arrived(s)) return state.SkipWithError("fakesmsc did not get every message");
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  state.counters["msgs_per_s"] = benchmark::Counter(static_cast<double>(state.iterations() * kBatch),
                                                    benchmark::Counter::kIsRate);
}

// The practical limit: the same sendsms requests from one client straight to
// Kannel, a fresh connection each as the worker makes them, nothing stored.
void BM_SendsmsStraightToKannel(benchmark::State& state) {
  Setup& s = setup();
  if (!s.missing().empty()) return state.SkipWithError(s.missing().c_str());
  const KannelClient client(s.kannel().upstream(), "http://127.0.0.1:9");
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i)
      if (client.send({1, "+4915112345678", kText, false, 1, 1}).outcome != HandOver::accepted)
        return state.SkipWithError("Kannel refused");
    if (!arrived(s)) return state.SkipWithError("fakesmsc did not get every message");
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  state.counters["msgs_per_s"] = benchmark::Counter(static_cast<double>(state.iterations() * kBatch),
                                                    benchmark::Counter::kIsRate);
}

BENCHMARK(BM_SendsmsStraightToKannel)->Iterations(4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DeliveryThroughKannel)->Iterations(4)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace quorvel::gateway

BENCHMARK_MAIN();
