// The check run of one loaded list: a scheduler thread that starts probes, at most the thread
// limit at a time and no faster than the pacer allows, and the probes that fetch each row's share
// page and write its verdict (see verdict_rules.h). A failure that may pass is tried again by its
// probe, which keeps the row meanwhile; a row that meets the service's throttling goes back in the
// queue, and the pacer pauses and slows the run. The run owns its threads: it can be cancelled,
// and it waits for them, with a deadline, before it goes away.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/worker_group.h"
#include "check/pacer.h"
#include "check/probe.h"
#include "check/run_clock.h"
#include "check/run_progress.h"
#include "check/verdict_rules.h"
#include "model/link_table.h"

namespace quorvex {

// No more probes than this run at once, whatever the thread count says. Starts are paced at one
// per 20 ms, so even with requests that take a long time a few hundred probes in flight keep the
// pace; more threads would only wait on the network and use up the process's descriptors.
inline constexpr int kMaxProbesAtOnce = 512;

// Descriptors a probe may hold at once (its connection and the resolver's pair), and those kept
// free for everything else the program opens while a run goes on.
inline constexpr int kDescriptorsPerProbe = 3;
inline constexpr int kDescriptorHeadroom = 32;

// How long a run that is going away waits for its probes after cancelling them. A cancelled fetch
// ends within about a second; this leaves room for a slow system.
inline constexpr std::chrono::seconds kShutdownGrace{5};

struct CheckRunConfig {
  // How many probes may run at once; asked on every pass, so a change applies at once. Below 1
  // no probe starts (the run waits for a usable number). Absent: 10.
  std::function<int()> thread_limit;
  // How the probes fetch and retry.
  ProbeSettings probe;
  // Fetches a share page; absent: fetch_share_page with `probe`.
  PageFetcher fetch;
  // Sends a request of another service's module (service_module.h); absent:
  // fetch_service_request with `probe`.
  std::function<FetchResult(const ServiceModule& module, const ServiceRequest& request,
                            const std::atomic<bool>& cancel)>
      fetch_service;
  // The services whose rows the run checks; the others' rows are left without a verdict unless
  // checked again one by one.
  ServiceFlags services = kEveryService;
  // Asks the share-list API (its address, and the share's page for the Referer) when a page said
  // nothing known; absent: `fetch` with the API's address when that is given, so that a stand-in
  // of the service answers both, else fetch_share_list with `probe`.
  std::function<FetchResult(const std::string& list_url, const std::string& share_url,
                            const std::atomic<bool>& cancel)>
      fetch_list;
  // Makes the threads of the scheduler and the probes; absent: real threads.
  WorkerGroup::Spawn spawn;
  // Each service is paced on its own, from these settings and what recall_pace tells of it.
  PacerSettings pacer;
  // Told of every change (a start, a verdict, a cool-down, the end), on the thread that made it.
  std::function<void(const RunSnapshot&)> on_progress;
  // Told of every verdict as it lands, with its row, on the probe's thread.
  std::function<void(int row, RowVerdict verdict)> on_verdict;
  // Verdicts kept from earlier runs: given the IDs of the shares a run is about to fetch, the
  // verdicts that may stand in for a fetch (nullopt: fetch it), in the same order. Asked once,
  // when a run starts; a check of chosen rows again always fetches.
  std::function<std::vector<std::optional<RowVerdict>>(const std::vector<std::string>& shares)>
      recall;
  // Told of every verdict a fetch reached, with the share's ID (share_id: another service's
  // shares as "quark:ID" and the like), the last HTTP status (0 when no
  // answer came) and whether the page or the share-list API decided, on the probe's thread,
  // before the rows show it. Must not block.
  std::function<void(const std::string& share, RowVerdict verdict, int http_status,
                     VerdictSource source)>
      remember;
  // Descriptors the process may still open; asked when the run starts, to keep the probes within
  // them. Absent: the system's count.
  std::function<int()> free_descriptors;
  // Probe threads the process's limits on address space and threads leave room for; asked when
  // the run starts. Absent: the system's count (room_for_threads).
  std::function<int()> room_for_threads;
  // A run in which no probe could get a thread or a connection from the system for this long,
  // with none running, stops (RunSnapshot::stalled).
  std::chrono::milliseconds stall_limit{60000};
  // How soon a row whose fetch the system refused is tried again; after ten refusals the row is
  // unknown (Reason::no_resources).
  std::chrono::milliseconds refused_retry_delay{1000};
  // What earlier runs learned of the service's pace and how old it is in seconds, asked when the
  // run is made; nullopt or absent: the run starts slowly. Told, when the run ends, what it
  // learned itself.
  // Each service's own, asked for every service when the run is made and told for each service
  // the list held shares of.
  std::function<std::optional<std::pair<LearnedPace, std::int64_t>>(ShareService)> recall_pace;
  std::function<void(ShareService, const LearnedPace&)> remember_pace;
  // The run's time; absent: the system's steady clock.
  std::shared_ptr<const RunClock> clock;
};

class CheckRun {
 public:
  using Clock = std::chrono::steady_clock;

  CheckRun(std::shared_ptr<LinkTable> table, CheckRunConfig config = {});
  // Cancels the run and waits up to kShutdownGrace for its threads.
  ~CheckRun();
  CheckRun(const CheckRun&) = delete;
  CheckRun& operator=(const CheckRun&) = delete;

  // The list is complete: the table holds its rows as `generation`. A run started before this
  // waits for it.
  void list_ready(std::uint64_t generation);

  // Starts checking every row not started yet; rows that hold no share address, and rows whose
  // share the config's recall answers, are decided at once, without a request. A start while the
  // scheduler is still working is ignored, and one after every row has been started ends at once,
  // so no row is probed twice. False when no thread could be had for the scheduler.
  bool start();
  // Stops starting probes and lets those under way finish (a gentle cancel); returns at once. A
  // later start() or recheck() goes on with the rows left.
  void drain();

  // Checks these rows again: a row with a verdict loses it and is queued; a row not started yet
  // is queued; a row under way or already queued is left alone. The scheduler starts if it is
  // not working. Returns the number of rows queued.
  int recheck(const std::vector<int>& rows);
  // The rows whose verdict is unknown, in list order.
  std::vector<int> unknown_rows() const;

  // Stops starting probes and makes the fetches under way end early; rows without a verdict keep
  // none. Returns at once.
  void cancel();
  // Waits until the scheduler and every probe have ended or the deadline has passed; true when
  // all have ended.
  bool wait(Clock::time_point deadline);

  RunSnapshot snapshot() const;

  struct State;  // shared with the run's threads

 private:
  bool start_scheduler();

  std::shared_ptr<State> state_;
  std::shared_ptr<WorkerGroup> probes_;
  WorkerGroup scheduler_;
};

}  // namespace quorvex
