// A mixed list against the stand-ins of every service: PER_SERVICE shares of each of the seven,
// interleaved, checked with THREADS probes; once with no service throttling, once with Quark's API
// answering HTTP 429 beyond THROTTLE requests a second. Prints, per service, when its last row was
// decided and how many requests it took, so that the throttled service's cost to the others shows.
//   services_bench [PER_SERVICE [THROTTLE [THREADS [COOLDOWN_S]]]]
//   defaults:          200          5        50         5
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "check/check_run.h"
#include "support/services_stand_in.h"
#include "support/share_service.h"

namespace {

using namespace quorvex;
using Clock = std::chrono::steady_clock;

int arg(int argc, char** argv, int i, int fallback) {
  return argc > i ? std::atoi(argv[i]) : fallback;
}

// The link of the n-th public share of a service on the stand-ins.
std::string link_of(ShareService service, int n) {
  const std::string id = "publicQ" + std::to_string(n);
  switch (service) {
    case ShareService::baidu:
      return test::ShareService::link("public-" + std::to_string(n));
    case ShareService::quark:
      return "https://pan.quark.cn/s/" + id;
    case ShareService::aliyun:
      return "https://www.alipan.com/s/" + id;
    case ShareService::pan115:
      return "https://115.com/s/" + id;
    case ShareService::pan123:
      return "https://www.123pan.com/s/" + id;
    case ShareService::tianyi:
      return "https://cloud.189.cn/t/" + id;
    case ShareService::lanzou:
      return "https://wwi.lanzoux.com/" + id;
  }
  return {};
}

void measure(const char* title, int per_service, int threads, int cooldown_s,
             std::optional<test::ServicesThrottle> throttle) {
  test::ShareService baidu;
  test::ServicesStandIn others(throttle);
  std::string text;
  std::vector<ShareService> service_of_row;
  for (int n = 0; n < per_service; ++n)
    for (const ShareService service : all_services()) {
      text += "row " + link_of(service, n) + "\r\n";
      service_of_row.push_back(service);
    }
  auto table = std::make_shared<LinkTable>();
  const std::uint64_t generation = table->replace_text(text);
  CheckRunConfig config;
  config.probe.ca_file = test::test_ca_file();
  config.probe.connect_to = others.connect_to();
  config.probe.connect_to.push_back(baidu.connect_to());
  config.pacer.cooldown = std::chrono::seconds(cooldown_s);
  config.thread_limit = [threads] { return threads; };
  std::mutex mutex;
  std::array<double, kServiceCount> last{};
  std::array<int, kServiceCount> valid{};
  const auto start = Clock::now();
  config.on_verdict = [&](int row, RowVerdict verdict) {
    const double at = std::chrono::duration<double>(Clock::now() - start).count();
    std::lock_guard lock(mutex);
    const std::size_t s = service_index(service_of_row[static_cast<std::size_t>(row)]);
    last[s] = std::max(last[s], at);
    if (verdict.verdict == Verdict::valid) ++valid[s];
  };
  CheckRun run(table, config);
  run.list_ready(generation);
  run.start();
  while (run.snapshot().active()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const RunSnapshot s = run.snapshot();
  std::printf("%s: %d rows, %d threads, wall %.2f s, requests %d, cool-downs %d, 429s %d\n", title,
              s.total, threads, std::chrono::duration<double>(Clock::now() - start).count(),
              s.requests, s.cooldowns, others.throttled());
  for (const ShareService service : all_services())
    std::printf("  %-7s last verdict %7.2f s  valid %d/%d\n",
                std::string(service_code(service)).c_str(), last[service_index(service)],
                valid[service_index(service)], per_service);
}

}  // namespace

int main(int argc, char** argv) {
  const int per_service = arg(argc, argv, 1, 200);
  const int per_second = arg(argc, argv, 2, 5);
  const int threads = arg(argc, argv, 3, 50);
  const int cooldown_s = arg(argc, argv, 4, 5);
  measure("no service throttles", per_service, threads, cooldown_s, std::nullopt);
  measure("quark throttles", per_service, threads, cooldown_s,
          test::ServicesThrottle{"drive-h.quark.cn", per_second});
  return 0;
}
