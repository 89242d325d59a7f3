// The check run: a scheduler thread that starts one probe thread per row, at most the thread limit
// at a time, and the probe that fetches a row's share page and writes its verdict.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "session/session.h"

namespace quorvex {

struct CheckRunOptions {
  // Starts a probe on a thread of its own; false when no thread could be had.
  std::function<bool(std::function<void()>)> start_thread;
  // Fetches a share page and returns its GBK text.
  std::function<std::string(const std::string& url)> fetch_page;
};

CheckRunOptions default_check_run_options();

// Click handler of 开始检测: starts the scheduler thread and returns at once. A click while this
// run's scheduler is still working is ignored, so no row is ever probed twice.
void start_check_run(const std::shared_ptr<Session>& session,
                     CheckRunOptions options = default_check_run_options());

// The scheduler thread's body for one run.
void check_scheduler(std::shared_ptr<Session> session, std::shared_ptr<RunCounters> counters,
                     CheckRunOptions options);

// A probe thread's body: claims the next row, fetches its page and writes the verdict.
void probe_share_link(std::shared_ptr<Session> session, std::shared_ptr<RunCounters> counters,
                      const CheckRunOptions& options);

// Fetches a share page with the probe's browser identity and gives its text in GBK.
std::string fetch_share_page(const std::string& url);

// Whether a page's text belongs to a live share.
bool page_is_live(std::string_view page);

// The URL a probe fetches for a row: share_link_prefix and the rest after the last "pan" of
// column 1, or of column 0 when column 1 is empty.
std::string share_url_of(std::string_view link_cell, std::string_view name_cell);

inline constexpr std::string_view kProbeUserAgent =
    "Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/47.0.2526.80 Safari/537.36 Core/1.47.277.400 QQBrowser/9.4.7658.400";

}  // namespace quorvex
