#include <algorithm>

#include "base/gbk_literals.h"
#include "check/check_run_state.h"
#include "model/share_url.h"

namespace quorvex {

namespace {

constexpr int kDefaultThreadLimit = 10;

PacerSettings pace_of(const CheckRunConfig& config, ShareService service) {
  PacerSettings settings = config.pacer;
  if (config.recall_pace) {
    if (const auto learned = config.recall_pace(service)) {
      settings.learned = learned->first;
      settings.learned_age = learned->second;
    }
  }
  return settings;
}

}  // namespace

CheckRun::State::State(std::shared_ptr<LinkTable> t, CheckRunConfig c)
    : table(std::move(t)),
      config(std::move(c)),
      clock(config.clock ? config.clock : RunClock::system()) {
  for (const ShareService service : all_services()) pacers.emplace_back(pace_of(config, service));
}

RunSnapshot CheckRun::State::snapshot_locked() const {
  RunSnapshot s = counts;
  s.total = rows.total();
  s.started = rows.started();
  s.running = running;
  s.system_cap = system_cap;
  s.stalled = stalled;
  s.gave_up = gave_up;
  s.draining = draining;
  if (refused_since || stalled) s.refusal = refusal;
  const auto now = clock->now();
  // The run cools down while every service it checks does; another's pause is that service's.
  bool cooling = false;
  Clock::duration cooldown_left = Clock::duration::max();
  for (std::size_t service = 0; service < kServiceCount; ++service) {
    if (!in_play(service) && !(service == 0 && !ready)) continue;
    const Pacer& p = pacers[service];
    cooling = p.cooling(now);
    if (!cooling) break;
    cooldown_left = std::min(cooldown_left, p.cooldown_left(now));
  }
  s.cooldown_left = cooling ? std::chrono::duration_cast<std::chrono::milliseconds>(cooldown_left)
                            : std::chrono::milliseconds(0);
  if (cancelled.load()) {
    s.state = RunState::cancelled;
  } else if (scheduler_active && !ready) {
    s.state = RunState::waiting_for_list;
  } else if (scheduler_active) {
    s.state = cooling ? RunState::cooling_down : RunState::running;
  } else {
    s.state = scheduler_ran ? RunState::finished : RunState::idle;
  }
  return s;
}

void CheckRun::State::report() {
  if (!config.on_progress) return;
  RunSnapshot s;
  {
    std::lock_guard lock(mutex);
    s = snapshot_locked();
  }
  config.on_progress(s);
}

int CheckRun::State::thread_limit() const {
  const int limit = config.thread_limit ? config.thread_limit() : kDefaultThreadLimit;
  return std::min({limit, kMaxProbesAtOnce, system_cap});
}

void CheckRun::State::adopt_verdicts_locked() {
  table->for_each_verdict([&](int row, const RowVerdict& verdict) {
    if (verdict.verdict == Verdict::none || row >= rows.total()) return;
    rows.mark_started(row, true);
    std::uint8_t& f = rows.flags(row);
    const bool counted = verdict.reason != Reason::not_share_link;
    f |= kDecided | (counted ? kCounted : 0);
    count_verdict(counts, verdict.verdict, counted, f & kRepeat, 1);
  });
}

bool CheckRun::State::sleep_until(Clock::time_point until) {
  std::unique_lock lock(mutex);
  clock->wait_until(lock, wake, until, [&] { return cancelled.load(); });
  return !cancelled;
}

bool CheckRun::State::wait_for_turn(ShareService service) {
  std::unique_lock lock(mutex);
  for (;;) {
    if (cancelled) return false;
    const auto now = clock->now();
    if (pacer(service).try_take(now)) return true;
    clock->wait_until(lock, wake, pacer(service).next_start(now), [] { return false; });
  }
}

void CheckRun::State::run_scheduler(const std::shared_ptr<WorkerGroup>& probes) {
  const std::shared_ptr<State> self = shared_from_this();
  std::unique_lock lock(mutex);
  for (;;) {
    if (cancelled) break;
    if (ready && recall_pending) {
      recall_pending = false;
      lock.unlock();
      settle_rows_without_share();
      recall_stored();
      lock.lock();
      continue;
    }
    if (ready && draining) {
      if (running == 0) break;
    } else if (ready) {
      if (!rows.has_work() && running == 0) break;
      std::optional<ShareService> persisting;
      for (std::size_t service = 0; service < kServiceCount && !persisting; ++service)
        if (in_play(service) && !gave_up_on[service] &&
            pacers[service].throttling_persists(clock->now()))
          persisting = static_cast<ShareService>(service);
      if (persisting) {
        lock.unlock();
        give_up_throttled_rows(*persisting);
        lock.lock();
        continue;
      }
      lock.unlock();
      probes->reap();
      const int limit = thread_limit();
      lock.lock();
      const auto now = clock->now();
      ServiceFlags turn{};
      for (std::size_t service = 0; service < kServiceCount; ++service)
        turn[service] = pacers[service].next_start(now) <= now;
      std::optional<RowQueue::Taken> next;
      if (running < limit) next = rows.take(now, turn);
      if (next) {
        const RowQueue::Taken taken = *next;
        pacer(service_of(taken.row)).try_take(now);
        ++running;
        lock.unlock();
        const bool started = probes->start(
            [self, row = taken.row] { self->guarded([&] { self->probe_row(row); }); });
        lock.lock();
        if (!started) {
          // No thread to be had now (a system limit): the row waits for a later pass.
          --running;
          rows.give_back(taken);
          if (!refused_since) refused_since = now;
          refusal = "no thread for a probe";
        } else {
          lock.unlock();
          report();
          lock.lock();
        }
      }
    }
    if (ready && running == 0 && refused_since &&
        clock->now() - *refused_since >= config.stall_limit) {
      // Nothing the system gives lets a probe run: waiting on would never end.
      stalled = true;
      break;
    }
    // One pass at least every min_interval, and none before the pacer's next slot: a pace of,
    // say, 18 starts a second is kept as such, not rounded to whole passes.
    const auto now = clock->now();
    auto until = now + pacer().settings().min_interval;
    if (ready && rows.has_work()) {
      // The soonest slot of the services the list holds.
      auto soonest = Clock::time_point::max();
      for (std::size_t service = 0; service < kServiceCount; ++service)
        if (in_play(service)) soonest = std::min(soonest, pacers[service].next_start(now));
      if (soonest != Clock::time_point::max()) until = std::max(until, soonest);
    }
    clock->wait_until(lock, wake, until, [&] { return cancelled.load(); });
  }
  scheduler_active = false;
  // What each pacer learned is kept for its service; a service the run did not ask taught nothing.
  std::vector<std::pair<ShareService, LearnedPace>> learned;
  for (std::size_t service = 0; service < kServiceCount; ++service)
    if (in_play(service))
      learned.emplace_back(static_cast<ShareService>(service),
                           pacers[service].learned(clock->now()));
  lock.unlock();
  if (config.remember_pace)
    for (const auto& [service, pace] : learned) config.remember_pace(service, pace);
  wake.notify_all();
  report();
}

void CheckRun::State::finish_probe(int row) {
  {
    std::lock_guard lock(mutex);
    --running;
    rows.flags(row) &= static_cast<std::uint8_t>(~kInFlight);
  }
  wake.notify_all();
  report();
}

void CheckRun::State::decide(int row, RowVerdict verdict, bool counted, bool paced) {
  // Paced verdicts go one at a time, kVerdictHold apart, under a lock only probes take: a
  // recheck on the window's thread never waits for the hold.
  std::unique_lock<std::mutex> pace;
  if (paced) pace = std::unique_lock(pace_lock);
  std::vector<int> decided;
  {
    const std::lock_guard write(verdict_lock);
    // The row and every later row of the same share get the one verdict.
    for (int r = row; r >= 0; r = chains.next_of(r)) {
      if (!table->set_verdict_if(generation, r, verdict)) continue;
      decided.push_back(r);
      const std::lock_guard lock(mutex);
      std::uint8_t& f = rows.flags(r);
      f |= kDecided | (counted ? kCounted : 0);
      count_verdict(counts, verdict.verdict, counted, f & kRepeat, 1);
    }
  }
  if (paced) clock->pause(kVerdictHold);
  for (const int r : decided) table->set_cell_if(generation, r, kColumnDone, gbk::kDoneMark);
  if (config.on_verdict)
    for (const int r : decided) config.on_verdict(r, verdict);
}

void CheckRun::State::give_up_throttled_rows(ShareService service) {
  std::vector<int> left;
  {
    std::lock_guard lock(mutex);
    gave_up = true;
    gave_up_on[service_index(service)] = true;
    left = rows.drop_waiting(service);
  }
  for (const int row : left) {
    if (cancelled) break;
    decide(row, {Verdict::unknown, Reason::verify}, true, false);
  }
  report();
}

void CheckRun::State::settle_rows_without_share() {
  std::vector<int> without;
  {
    std::lock_guard lock(mutex);
    for (int row = 0; row < rows.total(); ++row)
      if (rows.flags(row) & kNoShare) without.push_back(row);
  }
  if (without.empty()) return;
  for (const int row : without) {
    if (cancelled) break;
    {
      std::lock_guard lock(mutex);
      // A check of this row asked for meanwhile has it already.
      if (rows.flags(row) & (kStarted | kQueued | kInFlight | kDecided)) continue;
      rows.mark_started(row, true);
    }
    decide(row, {Verdict::invalid, Reason::not_share_link}, false, false);
  }
  report();
}

void CheckRun::State::recall_stored() {
  if (!config.recall) return;
  // The first row of each share that no probe has taken yet.
  std::vector<int> untaken;
  {
    std::lock_guard lock(mutex);
    for (int row = 0; row < rows.total(); ++row)
      if (!(rows.flags(row) & (kStarted | kQueued | kRepeat | kDecided | kSkipped)))
        untaken.push_back(row);
  }
  std::vector<int> asked_rows;
  std::vector<std::string> shares;
  std::string url;
  for (const int row : untaken) {
    share_url_of_row_into(table->cell(row, kColumnLink), table->cell(row, kColumnName), url);
    std::string id = share_id(url);
    if (id.empty()) continue;
    asked_rows.push_back(row);
    shares.push_back(std::move(id));
  }
  if (shares.empty()) return;
  const std::vector<std::optional<RowVerdict>> known = config.recall(shares);
  for (std::size_t i = 0; i < asked_rows.size() && i < known.size(); ++i) {
    if (!known[i] || cancelled) continue;
    const int row = asked_rows[i];
    {
      std::lock_guard lock(mutex);
      // A check of this row asked for meanwhile wins over the store.
      if (rows.flags(row) & (kStarted | kQueued | kInFlight | kDecided)) continue;
      rows.mark_started(row, true);
    }
    RowVerdict verdict = *known[i];
    verdict.cached = true;
    decide(row, verdict, true, false);
  }
  report();
}

}  // namespace quorvex
