#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "base/charset.h"
#include "base/platform.h"
#include "base/text_ops.h"
#include "cli/cli_output.h"
#include "cli/command.h"
#include "cli/translate.h"
#include "session/session.h"
#include "shell/export.h"
#include "shell/probe_environment.h"
#include "shell/progress_estimate.h"
#include "shell/settings.h"
#include "shell/shared_texts.h"
#include "shell/verdict_memory.h"
#include "store/verdict_store.h"

namespace quorvex::cli {

namespace {

constexpr int kDefaultThreads = 10;

// The services a --services list names (comma-separated service codes, blanks around them
// allowed); nullopt when a name is none or the list names nothing.
std::optional<ServiceFlags> services_of_list(std::string_view list) {
  ServiceFlags chosen{};
  bool any = false;
  for (std::size_t from = 0; from <= list.size();) {
    const std::size_t comma = std::min(list.find(',', from), list.size());
    std::string_view name = list.substr(from, comma - from);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    const std::optional<ShareService> service = service_of_code(name);
    if (!service) return std::nullopt;
    chosen[service_index(*service)] = true;
    any = true;
    from = comma + 1;
  }
  if (!any) return std::nullopt;
  return chosen;
}

// Ctrl+C, SIGTERM or SIGHUP during a run: no new probes start, those under way get a short grace
// period and are then cancelled (at once on a second signal). Either way the verdicts so far are
// kept, printed and stored, and the exit status says which signal ended the run.
std::atomic<int> g_signals{0};
std::atomic<int> g_first_signal{0};

extern "C" void on_interrupt(int signal) {
  int none = 0;
  g_first_signal.compare_exchange_strong(none, signal);
  g_signals.fetch_add(1);
}

std::chrono::seconds hours(double h) {
  return std::chrono::seconds(static_cast<long long>(std::llround(h * 3600)));
}

std::chrono::milliseconds to_ms(double seconds) {
  return std::chrono::milliseconds(static_cast<long long>(std::llround(seconds * 1000)));
}

class CheckCommand final : public Command {
 public:
  const char* name() const override { return "check"; }
  const char* summary() const override { return N_("load the rows and check every link"); }

