#include "check/check_run.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <new>
#include <numeric>
#include <string>
#include <string_view>

#include "base/gbk_literals.h"
#include "base/pumped_wait.h"
#include "base/system_limits.h"
#include "check/share_list.h"
#include "model/share_url.h"

namespace quorvex {

namespace {

constexpr int kDefaultThreadLimit = 10;
// Holding the verdict lock this long after each verdict keeps verdicts to fifty a second, the
// pace of the starts: the list fills at a steady rate instead of in bursts as answers bunch up.
constexpr long long kVerdictHoldMs = 20;
// How often the system may refuse a row's fetch (no descriptor, no memory) before the row is
// given up on: a shortage that passes (others' probes ending) is waited out, one that stays costs
// its rows and not the run.
constexpr int kRefusedTries = 10;
// Short enough to be stored without asking for memory, which is what is missing when it is said.
constexpr const char* kOutOfMemory = "out of memory";

enum RowFlag : std::uint8_t {
  kStarted = 1,   // a probe has taken the row at least once
  kQueued = 2,    // waiting in the queue
  kInFlight = 4,  // a probe has it now
  kDecided = 8,   // it has its verdict
  kCounted = 16,  // its verdict is in the counts of the summary
  kRepeat = 32,   // an earlier row holds the same share: it takes that row's verdict, unfetched
  kNoShare = 64,  // the row holds no share address: decided when the run starts, never fetched
};

using Clock = CheckRun::Clock;

// The wait before retry number `n` (1-based): the first delay, three times longer each time.
std::chrono::milliseconds backoff(const ProbeSettings& s, int n) {
  auto delay = s.retry_delay;
  for (int i = 1; i < n && delay < std::chrono::hours(1); ++i) delay *= 3;
  return delay;
}

}  // namespace

struct CheckRun::State : std::enable_shared_from_this<CheckRun::State> {
  State(std::shared_ptr<LinkTable> t, CheckRunConfig c)
      : table(std::move(t)), config(std::move(c)), pacer(config.pacer) {}

  std::shared_ptr<LinkTable> table;
  CheckRunConfig config;
  std::atomic<bool> cancelled{false};
  std::atomic<bool> draining{false};  // no new starts; the scheduler ends once none runs

  mutable std::mutex mutex;
  std::condition_variable wake;
  bool ready = false;
  std::uint64_t generation = 0;
  int total = 0;
  std::vector<std::uint8_t> flags;  // RowFlag bits per row
  // Times a row met the service's throttling; only rows that met it are here.
  std::unordered_map<int, std::uint8_t> throttle_hits;
  // Rows of one share are chained from the first of them: first_of(row) is that first row
  // (the row itself when it is the first or holds no share), next_of(row) the next row of the
  // same share or -1. Only rows of shares that more than one row holds are kept, so a list of
  // rows that are all different costs nothing here.
  std::unordered_map<int, int> first_rows;
  std::unordered_map<int, int> next_rows;
  int first_of(int row) const {
    const auto it = first_rows.find(row);
    return it == first_rows.end() ? row : it->second;
  }
  int next_of(int row) const {
    if (next_rows.empty()) return -1;
    const auto it = next_rows.find(row);
    return it == next_rows.end() ? -1 : it->second;
  }
  bool fresh_open = false;      // every row is to be checked
  bool recall_pending = false;  // the stored verdicts are still to be asked for
  int fresh_next = 0;           // the first row no probe has taken yet
  struct Queued {
    int row;
    Clock::time_point not_before;
    bool after_fresh;  // taken only once no fresh row is left
  };
  std::deque<Queued> queue;
  bool scheduler_active = false;
  bool scheduler_ran = false;
  int running = 0;
  int system_cap = kMaxProbesAtOnce;
  // Since when the system has refused every thread or connection asked for; unset while probes
  // get theirs.
  std::optional<Clock::time_point> refused_since;
  std::string refusal;  // the system's words for what it refused last
  // Times the system refused a row's fetch; only rows it refused are here.
  std::unordered_map<int, int> refusals;
  bool stalled = false;
  RunSnapshot counts;  // started, finished, the verdict counts, requests, cool-downs
  Pacer pacer;

  // The one lock around verdict writes.
  std::mutex verdict_lock;

