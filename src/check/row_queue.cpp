#include "check/row_queue.h"

#include <algorithm>

namespace quorvex {

void RowQueue::reset(const ShareChains& chains) {
  chains_ = &chains;
  flags_.assign(static_cast<std::size_t>(chains.total), 0);
  for (const auto& [row, first] : chains.first_rows)
    if (row < total()) flags(row) = kRepeat;
  for (const int row : chains.without_share)
    if (row < total()) flags(row) |= kNoShare;
}

bool RowQueue::fresh_left() {
  if (!fresh_open_) return false;
  while (fresh_next_ < total() && (flags(fresh_next_) & (kStarted | kQueued | kInFlight | kRepeat)))
    ++fresh_next_;
  return fresh_next_ < total();
}

std::deque<RowQueue::Queued>::iterator RowQueue::due(Clock::time_point now) {
  const bool fresh = fresh_left();
  auto find = [&](bool after_fresh) {
    return std::find_if(queue_.begin(), queue_.end(), [&](const Queued& q) {
      return q.after_fresh == after_fresh && q.not_before <= now;
    });
  };
  const auto first = find(false);
  if (first != queue_.end() || fresh) return first;
  return find(true);
}

bool RowQueue::has_work() { return !queue_.empty() || fresh_left(); }

bool RowQueue::has_due_work(Clock::time_point now) {
  return due(now) != queue_.end() || fresh_left();
}

RowQueue::Taken RowQueue::take(Clock::time_point now) {
  Taken t{};
  if (const auto it = due(now); it != queue_.end()) {
    t.row = it->row;
    queue_.erase(it);
  } else {
    fresh_left();
    t.row = fresh_next_++;
  }
  std::uint8_t& f = flags(t.row);
  t.first = !(f & kStarted);
  if (t.first) mark_started(t.row, true);
  f = static_cast<std::uint8_t>((f & ~kQueued) | kStarted | kInFlight);
  return t;
}

void RowQueue::give_back(const Taken& taken) {
  std::uint8_t& f = flags(taken.row);
  f = static_cast<std::uint8_t>((f & ~kInFlight) | kQueued);
  queue_.push_front({taken.row, Clock::time_point{}, false});
  if (taken.first) mark_started(taken.row, false);
}

void RowQueue::push(int row, Clock::time_point not_before, bool after_fresh) {
  std::uint8_t& f = flags(row);
  f = static_cast<std::uint8_t>((f & ~kInFlight) | kQueued);
  queue_.push_back({row, not_before, after_fresh});
}

void RowQueue::drop_waiting() {
  for (const Queued& q : queue_) flags(q.row) &= static_cast<std::uint8_t>(~kQueued);
  queue_.clear();
  fresh_next_ = total();
}

void RowQueue::mark_started(int row, bool started) {
  for (int r = row; r >= 0; r = chains_->next_of(r)) {
    std::uint8_t& f = flags(r);
    if (started == static_cast<bool>(f & kStarted)) continue;
    f = started ? static_cast<std::uint8_t>(f | kStarted)
                : static_cast<std::uint8_t>(f & ~kStarted);
    started_ += started ? 1 : -1;
  }
}

}  // namespace quorvex
