#include "check/pacer.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using namespace std::chrono_literals;
using Clock = Pacer::Clock;

TEST(Pacer, AtFullPaceOneStartPerTwentyMilliseconds) {
  Pacer pacer;
  const Clock::time_point t0{};
  EXPECT_TRUE(pacer.try_take(t0 + 1s));
  EXPECT_FALSE(pacer.try_take(t0 + 1s + 10ms));
  EXPECT_EQ(pacer.next_start(t0 + 1s + 10ms), t0 + 1s + 20ms);
  EXPECT_TRUE(pacer.try_take(t0 + 1s + 20ms));
  EXPECT_DOUBLE_EQ(pacer.rate(t0 + 2s), 50.0);
}

// Starts at full pace for `seconds`, from `from`; returns the time after the last one.
Clock::time_point run_at_full_pace(Pacer& pacer, Clock::time_point from, double seconds) {
  Clock::time_point t = from;
  const Clock::time_point end =
      from + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  while (t < end) {
    pacer.try_take(t);
    t += 20ms;
  }
  return t;
}

TEST(Pacer, ThrottledRowsInARowPauseThenHalveTheRateAndClimbBack) {
  PacerSettings settings;
  settings.cooldown = 10s;
  settings.ramp_per_second = 2.0;
  Pacer pacer(settings);
  const Clock::time_point t = run_at_full_pace(pacer, Clock::time_point{} + 1s, 3.0);
  EXPECT_FALSE(pacer.on_throttled(1, t));
  EXPECT_FALSE(pacer.on_throttled(1, t));  // the same row again is no streak
  EXPECT_FALSE(pacer.on_throttled(2, t));
  EXPECT_TRUE(pacer.on_throttled(3, t));
  EXPECT_TRUE(pacer.cooling(t + 9s));
  EXPECT_EQ(pacer.cooldown_left(t + 4s), 6s);
  EXPECT_FALSE(pacer.try_take(t + 9s));
  EXPECT_EQ(pacer.next_start(t + 1s), t + 10s);
  // Answers of requests sent before the pause change nothing.
  EXPECT_FALSE(pacer.on_throttled(4, t + 1s));
  EXPECT_FALSE(pacer.on_throttled(5, t + 1s));
  EXPECT_FALSE(pacer.on_throttled(6, t + 1s));
  EXPECT_EQ(pacer.next_start(t + 1s), t + 10s);
  // Half of the 50 a second reached, then 2 a second more every second, up to 50 again.
  EXPECT_DOUBLE_EQ(pacer.rate(t + 10s), 25.0);
  EXPECT_DOUBLE_EQ(pacer.rate(t + 15s), 35.0);
  EXPECT_DOUBLE_EQ(pacer.rate(t + 60s), 50.0);
  EXPECT_TRUE(pacer.try_take(t + 10s));
  EXPECT_FALSE(pacer.try_take(t + 10s + 30ms));  // at 25 a second the next is 40 ms later
  EXPECT_TRUE(pacer.try_take(t + 10s + 40ms));
}

TEST(Pacer, AnOrdinaryAnswerBreaksTheStreak) {
  Pacer pacer;
  const Clock::time_point t = run_at_full_pace(pacer, Clock::time_point{} + 1s, 1.0);
  pacer.on_throttled(1, t);
  pacer.on_throttled(2, t);
  pacer.on_answer();
  EXPECT_FALSE(pacer.on_throttled(3, t));
  EXPECT_FALSE(pacer.cooling(t));
}

TEST(Pacer, TheRateFallsFromWhatWasReachedNotFromTheCeiling) {
  PacerSettings settings;
  settings.cooldown = 1s;
  settings.min_rate = 0.5;
  Pacer pacer(settings);
  // Four starts a second, far below the ceiling of fifty.
  Clock::time_point t = Clock::time_point{} + 1s;
  for (int i = 0; i < 8; ++i, t += 250ms) pacer.try_take(t);
  for (int row = 0; row < 3; ++row) pacer.on_throttled(row, t);
  EXPECT_DOUBLE_EQ(pacer.rate(t + 1s), 2.0);
  // A run that has started nothing lately falls to the floor.
  Pacer idle(settings);
  for (int row = 0; row < 3; ++row) idle.on_throttled(row, t);
  EXPECT_DOUBLE_EQ(idle.rate(t + 1s), 0.5);
}

}  // namespace
}  // namespace quorvex