  RunSnapshot snapshot_locked() const {
    RunSnapshot s = counts;
    s.total = total;
    s.running = running;
    s.system_cap = system_cap;
    s.stalled = stalled;
    if (refused_since || stalled) s.refusal = refusal;
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

  // Whether a fresh row is left; moves the cursor past rows a recheck has taken already.
  bool fresh_left_locked() {
    if (!fresh_open) return false;
    while (fresh_next < total && (flags[static_cast<std::size_t>(fresh_next)] &
                                  (kStarted | kQueued | kInFlight | kRepeat)))
      ++fresh_next;
    return fresh_next < total;
  }
  // The first queued row that may be taken now: rows ahead of the fresh ones first, then, when no
  // fresh row is left, the others.
  std::deque<Queued>::iterator due_locked(Clock::time_point now) {
    const bool fresh_left = fresh_left_locked();
    auto due = [&](bool after_fresh) {
      return std::find_if(queue.begin(), queue.end(), [&](const Queued& q) {
        return q.after_fresh == after_fresh && q.not_before <= now;
      });
    };
    const auto first = due(false);
    if (first != queue.end() || fresh_left) return first;
    return due(true);
  }
  bool has_due_work_locked(Clock::time_point now) {
    return due_locked(now) != queue.end() || fresh_left_locked();
  }
  bool has_work_locked() { return !queue.empty() || fresh_left_locked(); }

  // Rows that come with a verdict (a list edited after a check) keep it and count as checked, as
  // if this run had decided them; only the rows without one are left to check.
  void adopt_verdicts_locked() {
    table->for_each_verdict([&](int row, const RowVerdict& verdict) {
      if (verdict.verdict == Verdict::none || row >= total) return;
      std::uint8_t& f = flags[static_cast<std::size_t>(row)];
      f |= kStarted | kDecided;
      ++counts.started;
      ++counts.finished;
      if (f & kRepeat) ++counts.repeats;
      if (verdict.reason == Reason::not_share_link) {
        ++counts.not_share_link;
        return;
      }
      f |= kCounted;
      ++counts.checked;
      if (verdict.verdict == Verdict::valid) ++counts.valid;
      if (verdict.verdict == Verdict::invalid) ++counts.invalid;
      if (verdict.verdict == Verdict::unknown) ++counts.unknown;
    });
  }

  struct Taken {
    int row;
    bool first;  // the row's first start
  };

  Taken take_work_locked(Clock::time_point now) {
    Taken t{};
    const auto due = due_locked(now);
    if (due != queue.end()) {
      t.row = due->row;
      queue.erase(due);
    } else {
      fresh_left_locked();
      t.row = fresh_next++;
    }
    std::uint8_t& f = flags[static_cast<std::size_t>(t.row)];
    t.first = !(f & kStarted);
    if (t.first) mark_started_locked(t.row, true);
    f = static_cast<std::uint8_t>((f & ~kQueued) | kStarted | kInFlight);
    return t;
  }

  // A row and the repeats of its share start, or (when a start did not happen) stop being started.
  void mark_started_locked(int row, bool started) {
    for (int r = row; r >= 0; r = next_of(r)) {
      std::uint8_t& f = flags[static_cast<std::size_t>(r)];
      if (started == static_cast<bool>(f & kStarted)) continue;
      f = started ? static_cast<std::uint8_t>(f | kStarted)
                  : static_cast<std::uint8_t>(f & ~kStarted);
      counts.started += started ? 1 : -1;
    }
  }

  // The start did not happen: the row goes back first in line, as if never taken.
  void give_back_locked(const Taken& t) {
    std::uint8_t& f = flags[static_cast<std::size_t>(t.row)];
    f = static_cast<std::uint8_t>((f & ~kInFlight) | kQueued);
    queue.push_front({t.row, Clock::time_point{}, false});
    if (t.first) mark_started_locked(t.row, false);
  }

  int thread_limit() const {
    const int limit = config.thread_limit ? config.thread_limit() : kDefaultThreadLimit;
    return std::min({limit, kMaxProbesAtOnce, system_cap});
  }

  // Waits, without the lock, until `until` or a cancel; false when cancelled.
  bool sleep_until(Clock::time_point until) {
    std::unique_lock lock(mutex);
    return !wake.wait_until(lock, until, [&] { return cancelled.load(); });
  }
  // Waits until the pacer lets one more request go; false when cancelled.
  bool wait_for_turn() {
    std::unique_lock lock(mutex);
    for (;;) {
      if (cancelled) return false;
      const auto now = Clock::now();
      if (pacer.try_take(now)) return true;
      wake.wait_until(lock, pacer.next_start(now));
    }
  }

  void count_request() {
    std::lock_guard lock(mutex);
    ++counts.requests;
  }
  // Memory the system would not give for a fetch (a limit such as ulimit -v) is a refusal of
  // this system's, like a descriptor it would not give, and never ends the program.
  static FetchResult no_memory() {
    FetchResult refused;
    refused.transfer.refused_locally = true;
    refused.transfer.error = kOutOfMemory;
    return refused;
  }
  FetchResult fetch(const std::string& url) {
    count_request();
    try {
      return config.fetch ? config.fetch(url, cancelled)
                          : fetch_share_page(url, config.probe, cancelled);
    } catch (const std::bad_alloc&) {
      return no_memory();
    }
  }
  FetchResult fetch_list(const std::string& list_url, const std::string& share_url) {
    count_request();
    try {
      if (config.fetch_list) return config.fetch_list(list_url, share_url, cancelled);
      return config.fetch ? config.fetch(list_url, cancelled)
                          : fetch_share_list(list_url, share_url, config.probe, cancelled);
    } catch (const std::bad_alloc&) {
      return no_memory();
    }
  }
  // The system refused a row's fetch (no descriptor, no memory) rather than the service
  // answering: the row waits its turn again, without using up a retry, unless the system has
  // refused it too often.
  void refused(int row, const std::string& what) {
    bool give_up;
    {
      std::lock_guard lock(mutex);
      if (!refused_since) refused_since = Clock::now();
      refusal = what;
      give_up = ++refusals[row] >= kRefusedTries;
      if (give_up) refusals.erase(row);
    }
    if (!give_up) return requeue(row, Clock::now() + config.refused_retry_delay);
    decide(row, {Verdict::unknown, Reason::no_resources}, true);
    finish_probe(row);
  }
  void note_not_refused(int row) {
    std::lock_guard lock(mutex);
    refused_since.reset();
    if (!refusals.empty()) refusals.erase(row);
  }

  void run_scheduler(const std::shared_ptr<WorkerGroup>& probes);
  void probe_row(int row);
  // What a probe or the scheduler runs: memory the run's own bookkeeping cannot have (fetching
  // and judging count it as a refusal) leaves the run's state in doubt, so the run stops,
  // saying why, rather than the program ending.
  template <class Body>
  void guarded(Body&& body) {
    try {
      body();
    } catch (const std::bad_alloc&) {
      {
        std::lock_guard lock(mutex);
        stalled = true;
        refusal = kOutOfMemory;
      }
      cancelled = true;
      wake.notify_all();
    }
  }
  // Tells the pacer of an answer. For a throttled page it says whether the row is given up on:
  // a row meets throttling at its own cost only while the service does not throttle the whole
  // run, and rows whose answers began a cool-down are refunded.
  bool note_answer(int row, const Judgement& judgement);
  void requeue(int row, Clock::time_point not_before);
  // Gives a row, and every later row of its share, a verdict. A paced verdict holds the verdict
  // lock a moment (kVerdictHoldMs); verdicts from the store or without a request are not paced,
  // since no answer came in to be spread out.
  void decide(int row, RowVerdict verdict, bool counted, bool paced = true);
  // Decides the fresh rows that hold no share address: no request, no pacing.
  void settle_rows_without_share();
  // Decides the fresh rows whose share the store remembers recently enough.
  void recall_stored();
  // The page's judgement, or the share-list API's when the page said nothing known and the API
  // did; nullopt when the probe is to stop (cancelled, or the row went back in the queue).
  std::optional<Judgement> second_opinion(int row, const std::string& url,
                                          const std::string& fetched, Judgement page, int& status);
  void finish_probe(int row);
};

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
      if (!has_work_locked() && running == 0) break;
      lock.unlock();
      probes->reap();
      const int limit = thread_limit();
      lock.lock();
      const auto now = Clock::now();
      if (has_due_work_locked(now) && running < limit && pacer.try_take(now)) {
        const Taken taken = take_work_locked(now);
        ++running;
        lock.unlock();
        const bool started = probes->start(
            [self, row = taken.row] { self->guarded([&] { self->probe_row(row); }); });
        lock.lock();
        if (!started) {
          // No thread to be had now (a system limit): the row waits for a later pass.
          --running;
          give_back_locked(taken);
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
        Clock::now() - *refused_since >= config.stall_limit) {
      // Nothing the system gives lets a probe run: waiting on would never end.
      stalled = true;
      break;
    }
    // One pass at least every min_interval, and none before the pacer's next slot: a pace of,
    // say, 18 starts a second is kept as such, not rounded to whole passes.
    const auto now = Clock::now();
    auto until = now + pacer.settings().min_interval;
    if (ready && has_work_locked()) until = std::max(until, pacer.next_start(now));
    wake.wait_until(lock, until, [&] { return cancelled.load(); });
  }
  scheduler_active = false;
  lock.unlock();
  wake.notify_all();
  report();
}

void CheckRun::State::finish_probe(int row) {
  {
    std::lock_guard lock(mutex);
    --running;
    flags[static_cast<std::size_t>(row)] &= static_cast<std::uint8_t>(~kInFlight);
  }
  wake.notify_all();
  report();
}

bool CheckRun::State::note_answer(int row, const Judgement& judgement) {
  bool began_cooldown = false;
  bool give_up = false;
  {
    std::lock_guard lock(mutex);
    if (!judgement.throttle_sign) {
      pacer.on_answer();
      return false;
    }
    std::vector<int> streak;
    began_cooldown = pacer.on_throttled(row, Clock::now(), &streak);
    if (began_cooldown) {
      ++counts.cooldowns;
      for (const int r : streak) {
        if (r == row) continue;
        const auto h = throttle_hits.find(r);
        if (h != throttle_hits.end() && h->second > 0) --h->second;
      }
    }
    if (judgement.outcome == Outcome::throttled) {
      std::uint8_t& h = throttle_hits[row];
      if (pacer.cooldowns_in_a_row() == 0 && h < 255) ++h;
      // Throttling that outlasted several cool-downs is given up on, as is a row that keeps
      // meeting it on its own.
      give_up = pacer.throttling_persists() || h > config.probe.retries;
    }
  }
  if (began_cooldown) report();
  return give_up;
}

void CheckRun::State::requeue(int row, Clock::time_point not_before) {
  {
    std::lock_guard lock(mutex);
    std::uint8_t& f = flags[static_cast<std::size_t>(row)];
    f = static_cast<std::uint8_t>((f & ~kInFlight) | kQueued);
    queue.push_back({row, not_before, true});
    --running;
  }
  wake.notify_all();
  report();
}

void CheckRun::State::decide(int row, RowVerdict verdict, bool counted, bool paced) {
  std::vector<int> decided;
  {
    std::lock_guard hold(verdict_lock);
    // The row and every later row of the same share get the one verdict; only the row itself
    // paces the verdicts.
    for (int r = row; r >= 0; r = next_of(r)) {
      if (!table->set_verdict_if(generation, r, verdict)) continue;
      decided.push_back(r);
      std::lock_guard lock(mutex);
      ++counts.finished;
      std::uint8_t& f = flags[static_cast<std::size_t>(r)];
      f |= kDecided;
      if (f & kRepeat) ++counts.repeats;
      if (counted) {
        f |= kCounted;
        ++counts.checked;
        if (verdict.verdict == Verdict::valid) ++counts.valid;
        if (verdict.verdict == Verdict::invalid) ++counts.invalid;
        if (verdict.verdict == Verdict::unknown) ++counts.unknown;
      } else {
        ++counts.not_share_link;
      }
    }
    if (paced) pumped_wait(kVerdictHoldMs, kWaitMilliseconds);
    for (const int r : decided) table->set_cell_if(generation, r, kColumnDone, gbk::kDoneMark);
  }
  if (config.on_verdict)
    for (const int r : decided) config.on_verdict(r, verdict);
}

void CheckRun::State::settle_rows_without_share() {
  std::vector<int> rows;
  {
    std::lock_guard lock(mutex);
    for (int row = 0; row < total; ++row)
      if (flags[static_cast<std::size_t>(row)] & kNoShare) rows.push_back(row);
  }
  if (rows.empty()) return;
  for (const int row : rows) {
    if (cancelled) break;
    {
      std::lock_guard lock(mutex);
      // A check of this row asked for meanwhile has it already.
      if (flags[static_cast<std::size_t>(row)] & (kStarted | kQueued | kInFlight | kDecided))
        continue;
      mark_started_locked(row, true);
    }
    decide(row, {Verdict::invalid, Reason::not_share_link}, false, false);
  }
  report();
}

void CheckRun::State::recall_stored() {
  if (!config.recall) return;
  // The first row of each share that no probe has taken yet.
  std::vector<int> rows;
  {
    std::lock_guard lock(mutex);
    for (int row = 0; row < total; ++row)
      if (!(flags[static_cast<std::size_t>(row)] & (kStarted | kQueued | kRepeat | kDecided)))
        rows.push_back(row);
  }
  std::vector<int> asked_rows;
  std::vector<std::string> shares;
  std::string url;
  for (const int row : rows) {
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
      const std::uint8_t f = flags[static_cast<std::size_t>(row)];
      if (f & (kStarted | kQueued | kInFlight | kDecided)) continue;
      mark_started_locked(row, true);
    }
    RowVerdict verdict = *known[i];
    verdict.cached = true;
    decide(row, verdict, true, false);
  }
  report();
}

