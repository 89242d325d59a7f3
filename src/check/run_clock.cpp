#include "check/run_clock.h"

#include "base/pumped_wait.h"

namespace quorvex {

namespace {

class SystemClock final : public RunClock {
 public:
  Clock::time_point now() const override { return Clock::now(); }
  void wait_until(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                  Clock::time_point until, const std::function<bool()>& stop) const override {
    wake.wait_until(lock, until, stop);
  }
  void pause(std::chrono::milliseconds length) const override {
    pumped_wait(length.count(), kWaitMilliseconds);
  }
};

}  // namespace

std::shared_ptr<const RunClock> RunClock::system() {
  static const auto clock = std::make_shared<const SystemClock>();
  return clock;
}

}  // namespace quorvex
