// How fast a check run goes and how long it still takes: one rule for the window's status line
// and the command line's progress, so both say the same of the same run.
#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <utility>

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

// The whole seconds a cool-down has left, rounded up; 0 when the run does not wait.
long long cooldown_seconds(const RunSnapshot& run);

}  // namespace quorvex
