// The time a check run keeps: when it may start the next request, how long a retry or a cool-down
// waits. The real steady clock in the programs; tests pass one that runs faster, so that timing is
// tested without waiting it out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace quorvex {

class RunClock {
 public:
  using Clock = std::chrono::steady_clock;
  virtual ~RunClock() = default;
  virtual Clock::time_point now() const = 0;
  // Waits on `wake`, `lock` held, until `until` on this clock has come or `stop` holds.
  virtual void wait_until(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                          Clock::time_point until, const std::function<bool()>& stop) const = 0;
  // Holds the calling thread this long (the verdicts' pace).
  virtual void pause(std::chrono::milliseconds length) const = 0;
  // The system's steady clock.
  static std::shared_ptr<const RunClock> system();
};

}  // namespace quorvex
