// web_request against the local HTTPS server: requests per second and the client's CPU time per
// request, with one thread and with 32.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include "check/probe.h"
#include "net/web_request.h"
#include "server_process.h"

namespace {

quorvex::bench::ServerProcess* g_server = nullptr;

double cpu_seconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void BM_WebRequest(benchmark::State& state) {
  const std::string url = g_server->base_url() + "/s/1abc";
  double cpu_start = 0;
  if (state.thread_index() == 0) cpu_start = cpu_seconds();
  for (auto _ : state) {
    std::string headers = "User-Agent: " + std::string(quorvex::kProbeUserAgent);
    quorvex::WebRequest r;
    r.url = url;
    r.method = quorvex::kMethodGet;
    r.extra_headers = &headers;
    const std::string body = quorvex::web_request(r);
    if (body.empty()) state.SkipWithError("empty answer");
  }
  state.SetItemsProcessed(state.iterations());
  if (state.thread_index() == 0) {
    // Process CPU over this thread's share of the requests: the whole client's CPU per request.
    state.counters["cpu_ms_per_request"] =
        benchmark::Counter((cpu_seconds() - cpu_start) * 1000 /
                           static_cast<double>(state.iterations() * state.threads()));
  }
}
BENCHMARK(BM_WebRequest)->Threads(1)->Threads(32)->UseRealTime()->MinTime(3);

}  // namespace

int main(int argc, char** argv) {
  quorvex::bench::ServerProcess server(0, std::string(20000, 'p'));
  g_server = &server;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
