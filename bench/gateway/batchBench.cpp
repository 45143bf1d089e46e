// One batch of 100,000 recipients with 160-character texts (about 21 MB as a
// form): time and the gateway process's peak memory growth, signed in and
// with a wrong password (one client and six at once), beside the practical
// limits of sending the body to a bare server and of inserting the rows
// straight into SQLite. QUORVEL_GATEWAY=PATH measures another build's program.
#include "bareSqlite.h"
#include "gatewayProcess.h"
#include "gateway/gatewayServer.h"
#include "processMemory.h"

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <random>
#include <thread>

namespace quorvel::gateway {
namespace {

constexpr int kRecipients = 100000;
const char* const kForm = "application/x-www-form-urlencoded";

// 160 characters, as the form carries them ("+" for each blank).
std::string formText() {
  std::string text;
  while (text.size() < 160) text += "Meeting moved to 3 pm, room B. ";
  text.resize(160);
  for (char& c : text)
    if (c == ' ') c = '+';
    else if (c == ',') c = '.';
  return text;
}

const std::string& batchBody() {
  static const std::string body = [] {
    const std::string text = formText();
    std::string b = "login=bench&password=bench+pw&action=sendMessages";
    for (int i = 0; i < kRecipients; ++i) {
      const std::string index = std::to_string(i);
      b += "&recepient" + index + "=%2B49151" + std::to_string(10000000 + i) + "&messageData" + index + "=" + text;
    }
    return b + "&messageCount=" + std::to_string(kRecipients) + "\r\n";
  }();
  return body;
}

std::filesystem::path freshFolder(const std::string& name) {
  auto folder = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(folder);
  return folder;
}

double mebibytes(std::size_t bytes) { return static_cast<double>(bytes) / (1 << 20); }

void BM_Batch100k_Gateway(benchmark::State& state) {
  const std::string& body = batchBody();
  bench::GatewayProcess gateway;
  if (!gateway.port()) return state.SkipWithError("the gateway did not start");
  httplib::Client client("127.0.0.1", gateway.port());
  client.set_read_timeout(120, 0);
  client.set_write_timeout(120, 0);
  // The first sign-in pays for the slow hash, which takes 32 MiB of its own.
  client.Post("/kavri", "login=bench&password=bench+pw&action=getCredits&t=1", kForm);

  // Each request's peak over the memory held just before it.
  const int pid = gateway.pid();
  const std::size_t start = bench::residentBytes(pid);
  std::size_t worst = 0, first = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::size_t before = bench::residentBytes(pid);
    if (!bench::resetPeakResident(pid)) state.SkipWithError("the peak memory cannot be reset");
    state.ResumeTiming();
    auto res = client.Post("/kavri", body, kForm);
    if (!res || res->status != 200 || res->body.find("Accepted 100000 of 100000 messages.") == std::string::npos)
      state.SkipWithError("the batch was not accepted");
    state.PauseTiming();
    const std::size_t growth = bench::peakResidentBytes(pid) - before;
    if (!first) first = growth;
    worst = std::max(worst, growth);
    state.ResumeTiming();
  }
  state.counters["body_MiB"] = mebibytes(body.size());
  state.counters["peak_growth_first_MiB"] = mebibytes(first);
  state.counters["peak_growth_MiB"] = mebibytes(worst);
  state.counters["growth_per_body"] = static_cast<double>(worst) / static_cast<double>(body.size());
  state.counters["held_after_MiB"] = mebibytes(bench::residentBytes(pid)) - mebibytes(start);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}

// The same batch from strangers: a wrong password (for logins that do not
// exist, so that no lock cuts the reading short), range(0) clients at once.
// What the gateway may keep of such a body is bounded before the sign-in.
void BM_Batch100k_WrongPassword(benchmark::State& state) {
  const std::string& body = batchBody();
  const std::string rest = body.substr(body.find("&password="));
  const int clients = static_cast<int>(state.range(0));
  bench::GatewayProcess gateway;
  if (!gateway.port()) return state.SkipWithError("the gateway did not start");
  const int pid = gateway.pid();
  // The stand-in hash for unknown logins is made at the first one.
  httplib::Client("127.0.0.1", gateway.port()).Post("/kavri", "login=x&password=y&action=getCredits&t=1", kForm);

  const std::size_t start = bench::residentBytes(pid);
  std::size_t worst = 0;
  int attempt = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::size_t before = bench::residentBytes(pid);
    bench::resetPeakResident(pid);
    std::vector<std::string> bodies;
    for (int c = 0; c < clients; ++c) bodies.push_back("login=stranger" + std::to_string(attempt++) + rest);
    state.ResumeTiming();
    std::vector<std::thread> threads;
    std::atomic<int> refused{0};
    for (int c = 0; c < clients; ++c)
      threads.emplace_back([&, c] {
        httplib::Client client("127.0.0.1", gateway.port());
        client.set_read_timeout(120, 0);
        client.set_write_timeout(120, 0);
        auto res = client.Post("/kavri", bodies[c], kForm);
        if (res && res->body.find("registerGUI") != std::string::npos) ++refused;
      });
    for (auto& t : threads) t.join();
    state.PauseTiming();
    if (refused != clients) state.SkipWithError("a wrong password was not answered with the login page");
    worst = std::max(worst, bench::peakResidentBytes(pid) - before);
    state.ResumeTiming();
  }
  state.counters["body_MiB"] = mebibytes(body.size());
  state.counters["peak_growth_MiB"] = mebibytes(worst);
  state.counters["held_after_MiB"] = mebibytes(bench::residentBytes(pid)) - mebibytes(start);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * clients * body.size()));
}

// The practical limit of the transfer: the same library reading the body and
// throwing it away.
void BM_Batch100k_BareUpload(benchmark::State& state) {
  const std::string& body = batchBody();
  httplib::Server http;
  http.set_payload_max_length(kMaxBodyBytes);
  http.Post("/kavri", [](const httplib::Request&, httplib::Response& res, const httplib::ContentReader& reader) {
    reader([](const char*, std::size_t) { return true; });
    res.set_content("ok", "text/plain");
  });
  const int port = http.bind_to_any_port("127.0.0.1");
  std::thread serving([&] { http.listen_after_bind(); });
  httplib::Client client("127.0.0.1", port);
  for (auto _ : state) {
    auto res = client.Post("/kavri", body, kForm);
    if (!res || res->status != 200) state.SkipWithError("upload failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
  http.stop();
  serving.join();
}

// The practical limit of the storing: the rows straight into SQLite in one transaction.
void BM_Batch100k_BareSqlite(benchmark::State& state) {
  bench::BareSqlite db(freshFolder("quorvel-sqlite-bench"));
  const std::string text(160, 'x');
  for (auto _ : state) db.insert(kRecipients, text);
  state.SetItemsProcessed(state.iterations() * kRecipients);
}

BENCHMARK(BM_Batch100k_BareUpload)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Batch100k_BareSqlite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Batch100k_Gateway)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Batch100k_WrongPassword)->ArgName("clients")->Arg(1)->Arg(6)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
} // namespace quorvel::gateway