  void declare(CLI::App& app) override {
    app.footer(
        format_text(
            tr("Loads the rows and checks every link with the window's scheduler and probes, "
               "showing the progress on standard error. Then prints the rows with their verdicts "
               "(\xE2\x88\x9A valid, x invalid, ? unknown) and the summary lines.\n"
               "\n"
               "A row is unknown when the service could not tell: no answer, a time-out, a "
               "rejected certificate, a server error, or a security check that outlasted the "
               "retries. Passing failures are tried again. The run starts gently and finds the "
               "rate the service allows; when it throttles, the run pauses, goes on below that "
               "rate and remembers it in the store for the next run.\n"
               "\n"
               "Verdicts are kept in a store (QUORVEX_STORE or --store; by default "
               "~/.local/share/Orvane/Quorvex/verdicts.sqlite, the window's too). A share whose "
               "stored verdict is recent enough is not fetched again (\"cached\": true in JSON): "
               "valid ones for 24 hours, invalid ones for 7 days, unknown ones never; --fresh "
               "fetches every share. So a run that was stopped goes on where it stopped. Ctrl+C "
               "(or SIGTERM, SIGHUP) stops starting probes and gives those under way %lld s to "
               "finish (a second signal cancels them at once); the verdicts so far are kept, "
               "stored and printed with the summary so far.\n"
               "\n"
               "With --format json each row is printed as soon as its verdict is in (and kept in "
               "the store), with its row number (\"row\", from 1); --ordered prints them in list "
               "order at the end instead. The last line is {\"summary\": {\"total\", \"valid\", "
               "\"invalid\", \"unknown\", \"not_share_link\", \"duplicates\", \"seconds\", "
               "\"unchecked\", \"stopped\"}} (and \"export\" after --export); the summary lines "
               "for people go to standard error. csv and markdown print every row at the end.\n"),
            static_cast<long long>(kSignalGrace.count())) +
        "\n" + pacing_note() + "\n\n" +
        tr("Exit status: 0 every row valid, 3 some rows invalid and none unknown, 4 some rows "
           "unknown, 1 a file or output error or a run this system kept refusing threads, "
           "connections or memory, 2 wrong usage, 5 no row in the input, 130 stopped by Ctrl+C, "
           "143 by SIGTERM, 129 by SIGHUP, 141 when the reader of the output went away. "
           "QUORVEX_CA_FILE names a CA file to trust as --ca-file does.\n"
           "\n"
           "Examples:\n"
           "  the shares of a forum text, checked:\n"
           "    quorvex-cli check --extract posts.txt\n"
           "  and the valid ones written to the desktop:\n"
           "    quorvex-cli check --extract posts.txt --export ~/Desktop\n"
           "  one JSON object a row, for a script:\n"
           "    quorvex-cli check --json -q list.txt > verdicts.jsonl\n"
           "  again after Ctrl+C: what was decided is reused, the rest checked:\n"
           "    quorvex-cli check list.txt"));
    preparation_.declare(app);
    app.add_option("-j,--threads", threads_,
                   tr("links checked at the same time (default: the window's saved thread count, "
                      "else 10)"))
        ->check(positive_whole_number())
        ->type_name("N");
    output_.declare(app, true);
    app.add_flag("--ordered", ordered_, tr("with json: print the rows in list order, at the end"));
    app.add_flag("-q,--quiet", quiet_, tr("no progress and no summary lines on standard error"));
    app.add_option("--export", export_dir_,
                   tr("also write the export file of valid links into DIR"))
        ->check(CLI::Validator(
            [](std::string& dir) -> std::string {
              // An empty name would mean the root folder to the system.
              if (dir.empty()) return tr("the folder name is empty");
              const PathInfo info = path_info(dir);
              if (!info.exists) return format_text(tr("no such folder: %s"), dir.c_str());
              if (!info.folder) return format_text(tr("not a folder: %s"), dir.c_str());
              return {};
            },
            "DIR"))
        ->type_name("DIR");
    app.add_option("--retries", retries_, tr("further tries after a passing failure (default 2)"))
        ->check(whole_number())
        ->type_name("N");
    app.add_option("--timeout", timeout_,
                   tr("the longest one request may take, redirects included (default: 15 s for "
                      "each phase)"))
        ->check(positive_seconds())
        ->type_name("SECONDS");
    app.add_option("--cooldown", cooldown_,
                   tr("the first pause when the service throttles this client (default 60); a "
                      "pause that ends into throttling is followed by one twice as long, up to 15 "
                      "minutes"))
        ->check(seconds())
        ->type_name("SECONDS");
    app.add_option("--rate", rate_,
                   tr("requests a second at most (default: what the service is found to allow, "
                      "50 at the most)"))
        ->check(request_rate())
        ->type_name("N");
    app.add_option("--give-up-after", give_up_after_,
                   tr("how long the service may throttle every request before the rows left end "
                      "unknown (default 30m)"))
        ->check(duration())
        ->type_name("DURATION");
    app.add_option("--services", services_,
                   tr("check the shares of these services only, a comma-separated list of baidu, "
                      "quark, aliyun, 115, 123pan, tianyi and lanzou (default: all); the other "
                      "rows stay unchecked"))
        ->check(CLI::Validator(
            [](std::string& list) -> std::string {
              if (!services_of_list(list))
                return format_text(tr("not a list of services: %s"), list.c_str());
              return {};
            },
            "LIST"))
        ->type_name("LIST");
    app.add_option("--ca-file", ca_file_,
                   tr("a PEM file of authorities to trust besides the system's"))
        ->type_name("FILE");
    declare_store(app, store_path_);
    app.add_flag("--fresh", fresh_, tr("fetch every share, whatever the store knows"));
    app.add_option("--reuse-valid", reuse_valid_,
                   tr("hours a stored valid verdict stands in for a fetch (default 24; 0: never)"))
        ->check(seconds())
        ->type_name("HOURS");
    app.add_option("--reuse-invalid", reuse_invalid_,
                   tr("hours a stored invalid verdict stands in for a fetch (default 168; 0: "
                      "never)"))
        ->check(seconds())
        ->type_name("HOURS");
    app.add_option("--reuse-unknown", reuse_unknown_,
                   tr("hours a stored unknown verdict stands in for a fetch (default 0: never)"))
        ->check(seconds())
        ->type_name("HOURS");
    app.add_flag("--insecure", insecure_,
                 tr("do not check the service's certificate (behind an intercepting proxy)"));
    declare_input(app, input_);
  }

