// Reading a share page as a person sees it, and judging it: pages of today's size and larger,
// scripts and markup as real pages have them.
#include <benchmark/benchmark.h>

#include <string>

#include "base/charset.h"
#include "check/page_reading.h"
#include "check/probe.h"
#include "check/verdict_rules.h"

namespace {

// A page of about `kib` KiB shaped like the service's: a head with styles and long scripts
// (their texts include every state's), then a body of nested markup, entities and file names.
std::string share_page(std::size_t kib) {
  std::string page =
      "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>课件合集.zip_免费高速下载|"
      "百度网盘-分享无限制</title><style>.verify-captcha{display:none}</style>";
  std::string body = "</head><body>";
  int i = 0;
  while (page.size() + body.size() < kib * 1024) {
    page += "<script>var m" + std::to_string(i) +
            " = {'expired':'该分享文件已过期','busy':'请求过于频繁','ok':a < b && c > d};</script>";
    body += "<div class=\"file-item\" data-id=\"" + std::to_string(i) + "\"><span title='名称'>第" +
            std::to_string(i) +
            "讲&nbsp;课件&amp;讲义.pdf</span><!-- row --><em>12.5&nbsp;MB</em></div>\n";
    ++i;
  }
  return page + body + "<div>过期时间：永久有效</div></body></html>";
}

void BM_VisiblePage(benchmark::State& state) {
  const std::string page = share_page(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    quorvex::VisiblePage seen = quorvex::visible_page(page);
    benchmark::DoNotOptimize(seen.text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_VisiblePage)->Arg(20)->Arg(200)->Arg(2048)->Unit(benchmark::kMicrosecond);

// The whole judgement of one fetched page: charset, reduction, every phrase.
void BM_JudgeFetch(benchmark::State& state) {
  quorvex::FetchResult result;
  result.status = 200;
  result.transfer.final_url = "https://pan.baidu.com/s/1abc";
  result.headers = "Content-Type: text/html; charset=utf-8";
  result.body = share_page(static_cast<std::size_t>(state.range(0)));
  if (state.range(1) == 1) {
    result.body = quorvex::utf8_to_gbk(result.body);
    result.headers = "Content-Type: text/html; charset=GBK";
  }
  for (auto _ : state) {
    const quorvex::Judgement j = quorvex::judge_fetch(result);
    benchmark::DoNotOptimize(j.verdict);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(result.body.size()));
}
BENCHMARK(BM_JudgeFetch)->Args({200, 0})->Args({200, 1})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
