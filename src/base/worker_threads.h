// Detached worker threads. The program never joins its workers; it only needs to know whether
// one could be started, and how many are still alive when it exits.
#pragma once

#include <functional>

namespace quorvex {

// Starts fn on a new detached thread; false when the system refuses a new thread.
bool start_worker(std::function<void()> fn);

// Workers started by start_worker that have not returned yet.
int live_workers();

}  // namespace quorvex
