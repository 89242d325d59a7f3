#include "base/worker_threads.h"

#include <atomic>
#include <system_error>
#include <thread>

namespace quorvex {

namespace {
std::atomic<int> g_live{0};
}

bool start_worker(std::function<void()> fn) {
  g_live.fetch_add(1, std::memory_order_acq_rel);
  try {
    std::thread([fn = std::move(fn)] {
      fn();
      g_live.fetch_sub(1, std::memory_order_acq_rel);
    }).detach();
    return true;
  } catch (const std::system_error&) {
    g_live.fetch_sub(1, std::memory_order_acq_rel);
    return false;
  }
}

int live_workers() { return g_live.load(std::memory_order_acquire); }

}  // namespace quorvex
