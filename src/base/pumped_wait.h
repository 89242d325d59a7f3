// A wait that keeps the calling thread's messages processed.
#pragma once

#include <functional>
#include <optional>

namespace quorvex {

// The units a wait's interval is counted in; any other unit value is itself the length of one
// unit in milliseconds.
enum WaitUnit : long long {
  kWaitMilliseconds = 0,
  kWaitSeconds = 1,
  kWaitMinutes = 2,
  kWaitHours = 3,
};

// Length of interval x unit in milliseconds. Unit 0 with no interval waits 18000000 x 18000000 ms.
long long pumped_wait_length_ms(std::optional<long long> interval, std::optional<long long> unit);

// Waits that long, calling pump (when given) every few milliseconds so that a window stays
// responsive while its own thread waits. Always returns true.
bool pumped_wait(std::optional<long long> interval = std::nullopt,
                 std::optional<long long> unit = std::nullopt,
                 const std::function<void()>& pump = {});

}  // namespace quorvex
