#include "base/worker_group.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "base/pumped_wait.h"

namespace quorvex {
namespace {

using namespace std::chrono_literals;

TEST(WorkerGroup, JoinsWorkersAndWaitsForTheRestUpToADeadline) {
  const int before = WorkerGroup::live_in_process();
  std::mutex mutex;
  std::condition_variable release;
  bool go = false;
  {
    WorkerGroup group;
    std::atomic<int> ran{0};
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(group.start([&] { ran.fetch_add(1); }));
    ASSERT_TRUE(group.start([&] {
      std::unique_lock lock(mutex);
      release.wait(lock, [&] { return go; });
    }));
    // One worker is held: the deadline passes and says so.
    EXPECT_FALSE(group.join_all(std::chrono::steady_clock::now() + 50ms));
    EXPECT_EQ(group.live(), 1);
    EXPECT_EQ(ran.load(), 3);
    {
      std::lock_guard lock(mutex);
      go = true;
    }
    release.notify_all();
    EXPECT_TRUE(group.join_all(std::chrono::steady_clock::now() + 5s));
    EXPECT_EQ(group.live(), 0);
  }
  EXPECT_EQ(WorkerGroup::live_in_process(), before);
}

TEST(WorkerGroup, AThreadTheSystemRefusesIsReported) {
  WorkerGroup group(
      [](std::function<void()>) -> std::optional<std::thread> { return std::nullopt; });
  bool ran = false;
  EXPECT_FALSE(group.start([&] { ran = true; }));
  EXPECT_FALSE(ran);
  EXPECT_EQ(group.live(), 0);
  EXPECT_TRUE(group.join_all(std::chrono::steady_clock::now()));
}

TEST(PumpedWait, LengthsByUnit) {
  EXPECT_EQ(pumped_wait_length_ms(20, std::nullopt), 20);
  EXPECT_EQ(pumped_wait_length_ms(2, kWaitSeconds), 2000);
  EXPECT_EQ(pumped_wait_length_ms(2, kWaitMinutes), 120000);
  EXPECT_EQ(pumped_wait_length_ms(2, kWaitHours), 7200000);
  EXPECT_EQ(pumped_wait_length_ms(2, 250), 500);  // any other unit is its own length in ms
  EXPECT_EQ(pumped_wait_length_ms(std::nullopt, std::nullopt), 18000000LL * 18000000LL);
  EXPECT_EQ(pumped_wait_length_ms(std::nullopt, kWaitSeconds), 0);
}

TEST(PumpedWait, KeepsPumpingWhileItWaits) {
  int pumps = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(pumped_wait(30, std::nullopt, [&] { ++pumps; }));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
  EXPECT_GE(pumps, 2);
}

}  // namespace
}  // namespace quorvex
