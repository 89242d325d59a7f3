// The one place that decides when the next request of a run may go out. It learns what the share
// service tolerates: it starts gently and doubles its rate while answers stay ordinary; when the
// service throttles, it takes the request rate of the second before the first throttled request
// as the ceiling, pauses, resumes below the ceiling and comes only slowly closer to it, never past
// it until a long stretch has gone by without throttling. A pause that ends into throttling again
// is followed by a longer one. Never more than one start per min_interval, whatever it learns.
#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <set>
#include <vector>

namespace quorvex {

// What a run learned of the service's patience, kept for the next run.
struct LearnedPace {
  double ceiling = 0;  // requests a second at which the service throttled (0: it never did)
  double held = 0;     // requests a second that held without throttling
  std::int64_t learned_at = 0;  // seconds since 1970
};

struct PacerSettings {
  std::chrono::milliseconds min_interval{20};  // the fastest pace, and the scheduler's pass
  double max_rate = 50;                        // a cap the user set (--rate); min_interval's wins
  double start_rate = 5;                       // slow start: requests a second at first
  std::chrono::milliseconds doubling{500};     // slow start doubles this often
  double resume_share = 0.8;                   // after a pause: this share of the ceiling
  double hold_share = 0.95;                    // ...approached to this share of the rate below it
  double approach_per_second = 0.2;            // requests a second gained every second
  std::chrono::milliseconds ceiling_lifetime{std::chrono::minutes(5)};
  std::chrono::milliseconds cooldown{60000};                         // the first pause
  std::chrono::milliseconds max_cooldown{std::chrono::minutes(15)};  // pauses double up to this
  double min_rate = 0.2;    // requests a second it never drops below
  int throttle_streak = 3;  // throttled answers from this many rows in a row start a pause
  // Throttling with no ordinary answer for this long is taken to persist: the rows left are given
  // up on.
  std::chrono::milliseconds give_up_after{std::chrono::minutes(30)};
  // What an earlier run learned (held is where this run starts), and how old it is in seconds.
  std::optional<LearnedPace> learned;
  std::int64_t learned_age = 0;
  // An earlier run's rate fades back to the slow start over this long.
  std::chrono::seconds learned_lifetime{std::chrono::hours(24)};
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
  // Requests a fetch made beyond the one it was started with (redirects followed), at `now`:
  // they count against the rate as every other request does.
  void add_requests(int extra, Clock::time_point now);

  // An answer that showed no throttling: the streak of throttled rows is broken, and so is a
  // run of pauses.
  void on_answer(Clock::time_point now);
  // A throttled answer (security check, off-site redirect, 429) for `row`, to a request sent at
  // `sent`. Returns true when it began a pause; the rows of the streak that began it then go to
  // *streak_rows.
  bool on_throttled(int row, Clock::time_point sent, Clock::time_point now,
                    std::vector<int>* streak_rows = nullptr);
  // Pauses since the last ordinary answer: 0 while the service does not throttle the run as a
  // whole (a throttled row is then a matter of that row).
  int cooldowns_in_a_row() const { return cooldowns_in_a_row_; }
  // Whether the service has throttled without a single ordinary answer for give_up_after.
  bool throttling_persists(Clock::time_point now) const;

  bool cooling(Clock::time_point now) const { return now < cooldown_until_; }
  Clock::duration cooldown_left(Clock::time_point now) const;
  // Requests a second allowed at `now`.
  double rate(Clock::time_point now) const;
  // The ceiling this run knows (0: none).
  double ceiling(Clock::time_point now) const;
  // What this run has learned so far, for the next one.
  LearnedPace learned(Clock::time_point now) const;
  const PacerSettings& settings() const { return settings_; }

 private:
  double top_rate() const;
  // Requests sent in the second up to `t`.
  int requests_in_second_before(Clock::time_point t) const;
  void note_request(Clock::time_point t);

  PacerSettings settings_;
  Clock::time_point start_{};  // the first request
  bool started_ = false;
  // The rate climbs from base_rate_ at base_from_: doubling while slow_start_, else by
  // approach_per_second up to the ceiling's limit.
  bool slow_start_ = true;
  double base_rate_;
  Clock::time_point base_from_{};
  double ceiling_ = 0;
  Clock::time_point ceiling_at_{};
  double held_ = 0;  // the highest rate that has held without throttling
  Clock::time_point next_allowed_{};
  Clock::time_point last_take_{};
  Clock::time_point cooldown_until_{};
  std::chrono::milliseconds next_cooldown_;
  int cooldowns_in_a_row_ = 0;
  std::optional<Clock::time_point> throttled_since_;  // no ordinary answer since
  std::set<int> streak_;  // rows throttled since the last ordinary answer
  std::optional<Clock::time_point> first_throttled_send_;
  std::array<Clock::time_point, 256> recent_{};  // the last requests, newest at recent_next_ - 1
  std::size_t recent_next_ = 0;
  std::size_t recent_count_ = 0;
};

}  // namespace quorvex
