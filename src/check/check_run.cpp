#include "check/check_run.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "base/gbk_literals.h"
#include "base/pumped_wait.h"
#include "model/share_url.h"

namespace quorvex {

namespace {

constexpr int kDefaultThreadLimit = 10;
// Holding the verdict lock this long after each verdict paces the verdicts, as users of the list
// are used to.
constexpr long long kVerdictHoldMs = 20;

enum RowFlag : std::uint8_t { kStarted = 1 };

}  // namespace

struct CheckRun::State : std::enable_shared_from_this<CheckRun::State> {
  State(std::shared_ptr<LinkTable> t, CheckRunConfig c)
      : table(std::move(t)), config(std::move(c)), pacer(config.pacer) {}

  std::shared_ptr<LinkTable> table;
  CheckRunConfig config;
  std::atomic<bool> cancelled{false};

  mutable std::mutex mutex;
  std::condition_variable wake;
  bool ready = false;
  std::uint64_t generation = 0;
  int total = 0;
  std::vector<std::uint8_t> flags;  // RowFlag bits per row
  bool fresh_open = false;          // every row is to be checked
  int fresh_next = 0;               // the first row no probe has taken yet
  std::deque<int> queue;            // rows to take before fresh ones
  bool scheduler_active = false;
  bool scheduler_ran = false;
  int running = 0;
  RunSnapshot counts;  // started, finished and the verdict counts
  Pacer pacer;

  // The one lock around verdict writes.
  std::mutex verdict_lock;

  RunSnapshot snapshot_locked() const {
    RunSnapshot s = counts;
    s.total = total;
    s.running = running;
    const auto now = Clock::now();
    s.cooldown_left =
        std::chrono::duration_cast<std::chrono::milliseconds>(pacer.cooldown_left(now));
    if (cancelled.load()) {
      s.state = RunState::cancelled;
    } else if (scheduler_active && !ready) {
      s.state = RunState::waiting_for_list;
    } else if (scheduler_active) {
      s.state = pacer.cooling(now) ? RunState::cooling_down : RunState::running;
    } else {
      s.state = scheduler_ran ? RunState::finished : RunState::idle;
    }
    return s;
  }

  void report() {
    if (!config.on_progress) return;
    RunSnapshot s;
    {
      std::lock_guard lock(mutex);
      s = snapshot_locked();
    }
    config.on_progress(s);
  }

  bool has_work_locked() const { return !queue.empty() || (fresh_open && fresh_next < total); }

  struct Taken {
    int row;
    bool first;  // the row's first start
  };

  Taken take_work_locked() {
    Taken t{};
    if (!queue.empty()) {
      t.row = queue.front();
      queue.pop_front();
    } else {
      t.row = fresh_next++;
    }
    t.first = !(flags[t.row] & kStarted);
    if (t.first) {
      flags[t.row] |= kStarted;
      ++counts.started;
    }
    return t;
  }

  // The start did not happen: the row goes back first in line, as if never taken.
  void give_back_locked(const Taken& t) {
    queue.push_front(t.row);
    if (t.first) {
      flags[t.row] &= static_cast<std::uint8_t>(~kStarted);
      --counts.started;
    }
  }

  int thread_limit() const {
    const int limit = config.thread_limit ? config.thread_limit() : kDefaultThreadLimit;
    return std::min(limit, kMaxProbesAtOnce);
  }

  void run_scheduler(const std::shared_ptr<WorkerGroup>& probes);
  void probe_row(int row);
  void decide(int row, Verdict verdict, bool counted);
  void finish_probe();
};

void CheckRun::State::run_scheduler(const std::shared_ptr<WorkerGroup>& probes) {
  const std::shared_ptr<State> self = shared_from_this();
  std::unique_lock lock(mutex);
  for (;;) {
    if (cancelled) break;
    if (ready) {
      if (!has_work_locked() && running == 0) break;
      lock.unlock();
      probes->reap();
      const int limit = thread_limit();
      lock.lock();
      const auto now = CheckRun::Clock::now();
      if (has_work_locked() && running < limit && pacer.try_take(now)) {
        const Taken taken = take_work_locked();
        ++running;
        lock.unlock();
        const bool started = probes->start([self, row = taken.row] { self->probe_row(row); });
        lock.lock();
        if (!started) {
          // No thread to be had now (a system limit): the row waits for a later pass.
          --running;
          give_back_locked(taken);
        } else {
          lock.unlock();
          report();
          lock.lock();
        }
      }
    }
    wake.wait_for(lock, pacer.settings().min_interval, [&] { return cancelled.load(); });
  }
  scheduler_active = false;
  lock.unlock();
  wake.notify_all();
  report();
}

void CheckRun::State::finish_probe() {
  {
    std::lock_guard lock(mutex);
    --running;
  }
  wake.notify_all();
  report();
}

void CheckRun::State::decide(int row, Verdict verdict, bool counted) {
  {
    std::lock_guard hold(verdict_lock);
    if (table->set_verdict_if(generation, row, verdict)) {
      std::lock_guard lock(mutex);
      ++counts.finished;
      if (counted) {
        ++counts.checked;
        if (verdict == Verdict::valid) ++counts.valid;
        if (verdict == Verdict::invalid) ++counts.invalid;
        if (verdict == Verdict::unknown) ++counts.unknown;
      }
    }
    pumped_wait(kVerdictHoldMs, kWaitMilliseconds);
    table->set_cell_if(generation, row, kColumnDone, gbk::kDoneMark);
  }
}

void CheckRun::State::probe_row(int row) {
  const std::string url =
      share_url_of_row(table->cell(row, kColumnLink), table->cell(row, kColumnName));
  if (table->generation() != generation || cancelled) return finish_probe();
  const std::string page =
      config.fetch ? config.fetch(url, cancelled) : fetch_share_page(url, cancelled);
  if (cancelled) return finish_probe();
  decide(row, page_is_live(page) ? Verdict::valid : Verdict::invalid, url != share_link_prefix);
  finish_probe();
}

CheckRun::CheckRun(std::shared_ptr<LinkTable> table, CheckRunConfig config)
    : state_(std::make_shared<State>(std::move(table), std::move(config))),
      probes_(std::make_shared<WorkerGroup>(state_->config.spawn)) {}

CheckRun::~CheckRun() {
  cancel();
  wait(Clock::now() + kShutdownGrace);
}

void CheckRun::list_ready(std::uint64_t generation) {
  {
    std::lock_guard lock(state_->mutex);
    state_->generation = generation;
    state_->total = state_->table->row_count();
    state_->flags.assign(static_cast<std::size_t>(state_->total), 0);
    state_->ready = true;
  }
  state_->wake.notify_all();
}

bool CheckRun::start() {
  {
    std::lock_guard lock(state_->mutex);
    if (state_->cancelled || state_->scheduler_active) return true;
    state_->fresh_open = true;
    state_->scheduler_active = true;
    state_->scheduler_ran = true;
  }
  scheduler_.reap();
  const bool started =
      scheduler_.start([s = state_, probes = probes_] { s->run_scheduler(probes); });
  if (!started) {
    std::lock_guard lock(state_->mutex);
    state_->scheduler_active = false;
  }
  return started;
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
