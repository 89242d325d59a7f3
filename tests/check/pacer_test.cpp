#include "check/pacer.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using namespace std::chrono_literals;
using Clock = Pacer::Clock;
const Clock::time_point t0 = Clock::time_point{} + 1h;

// Takes every slot the pacer gives from `from` until `until`, asking every millisecond; returns
// the times taken.
std::vector<Clock::time_point> take_all(Pacer& pacer, Clock::time_point from,
                                        Clock::time_point until) {
  std::vector<Clock::time_point> taken;
  for (Clock::time_point t = from; t < until; t += 1ms)
    if (pacer.try_take(t)) taken.push_back(t);
  return taken;
}

// Starts in the second before `t`.
int in_second_before(const std::vector<Clock::time_point>& taken, Clock::time_point t) {
  int n = 0;
  for (const auto at : taken) n += at <= t && t - at < 1s;
  return n;
}

// A throttled streak of three rows whose requests went out at `sent`, seen at `now`.
bool throttle(Pacer& pacer, Clock::time_point sent, Clock::time_point now) {
  bool began = false;
  for (int row = 0; row < 3; ++row) began = pacer.on_throttled(100 + row, sent, now) || began;
  return began;
}

TEST(Pacer, SlowStartDoublesToTheFullPaceAndNeverPassesIt) {
  Pacer pacer;
  EXPECT_DOUBLE_EQ(pacer.rate(t0), 5.0);
  ASSERT_TRUE(pacer.try_take(t0));
  EXPECT_DOUBLE_EQ(pacer.rate(t0 + 500ms), 10.0);
  EXPECT_DOUBLE_EQ(pacer.rate(t0 + 1s), 20.0);
  EXPECT_DOUBLE_EQ(pacer.rate(t0 + 2s), 50.0);  // 80 asked, one start per 20 ms allowed
  EXPECT_FALSE(pacer.try_take(t0 + 100ms));     // at 5 a second the next is 200 ms later
  const auto taken = take_all(pacer, t0 + 1ms, t0 + 10s);
  // Within about two seconds at the full pace, and never two starts closer than 20 ms.
  EXPECT_GE(in_second_before(taken, t0 + 3s), 49);
  for (std::size_t i = 1; i < taken.size(); ++i) EXPECT_GE(taken[i] - taken[i - 1], 20ms);
  // A cap the user set holds.
  PacerSettings capped;
  capped.max_rate = 4;
  Pacer slow(capped);
  const auto few = take_all(slow, t0, t0 + 10s);
  EXPECT_LE(in_second_before(few, t0 + 9s), 4);
}

TEST(Pacer, AThrottleSetsACeilingThatTheRunNeverMeetsAgain) {
  PacerSettings settings;
  settings.cooldown = 10s;
  Pacer pacer(settings);
  // The service lets ten requests a second through: the eleventh within a second is throttled.
  std::vector<Clock::time_point> taken;
  Clock::time_point first_throttled{};
  bool paused = false;
  int throttles = 0;
  for (Clock::time_point t = t0; t < t0 + 120s; t += 1ms) {
    if (!pacer.try_take(t)) continue;
    taken.push_back(t);
    if (in_second_before(taken, t) > 10) {
      if (first_throttled == Clock::time_point{}) first_throttled = t;
      if (throttle(pacer, t, t + 50ms)) {
        ++throttles;
        paused = true;
        t += 50ms;
      }
    } else {
      pacer.on_answer(t + 50ms);
    }
  }
  EXPECT_TRUE(paused);
  EXPECT_EQ(throttles, 1);
  EXPECT_DOUBLE_EQ(pacer.ceiling(t0 + 100s), 11.0);
  // Resumed at 0.8 of the ceiling, held below the rate that crossed it.
  EXPECT_LE(pacer.rate(t0 + 100s), 0.95 * 10 + 1e-9);
  EXPECT_GE(in_second_before(taken, t0 + 100s), 9);
  // A long stretch without throttling and the ceiling is forgotten: the run may try higher.
  EXPECT_DOUBLE_EQ(pacer.ceiling(t0 + 10min), 0.0);
  EXPECT_GT(pacer.rate(t0 + 10min), 20.0);
}