  int run(const Io& io) override {
    // Signals are caught from the start, so that one that comes while the list is read or
    // loaded stops the command before any check begins; the old handlers come back at the end.
    g_signals = 0;
    g_first_signal = 0;
    const InterruptCatcher guard(&on_interrupt);
    CheckRunConfig runs;
    runs.probe = probe_settings_from_environment();
    if (ca_file_) runs.probe.ca_file = *ca_file_;
    runs.probe.insecure = insecure_;
    if (const auto problem = unusable_ca_file(runs.probe)) {
      std::fprintf(io.err, tr("quorvex-cli check: cannot use the CA file %s: %s\n"),
                   runs.probe.ca_file.c_str(), problem->c_str());
      return kExitIoError;
    }
    if (retries_) runs.probe.retries = *retries_;
    if (timeout_) runs.probe.timeout = to_ms(*timeout_);
    if (cooldown_) runs.pacer.cooldown = to_ms(*cooldown_);
    if (rate_) runs.pacer.max_rate = *rate_;
    if (give_up_after_) runs.pacer.give_up_after = *parse_duration(*give_up_after_);
    if (services_) runs.services = *services_of_list(*services_);

    std::string text;
    if (!read_source(input_, io, text))
      return g_signals.load() > 0 ? 128 + g_first_signal.load() : kExitIoError;
    text = preparation_.apply(std::move(text));

    // Without a usable store the run goes on; opening it has said why.
    const std::shared_ptr<VerdictStore> store = open_store(store_path_, io, "check");
    VerdictLifetimes lifetimes;
    if (reuse_valid_) lifetimes.valid = hours(*reuse_valid_);
    if (reuse_invalid_) lifetimes.invalid = hours(*reuse_invalid_);
    if (reuse_unknown_) lifetimes.unknown = hours(*reuse_unknown_);
    attach_store(runs, store, lifetimes, fresh_);

    OutputTarget target;
    if (!target.open(output_, io, "check")) return kExitIoError;
    const Format format = output_.format();
    // JSON lines are printed as their verdicts land, unless asked for in list order.
    const bool streaming = format == Format::json && !ordered_;
    auto landed = std::make_shared<LandedRows>();
    if (streaming) {
      runs.on_verdict = [landed](int row, RowVerdict) {
        std::lock_guard lock(landed->mutex);
        landed->rows.push_back(row);
      };
    }

    Session session(runs);
    session.set_thread_limit(thread_limit(io));
    session.set_source_text(std::move(text));
    session.reset_run_state();
    session.wait_for_loads();
    if (session.load_failed()) {
      std::fprintf(io.err,
                   tr("quorvex-cli check: not enough memory for the rows of this list (is the "
                      "memory of the program limited, as by ulimit -v?)\n"));
      return kExitIoError;
    }
    if (!has_rows(io.err, "check", session)) return kExitNothing;
    preparation_.hint(io.err, "check", session);
    const LinkTable& table = *session.table();
    std::vector<char> printed(static_cast<std::size_t>(table.row_count()), 0);
    bool ok = true;
    bool reader_gone = false;  // standard output's reader closed the pipe
    // Writes what is printed (and with `flush` hands it on at once); once the reader has gone,
    // nothing more is written and the run starts no more probes, as a program ended by SIGPIPE
    // would.
    auto emit = [&](std::string_view bytes, bool flush = false) {
      if (!ok) return;
      std::FILE* out = target.io().out;
      if (std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() &&
          (!flush || std::fflush(out) == 0))
        return;
      ok = false;
      if (errno == EPIPE) {
        reader_gone = true;
        session.run()->drain();
      }
    };
    // Rows are printed only once their verdicts are in the store, so that what a script has
    // read survives a crash of this run.
    auto print_landed = [&] {
      std::vector<int> rows;
      {
        std::lock_guard lock(landed->mutex);
        rows.swap(landed->rows);
      }
      if (rows.empty()) return;
      if (store) store->flush();
      std::string lines;
      for (const int r : rows) {
        if (r < 0 || static_cast<std::size_t>(r) >= printed.size() ||
            printed[static_cast<std::size_t>(r)])
          continue;
        printed[static_cast<std::size_t>(r)] = 1;
        lines += json_row(record_of(table, r), true);
      }
      emit(lines, true);
    };
    const auto started = std::chrono::steady_clock::now();
    int signal = 0;
    if (g_signals.load() > 0) {
      // Stopped while the list was read or loaded: no check begins.
      signal = g_first_signal.load();
    } else {
      if (!session.start_check_run()) {
        std::fprintf(io.err,
                     tr("quorvex-cli check: cannot start the check: the system gives no thread "
                        "for it\n"));
        return kExitIoError;
      }
      const int threads = session.thread_limit();
      const int cap = session.run()->snapshot().system_cap;
      if (!quiet_ && cap > 0 && cap < threads && cap < table.row_count())
        std::fprintf(io.err,
                     tr("quorvex-cli check: this system's limits (open files, memory, threads) "
                        "allow %d links at once, not %d\n"),
                     cap, threads);
      signal = wait_for_run(session, quiet_ ? nullptr : io.err,
                            streaming ? print_landed : std::function<void()>(),
                            use_color(output_.color_choice(), io.err));
    }
    const bool interrupted = signal != 0;
    if (store) {
      // Every verdict printed below is in the store first.
      store->flush();
      const std::string problem = store->write_problem();
      if (!problem.empty())
        std::fprintf(io.err, "quorvex-cli check: %s\n", translated_message(problem).c_str());
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::FILE* out = target.io().out;
    if (streaming) {
      print_landed();
      // Rows no verdict reached (a stopped run) close the list, in list order, a block at a
      // time: a stopped run of millions of rows must not need them all in memory at once.
      std::string lines;
      table.for_each_row([&](int index, const RowView& row) {
        if (static_cast<std::size_t>(index) < printed.size() &&
            !printed[static_cast<std::size_t>(index)])
          lines += json_row(record_of(index, row), true);
        if (lines.size() >= (std::size_t{1} << 16)) {
          emit(lines);
          lines.clear();
        }
      });
      emit(lines);
    } else {
      ok =
          ok && write_rows(out, table, format, true, false, use_color(output_.color_choice(), out));
    }
    const RunSnapshot run = session.run()->snapshot();
    // A stopped run leaves rows without a verdict: said, so that no script takes the counts for
    // the whole list.
    const int unchecked = std::max(0, table.row_count() - run.finished);
    std::optional<ExportResult> exported;
    if (export_dir_ && !reader_gone)
      exported = export_valid_links(table, *export_dir_, ExportSources::system());
    const std::string summary = summary_lines(run, unchecked);
    if (format == Format::text) {
      ok = ok && std::fputs(summary.c_str(), out) >= 0;
    } else if (!quiet_) {
      std::fputs(summary.c_str(), io.err);
    }
    if (format == Format::json) {
      // Every row is one of valid, invalid, unknown and not_share_link (the rows that hold no
      // share link, "x" but no invalid share), or unchecked when the run was stopped.
      char line[320];
      std::snprintf(line, sizeof line,
                    "{\"summary\":{\"total\":%d,\"valid\":%d,\"invalid\":%d,\"unknown\":%d,"
                    "\"not_share_link\":%d,\"duplicates\":%d,\"seconds\":%.3f,\"unchecked\":%d,"
                    "\"stopped\":%s",
                    table.row_count(), run.valid, run.invalid, run.unknown, run.not_share_link,
                    run.repeats, seconds, unchecked,
                    interrupted || unchecked > 0 ? "true" : "false");
      std::string json = line;
      if (exported) {
        json += ",\"export\":";
        if (exported->ok)
          append_json_string(json, exported->path);
        else
          json += "null";
      }
      json += "}}\n";
      ok = ok && std::fputs(json.c_str(), out) >= 0;
    }
    // The reader has gone: nothing more to say to it, nor about it.
    if (reader_gone) return kExitBrokenPipe;
    const int rc = target.finish(ok);
    if (rc != kExitOk) return rc;

    if (exported) {
      if (!exported->ok) {
        std::fprintf(io.err, tr("quorvex-cli check: cannot write the export file %s: %s\n"),
                     exported->path.c_str(), exported->error.c_str());
        return kExitIoError;
      }
      if (!quiet_)
        std::fprintf(io.err, tr("exported the valid links to %s\n"), exported->path.c_str());
    }
    if (interrupted) return 128 + signal;
    if (run.stalled) {
      std::fprintf(io.err,
                   tr("quorvex-cli check: stopped: this system kept refusing what the checks "
                      "needed (%s)\n"),
                   stall_refusal(run, language()).c_str());
      return kExitIoError;
    }
    if (run.gave_up)
      std::fprintf(io.err,
                   tr("quorvex-cli check: the share service throttled every request for %s; the "
                      "rows it had not answered are unknown\n"),
                   give_up_after_ ? give_up_after_->c_str() : "30m");
    if (run.unknown > 0) return kExitSomeUnknown;
    if (run.invalid > 0 || run.not_share_link > 0) return kExitSomeInvalid;
    return kExitOk;
  }

 private:
  // --threads, else the count the window saved, else 10.
  int thread_limit(const Io& io) const {
    if (threads_) return *threads_;
    const StoredSettings saved = read_settings(settings_path(documents_folder()));
    if (!saved.thread_count) return kDefaultThreads;
    if (const auto count = usable_thread_count(*saved.thread_count)) return *count;
    // A run that never starts a probe would wait for ever in a terminal.
    std::fprintf(io.err,
                 tr("quorvex-cli check: the saved thread count is not a positive number; using "
                    "10\n"));
    return kDefaultThreads;
  }

  // Waits for the run, showing on `err` (none: quiet) how far it has come: a redrawn line with a
  // bar, the rate and the time left on a terminal, a line per tenth otherwise, and a line
  // whenever the service makes the run wait. `tick` runs every pass. Returns the signal that
  // stopped the run, 0 when none did.
  static int wait_for_run(Session& session, std::FILE* err, const std::function<void()>& tick,
                          bool color) {
    int interrupts_seen = 0;
    std::optional<std::chrono::steady_clock::time_point> grace_ends;
    const bool live = is_terminal(err);
    int last_reported = -1;
    int cooldowns_told = 0;
    RateEstimate rate;
    for (;;) {
      const RunSnapshot run = session.run()->snapshot();
      const bool done = !run.active();
      if (tick) tick();
      const int percent =
          run.total > 0 ? static_cast<int>(static_cast<double>(run.finished) / run.total * 100)
                        : 100;
      const auto now = std::chrono::steady_clock::now();
      rate.add(now, run.finished);
      if (err && run.cooldowns > cooldowns_told && run.state == RunState::cooling_down) {
        cooldowns_told = run.cooldowns;
        std::fprintf(err, tr("%sthrottled by the service: resuming in %lld s\n"),
                     live ? "\r\033[K" : "", cooldown_seconds(run));
      }
      if (live) {
        // Fitted anew each time, so a terminal made narrower still gets one line.
        std::fputs(
            ("\r\033[K" + progress_line(run, rate, terminal_columns(err) - 1, color)).c_str(), err);
      } else if (err &&
                 (percent / 10 != last_reported / 10 || (done && percent != last_reported))) {
        std::fprintf(err, tr("checked %d of %d rows (%d%%)\n"), run.finished, run.total, percent);
        last_reported = percent;
      }
      if (err) std::fflush(err);
      if (done) break;
      const int interrupts = g_signals.load();
      if (interrupts > interrupts_seen) {
        interrupts_seen = interrupts;
        if (!grace_ends) {
          session.run()->drain();
          grace_ends = now + kSignalGrace;
          if (err)
            std::fprintf(err,
                         tr("%sstopping: no new probes; those under way have %lld s to finish "
                            "(Ctrl+C again to cancel them)\n"),
                         live ? "\n" : "", static_cast<long long>(kSignalGrace.count()));
        } else {
          session.run()->cancel();
        }
      }
      if (grace_ends && now >= *grace_ends) session.run()->cancel();
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (live) std::fputc('\n', err);
    return interrupts_seen > 0 ? g_first_signal.load() : 0;
  }

  // Rows whose verdicts have landed and are not printed yet; filled by the probes.
  struct LandedRows {
    std::mutex mutex;
    std::vector<int> rows;
  };

  TextPreparation preparation_;
  OutputOptions output_;
  bool ordered_ = false;
  bool quiet_ = false;
  bool insecure_ = false;
  std::optional<int> threads_;
  std::optional<int> retries_;
  std::optional<double> timeout_;
  std::optional<double> cooldown_;
  std::optional<double> rate_;
  std::optional<std::string> give_up_after_;
  std::optional<std::string> services_;
  std::optional<std::string> ca_file_;
  std::optional<std::string> export_dir_;
  std::string input_ = "-";
  std::string store_path_;
  bool fresh_ = false;
  std::optional<double> reuse_valid_;
  std::optional<double> reuse_invalid_;
  std::optional<double> reuse_unknown_;
};

}  // namespace

std::unique_ptr<Command> make_check_command() { return std::make_unique<CheckCommand>(); }

}  // namespace quorvex::cli
