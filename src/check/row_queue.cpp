#include "check/row_queue.h"

#include <algorithm>

namespace quorvex {

void RowQueue::reset(const ShareChains& chains, const ServiceFlags& included) {
  chains_ = &chains;
  flags_.assign(static_cast<std::size_t>(chains.total), 0);
  fresh_next_ = 0;
  fresh_of_service_ = {};
  for (std::size_t row = 0; row < chains.services.size() && row < flags_.size(); ++row)
    if (!included[chains.services[row]]) flags_[row] = kSkipped;
  if (!included[service_index(ShareService::baidu)])
    for (int row = 0; row < total(); ++row)
      if (chains.service_of(row) == ShareService::baidu) flags(row) = kSkipped;
  for (const auto& [row, first] : chains.first_rows)
    if (row < total()) flags(row) = kRepeat;
  for (const int row : chains.without_share)
    if (row < total()) flags(row) |= kNoShare;
}

bool RowQueue::fresh_left() {
  if (!fresh_open_) return false;
  while (fresh_next_ < total() &&
         (flags(fresh_next_) & (kStarted | kQueued | kInFlight | kRepeat | kSkipped)))
    ++fresh_next_;
  return fresh_next_ < total();
}

bool RowQueue::fresh_left(ShareService service) {
  if (!fresh_left()) return false;
  int& next = fresh_of_service_[service_index(service)];
  next = std::max(next, fresh_next_);
  while (next < total() && (chains_->service_of(next) != service ||
                            (flags(next) & (kStarted | kQueued | kInFlight | kRepeat | kSkipped))))
    ++next;
  return next < total();
}

bool RowQueue::has_work() { return !queue_.empty() || fresh_left(); }

std::optional<RowQueue::Taken> RowQueue::take(Clock::time_point now, const ServiceFlags& ready) {
  const auto is_ready = [&](int row) { return ready[service_index(chains_->service_of(row))]; };
  const auto take_queued = [&](bool after_fresh) -> std::optional<Taken> {
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
      if (it->after_fresh != after_fresh || it->not_before > now || !is_ready(it->row)) continue;
      if (after_fresh && fresh_left(chains_->service_of(it->row))) continue;
      const int row = it->row;
      queue_.erase(it);
      return taken(row);
    }
    return std::nullopt;
  };
  if (auto t = take_queued(false)) return t;
  // The first fresh row of the services that are ready.
  int first = -1;
  for (std::size_t s = 0; s < kServiceCount; ++s) {
    const auto service = static_cast<ShareService>(s);
    if (!ready[s] || !chains_->present[s] || !fresh_left(service)) continue;
    const int next = fresh_of_service_[s];
    if (first < 0 || next < first) first = next;
  }
  if (first >= 0) return taken(first);
  return take_queued(true);
}

RowQueue::Taken RowQueue::taken(int row) {
  Taken t{};
  t.row = row;
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

std::vector<int> RowQueue::drop_waiting(ShareService service) {
  std::vector<int> dropped;
  for (int row = 0; row < total(); ++row) {
    if (chains_->service_of(row) != service) continue;
    std::uint8_t& f = flags(row);
    if (f & (kDecided | kInFlight | kRepeat | kNoShare | kSkipped)) continue;
    f &= static_cast<std::uint8_t>(~kQueued);
    dropped.push_back(row);
    mark_started(row, true);
  }
  std::erase_if(queue_, [&](const Queued& q) { return chains_->service_of(q.row) == service; });
  return dropped;
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
