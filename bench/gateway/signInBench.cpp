// What password guessing costs the gateway: a wrong sign-in's time for a
// known and an unknown login, and 48 wrong guesses at once (for one login, and
// for 48 logins) beside a valid request's time on an idle gateway.
#include "gateway/gatewayService.h"
#include "gatewayProcess.h"
#include "processMemory.h"

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

namespace quorvel::gateway {
namespace {

const char* const kForm = "application/x-www-form-urlencoded";
const char* const kValidBody = "login=other&password=other+pw&action=getCredits&t=1";

double mebibytes(std::size_t bytes) { return static_cast<double>(bytes) / (1 << 20); }

double millisecondsOf(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// A wrong password for a known (range 1) or an unknown login, at the default
// hash cost; every request from another client, so that no lock intervenes.
void BM_WrongSignIn(benchmark::State& state) {
  const auto folder = std::filesystem::temp_directory_path() /
                      ("quorvel-signin-bench-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(folder);
  {
    GatewayStore store((folder / "gateway.sqlite").string());
    GatewayService service(store);
    store.addAccount("ann", hashPassword("secret"), Balance{false, 5});
    const std::string login = state.range(0) ? "ann" : "stranger";
    service.handle("login=" + login + "&password=warmup&action=getCredits&t=1", ClientInfo{"10.0.0.0"});
    int client = 0;
    for (auto _ : state) {
      ++client;
      const ClientInfo from{"10.1." + std::to_string(client / 256 % 256) + "." + std::to_string(client % 256)};
      const Answer a = service.handle("login=" + login + "&password=guess&action=getCredits&t=1", from);
      if (a.body.find("registerGUI") == std::string::npos) state.SkipWithError("a wrong password was accepted");
    }
  }
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

// 48 wrong guesses sent at once, for one login (range 0) or for 48 logins
// (range 1), while one valid request (of another account, whose password the
// gateway has verified before) is sent; its time beside the same request's on
// the idle gateway, and the process's peak memory over its size before.
void BM_WrongGuesses48(benchmark::State& state) {
  bench::GatewayProcess gateway;
  if (!gateway.port()) return state.SkipWithError("the gateway did not start");
  const int pid = gateway.pid();
  httplib::Client valid("127.0.0.1", gateway.port());
  valid.Post("/kavri", kValidBody, kForm);
  double idle = 0, loaded = 0;
  std::size_t growth = 0;
  int round = 0;
  for (auto _ : state) {
    idle = std::max(idle, millisecondsOf([&] { valid.Post("/kavri", kValidBody, kForm); }));
    const std::size_t before = bench::residentBytes(pid);
    bench::resetPeakResident(pid);
    std::vector<std::thread> guesses;
    for (int i = 0; i < 48; ++i)
      guesses.emplace_back([&, i] {
        httplib::Client client("127.0.0.1", gateway.port());
        client.set_read_timeout(60, 0);
        const std::string login = state.range(0) ? "guess" + std::to_string(round) + "-" + std::to_string(i) : "bench";
        client.Post("/kavri", "login=" + login + "&password=wrong" + std::to_string(i) + "&action=getCredits&t=1", kForm);
      });
    // The valid request starts while the guesses are under way.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    loaded = std::max(loaded, millisecondsOf([&] { valid.Post("/kavri", kValidBody, kForm); }));
    for (auto& g : guesses) g.join();
    growth = std::max(growth, bench::peakResidentBytes(pid) - before);
    ++round;
    // The next round's guesses at "bench" would only meet this round's lock.
    std::this_thread::sleep_for(std::chrono::seconds(state.range(0) ? 0 : 2));
  }
  state.counters["valid_idle_ms"] = idle;
  state.counters["valid_under_guesses_ms"] = loaded;
  state.counters["peak_growth_MiB"] = mebibytes(growth);
}

BENCHMARK(BM_WrongSignIn)->ArgName("known")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_WrongGuesses48)->ArgName("logins48")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

} // namespace
} // namespace quorvel::gateway
