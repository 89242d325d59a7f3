// Bytes of answer bodies held at once across all requests that share a budget. Each request may
// hold a small body on its own; a larger one first takes a lease from the budget and waits while
// others hold it. A lease is taken whole, once, so a request that holds one never waits again:
// no set of requests can wait on each other.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>

namespace quorvex {

class BodyBudget {
 public:
  explicit BodyBudget(std::size_t bytes) : total_(bytes), left_(bytes) {}
  BodyBudget(const BodyBudget&) = delete;
  BodyBudget& operator=(const BodyBudget&) = delete;

  // Takes `bytes` (at most the whole budget), waiting while others hold too much; `give_up` is
  // asked every few milliseconds meanwhile and ends the wait (false) when it says so.
  // Returns the bytes taken, 0 when given up.
  std::size_t take(std::size_t bytes, const std::function<bool()>& give_up);
  void give_back(std::size_t bytes);

  std::size_t total() const { return total_; }
  std::size_t in_use() const;

 private:
  const std::size_t total_;
  mutable std::mutex mutex_;
  std::condition_variable returned_;
  std::size_t left_;
};

// The budget every share-page fetch of the process shares.
BodyBudget& shared_body_budget();

}  // namespace quorvex
