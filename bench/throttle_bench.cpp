// A check run against a share service that throttles: above PER_SECOND requests within a second
// every answer is the security-check page for PENALTY_MS. Runs quorvex-cli check with --cooldown
// in this process and prints the wall time against what the throttle allows, the verdicts, the
// requests sent per row and the busiest second.
//   throttle_bench [ROWS [THREADS [PER_SECOND [PENALTY_MS [COOLDOWN_S]]]]]
//   defaults:        300    50        20          2000        2
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_main.h"
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

  test::ShareService service(
      test::ShareThrottle{per_second, std::chrono::milliseconds(penalty_ms)});
  ::setenv("QUORVEX_CONNECT_TO", service.connect_to().c_str(), 1);
  ::setenv("QUORVEX_CA_FILE", test::test_ca_file().c_str(), 1);
  std::string text;
  for (int i = 0; i < rows; ++i)
    text += "row" + std::to_string(i) + " " +
            test::ShareService::link("public-" + std::to_string(i)) + "\r\n";

  std::FILE* in = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), in);
  std::rewind(in);
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  const auto start = std::chrono::steady_clock::now();
  const int rc = cli::run({"check", "--json", "--threads", std::to_string(threads), "--cooldown",
                           std::to_string(cooldown_s), "-"},
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

  const auto requests = service.requests();
  // The busiest second, over windows that start at each request.
  std::size_t busiest = 0;
  for (std::size_t i = 0, j = 0; i < requests.size(); ++i) {
    while (j < requests.size() && requests[j].at - requests[i].at < std::chrono::seconds(1)) ++j;
    busiest = std::max(busiest, j - i);
  }
  const double bound = static_cast<double>(rows) / per_second;
  std::printf(
      "rows %d  threads %d  throttle %d/s, %d ms  cooldown %d s\n"
      "wall %.1f s  bound %.1f s  ratio %.2f  exit %d\n"
      "valid %d  invalid %d  unknown %d\n"
      "requests %zu (%.2f per row)  throttled answers %d  cool-downs %d  busiest second %zu "
      "requests  average %.1f/s\n",
      rows, threads, per_second, penalty_ms, cooldown_s, wall, bound, wall / bound, rc,
      count(json, "\"verdict\":\"valid\""), count(json, "\"verdict\":\"invalid\""),
      count(json, "\"verdict\":\"unknown\""), requests.size(),
      static_cast<double>(requests.size()) / rows, service.throttled_answers(),
      count(progress, "throttling this client"), busiest,
      static_cast<double>(requests.size()) / wall);
  // Requests per second, second by second, to see how close the run keeps to the throttle.
  if (std::getenv("THROTTLE_BENCH_TIMELINE") && !requests.empty()) {
    std::vector<int> per_second_seen;
    for (const auto& r : requests) {
      const auto s = static_cast<std::size_t>(
          std::chrono::duration_cast<std::chrono::seconds>(r.at - requests.front().at).count());
      if (per_second_seen.size() <= s) per_second_seen.resize(s + 1);
      ++per_second_seen[s];
    }
    for (const int n : per_second_seen) std::printf("%d ", n);
    std::printf("\n");
  }
  return rc == 0 ? 0 : 1;
}
