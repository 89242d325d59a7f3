#include "session/session.h"

#include "base/worker_threads.h"
#include "text/link_loader.h"

namespace quorvex {

Session::Session(FrontEndHooks hooks) : hooks_(std::move(hooks)) {}

std::shared_ptr<const std::string> Session::source_text() const {
  std::lock_guard lock(state_mutex_);
  return source_text_;
}

void Session::set_source_text(std::string text) {
  auto fresh = std::make_shared<const std::string>(std::move(text));
  std::lock_guard lock(state_mutex_);
  source_text_.swap(fresh);
}

std::string Session::title_prefix() const {
  std::lock_guard lock(state_mutex_);
  return title_prefix_;
}

void Session::set_title(const std::string& text) const {
  if (hooks_.set_title) hooks_.set_title(text);
}

std::shared_ptr<RunCounters> Session::counters() const {
  std::lock_guard lock(state_mutex_);
  return counters_;
}

void Session::reset_run_state() {
  // Counted as loading before the new run exists, so no scheduler of it can see the old rows.
  loads_in_flight_.fetch_add(1, std::memory_order_acq_rel);
  std::shared_ptr<const std::string> text;
  {
    std::lock_guard lock(state_mutex_);
    title_prefix_ = kTitlePrefix;
    counters_ = std::make_shared<RunCounters>();
    text = source_text_;
  }
  std::uint64_t ticket;
  {
    std::lock_guard lock(load_mutex_);
    ticket = latest_load_.fetch_add(1, std::memory_order_acq_rel) + 1;
    table_->clear();
  }
  auto self = shared_from_this();
  const bool started = start_worker([self, ticket, text] { self->run_load(ticket, text); });
  if (!started) self->run_load(ticket, text);  // no thread to be had: load here rather than lose it
}

void Session::run_load(std::uint64_t ticket, std::shared_ptr<const std::string> text) {
  // A newer load supersedes this one: stop building rows nobody will see.
  std::vector<LinkRow> rows = build_link_rows(
      *text, [&] { return latest_load_.load(std::memory_order_acquire) != ticket; });
  {
    // Checked and swapped under the same lock that a new load takes to empty the list, so the
    // rows of an older load can never land after a newer load has started.
    std::lock_guard lock(load_mutex_);
    if (latest_load_.load(std::memory_order_acquire) == ticket)
      table_->replace_rows(std::move(rows));
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

}  // namespace quorvex
