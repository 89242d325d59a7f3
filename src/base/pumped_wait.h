// A wait that keeps the calling thread's messages processed.
#pragma once

#include <functional>
#include <optional>

namespace quorvex {

// Length of interval x unit in milliseconds. Units: 0 ms, 1 s, 2 min, 3 h; any other unit value is
// itself the length of one unit in ms. Unit 0 with no interval waits 18000000 x 18000000 ms.
long long pumped_wait_length_ms(std::optional<long long> interval, std::optional<long long> unit);

// Waits that long, calling pump (when given) every few milliseconds so that a window stays
// responsive while its own thread waits. Always returns true.
bool pumped_wait(std::optional<long long> interval = std::nullopt,
                 std::optional<long long> unit = std::nullopt,
                 const std::function<void()>& pump = {});

}  // namespace quorvex
