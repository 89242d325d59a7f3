#include "check/check_run.h"

#include <algorithm>

#include "base/system_limits.h"
#include "check/check_run_state.h"

namespace quorvex {

CheckRun::CheckRun(std::shared_ptr<LinkTable> table, CheckRunConfig config)
    : state_(std::make_shared<State>(std::move(table), std::move(config))),
      probes_(std::make_shared<WorkerGroup>(state_->config.spawn)),
      scheduler_(state_->config.spawn) {}

CheckRun::~CheckRun() {
  cancel();
  wait(Clock::now() + kShutdownGrace);
}

void CheckRun::list_ready(std::uint64_t generation) {
  // Made before the run's lock is taken: a large list takes a moment.
  ShareChains chains = chain_shares(*state_->table);
  {
    std::lock_guard lock(state_->mutex);
    state_->generation = generation;
    state_->chains = std::move(chains);
    state_->rows.reset(state_->chains, state_->config.services);
    state_->throttle_hits.clear();
    state_->adopt_verdicts_locked();
    state_->ready = true;
  }
  state_->wake.notify_all();
}

bool CheckRun::start() {
  {
    std::lock_guard lock(state_->mutex);
    if (state_->cancelled || state_->scheduler_active) return true;
    if (!state_->rows.fresh_open()) state_->recall_pending = true;
    state_->rows.open_fresh();
  }
  return start_scheduler();
}

void CheckRun::drain() {
  state_->draining = true;
  state_->wake.notify_all();
}

bool CheckRun::start_scheduler() {
  const CheckRunConfig& config = state_->config;
  const int free = config.free_descriptors ? config.free_descriptors() : free_descriptors();
  // A probe's heap: its page and one copy of it, and the connection's buffers.
  const std::size_t heap_each = 2 * config.probe.max_page_bytes + (std::size_t{1} << 20);
  const int room =
      config.room_for_threads ? config.room_for_threads() : room_for_threads(heap_each);
  {
    std::lock_guard lock(state_->mutex);
    if (state_->cancelled || state_->scheduler_active) return true;
    // A run stopped earlier goes on with the rows it had not reached.
    state_->draining = false;
    state_->system_cap = std::clamp(
        std::min((free - kDescriptorHeadroom) / kDescriptorsPerProbe, room), 1, kMaxProbesAtOnce);
    state_->refused_since.reset();
    state_->refusals.clear();
    state_->stalled = false;
    state_->scheduler_active = true;
    state_->scheduler_ran = true;
  }
  scheduler_.reap();
  const bool started = scheduler_.start(
      [s = state_, probes = probes_] { s->guarded([&] { s->run_scheduler(probes); }); });
  if (!started) {
    std::lock_guard lock(state_->mutex);
    state_->scheduler_active = false;
  }
  return started;
}

int CheckRun::recheck(const std::vector<int>& rows) {
  State& s = *state_;
  int queued = 0;
  {
    std::lock_guard hold(s.verdict_lock);
    std::lock_guard lock(s.mutex);
    if (!s.ready || s.cancelled) return 0;
    for (const int asked : rows) {
      if (asked < 0 || asked >= s.rows.total()) continue;
      // A repeated share is checked again through its first row, which all its rows follow.
      const int row = s.chains.first_of(asked);
      if (s.rows.flags(row) & (kQueued | kInFlight) || s.rows.fresh_will_reach(row)) continue;
      for (int r = row; r >= 0; r = s.chains.next_of(r)) {
        std::uint8_t& f = s.rows.flags(r);
        if (!(f & kDecided)) continue;
        count_verdict(s.counts, s.table->verdict(r).verdict, f & kCounted, f & kRepeat, -1);
        f = static_cast<std::uint8_t>(f & ~(kDecided | kCounted));
        s.table->set_verdict_if(s.generation, r, {});
      }
      s.throttle_hits.erase(row);
      s.rows.push(row, Clock::time_point{}, false);
      ++queued;
    }
  }
  if (queued > 0) {
    start_scheduler();
    state_->report();
  }
  return queued;
}

std::vector<int> CheckRun::unknown_rows() const {
  std::vector<int> rows;
  std::lock_guard lock(state_->mutex);
  for (int row = 0; row < state_->rows.total(); ++row)
    if ((state_->rows.flags(row) & kDecided) &&
        state_->table->verdict(row).verdict == Verdict::unknown)
      rows.push_back(row);
  return rows;
}

void CheckRun::cancel() {
  state_->cancelled = true;
  state_->wake.notify_all();
}

bool CheckRun::wait(Clock::time_point deadline) {
  const bool scheduler_done = scheduler_.join_all(deadline);
  return probes_->join_all(deadline) && scheduler_done;
}

RunSnapshot CheckRun::snapshot() const {
  std::lock_guard lock(state_->mutex);
  return state_->snapshot_locked();
}

}  // namespace quorvex
