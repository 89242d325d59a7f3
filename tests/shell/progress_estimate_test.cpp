#include "shell/progress_estimate.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using namespace std::chrono_literals;

TEST(ClockText, MinutesAndSecondsThenHours) {
  EXPECT_EQ(clock_text(0), "0:00");
  EXPECT_EQ(clock_text(65), "1:05");
  EXPECT_EQ(clock_text(3599), "59:59");
  // Two hours are 2:00:00, not 120:00.
  EXPECT_EQ(clock_text(3600), "1:00:00");
  EXPECT_EQ(clock_text(7200 + 61), "2:01:01");
  EXPECT_EQ(clock_text(-5), "0:00");
}

TEST(RateEstimate, RateAndTimeLeftFromTheRecentPast) {
  RateEstimate estimate;
  const auto t0 = RateEstimate::Clock::time_point{} + 1h;
  EXPECT_EQ(estimate.per_second(), 0);
  EXPECT_FALSE(estimate.seconds_left(100, 0ms));
  estimate.add(t0, 0);
  estimate.add(t0 + 100ms, 50);  // too soon after the last sample: skipped
  estimate.add(t0 + 2s, 20);
  EXPECT_DOUBLE_EQ(estimate.per_second(), 10);
  EXPECT_EQ(estimate.seconds_left(100, 0ms), 10);
  // A cool-down under way is part of the time left, rounded up to whole seconds.
  EXPECT_EQ(estimate.seconds_left(100, 2500ms), 13);
  EXPECT_EQ(estimate.seconds_left(0, 2500ms), 0);
  // Samples older than the window no longer count: the rate follows a slowing run.
  estimate.add(t0 + 20s, 30);
  estimate.add(t0 + 30s, 30);
  EXPECT_DOUBLE_EQ(estimate.per_second(), 0);
  EXPECT_FALSE(estimate.seconds_left(10, 0ms));
  estimate.clear();
  EXPECT_EQ(estimate.per_second(), 0);
}

TEST(CooldownSeconds, RoundedUpOnlyWhileCoolingDown) {
  RunSnapshot run;
  run.cooldown_left = 1200ms;
  EXPECT_EQ(cooldown_seconds(run), 0);
  run.state = RunState::cooling_down;
  EXPECT_EQ(cooldown_seconds(run), 2);
  run.cooldown_left = 0ms;
  EXPECT_EQ(cooldown_seconds(run), 0);
}

}  // namespace
}  // namespace quorvex