std::optional<Judgement> CheckRun::State::second_opinion(int row, const std::string& url,
                                                         const std::string& fetched, Judgement page,
                                                         int& status) {
  const std::string list_url = share_list_url(url);
  if (list_url.empty()) return page;
  // The API's answer is a request of its own, paced so. The pacer hears of the two answers as
  // one, the API's: a page served while the API throttles is no sign that the throttling ended.
  if (!wait_for_turn()) {
    finish_probe(row);
    return std::nullopt;
  }
  FetchResult answer = fetch_list(list_url, fetched);
  if (cancelled) {
    finish_probe(row);
    return std::nullopt;
  }
  if (answer.transfer.refused_locally) {
    refused(row, answer.transfer.error);
    return std::nullopt;
  }
  const Judgement api = judge_share_list(answer);
  if (page_said_nothing(api)) return page;
  status = answer.status;
  return api;
}

void CheckRun::State::probe_row(int row) {
  const std::string url =
      share_url_of_row(table->cell(row, kColumnLink), table->cell(row, kColumnName));
  if (table->generation() != generation || cancelled) return finish_probe(row);
  // Only share addresses of the service are ever requested; anything else is no live share.
  if (!is_share_url(url)) {
    decide(row, {Verdict::invalid, Reason::not_share_link}, false, false);
    return finish_probe(row);
  }
  const std::string fetched = share_fetch_url(url);
  const ProbeSettings& settings = config.probe;
  for (int retries = 0;;) {
    FetchResult result = fetch(fetched);
    if (cancelled) return finish_probe(row);
    if (result.transfer.refused_locally) return refused(row, result.transfer.error);
    note_not_refused(row);
    Judgement judgement;
    try {
      judgement = judge_fetch(result);
    } catch (const std::bad_alloc&) {
      return refused(row, kOutOfMemory);
    }
    int status = result.status;
    // The body has said what it can: it and its share of the body budget go before any wait.
    result.body = std::string();
    result.hold.reset();
    if (page_said_nothing(judgement)) {
      const std::optional<Judgement> opinion = second_opinion(row, url, fetched, judgement, status);
      if (!opinion) return;
      judgement = *opinion;
    }
    const bool give_up = note_answer(row, judgement);
    switch (judgement.outcome) {
      case Outcome::decided:
        break;
      case Outcome::retry: {
        if (retries >= settings.retries) break;
        ++retries;
        auto delay = backoff(settings, retries);
        if (const auto asked = retry_after(result))
          delay = std::min(std::chrono::duration_cast<std::chrono::milliseconds>(*asked),
                           settings.retry_after_cap);
        if (!sleep_until(Clock::now() + delay) || !wait_for_turn()) return finish_probe(row);
        continue;
      }
      case Outcome::throttled: {
        if (give_up) break;
        // Back in the queue, behind the fresh rows, whose answers tell whether the whole
        // service throttles; the pacer holds every start while it cools down.
        int hits;
        {
          std::lock_guard lock(mutex);
          const auto h = throttle_hits.find(row);
          hits = h == throttle_hits.end() ? 0 : h->second;
        }
        return requeue(row, Clock::now() + backoff(settings, std::max(hits, 1)));
      }
    }
    // Handed to the store before it is shown: whoever sees a verdict may rely on its record.
    if (config.remember)
      config.remember(share_id(url), judgement.verdict, status, judgement.source);
    decide(row, judgement.verdict, true);
    return finish_probe(row);
  }
}

