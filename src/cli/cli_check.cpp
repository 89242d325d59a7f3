#include "cli/cli_check.h"

#include <unistd.h>

#include <chrono>
#include <ctime>
#include <mutex>
#include <thread>

#include "base/charset.h"
#include "base/text_ops.h"
#include "check/check_run.h"
#include "cli/cli_output.h"
#include "session/session.h"
#include "shell/export.h"
#include "shell/settings.h"

namespace quorvex::cli {

namespace {

// The thread count: --threads, else the one the window saved, else 10.
std::optional<std::string> thread_limit(const CheckOptions& options, std::FILE* err) {
  if (options.threads) {
    if (parse_leading_int(*options.threads) <= 0) {
      std::fprintf(err, "quorvex-cli check: --threads needs a positive number, not '%s'\n",
                   options.threads->c_str());
      return std::nullopt;
    }
    return *options.threads;
  }
  const StoredSettings saved = read_settings(settings_path(documents_folder()));
  if (saved.thread_count && parse_leading_int(*saved.thread_count) > 0) return *saved.thread_count;
  if (saved.thread_count)
    std::fprintf(err,
                 "quorvex-cli check: the saved thread count is not a positive number; using 10\n");
  return std::string("10");
}

}  // namespace

int run_check(std::string text, const CheckOptions& options, std::FILE* out, std::FILE* err) {
  const std::optional<std::string> limit = thread_limit(options, err);
  if (!limit) return 2;

  std::mutex title_mutex;
  std::string title;
  FrontEndHooks hooks;
  hooks.set_title = [&title_mutex, &title](const std::string& t) {
    std::lock_guard lock(title_mutex);
    title = t;
  };
  hooks.thread_limit_text = [limit] { return *limit; };
  auto session = std::make_shared<Session>(hooks);
  session->set_source_text(std::move(text));
  session->reset_run_state();
  session->wait_for_loads();
  const std::shared_ptr<RunCounters> counters = session->counters();
  const int rows = session->table()->row_count();
  start_check_run(session);

  const bool live = ::isatty(::fileno(err)) != 0;
  int last_reported = -1;
  for (;;) {
    const bool done = !counters->scheduler_active.load() && counters->running_count.load() == 0;
    const int finished = counters->next_row.load() - counters->running_count.load();
    const int percent =
        rows > 0 ? static_cast<int>(static_cast<double>(finished) / rows * 100) : 100;
    if (live) {
      std::fprintf(err, "\rchecked %d of %d rows (%d%%), %d valid   ", finished, rows, percent,
                   counters->valid_count.load());
    } else if (percent / 10 != last_reported / 10 || (done && percent != last_reported)) {
      std::fprintf(err, "checked %d of %d rows (%d%%)\n", finished, rows, percent);
      last_reported = percent;
    }
    std::fflush(err);
    if (done) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (live) std::fputc('\n', err);

  const LinkTable& table = *session->table();
  bool ok = options.json ? write_rows_json(out, table) : write_rows_table(out, table, false);
  const std::string summary =
      gbk_to_utf8(summary_text(counters->checked_count.load(), counters->valid_count.load())) +
      "\n";
  std::string shown = summary;
  for (std::size_t p; (p = shown.find("\r\n")) != std::string::npos;) shown.erase(p, 1);
  std::fputs(shown.c_str(), options.json ? err : out);
  const int rc = finish_output(out, err, ok);
  if (rc != 0) return rc;

  if (options.export_dir) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::mt19937 rng(
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    const ExportResult exported =
        write_export_file(*options.export_dir, export_text(table, local), rng);
    if (!exported.ok) {
      std::fprintf(err, "quorvex-cli check: cannot write the export file %s: %s\n",
                   exported.path.c_str(), exported.error.c_str());
      return 1;
    }
    std::fprintf(err, "exported the valid links to %s\n", exported.path.c_str());
  }
  return 0;
}

}  // namespace quorvex::cli
