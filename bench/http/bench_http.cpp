// The HTTP client beside bare libcurl on loopback: a form POST round trip and a 64 MiB download.
#include "canned_server.h"
#include "http/unHTTPClient.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <atomic>
#include <cstdlib>
#include <new>

// ---- heap accounting: the peak of bytes held through operator new ----

namespace {

std::atomic<size_t> heldBytes{0};
std::atomic<size_t> peakBytes{0};

void noteAllocated(size_t n) {
  const size_t now = heldBytes.fetch_add(n) + n;
  size_t peak = peakBytes.load();
  while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
  }
}

constexpr size_t kHeader = 16; // keeps the size in front of every block, aligned

void* allocate(size_t n) {
  void* block = std::malloc(n + kHeader);
  if (!block) throw std::bad_alloc();
  *static_cast<size_t*>(block) = n;
  noteAllocated(n);
  return static_cast<char*>(block) + kHeader;
}

void release(void* p) noexcept {
  if (!p) return;
  char* block = static_cast<char*>(p) - kHeader;
  heldBytes.fetch_sub(*reinterpret_cast<size_t*>(block));
  std::free(block);
}

} // namespace

void* operator new(size_t n) { return allocate(n); }
void* operator new[](size_t n) { return allocate(n); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, size_t) noexcept { release(p); }
void operator delete[](void* p, size_t) noexcept { release(p); }

namespace {

using quorvel::TkaHTTPClient;
using quorvel::testing::CannedServer;
using quorvel::testing::ReceivedRequest;

constexpr size_t kBigBody = 64u << 20;
const std::string kForm = "action=send&user=bench&pass=secret&to=%2B3612345678&text=Hello+from+the+benchmark";

CannedServer& smallServer() {
  static CannedServer server([](const ReceivedRequest&) {
    return quorvel::testing::reply(200, "<response><status>OK</status><credits>99</credits></response>");
  });
  return server;
}

CannedServer& bigServer() {
  static const auto body = std::make_shared<const std::string>(kBigBody, 'd');
  static CannedServer server([](const ReceivedRequest&) {
    quorvel::testing::CannedReply r = quorvel::testing::reply(200, "");
    r.head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kBigBody) + "\r\nConnection: close\r\n\r\n";
    r.body = body;
    return r;
  });
  return server;
}

size_t appendToString(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

/// One request the way a program using libcurl directly would make it.
std::string curlRequest(const std::string& url, const std::string* form) {
  std::string body;
  CURL* easy = curl_easy_init();
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROXY, "");
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, appendToString);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
  if (form) {
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, form->data());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(form->size()));
  }
  const CURLcode rc = curl_easy_perform(easy);
  curl_easy_cleanup(easy);
  if (rc != CURLE_OK) std::abort();
  return body;
}

void reportPeak(benchmark::State& state, size_t baseline, size_t worst) {
  state.counters["peak_heap_MiB"] = static_cast<double>(worst - baseline) / (1 << 20);
}

void BM_PostRoundTrip_Client(benchmark::State& state) {
  const std::string url = smallServer().origin() + "/gateway";
  for (auto _ : state) {
    TkaHTTPClient client;
    std::string answer = client.postData(url, kForm);
    if (!client.errormessage.empty() || answer.empty()) state.SkipWithError("request failed");
    benchmark::DoNotOptimize(answer);
  }
}

void BM_PostRoundTrip_Curl(benchmark::State& state) {
  const std::string url = smallServer().origin() + "/gateway";
  for (auto _ : state) {
    std::string answer = curlRequest(url, &kForm);
    benchmark::DoNotOptimize(answer);
  }
}

/// Downloads the big body with \p fetch and reports the peak heap of one download.
template <class Fetch>
void download(benchmark::State& state, Fetch fetch) {
  const std::string url = bigServer().origin() + "/big";
  size_t worst = 0, baseline = heldBytes.load();
  for (auto _ : state) {
    baseline = heldBytes.load();
    peakBytes = baseline;
    std::string answer = fetch(url);
    worst = std::max(worst, peakBytes.load());
    if (answer.size() != kBigBody) state.SkipWithError("short body");
    benchmark::DoNotOptimize(answer);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBigBody));
  reportPeak(state, baseline, worst);
}

void BM_Download64MiB_Client(benchmark::State& state) {
  download(state, [](const std::string& url) {
    TkaHTTPClient client;
    return client.getData(url);
  });
}

void BM_Download64MiB_Curl(benchmark::State& state) {
  download(state, [](const std::string& url) { return curlRequest(url, nullptr); });
}

BENCHMARK(BM_PostRoundTrip_Client)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_PostRoundTrip_Curl)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Download64MiB_Client)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Download64MiB_Curl)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
