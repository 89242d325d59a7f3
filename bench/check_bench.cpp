// A whole check run against a local share service with 100 ms latency:
//   check_bench ROWS LIMIT
// prints the run's wall time against the pacing bound (ROWS x 20 ms), the client's CPU seconds per
// 1,000 checks and its peak memory.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "server_process.h"
#include "session/session.h"

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int limit = argc > 2 ? std::atoi(argv[2]) : 50;
  quorvex::bench::ServerProcess server(
      100, "<p>\xE8\xAF\xB7\xE8\xBE\x93\xE5\x85\xA5\xE6\x8F\x90\xE5\x8F\x96\xE7\xA0\x81</p>");
  std::string text;
  for (int i = 0; i < rows; ++i)
    text += "row" + std::to_string(i) + " https://pan.baidu.com/s/1x" + std::to_string(i) + "\r\n";
  quorvex::CheckRunConfig runs;
  runs.probe.ca_file = quorvex::test::test_ca_file();
  runs.probe.connect_to = {server.connect_to()};
  quorvex::Session session(runs);
  session.set_thread_limit(limit);
  session.set_source_text(text);
  session.reset_run_state();
  session.wait_for_loads();
  const auto run = session.run();
  rusage before{};
  ::getrusage(RUSAGE_SELF, &before);
  const auto start = std::chrono::steady_clock::now();
  session.start_check_run();
  while (run->snapshot().active()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rusage after{};
  ::getrusage(RUSAGE_SELF, &after);
  auto secs = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  const double cpu =
      secs(after.ru_utime) - secs(before.ru_utime) + secs(after.ru_stime) - secs(before.ru_stime);
  const double bound = rows * 0.020;
  const int valid = run->snapshot().valid;
  std::printf(
      "rows %d  limit %d  wall %.2f s  bound %.2f s  ratio %.3f  valid %d  cpu %.2f s per 1000  "
      "peak %.1f MiB\n",
      rows, limit, wall, bound, wall / bound, valid, cpu * 1000.0 / rows,
      static_cast<double>(after.ru_maxrss) / 1024.0);
  return valid == rows ? 0 : 1;
}