CheckRun::CheckRun(std::shared_ptr<LinkTable> table, CheckRunConfig config)
    : state_(std::make_shared<State>(std::move(table), std::move(config))),
      probes_(std::make_shared<WorkerGroup>(state_->config.spawn)),
      scheduler_(state_->config.spawn) {}

CheckRun::~CheckRun() {
  cancel();
  wait(Clock::now() + kShutdownGrace);
}

namespace {

// The rows of each share, chained in list order (see State::first_of). Rows with a share address
// are found in one pass under the table's read lock, keeping only their identity's hash; a table
// of hashes then finds each share's last row so far, whose identity is made again only when the
// hashes agree.
struct ShareChains {
  int total = 0;
  std::unordered_map<int, int> first_rows;
  std::unordered_map<int, int> next_rows;
  std::vector<int> without_share;  // the rows that hold no share address
};

ShareChains chain_shares(const LinkTable& table) {
  ShareChains c;
  struct Share {
    std::size_t hash;
    int row;
  };
  std::vector<Share> shares;
  std::string url, identity, other;
  table.for_each_row([&](int row, const RowView& r) {
    ++c.total;
    // Rows without a share address are decided apart, when the run starts.
    r.share_url_into(url);
    if (url.size() <= share_link_prefix.size() || !share_identity_into(url, identity)) {
      c.without_share.push_back(row);
      return;
    }
    shares.push_back({std::hash<std::string_view>{}(identity), row});
  });
  RowView view;
  auto identity_of = [&](int row, std::string& out) {
    table.view_row(row, view);
    view.share_url_into(url);
    return share_identity_into(url, out);
  };
  std::size_t size = 1024;
  while (size < shares.size() * 2) size *= 2;
  std::vector<int> last_of(size, -1);  // by hash: the last share (an index into shares) so far
  for (int k = 0; k < static_cast<int>(shares.size()); ++k) {
    const Share& share = shares[static_cast<std::size_t>(k)];
    for (std::size_t i = share.hash & (size - 1);; i = (i + 1) & (size - 1)) {
      const int last = last_of[i];
      if (last < 0) {
        last_of[i] = k;
        break;
      }
      const Share& before = shares[static_cast<std::size_t>(last)];
      if (before.hash != share.hash || !identity_of(before.row, other) ||
          !identity_of(share.row, identity) || other != identity)
        continue;
      c.next_rows[before.row] = share.row;
      const auto first = c.first_rows.find(before.row);
      c.first_rows[share.row] = first == c.first_rows.end() ? before.row : first->second;
      last_of[i] = k;
      break;
    }
  }
  return c;
}

}  // namespace

