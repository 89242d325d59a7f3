#include "check/pacer.h"

#include <algorithm>

namespace quorvex {

namespace {
using Seconds = std::chrono::duration<double>;
}

Pacer::Pacer(PacerSettings settings) : settings_(settings), floor_rate_(max_rate()) {}

double Pacer::max_rate() const {
  const double interval = Seconds(settings_.min_interval).count();
  return interval > 0 ? 1.0 / interval : 1e9;
}

double Pacer::rate(Clock::time_point now) const {
  const double climbed =
      now > ramp_from_ ? settings_.ramp_per_second * Seconds(now - ramp_from_).count() : 0.0;
  return std::min(max_rate(), floor_rate_ + climbed);
}

Pacer::Clock::time_point Pacer::next_start(Clock::time_point now) const {
  Clock::time_point next = now;
  if (taken_any_) {
    const auto interval = std::chrono::duration_cast<Clock::duration>(Seconds(1.0 / rate(now)));
    next = std::max(next, last_take_ + std::max<Clock::duration>(interval, settings_.min_interval));
  }
  return std::max(next, cooldown_until_);
}

bool Pacer::try_take(Clock::time_point now) {
  if (next_start(now) > now) return false;
  last_take_ = now;
  taken_any_ = true;
  recent_[recent_next_] = now;
  recent_next_ = (recent_next_ + 1) % recent_.size();
  recent_count_ = std::min(recent_count_ + 1, recent_.size());
  return true;
}

double Pacer::achieved_rate(Clock::time_point now) const {
  // Starts within the last two seconds, over the time they span: a run that began a moment ago
  // has not had two seconds to reach its rate.
  const auto window = std::chrono::seconds(2);
  int count = 0;
  Clock::time_point oldest = now;
  for (std::size_t i = 0; i < recent_count_; ++i) {
    const auto t = recent_[(recent_next_ + recent_.size() - 1 - i) % recent_.size()];
    if (now - t > window) break;
    ++count;
    oldest = t;
  }
  const double span =
      std::max(Seconds(now - oldest).count(), Seconds(settings_.min_interval).count());
  return count > 1 ? count / span : 0.0;
}

void Pacer::on_answer() {
  streak_.clear();
  cooldowns_in_a_row_ = 0;
}

bool Pacer::on_throttled(int row, Clock::time_point now, std::vector<int>* streak_rows) {
  // Answers of requests sent before the pause began change nothing more.
  if (cooling(now)) return false;
  streak_.insert(row);
  if (static_cast<int>(streak_.size()) < std::max(1, settings_.throttle_streak)) return false;
  if (streak_rows) streak_rows->assign(streak_.begin(), streak_.end());
  streak_.clear();
  ++cooldowns_in_a_row_;
  cooldown_until_ = now + settings_.cooldown;
  // Half of what was really reached: a rate the run never came near would not slow it down.
  const double reached = std::min(rate(now), achieved_rate(now));
  floor_rate_ = std::max(settings_.min_rate, reached / 2);
  ramp_from_ = cooldown_until_;
  return true;
}

Pacer::Clock::duration Pacer::cooldown_left(Clock::time_point now) const {
  return cooling(now) ? cooldown_until_ - now : Clock::duration::zero();
}

}  // namespace quorvex
