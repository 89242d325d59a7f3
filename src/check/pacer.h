// The one place that decides when the next request of a run may go out. At full pace that is one
// start per 20 ms pass, the bound that keeps one client's load on the service modest however many
// threads it runs. When the share service throttles the
// run, the pacer stops all starts for a cool-down and then lets them resume at half the rate that
// was reached, climbing back gradually: additive increase, multiplicative decrease.
#pragma once

#include <array>
#include <chrono>
#include <set>
#include <vector>

namespace quorvex {

struct PacerSettings {
  std::chrono::milliseconds min_interval{20};  // the fastest pace, and the scheduler's pass
  std::chrono::milliseconds cooldown{60000};   // pause after the service is seen throttling
  double ramp_per_second = 1.0;                // starts per second regained every second
  double min_rate = 0.2;                       // starts per second it never drops below
  int throttle_streak = 3;  // throttled answers from this many rows in a row start a cool-down
  // Cool-downs in a row, with no ordinary answer between them, after which throttling is taken to
  // persist: rows that still meet it are given up on instead of being queued again.
  int persist_after = 3;
};

// Not thread-safe: the run that owns it guards it. Times are passed in, so tests need no clock.
class Pacer {
 public:
  using Clock = std::chrono::steady_clock;

  explicit Pacer(PacerSettings settings = {});

  // The earliest moment the next request may go out (never before `now` is asked about).
  Clock::time_point next_start(Clock::time_point now) const;
  // Takes the next slot when it is due at `now`; false when it is not.
  bool try_take(Clock::time_point now);

  // An answer that showed no throttling: the streak of throttled rows is broken, and so is a
  // run of cool-downs.
  void on_answer();
  // A throttled answer (security check, off-site redirect, 429) for `row`. Returns true when it
  // began a cool-down; the rows of the streak that began it then go to *streak_rows.
  bool on_throttled(int row, Clock::time_point now, std::vector<int>* streak_rows = nullptr);
  // Cool-downs since the last ordinary answer: 0 while the service does not throttle the run as a
  // whole (a throttled row is then a matter of that row).
  int cooldowns_in_a_row() const { return cooldowns_in_a_row_; }
  // Whether throttling has outlasted persist_after cool-downs.
  bool throttling_persists() const { return cooldowns_in_a_row_ >= settings_.persist_after; }

  bool cooling(Clock::time_point now) const { return now < cooldown_until_; }
  Clock::duration cooldown_left(Clock::time_point now) const;
  // Starts per second allowed at `now`.
  double rate(Clock::time_point now) const;
  const PacerSettings& settings() const { return settings_; }

 private:
  double max_rate() const;
  // Starts per second actually made over the last two seconds.
  double achieved_rate(Clock::time_point now) const;

  PacerSettings settings_;
  double floor_rate_;              // the rate the ramp starts from
  Clock::time_point ramp_from_{};  // when the ramp started
  Clock::time_point last_take_{};  // the last slot taken
  bool taken_any_ = false;
  Clock::time_point cooldown_until_{};
  int cooldowns_in_a_row_ = 0;
  std::set<int> streak_;                         // rows throttled since the last ordinary answer
  std::array<Clock::time_point, 128> recent_{};  // the last starts, newest at recent_next_ - 1
  std::size_t recent_next_ = 0;
  std::size_t recent_count_ = 0;
};

}  // namespace quorvex
