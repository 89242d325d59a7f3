// The program-wide state that the window's handlers and the worker threads share: the source
// text, the title prefix, the list's rows, the run counters and the one lock of the check run.
// Workers hold it through a shared_ptr, so it outlives a window that is closed under them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "model/link_table.h"

namespace quorvex {

// The counters of one run. Every load starts a new set, so probes of an older run count into
// their own set and never into the new one.
struct RunCounters {
  std::atomic<std::int32_t> running_count{0};
  std::atomic<std::int32_t> started_count{0};
  std::atomic<std::int32_t> next_row{0};
  std::atomic<std::int32_t> checked_count{0};
  std::atomic<std::int32_t> valid_count{0};
  // Set while a scheduler works on this run, so that a second click does not start another.
  std::atomic<bool> scheduler_active{false};
};

// What a front end lends the core. Both are called from worker threads and must be thread-safe.
struct FrontEndHooks {
  std::function<void(const std::string&)> set_title;  // GBK text of the window title
  std::function<std::string()> thread_limit_text;     // GBK text of the thread-count box
};

class Session : public std::enable_shared_from_this<Session> {
 public:
  explicit Session(FrontEndHooks hooks = {});

  const std::shared_ptr<LinkTable>& table() const { return table_; }
  const FrontEndHooks& hooks() const { return hooks_; }

  // The source text is replaced as a whole; a running load keeps the text it started with.
  std::shared_ptr<const std::string> source_text() const;
  void set_source_text(std::string text);

  std::string title_prefix() const;
  void set_title(const std::string& text) const;

  std::shared_ptr<RunCounters> counters() const;
  std::mutex& run_lock() { return run_lock_; }

  // Sets the title prefix, starts a fresh set of run counters, empties the list and loads the
  // source text into it on a worker thread. A load asked for while another runs supersedes it:
  // the older one stops and its rows are never shown.
  void reset_run_state();

  // Whether a load is still filling the list.
  bool loading() const { return loads_in_flight_.load(std::memory_order_acquire) > 0; }
  // Blocks until no load is running (for the command line and tests).
  void wait_for_loads();

  // Program-wide settings state behind the window's controls.
  std::atomic<std::int32_t> theme_number{0};
  std::atomic<int> single_column_mode{0};

 private:
  void run_load(std::uint64_t ticket, std::shared_ptr<const std::string> text);

  FrontEndHooks hooks_;
  std::shared_ptr<LinkTable> table_ = std::make_shared<LinkTable>();

  mutable std::mutex state_mutex_;
  std::shared_ptr<const std::string> source_text_ = std::make_shared<const std::string>();
  std::string title_prefix_;
  std::shared_ptr<RunCounters> counters_ = std::make_shared<RunCounters>();

  std::mutex run_lock_;

  std::mutex load_mutex_;
  std::atomic<std::uint64_t> latest_load_{0};
  std::atomic<int> loads_in_flight_{0};
  std::mutex load_done_mutex_;
  std::condition_variable load_done_;
};

// Title prefix set at every load start.
inline constexpr const char* kTitlePrefix = "Quorvex2.0  ";

}  // namespace quorvex
