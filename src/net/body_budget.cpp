#include "net/body_budget.h"

#include <algorithm>
#include <chrono>

namespace quorvex {

std::size_t BodyBudget::take(std::size_t bytes, const std::function<bool()>& give_up) {
  bytes = std::min(bytes, total_);
  std::unique_lock lock(mutex_);
  while (left_ < bytes) {
    if (give_up && give_up()) return 0;
    returned_.wait_for(lock, std::chrono::milliseconds(20));
  }
  left_ -= bytes;
  return bytes;
}

void BodyBudget::give_back(std::size_t bytes) {
  if (bytes == 0) return;
  {
    std::lock_guard lock(mutex_);
    left_ = std::min(total_, left_ + bytes);
  }
  returned_.notify_all();
}

std::size_t BodyBudget::in_use() const {
  std::lock_guard lock(mutex_);
  return total_ - left_;
}

BodyBudget& shared_body_budget() {
  // 48 MiB: a dozen leases of the largest page with its decoded copy, whatever the thread count.
  static BodyBudget budget(std::size_t{48} << 20);
  return budget;
}

}  // namespace quorvex