void CheckRun::list_ready(std::uint64_t generation) {
  // Made before the run's lock is taken: a large list takes a moment.
  ShareChains chains = chain_shares(*state_->table);
  const int total = chains.total;
  {
    std::lock_guard lock(state_->mutex);
    state_->generation = generation;
    state_->total = total;
    state_->flags.assign(static_cast<std::size_t>(total), 0);
    for (const auto& [row, first] : chains.first_rows)
      if (row < total) state_->flags[static_cast<std::size_t>(row)] = kRepeat;
    for (const int row : chains.without_share)
      if (row < total) state_->flags[static_cast<std::size_t>(row)] |= kNoShare;
    state_->first_rows = std::move(chains.first_rows);
    state_->next_rows = std::move(chains.next_rows);
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
    if (!state_->fresh_open) state_->recall_pending = true;
    state_->fresh_open = true;
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
      if (asked < 0 || asked >= s.total) continue;
      // A repeated share is checked again through its first row, which all its rows follow.
      const int row = s.first_of(asked);
      std::uint8_t& f = s.flags[static_cast<std::size_t>(row)];
      if (f & (kQueued | kInFlight)) continue;
      // A row the fresh rows will still reach needs nothing.
      if (!(f & kStarted) && s.fresh_open && row >= s.fresh_next) continue;
      for (int r = row; r >= 0; r = s.next_of(r)) {
        std::uint8_t& rf = s.flags[static_cast<std::size_t>(r)];
        if (!(rf & kDecided)) continue;
        const RowVerdict old = s.table->verdict(r);
        if (rf & kCounted) {
          --s.counts.checked;
          if (old.verdict == Verdict::valid) --s.counts.valid;
          if (old.verdict == Verdict::invalid) --s.counts.invalid;
          if (old.verdict == Verdict::unknown) --s.counts.unknown;
        } else {
          --s.counts.not_share_link;
        }
        --s.counts.finished;
        if (rf & kRepeat) --s.counts.repeats;
        rf = static_cast<std::uint8_t>(rf & ~(kDecided | kCounted));
        s.table->set_verdict_if(s.generation, r, {});
      }
      f = static_cast<std::uint8_t>((f & kStarted) | kQueued);
      s.throttle_hits.erase(row);
      s.queue.push_back({row, Clock::time_point{}, false});
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
  for (int row = 0; row < state_->total; ++row)
    if ((state_->flags[static_cast<std::size_t>(row)] & kDecided) &&
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