TEST(Pacer, PausesThatEndIntoThrottlingDoubleUpToFifteenMinutes) {
  PacerSettings settings;
  settings.cooldown = 60s;
  Pacer pacer(settings);
  const auto taken = take_all(pacer, t0, t0 + 3s);
  Clock::time_point t = t0 + 3s;
  const double crossed = in_second_before(taken, taken.back());
  std::vector<long long> pauses;
  for (int i = 0; i < 7; ++i) {
    ASSERT_TRUE(throttle(pacer, i == 0 ? taken.back() : t, t));
    // A pause ending into throttling lowers no ceiling: the penalty was still on.
    if (i == 1) {
      EXPECT_DOUBLE_EQ(pacer.ceiling(t), crossed);
    }
    pauses.push_back(
        std::chrono::duration_cast<std::chrono::seconds>(pacer.cooldown_left(t)).count());
    t += pacer.cooldown_left(t);
    // Answers to requests sent before the pause began change nothing.
    EXPECT_FALSE(throttle(pacer, t - 1s, t - 1s));
  }
  EXPECT_EQ(pauses, (std::vector<long long>{60, 120, 240, 480, 900, 900, 900}));
  // An ordinary answer and the next pause is the first one's length again.
  pacer.on_answer(t);
  ASSERT_TRUE(throttle(pacer, t, t));
  EXPECT_EQ(pacer.cooldown_left(t), 60s);
}

TEST(Pacer, ThrottlingWithoutAnOrdinaryAnswerForTheBoundIsGivenUpOn) {
  PacerSettings settings;
  settings.give_up_after = 30min;
  Pacer pacer(settings);
  ASSERT_TRUE(pacer.try_take(t0));
  throttle(pacer, t0, t0);
  EXPECT_FALSE(pacer.throttling_persists(t0 + 29min));
  EXPECT_TRUE(pacer.throttling_persists(t0 + 30min));
  pacer.on_answer(t0 + 31min);
  EXPECT_FALSE(pacer.throttling_persists(t0 + 31min));
}

TEST(Pacer, ARememberedRateIsWhereTheNextRunStartsAndItFades) {
  PacerSettings settings;
  settings.learned = LearnedPace{11, 9.5, 0};
  settings.learned_age = 0;
  Pacer fresh(settings);
  EXPECT_DOUBLE_EQ(fresh.rate(t0), 9.5);
  ASSERT_TRUE(fresh.try_take(t0));
  // Its ceiling holds in this run too.
  EXPECT_DOUBLE_EQ(fresh.rate(t0 + 1min), 9.5);
  settings.learned_age = 12 * 3600;  // half a day: half way back to the slow start
  EXPECT_DOUBLE_EQ(Pacer(settings).rate(t0), (9.5 + 5) / 2);
  settings.learned_age = 25 * 3600;  // a day and more: forgotten
  Pacer old(settings);
  EXPECT_DOUBLE_EQ(old.rate(t0), 5.0);
  EXPECT_DOUBLE_EQ(old.ceiling(t0), 0.0);
  // What a run learned: the ceiling it met and the rate below it.
  const LearnedPace learned = fresh.learned(t0 + 1min);
  EXPECT_DOUBLE_EQ(learned.ceiling, 11.0);
  EXPECT_LE(learned.held, 9.5);
}

TEST(Pacer, RedirectsFollowedCountAgainstTheRate) {
  PacerSettings settings;
  settings.start_rate = 10;
  settings.doubling = 1h;  // no climbing in this test
  Pacer pacer(settings);
  ASSERT_TRUE(pacer.try_take(t0));
  EXPECT_NEAR(std::chrono::duration<double>(pacer.next_start(t0) - t0).count(), 0.1, 1e-6);
  pacer.add_requests(1, t0 + 10ms);  // the fetch followed one redirect
  EXPECT_NEAR(std::chrono::duration<double>(pacer.next_start(t0 + 10ms) - t0).count(), 0.2, 1e-6);
}

}  // namespace
}  // namespace quorvex
