// A run's clock that goes `factor` times as fast as the real one, so that a test of a minute's
// cool-down or of growing retry waits takes a fraction of that.
#pragma once

#include <thread>

#include "check/run_clock.h"

namespace quorvex::test {

class FastClock final : public RunClock {
 public:
  explicit FastClock(int factor) : factor_(factor), start_(Clock::now()) {}
  Clock::time_point now() const override { return start_ + (Clock::now() - start_) * factor_; }
  void wait_until(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                  Clock::time_point until, const std::function<bool()>& stop) const override {
    wake.wait_until(lock, start_ + (until - start_) / factor_, stop);
  }
  void pause(std::chrono::milliseconds length) const override {
    std::this_thread::sleep_for(length / factor_);
  }

 private:
  int factor_;
  Clock::time_point start_;
};

}  // namespace quorvex::test
