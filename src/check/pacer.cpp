#include "check/pacer.h"

#include <algorithm>
#include <cmath>

namespace quorvex {

namespace {

using Seconds = std::chrono::duration<double>;

Pacer::Clock::duration interval_of(double rate) {
  return std::chrono::duration_cast<Pacer::Clock::duration>(Seconds(1.0 / rate));
}

}  // namespace

Pacer::Pacer(PacerSettings settings)
    : settings_(settings), base_rate_(settings.start_rate), next_cooldown_(settings.cooldown) {
  if (settings_.learned && settings_.learned_age >= 0 &&
      std::chrono::seconds(settings_.learned_age) < settings_.learned_lifetime) {
    // What held last time, fading back to the slow start as it ages; its ceiling still stands.
    const double fade = static_cast<double>(settings_.learned_age) /
                        static_cast<double>(settings_.learned_lifetime.count());
    const LearnedPace& learned = *settings_.learned;
    if (learned.held > 0)
      base_rate_ =
          std::max(settings_.start_rate, learned.held * (1 - fade) + settings_.start_rate * fade);
    ceiling_ = learned.ceiling;
  }
}

double Pacer::top_rate() const {
  const double interval = Seconds(settings_.min_interval).count();
  const double fastest = interval > 0 ? 1.0 / interval : 1e9;
  return std::max(settings_.min_rate, std::min(fastest, settings_.max_rate));
}

double Pacer::ceiling(Clock::time_point now) const {
  if (ceiling_ <= 0) return 0;
  // Before the first request a learned ceiling is as fresh as the run.
  if (started_ && now - ceiling_at_ >= settings_.ceiling_lifetime) return 0;
  return ceiling_;
}

double Pacer::rate(Clock::time_point now) const {
  double r = base_rate_;
  const Clock::time_point from = started_ ? base_from_ : now;
  if (now > from) {
    const double since = Seconds(now - from).count();
    if (slow_start_) {
      r *= std::exp2(std::min(since / Seconds(settings_.doubling).count(), 30.0));
    } else {
      // After a pause: slowly; once the ceiling is forgotten, doubling again from where it was.
      const Clock::time_point forgotten = ceiling_at_ + settings_.ceiling_lifetime;
      if (ceiling_ > 0 && now >= forgotten && forgotten > from) {
        r += settings_.approach_per_second * Seconds(forgotten - from).count();
        r *= std::exp2(
            std::min(Seconds(now - forgotten).count() / Seconds(settings_.doubling).count(), 30.0));
      } else {
        r += settings_.approach_per_second * since;
      }
    }
  }
  double limit = top_rate();
  // The ceiling's rate crossed the service's limit; one request a second less is what held.
  if (const double c = ceiling(now); c > 0)
    limit = std::min(limit, std::max(settings_.min_rate, settings_.hold_share * (c - 1)));
  return std::clamp(r, settings_.min_rate, limit);
}

Pacer::Clock::time_point Pacer::next_start(Clock::time_point now) const {
  Clock::time_point next = std::max(now, cooldown_until_);
  if (recent_count_ > 0)
    next = std::max({next, next_allowed_, last_take_ + settings_.min_interval});
  return next;
}

void Pacer::note_request(Clock::time_point t) {
  recent_[recent_next_] = t;
  recent_next_ = (recent_next_ + 1) % recent_.size();
  recent_count_ = std::min(recent_count_ + 1, recent_.size());
}

bool Pacer::try_take(Clock::time_point now) {
  if (next_start(now) > now) return false;
  if (!started_) {
    started_ = true;
    start_ = base_from_ = now;
    if (ceiling_ > 0) ceiling_at_ = now;
  }
  const Clock::time_point from = std::max(next_allowed_, now);
  next_allowed_ = from + std::max<Clock::duration>(interval_of(rate(now)), settings_.min_interval);
  last_take_ = now;
  note_request(now);
  return true;
}

void Pacer::add_requests(int extra, Clock::time_point now) {
  if (extra <= 0) return;
  for (int i = 0; i < extra; ++i) note_request(now);
  next_allowed_ = std::max(next_allowed_, now) + extra * interval_of(rate(now));
}

int Pacer::requests_in_second_before(Clock::time_point t) const {
  int count = 0;
  for (std::size_t i = 0; i < recent_count_; ++i) {
    const auto at = recent_[(recent_next_ + recent_.size() - 1 - i) % recent_.size()];
    if (at <= t && t - at < std::chrono::seconds(1)) ++count;
  }
  return count;
}

void Pacer::on_answer(Clock::time_point now) {
  streak_.clear();
  first_throttled_send_.reset();
  cooldowns_in_a_row_ = 0;
  next_cooldown_ = settings_.cooldown;
  throttled_since_.reset();
  if (!cooling(now)) held_ = std::max(held_, rate(now));
}

bool Pacer::on_throttled(int row, Clock::time_point sent, Clock::time_point now,
                         std::vector<int>* streak_rows) {
  if (!throttled_since_) throttled_since_ = now;
  // Answers of requests sent before the pause began change nothing more.
  if (cooling(now)) return false;
  first_throttled_send_ = std::min(first_throttled_send_.value_or(sent), sent);
  streak_.insert(row);
  if (static_cast<int>(streak_.size()) < std::max(1, settings_.throttle_streak)) return false;
  if (streak_rows) streak_rows->assign(streak_.begin(), streak_.end());
  streak_.clear();
  // A pause that ended into throttling says nothing new of the rate: the penalty was still on.
  if (cooldowns_in_a_row_ == 0) {
    const double measured = std::max(1, requests_in_second_before(*first_throttled_send_));
    const double known = ceiling(now);
    ceiling_ = known > 0 ? std::min(known, measured) : measured;
    ceiling_at_ = now;
  }
  first_throttled_send_.reset();
  ++cooldowns_in_a_row_;
  cooldown_until_ = now + next_cooldown_;
  next_cooldown_ = std::min(next_cooldown_ * 2, settings_.max_cooldown);
  slow_start_ = false;
  base_rate_ = std::max(settings_.min_rate, settings_.resume_share * ceiling_);
  base_from_ = cooldown_until_;
  held_ = std::min(held_, rate(cooldown_until_));
  return true;
}

bool Pacer::throttling_persists(Clock::time_point now) const {
  return throttled_since_ && now - *throttled_since_ >= settings_.give_up_after;
}

Pacer::Clock::duration Pacer::cooldown_left(Clock::time_point now) const {
  return cooling(now) ? cooldown_until_ - now : Clock::duration::zero();
}

LearnedPace Pacer::learned(Clock::time_point now) const {
  LearnedPace p;
  p.ceiling = ceiling(now);
  p.held = held_ > 0 ? held_ : 0;
  if (p.ceiling > 0)
    p.held = std::min(p.held, std::max(settings_.min_rate, settings_.hold_share * (p.ceiling - 1)));
  return p;
}

}  // namespace quorvex
