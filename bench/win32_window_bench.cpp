// The Win32 window under Wine with a million rows: start to a drawn window; a dropped file of
// that many rows loaded (the longest the window's thread is kept from its messages, and the
// memory the rows take against the file's size); the list scrolled top to bottom; and sorted.
//   win32_window_bench.exe [LINES]
#include <windows.h>
// After windows.h.
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "base/platform.h"
#include "bench_texts.h"
#include "win32/main_frame.h"

using namespace quorvex;
using namespace quorvex::win32;
using Clock = std::chrono::steady_clock;

namespace {

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::size_t private_bytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                       sizeof counters);
  // Wine leaves the private bytes at 0; the commit charge is the same figure there.
  return std::max<std::size_t>(counters.PrivateUsage, counters.PagefileUsage);
}

// Runs the window's messages until `done`; the longest time between two looks at the queue is
// the longest the window was kept from its events. `each` runs between the looks.
struct Pumped {
  double total_ms = 0, longest_ms = 0;
  std::size_t peak_bytes = 0;
};
Pumped pump_until(const std::function<bool()>& done, const std::function<void()>& each = {}) {
  Pumped p;
  const Clock::time_point start = Clock::now();
  Clock::time_point last = start;
  for (;;) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
      const Clock::time_point now = Clock::now();
      p.longest_ms = std::max(p.longest_ms, ms(now - last));
      last = now;
    }
    if (each) each();
    p.peak_bytes = std::max(p.peak_bytes, private_bytes());
    const Clock::time_point now = Clock::now();
    p.longest_ms = std::max(p.longest_ms, ms(now - last));
    last = now;
    if (done()) break;
    Sleep(0);
  }
  p.total_ms = ms(Clock::now() - start);
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  const long lines = argc > 1 ? std::atol(argv[1]) : 1000000;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::string home = wide_to_utf8(temp) + "quorvex-bench";
  make_folders(home + "/Documents");
  remove_file(home + "/Documents/Orvane/Quorvex/Baifig.ini");
  const std::string file = home + "/rows.txt";
  {
    const std::string text = bench::typeset_lines(lines);
    std::FILE* f = open_file(file, "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  const double file_mb = static_cast<double>(path_info(file).size) / 1e6;
  Desktop quiet = Desktop::standard();
  quiet.message = [](HWND, const MessageRequest&) { return false; };

  const Clock::time_point start = Clock::now();
  MainFrame frame(AppPlaces{home + "/Documents", home, "", home}, quiet);
  ShowWindow(frame.hwnd(), SW_SHOWNORMAL);
  UpdateWindow(frame.hwnd());
  const double start_ms = ms(Clock::now() - start);
  std::printf("start to a drawn window: %.0f ms\n", start_ms);

  const std::size_t before = private_bytes();
  frame.app().load_dropped_files({file});
  const Pumped load = pump_until(
      [&] { return frame.list_item_count() == lines && !frame.app().session()->loading(); });
  const std::size_t after = private_bytes();
  std::printf("load of %ld rows (%.1f MB file): %.0f ms, longest block %.0f ms\n", lines, file_mb,
              load.total_ms, load.longest_ms);
  std::printf("memory: %.1f MB kept after the load, %.1f MB at the peak (%.2fx / %.2fx the file)\n",
              static_cast<double>(after - before) / 1e6,
              static_cast<double>(load.peak_bytes - before) / 1e6,
              static_cast<double>(after - before) / 1e6 / file_mb,
              static_cast<double>(load.peak_bytes - before) / 1e6 / file_mb);

  HWND list = frame.control(kListId);
  int step = 0;
  const int steps = 400;
  const Pumped scroll = pump_until(
      [&] { return step > steps; },
      [&] {
        const int row = static_cast<int>(static_cast<long long>(lines - 1) * step / steps);
        ListView_EnsureVisible(list, row, FALSE);
        UpdateWindow(list);
        ++step;
      });
  std::printf("scrolling top to bottom in %d steps, each drawn: %.0f ms, longest block %.0f ms\n",
              steps, scroll.total_ms, scroll.longest_ms);

  auto& table = *frame.app().session()->table();
  const Verdict kinds[] = {Verdict::valid, Verdict::invalid, Verdict::valid, Verdict::unknown,
                           Verdict::none};
  for (int r = 0; r < table.row_count(); ++r)
    table.set_verdict_if(table.generation(), r, {kinds[(r * 7) % 5], Reason::none});
  pump_until([] { return true; });
  const auto timed = [&](const char* what, const std::function<void()>& ask) {
    ask();
    const Pumped p = pump_until([&] { return !frame.ordering(); });
    std::printf("%s: %.0f ms until shown, longest block %.0f ms\n", what, p.total_ms, p.longest_ms);
  };
  timed("sort by status", [&] { frame.click_column(kColumnStatus); });
  timed("filter to valid", [&] { frame.set_filter(VerdictFilter::valid); });
  timed("all rows again", [&] { frame.set_filter(VerdictFilter::all); });
  timed("sort by name", [&] { frame.click_column(kColumnName); });
  timed("sort by name, descending", [&] { frame.click_column(kColumnName); });
  timed("the list's own order again", [&] { frame.click_column(kColumnName); });
  return 0;
}
