// A check run joined to the verdict store: what the run fetches is written to the store, and what
// the store knows recently enough stands in for a fetch.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "check/check_run.h"
#include "store/verdict_store.h"

namespace quorvex {

// Seconds since 1970 now; tests pass a clock of their own.
using WallClock = std::function<std::int64_t()>;
std::int64_t seconds_now();

// Sets the config's recall (unless `fresh`: then every share is fetched) and remember to use the
// store with these lifetimes.
void attach_store(CheckRunConfig& config, std::shared_ptr<VerdictStore> store,
                  VerdictLifetimes lifetimes, bool fresh, WallClock now = seconds_now);

// "YYYY-MM-DD HH:MM:SS" in local time.
std::string local_time_text(std::int64_t seconds);

}  // namespace quorvex
