#include "session/session.h"

#include <algorithm>
#include <new>
#include <string>
#include <unordered_set>

#include "model/share_url.h"
#include "text/link_loader.h"

namespace quorvex {

Session::Session(CheckRunConfig run_template) : run_template_(std::move(run_template)) {
  run_template_.thread_limit = [limit = thread_limit_] {
    return limit->load(std::memory_order_acquire);
  };
  run_ = make_run();
}

Session::~Session() { shutdown(kShutdownGrace); }

std::shared_ptr<CheckRun> Session::make_run() {
  return std::make_shared<CheckRun>(table_, run_template_);
}

std::shared_ptr<const std::string> Session::source_text() const {
  std::lock_guard lock(state_mutex_);
  return source_text_;
}

void Session::set_source_text(std::string text) {
  auto fresh = std::make_shared<const std::string>(std::move(text));
  std::lock_guard lock(state_mutex_);
  source_text_.swap(fresh);
}

std::shared_ptr<CheckRun> Session::run() const {
  std::lock_guard lock(state_mutex_);
  return run_;
}

bool Session::start_check_run() {
  {
    std::lock_guard lock(state_mutex_);
    // A run cancelled by the user is followed by a new one over the same rows, which keeps the
    // verdicts they were given and checks the rest; it waits until the old one's fetches have
    // ended, so that none writes into the rows the new one checks.
    if (!loading() && run_->snapshot().state == RunState::cancelled &&
        run_->wait(CheckRun::Clock::now())) {
      std::shared_ptr<CheckRun> fresh = make_run();
      retired_runs_.push_back(std::move(run_));
      run_ = std::move(fresh);
      run_->list_ready(table_->generation());
    }
  }
  return run()->start();
}

void Session::reset_run_state() {
  // Counted as loading before the new run exists, so no scheduler of it can see the old rows.
  loads_in_flight_.fetch_add(1, std::memory_order_acq_rel);
  std::shared_ptr<const std::string> text;
  std::shared_ptr<CheckRun> run = make_run();
  {
    std::lock_guard lock(state_mutex_);
    run_->cancel();
    retired_runs_.push_back(std::move(run_));
    // Runs that have ended are let go; one still ending stays until it has.
    std::erase_if(retired_runs_, [](const std::shared_ptr<CheckRun>& r) {
      return r->wait(CheckRun::Clock::now());
    });
    run_ = run;
    text = source_text_;
  }
  std::uint64_t ticket;
  {
    std::lock_guard lock(load_mutex_);
    ticket = latest_load_.fetch_add(1, std::memory_order_acq_rel) + 1;
    table_->clear();
  }
  loads_.reap();
  if (!loads_.start([this, ticket, text, run] { run_load(ticket, text, run); }))
    run_load(ticket, text, run);  // no thread to be had: load here rather than lose it
}

int Session::remove_rows(const std::vector<int>& rows) {
  std::shared_ptr<CheckRun> run = make_run();
  // A load counts itself before it takes this lock, so none can start unseen from here on.
  std::lock_guard lock(state_mutex_);
  if (loading() || run_->snapshot().active()) return -1;
  std::lock_guard load_lock(load_mutex_);
  std::vector<char> drop(static_cast<std::size_t>(table_->row_count()), 0);
  int dropped = 0;
  for (const int r : rows) {
    if (r < 0 || r >= static_cast<int>(drop.size()) || drop[static_cast<std::size_t>(r)]) continue;
    drop[static_cast<std::size_t>(r)] = 1;
    ++dropped;
  }
  if (dropped == 0) return 0;
  run_->cancel();
  retired_runs_.push_back(std::move(run_));
  run_ = run;
  run_->list_ready(table_->keep_rows(drop));
  return dropped;
}

std::vector<int> Session::repeat_rows() const {
  std::vector<int> repeats;
  std::unordered_set<std::string> seen;
  std::string url;
  table_->for_each_row([&](int r, const RowView& row) {
    share_url_of_row_into(row.cell(kColumnLink), row.cell(kColumnName), url);
    std::string identity = share_identity(url);
    if (!identity.empty() && !seen.insert(std::move(identity)).second) repeats.push_back(r);
  });
  return repeats;
}

void Session::run_load(std::uint64_t ticket, std::shared_ptr<const std::string> text,
                       std::shared_ptr<CheckRun> run) {
  try {
    // A newer load supersedes this one: stop building rows nobody will see.
    // The rows stay lines of the text, which the table shares rather than copies.
    LineStarts lines =
        index_lines(*text, [&] { return latest_load_.load(std::memory_order_acquire) != ticket; });
    // Checked and swapped under the same lock that a new load takes to empty the list, so the
    // rows of an older load can never land after a newer load has started.
    std::lock_guard lock(load_mutex_);
    if (latest_load_.load(std::memory_order_acquire) == ticket) {
      load_failed_ = false;
      run->list_ready(table_->replace_lines(text, std::move(lines)));
    }
  } catch (const std::bad_alloc&) {
    // A list too large for the memory the program may have: the list stays empty, its run has
    // nothing to do, and whoever loaded it is told.
    std::lock_guard lock(load_mutex_);
    if (latest_load_.load(std::memory_order_acquire) == ticket) {
      load_failed_ = true;
      table_->clear();
      run->cancel();
    }
  }
  {
    std::lock_guard lock(load_done_mutex_);
    loads_in_flight_.fetch_sub(1, std::memory_order_acq_rel);
  }
  load_done_.notify_all();
}

void Session::wait_for_loads() {
  std::unique_lock lock(load_done_mutex_);
  load_done_.wait(lock, [&] { return loads_in_flight_.load(std::memory_order_acquire) == 0; });
}

bool Session::shutdown(std::chrono::milliseconds grace) {
  const auto deadline = CheckRun::Clock::now() + grace;
  std::vector<std::shared_ptr<CheckRun>> runs;
  {
    std::lock_guard lock(state_mutex_);
    runs = retired_runs_;
    runs.push_back(run_);
  }
  latest_load_.fetch_add(1, std::memory_order_acq_rel);  // any load under way stops early
  bool all = true;
  for (const auto& r : runs) r->cancel();
  for (const auto& r : runs) all = r->wait(deadline) && all;
  return loads_.join_all(deadline) && all;
}

}  // namespace quorvex
