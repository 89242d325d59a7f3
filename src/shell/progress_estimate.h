// How fast a check run goes and how long it still takes: one rule for the window's status line
// and the command line's progress, so both say the same of the same run.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "check/run_progress.h"

namespace quorvex {

class RateEstimate {
 public:
  using Clock = std::chrono::steady_clock;
  // The rate is measured over this much of the recent past: long enough to smooth the bursts in
  // which answers come, short enough to show a cool-down as a slowing.
  static constexpr std::chrono::seconds kWindow{10};

  // The rows finished at `at`; samples closer than a quarter second to the last one are skipped.
  void add(Clock::time_point at, int finished);
  void clear() { samples_.clear(); }
  // Rows a second over the window; 0 until two samples span some time.
  double per_second() const;
  // Seconds until `left` more rows are finished at the current rate, a cool-down under way
  // (`cooldown_left`) counted in; nullopt while no rate is known.
  std::optional<long long> seconds_left(int left, std::chrono::milliseconds cooldown_left) const;

 private:
  std::deque<std::pair<Clock::time_point, int>> samples_;
};

// A length of time as people read it on a clock: "m:ss", or "h:mm:ss" from an hour on.
std::string clock_text(long long seconds);

// A progress or status line as parts that a narrow line leaves out, the least useful first (the
// lower `keep`).
struct LinePart {
  std::string text;
  int keep = 0;
  bool attached = false;  // follows the part before it without the separator
};
// The line that fits `room` as `width` measures it: whole parts only, so a number it shows is
// never cut; of parts equally useful the rightmost goes first; one part at least stays.
std::string fitted_line(const std::vector<LinePart>& parts, int room,
                        const std::function<int(const std::string&)>& width,
                        const std::string& separator);

// The whole seconds a cool-down has left, rounded up; 0 when the run does not wait.
long long cooldown_seconds(const RunSnapshot& run);

}  // namespace quorvex
