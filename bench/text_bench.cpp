// Loading and typesetting throughput on generated texts.
#include <benchmark/benchmark.h>

#include "bench_texts.h"
#include "text/link_loader.h"
#include "text/typeset.h"

namespace {

void BM_BuildLinkRows(benchmark::State& state) {
  const std::string text = quorvex::bench::typeset_lines(state.range(0));
  for (auto _ : state) {
    auto rows = quorvex::build_link_rows(text);
    benchmark::DoNotOptimize(rows.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_BuildLinkRows)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_TypesetForumText(benchmark::State& state) {
  const std::string text = quorvex::bench::forum_posts(state.range(0));
  for (auto _ : state) {
    auto out = quorvex::typeset_share_text(text, [](const quorvex::TypesetProgress&) {});
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
// 10 times the text should take about 10 times as long.
BENCHMARK(BM_TypesetForumText)
    ->Arg(80000)
    ->Arg(800000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_TypesetOddTexts(benchmark::State& state) {
  std::string text;
  if (state.range(0) == 0) text.assign(50 << 20, 'x');  // one 50 MB line
  if (state.range(0) == 1)
    for (int i = 0; i < 10000000; ++i) text += "\r\n";  // 10 million empty lines
  if (state.range(0) == 2)
    for (int i = 0; i < 5000000; ++i) text += "pan\r\n";  // all "pan"
  for (auto _ : state) {
    auto out = quorvex::typeset_share_text(text);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_TypesetOddTexts)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
