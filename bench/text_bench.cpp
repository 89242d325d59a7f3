// Loading and typesetting throughput on generated texts.
#include <benchmark/benchmark.h>

#include "base/text_ops.h"
#include "bench_texts.h"
#include "text/extract.h"
#include "text/file_input.h"
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

// A file's text taken in and loaded: decoding (with the line ends made CR LF) and the rows. Arg 0
// is the file with CR LF ends, 1 its LF twin, 2 the CR LF file loaded without the line-end pass:
// the difference between 0 and 2 is what that pass costs a file that needs nothing, between 1
// and 2 what it costs one that is rewritten.
void BM_LoadFile(benchmark::State& state) {
  const std::string crlf = quorvex::bench::typeset_lines(1000000);
  std::string text = crlf;
  if (state.range(0) == 1) {
    text.clear();
    for (const char c : crlf)
      if (c != '\r') text += c;
  }
  for (auto _ : state) {
    std::string copy = text;  // the file's bytes, as read
    const std::string taken = state.range(0) == 2 ? quorvex::decode_charset(std::move(copy))
                                                  : quorvex::decode_input_bytes(std::move(copy));
    auto rows = quorvex::build_link_rows(taken);
    benchmark::DoNotOptimize(rows.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_LoadFile)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_NormalizeLineEnds(benchmark::State& state) {
  std::string text = quorvex::bench::typeset_lines(1000000);
  if (state.range(0) == 1) {
    std::string lf;
    for (const char c : text)
      if (c != '\r') lf += c;
    text = lf;
  }
  for (auto _ : state) {
    state.PauseTiming();
    std::string copy = text;  // the text as decoded, which the pass takes over
    state.ResumeTiming();
    std::string out = quorvex::normalize_line_ends(std::move(copy));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_NormalizeLineEnds)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Extraction over about 100 MB: Arg 0 the generated forum posts (a link every few lines), 1 a
// chatty forum (long lines of prose, a link now and then).
void BM_ExtractLinks(benchmark::State& state) {
  const std::string text = state.range(0) == 0 ? quorvex::bench::forum_posts(800000)
                                               : quorvex::bench::chatty_forum(100 << 20);
  std::size_t shares = 0;
  for (auto _ : state) {
    auto out = quorvex::extract_share_text(text, &shares);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
  state.counters["shares"] = static_cast<double>(shares);
}
BENCHMARK(BM_ExtractLinks)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
