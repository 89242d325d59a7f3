// The program state that the front ends share: the source text, the list's rows, the loads that
// fill the list, the thread limit and the check run of the loaded list.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/worker_group.h"
#include "check/check_run.h"
#include "model/link_table.h"

namespace quorvex {

class Session {
 public:
  // `run_template` is what every check run of this session is made with; its thread limit is the
  // session's own.
  explicit Session(CheckRunConfig run_template = {});
  // Cancels the run and the loads and waits for their threads (see shutdown).
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const std::shared_ptr<LinkTable>& table() const { return table_; }
  // What every run of this session is made with.
  const CheckRunConfig& run_template() const { return run_template_; }

  // The source text is replaced as a whole; a running load keeps the text it started with.
  std::shared_ptr<const std::string> source_text() const;
  void set_source_text(std::string text);

  // Empties the list, gives it a fresh check run (the run of the old list is cancelled: its probes
  // stop and never write into the new rows) and loads the source text into it on a worker thread.
  // A load asked for while another runs supersedes it: the older one stops and its rows are never
  // shown.
  void reset_run_state();

  // Takes rows out of the list (row numbers, in any order). The rows left keep their verdicts,
  // and the new run over them counts those as checked. Refused (-1) while a check runs or a load
  // fills the list, as their work is addressed by row number. Returns the rows taken out.
  int remove_rows(const std::vector<int>& rows);
  // The rows whose share an earlier row holds too, ascending.
  std::vector<int> repeat_rows() const;

  // Whether a load is still filling the list.
  bool loading() const { return loads_in_flight_.load(std::memory_order_acquire) > 0; }
  // Whether the last load found no memory for its rows: the list is empty and its run cancelled.
  bool load_failed() const { return load_failed_.load(std::memory_order_acquire); }
  // Blocks until no load is running (for the command line and tests).
  void wait_for_loads();

  // The check run of the list as it is now loaded (or being loaded).
  std::shared_ptr<CheckRun> run() const;
  // Starts the current run (see CheckRun::start). A cancelled run whose threads have ended is
  // replaced first by a new one over the same rows: their verdicts are kept, the rest checked.
  bool start_check_run();

  // Probes allowed at once; the run reads it on every pass.
  void set_thread_limit(int limit) { thread_limit_->store(limit, std::memory_order_release); }
  int thread_limit() const { return thread_limit_->load(std::memory_order_acquire); }

  // Cancels the current run and the loads and waits for their threads up to `grace`; true when
  // every thread has ended.
  bool shutdown(std::chrono::milliseconds grace);

 private:
  std::shared_ptr<CheckRun> make_run();
  void run_load(std::uint64_t ticket, std::shared_ptr<const std::string> text,
                std::shared_ptr<CheckRun> run);

  CheckRunConfig run_template_;
  // Shared with the runs, which may outlive a session whose deadline for them passed.
  std::shared_ptr<std::atomic<int>> thread_limit_ = std::make_shared<std::atomic<int>>(10);
  std::shared_ptr<LinkTable> table_ = std::make_shared<LinkTable>();

  mutable std::mutex state_mutex_;
  std::shared_ptr<const std::string> source_text_ = std::make_shared<const std::string>();
  std::shared_ptr<CheckRun> run_;
  std::vector<std::shared_ptr<CheckRun>> retired_runs_;  // cancelled, perhaps still ending

  std::mutex load_mutex_;
  std::atomic<std::uint64_t> latest_load_{0};
  std::atomic<int> loads_in_flight_{0};
  std::atomic<bool> load_failed_{false};
  std::mutex load_done_mutex_;
  std::condition_variable load_done_;
  WorkerGroup loads_;
};

}  // namespace quorvex
