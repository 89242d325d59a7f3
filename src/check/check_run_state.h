// What a check run shares with its threads: the scheduler that starts probes (run_scheduler.cpp)
// and the probes that fetch and judge a row (row_probe.cpp). Private to the check layer.
//
// Locks, always taken in this order and never the other way round:
//   pace_lock     probes only: a paced verdict holds it for kVerdictHoldMs;
//   verdict_lock  around writing verdicts into the table and taking them back out (a recheck on
//                 the window's thread takes it, so nothing waits while holding it);
//   mutex         the run's state below; held only briefly, never across a fetch or a wait
//                 except the condition variable's own;
//   the table's own locks, inside LinkTable.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "check/check_run.h"
#include "check/row_queue.h"
#include "check/run_clock.h"
#include "check/share_chains.h"

namespace quorvex {

// Verdicts that took a request are spread out to fifty a second, the pace of the starts, so the
// list fills at a steady rate instead of in bursts as answers bunch up.
inline constexpr std::chrono::milliseconds kVerdictHold{20};
// How often the system may refuse a row's fetch (no descriptor, no memory) before the row is
// given up on: a shortage that passes (others' probes ending) is waited out, one that stays costs
// its rows and not the run.
inline constexpr int kRefusedTries = 10;
// Short enough to be stored without asking for memory, which is what is missing when it is said.
inline constexpr const char* kOutOfMemory = "out of memory";

struct CheckRun::State : std::enable_shared_from_this<CheckRun::State> {
  using Clock = CheckRun::Clock;

  State(std::shared_ptr<LinkTable> t, CheckRunConfig c);

  std::shared_ptr<LinkTable> table;
  CheckRunConfig config;
  std::shared_ptr<const RunClock> clock;
  std::atomic<bool> cancelled{false};
  std::atomic<bool> draining{false};  // no new starts; the scheduler ends once none runs

  std::mutex pace_lock;
  std::mutex verdict_lock;

  mutable std::mutex mutex;
  std::condition_variable wake;
  bool ready = false;
  std::uint64_t generation = 0;
  ShareChains chains;
  RowQueue rows;
  // Times a row met its service's throttling; only rows that met it are here.
  std::unordered_map<int, std::uint8_t> throttle_hits;
  bool recall_pending = false;  // the stored verdicts are still to be asked for
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
  bool gave_up = false;
  ServiceFlags gave_up_on{};  // services whose throttling persisted
  RunSnapshot counts;         // the verdict counts, requests, cool-downs
  // One pacer per service, so that a service that throttles slows only its own rows.
  std::vector<Pacer> pacers;
  Pacer& pacer(ShareService service = ShareService::baidu) {
    return pacers[service_index(service)];
  }
  const Pacer& pacer(ShareService service = ShareService::baidu) const {
    return pacers[service_index(service)];
  }
  ShareService service_of(int row) const { return chains.service_of(row); }
  // The services the list holds shares of that the run checks.
  bool in_play(std::size_t service) const {
    return chains.present[service] && config.services[service];
  }

  RunSnapshot snapshot_locked() const;
  void report();
  int thread_limit() const;
  // Rows that come with a verdict (a list edited after a check) keep it and count as checked, as
  // if this run had decided them; only the rows without one are left to check.
  void adopt_verdicts_locked();

  // Waits until `until` or a cancel; false when cancelled.
  bool sleep_until(Clock::time_point until);
  // Waits until the service's pacer lets one more request go; false when cancelled.
  bool wait_for_turn(ShareService service = ShareService::baidu);

  void run_scheduler(const std::shared_ptr<WorkerGroup>& probes);
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
  // Gives a row, and every later row of its share, a verdict. A paced verdict holds the pace a
  // moment (kVerdictHold); verdicts from the store or without a request are not paced, since no
  // answer came in to be spread out.
  void decide(int row, RowVerdict verdict, bool counted, bool paced = true);
  // Decides the fresh rows that hold no share address: no request, no pacing.
  void settle_rows_without_share();
  // Decides the fresh rows whose share the store remembers recently enough.
  void recall_stored();
  void finish_probe(int row);

  // The probe of one row: fetch, judge, retry, requeue or decide.
  void probe_row(int row);
  // The probe of a row holding another service's share: its module's requests, one after the
  // other, each paced by the service's pacer.
  void probe_service_row(int row, ServiceLink link);
  // A request through `request`, counted against the service's pace, with the time it went out
  // in `sent`.
  FetchResult counted(Clock::time_point& sent, const std::function<FetchResult()>& request,
                      ShareService service = ShareService::baidu);
  FetchResult fetch(const std::string& url, Clock::time_point& sent);
  FetchResult fetch_list(const std::string& list_url, const std::string& share_url,
                         Clock::time_point& sent);
  // The system refused a row's fetch (no descriptor, no memory) rather than the service
  // answering: the row waits its turn again, without using up a retry, unless the system has
  // refused it too often.
  void refused(int row, const std::string& what);
  void note_not_refused(int row);
  // Tells the pacer of an answer. For a throttled page it says whether the row is given up on:
  // a row meets throttling at its own cost only while the service does not throttle the whole
  // run, and rows whose answers began a cool-down are refunded.
  bool note_answer(int row, const Judgement& judgement, Clock::time_point sent);
  void requeue(int row, Clock::time_point not_before);
  // A row that met its service's throttling waits its turn again, longer each time it met it.
  void requeue_throttled(int row);
  // The page's judgement, or the share-list API's when the page said nothing known and the API
  // did; nullopt when the probe is to stop (cancelled, or the row went back in the queue).
  std::optional<Judgement> second_opinion(int row, const std::string& url,
                                          const std::string& fetched, Judgement page, int& status,
                                          Clock::time_point& sent);
  // The service has throttled for the whole of give_up_after: every row of it without a verdict
  // ends unknown, unfetched.
  void give_up_throttled_rows(ShareService service);
};

}  // namespace quorvex
