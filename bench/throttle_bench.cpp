// Check runs against a share service that throttles: above PER_SECOND requests within a second
// every answer is the security-check page for PENALTY_MS. Runs quorvex-cli check --fresh with
// --cooldown in this process RUNS times on one verdict store (so that later runs start from the
// pace the first learned) and prints, for each, the wall time against what the throttle allows,
// the verdicts, the requests sent per row, the throttled answers, the cool-downs and the rate
// that held. With TWO_REQUESTS, every other row is a share that redirects to its code page: two
// requests for one row.
//   throttle_bench [ROWS [THREADS [PER_SECOND [PENALTY_MS [COOLDOWN_S [TWO_REQUESTS [RUNS]]]]]]]
//   defaults:        300    50        20          2000        2            0            2
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_main.h"
#include "store/verdict_store.h"
#include "support/share_service.h"

namespace {

int arg(int argc, char** argv, int i, int fallback) {
  return argc > i ? std::atoi(argv[i]) : fallback;
}

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quorvex;
  const int rows = arg(argc, argv, 1, 300);
  const int threads = arg(argc, argv, 2, 50);
  const int per_second = arg(argc, argv, 3, 20);
  const int penalty_ms = arg(argc, argv, 4, 2000);
  const int cooldown_s = arg(argc, argv, 5, 2);
  const bool two_requests = arg(argc, argv, 6, 0) != 0;
  const int runs = arg(argc, argv, 7, 2);

  test::ShareService service(
      test::ShareThrottle{per_second, std::chrono::milliseconds(penalty_ms)});
  ::setenv("QUORVEX_CONNECT_TO", service.connect_to().c_str(), 1);
  ::setenv("QUORVEX_CA_FILE", test::test_ca_file().c_str(), 1);
  char store_dir[] = "/tmp/throttle-bench-XXXXXX";
  if (!::mkdtemp(store_dir)) return 1;
  const std::string store = std::string(store_dir) + "/verdicts.sqlite";
  std::string text;
  for (int i = 0; i < rows; ++i)
    text += "row" + std::to_string(i) + " " +
            test::ShareService::link((two_requests && i % 2 ? "need-" : "public-") +
                                     std::to_string(i)) +
            "\r\n";
  const double expected_requests = rows * (two_requests ? 1.5 : 1.0);
  const double bound = expected_requests / per_second;
  std::printf("rows %d  threads %d  throttle %d/s, %d ms  cooldown %d s  %.2f requests a row\n",
              rows, threads, per_second, penalty_ms, cooldown_s, expected_requests / rows);
  int failures = 0;
  for (int round = 1; round <= runs; ++round) {
    const std::size_t requests_before = service.requests().size();
    const int throttled_before = service.throttled_answers();
    std::FILE* in = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), in);
    std::rewind(in);
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const auto start = std::chrono::steady_clock::now();
    const int rc =
        cli::run({"check", "--json", "--fresh", "--store", store, "--threads",
                  std::to_string(threads), "--cooldown", std::to_string(cooldown_s), "-"},
                 in, out, err);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::string progress;
    std::rewind(err);
    char line[4096];
    while (std::fgets(line, sizeof line, err)) progress += line;
    std::string json;
    std::rewind(out);
    char buf[65536];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, out)) > 0;) json.append(buf, n);
    std::fclose(in);
    std::fclose(out);
    std::fclose(err);

    const auto all = service.requests();
    const std::vector<test::RecordedRequest> requests(
        all.begin() + static_cast<long>(requests_before), all.end());
    // The busiest second, over windows that start at each request.
    std::size_t busiest = 0;
    for (std::size_t i = 0, j = 0; i < requests.size(); ++i) {
      while (j < requests.size() && requests[j].at - requests[i].at < std::chrono::seconds(1)) ++j;
      busiest = std::max(busiest, j - i);
    }
    double held = 0, ceiling = 0;
    if (auto opened = VerdictStore::open_to_read(store); opened.store)
      if (const auto pace = opened.store->pace("pan.baidu.com"))
        held = pace->held, ceiling = pace->ceiling;
    const int unknown = count(json, "\"verdict\":\"unknown\"");
    std::printf(
        "run %d: wall %.1f s  bound %.1f s  ratio %.2f  exit %d\n"
        "  valid %d  invalid %d  unknown %d\n"
        "  requests %zu (%.2f per row)  throttled answers %d  cool-downs %d  busiest second %zu  "
        "average %.1f/s  rate held %.1f/s  ceiling %.1f/s\n",
        round, wall, bound, wall / bound, rc, count(json, "\"verdict\":\"valid\""),
        count(json, "\"verdict\":\"invalid\""), unknown, requests.size(),
        static_cast<double>(requests.size()) / rows, service.throttled_answers() - throttled_before,
        count(progress, "throttled by the service"), busiest,
        static_cast<double>(requests.size()) / wall, held, ceiling);
    // Requests per second, second by second, to see how close the run keeps to the throttle.
    if (std::getenv("THROTTLE_BENCH_TIMELINE") && !requests.empty()) {
      std::vector<int> per_second_seen;
      for (const auto& r : requests) {
        const auto s = static_cast<std::size_t>(
            std::chrono::duration_cast<std::chrono::seconds>(r.at - requests.front().at).count());
        if (per_second_seen.size() <= s) per_second_seen.resize(s + 1);
        ++per_second_seen[s];
      }
      std::printf("  ");
      for (const int n : per_second_seen) std::printf("%d ", n);
      std::printf("\n");
    }
    failures += rc != 0;
  }
  std::filesystem::remove_all(store_dir);
  return failures == 0 ? 0 : 1;
}
