#include "base/pumped_wait.h"

#include <chrono>
#include <thread>

namespace quorvex {

long long pumped_wait_length_ms(std::optional<long long> interval, std::optional<long long> unit) {
  const long long u = unit.value_or(0);
  if (u == kWaitMilliseconds && !interval) return 18000000LL * 18000000LL;
  long long unit_ms;
  switch (u) {
    case kWaitMilliseconds:
      unit_ms = 1;
      break;
    case kWaitSeconds:
      unit_ms = 1000;
      break;
    case kWaitMinutes:
      unit_ms = 60000;
      break;
    case kWaitHours:
      unit_ms = 3600000;
      break;
    default:
      unit_ms = u;
  }
  return interval.value_or(0) * unit_ms;
}

bool pumped_wait(std::optional<long long> interval, std::optional<long long> unit,
                 const std::function<void()>& pump) {
  const long long length = pumped_wait_length_ms(interval, unit);
  if (length <= 0) {
    if (pump) pump();
    return true;
  }
  using clock = std::chrono::steady_clock;
  // Capped so that the deadline cannot overflow the clock; no wait of the program comes near it.
  const auto total = std::chrono::milliseconds(std::min<long long>(length, 1LL << 40));
  const auto deadline = clock::now() + total;
  if (!pump) {
    std::this_thread::sleep_until(deadline);
    return true;
  }
  for (;;) {
    pump();
    const auto now = clock::now();
    if (now >= deadline) break;
    std::this_thread::sleep_for(
        std::min<clock::duration>(deadline - now, std::chrono::milliseconds(5)));
  }
  return true;
}

}  // namespace quorvex
