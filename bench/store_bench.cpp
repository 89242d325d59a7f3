// The verdict store under load:
//   store_bench [ROWS]   (default 100000)
// 1. ROWS verdicts handed over by 16 probe threads: how long a hand-over takes (p50, p99, max)
//    and how long until all are written.
// 2. A run over a list of ROWS rows whose shares are all in the store: how long until every row
//    has its verdict, and how many requests were sent (none should be).
// 3. The store's size on disk per verdict.
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "session/session.h"
#include "shell/verdict_memory.h"
#include "store/verdict_store.h"

using namespace quorvex;
using Clock = std::chrono::steady_clock;

namespace {

std::string id_of(int i) {
  // 23 characters, as the service's IDs are.
  std::string id = "1" + std::to_string(i);
  id.resize(23, 'x');
  return id;
}

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::stoi(argv[1]) : 100000;
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("quorvex-store-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "verdicts.sqlite").string();
  auto opened = VerdictStore::open(path);
  if (!opened.store) {
    std::fprintf(stderr, "%s\n", opened.message.c_str());
    return 1;
  }
  std::shared_ptr<VerdictStore> store = std::move(opened.store);

  // 1. Hand-overs from 16 threads at once.
  constexpr int kThreads = 16;
  std::vector<std::vector<double>> times(kThreads);
  const auto start = Clock::now();
  {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([&, t] {
        for (int i = t; i < rows; i += kThreads) {
          const auto before = Clock::now();
          store->record({id_of(i), Verdict::valid, Reason::need_code, seconds_now(), 200});
          times[t].push_back(ms(Clock::now() - before));
        }
      });
    for (auto& th : threads) th.join();
  }
  const auto handed = Clock::now();
  store->flush();
  const auto written = Clock::now();
  std::vector<double> all;
  for (const auto& t : times) all.insert(all.end(), t.begin(), t.end());
  std::sort(all.begin(), all.end());
  std::printf("hand-over of %d verdicts from %d threads: p50 %.4f ms, p99 %.4f ms, max %.2f ms\n",
              rows, kThreads, all[all.size() / 2], all[all.size() * 99 / 100], all.back());
  std::printf("all handed over in %.0f ms, all written in %.0f ms\n", ms(handed - start),
              ms(written - start));

  // 2. A list fully in the store, checked again.
  std::atomic<int> requests{0};
  CheckRunConfig runs;
  runs.fetch = [&](const std::string&, const std::atomic<bool>&) {
    ++requests;
    return FetchResult{};
  };
  attach_store(runs, store, VerdictLifetimes{}, false);
  std::string text;
  for (int i = 0; i < rows; ++i)
    text += "r" + std::to_string(i) + " https://pan.baidu.com/s/" + id_of(i) + "\r\n";
  Session session(runs);
  session.set_source_text(std::move(text));
  session.reset_run_state();
  session.wait_for_loads();
  const auto run_start = Clock::now();
  session.start_check_run();
  while (session.run()->snapshot().active() || session.run()->snapshot().finished == 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const auto run_end = Clock::now();
  const RunSnapshot s = session.run()->snapshot();
  std::printf("re-run of %d rows all in the store: %.0f ms, %d rows decided, %d requests sent\n",
              rows, ms(run_end - run_start), s.finished, requests.load());

  // 3. Size on disk, once the write-ahead log is folded in.
  session.shutdown(std::chrono::seconds(5));
  store.reset();
  const auto size = std::filesystem::file_size(path);
  std::printf("store: %llu bytes for %d verdicts = %.0f bytes each\n",
              static_cast<unsigned long long>(size), rows, static_cast<double>(size) / rows);
  std::filesystem::remove_all(dir);
  return 0;
}
