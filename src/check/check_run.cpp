#include "check/check_run.h"

#include <cstdint>
#include <mutex>

#include "base/charset.h"
#include "base/gbk_literals.h"
#include "base/pumped_wait.h"
#include "base/text_ops.h"
#include "base/worker_threads.h"
#include "net/header_collection.h"
#include "net/web_request.h"

namespace quorvex {

namespace {
constexpr long long kPassMs = 20;
}

CheckRunOptions default_check_run_options() {
  return CheckRunOptions{&start_worker, &fetch_share_page};
}

void start_check_run(const std::shared_ptr<Session>& session, CheckRunOptions options) {
  std::shared_ptr<RunCounters> counters = session->counters();
  if (counters->scheduler_active.exchange(true)) return;
  if (!options.start_thread) options.start_thread = &start_worker;
  if (!options.fetch_page) options.fetch_page = &fetch_share_page;
  auto run = [session, counters, options] { check_scheduler(session, counters, options); };
  if (!start_worker(run)) counters->scheduler_active.store(false);
}

void check_scheduler(std::shared_ptr<Session> session, std::shared_ptr<RunCounters> counters,
                     CheckRunOptions options) {
  const std::shared_ptr<LinkTable>& table = session->table();
  for (;;) {
    // A load gives the list a new run; this scheduler's run is over.
    if (session->counters() != counters) break;
    // The run works on a complete list only: while a load fills it, wait.
    if (!session->loading()) {
      const int n = table->row_count();
      if (counters->started_count.load() >= n) break;
      const std::string limit_text =
          session->hooks().thread_limit_text ? session->hooks().thread_limit_text() : "10";
      const int limit = parse_leading_int(limit_text);
      if (counters->running_count.load() < limit) {
        counters->started_count.fetch_add(1);
        counters->running_count.fetch_add(1);
        const bool started = options.start_thread(
            [session, counters, options] { probe_share_link(session, counters, options); });
        if (!started) {
          // No thread to be had now (a system limit): give the start back and try again on a
          // later pass, so no row is lost.
          counters->started_count.fetch_sub(1);
          counters->running_count.fetch_sub(1);
        } else {
          const int rows = table->row_count();
          if (rows > 0) {
            const auto percent = static_cast<long long>(
                static_cast<double>(counters->started_count.load()) / rows * 100);
            session->set_title(session->title_prefix() + std::to_string(percent) + "%");
          }
        }
      }
    }
    pumped_wait(kPassMs);
  }
  counters->scheduler_active.store(false);
}

void probe_share_link(std::shared_ptr<Session> session, std::shared_ptr<RunCounters> counters,
                      const CheckRunOptions& options) {
  LinkTable& table = *session->table();
  const std::uint64_t generation = table.generation();
  const int count = table.row_count();
  int row = -1;
  // The test against the row count and the increment are one step, so two probes never share a
  // row.
  std::int32_t claimed = counters->next_row.load();
  while (claimed < count) {
    if (counters->next_row.compare_exchange_weak(claimed, claimed + 1)) {
      row = claimed;
      break;
    }
  }
  // No row of this run left (the list was reloaded or shortened): nothing to fetch or write.
  if (row < 0 || session->counters() != counters || table.generation() != generation) {
    counters->running_count.fetch_sub(1);
    return;
  }
  const std::string url = share_url_of(table.cell(row, 1), table.cell(row, 0));
  const std::string page = options.fetch_page(url);
  {
    std::lock_guard lock(session->run_lock());
    table.set_cell_if(generation, row, 3, "x");
    if (url != share_link_prefix) counters->checked_count.fetch_add(1);
    if (page_is_live(page)) {
      table.set_cell_if(generation, row, 3, gbk::kValidMark);
      counters->valid_count.fetch_add(1);
    }
    // Holding the lock a moment paces the verdicts, as users of the list are used to.
    pumped_wait(kPassMs);
    table.set_cell_if(generation, row, 4, gbk::kDoneMark);
  }
  counters->running_count.fetch_sub(1);
}

std::string share_url_of(std::string_view link_cell, std::string_view name_cell) {
  const std::string_view source = link_cell.empty() ? name_cell : link_cell;
  std::string url(share_link_prefix);
  url.append(text_after_last(source, "pan"));
  return url;
}

bool page_is_live(std::string_view page) {
  return find_aligned_nocase(page, gbk::kAskForCode) != std::string_view::npos ||
         find_aligned_nocase(page, gbk::kExpiryTime) != std::string_view::npos;
}

std::string fetch_share_page(const std::string& url) {
  HeaderCollection headers;
  headers.add("User-Agent", kProbeUserAgent);
  std::string header_text = headers.to_header_text();
  WebRequest request;
  request.url = url;
  request.method = 0;
  request.extra_headers = &header_text;
  const std::string body = web_request(request);
  std::string page = convert_charset(body);
  const auto nul = page.find('\0');
  if (nul != std::string::npos) page.resize(nul);
  return page;
}

}  // namespace quorvex
