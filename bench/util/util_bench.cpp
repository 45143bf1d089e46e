// Time of the text routines over inputs from 16 KiB to 4 MiB: it must grow
// linearly with the input (bytes per second level across sizes).
#include "util/kaUrl.h"
#include "util/unStrings.h"

#include <benchmark/benchmark.h>

namespace quorvel {
namespace {

// `unit` repeated until the text is `bytes` long.
std::string repeatTo(const std::string& unit, std::size_t bytes) {
  std::string s;
  s.reserve(bytes + unit.size());
  while (s.size() < bytes) s += unit;
  s.resize(bytes);
  return s;
}

// A recipient field of thousands of entries, as the address dialog fills it.
std::string recipients(std::size_t bytes) { return repeatTo("Kiss Anna [+36 30 123 4567] ;", bytes); }

// A long message with line breaks, marks and accented letters.
std::string message(std::size_t bytes) {
  return repeatTo("Dear Anna, the meeting moved to 14:30 & room 2.\r\n\xc3\xa9 ok? ", bytes);
}

void run(benchmark::State& state, const std::string& input, auto&& work) {
  for (auto _ : state) benchmark::DoNotOptimize(work(input));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(input.size()));
  state.counters["ns_per_byte"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(input.size()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_splittolist(benchmark::State& state) {
  run(state, recipients(state.range(0)), [](const std::string& s) {
    std::vector<std::string> list;
    splittolist(";", s, list);
    return list.size();
  });
}

void BM_splittolist_word(benchmark::State& state) {
  run(state, repeatTo("alpha AND beta and ", state.range(0)), [](const std::string& s) {
    std::vector<std::string> list;
    splittolist("and", s, list);
    return list.size();
  });
}

void BM_strReplace(benchmark::State& state) {
  run(state, message(state.range(0)), [](const std::string& s) { return strReplace("\r\n", " ", s); });
}

void BM_toNumber(benchmark::State& state) {
  run(state, recipients(state.range(0)), [](const std::string& s) { return toNumber(s); });
}

void BM_UrlEncode(benchmark::State& state) {
  run(state, message(state.range(0)), [](const std::string& s) { return UrlEncode(s, true); });
}

void BM_fromXmlReady(benchmark::State& state) {
  run(state, repeatTo("Sent &lt;ok&gt; to &quot;Anna&quot; &amp; Bob &apos;x&apos; & more ", state.range(0)),
      [](const std::string& s) { return fromXmlReady(s); });
}

void BM_trim(benchmark::State& state) {
  // Blanks make up half the input, a quarter at each end.
  const std::size_t n = state.range(0);
  const std::string input = repeatTo(" \t\r\n", n / 4) + message(n / 2) + repeatTo("\n \t", n / 4);
  run(state, input, [](const std::string& s) { return trim(s); });
}

#define QV_SIZES RangeMultiplier(4)->Range(16 << 10, 4 << 20)
BENCHMARK(BM_splittolist)->QV_SIZES;
BENCHMARK(BM_splittolist_word)->QV_SIZES;
BENCHMARK(BM_strReplace)->QV_SIZES;
BENCHMARK(BM_toNumber)->QV_SIZES;
BENCHMARK(BM_UrlEncode)->QV_SIZES;
BENCHMARK(BM_fromXmlReady)->QV_SIZES;
BENCHMARK(BM_trim)->QV_SIZES;

} // namespace
} // namespace quorvel
