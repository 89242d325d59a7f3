#include <unistd.h>

#include <atomic>
#include <csignal>

#include <chrono>
#include <cmath>
#include <optional>
#include <thread>

#include "base/charset.h"
#include "base/text_ops.h"
#include "cli/cli_output.h"
#include "cli/command.h"
#include "session/session.h"
#include "shell/export.h"
#include "shell/probe_environment.h"
#include "shell/settings.h"
#include "shell/verdict_memory.h"
#include "store/verdict_store.h"

namespace quorvex::cli {

namespace {

constexpr int kDefaultThreads = 10;

// Ctrl+C (and SIGTERM) during a run: the first stops starting probes and lets those under way
// finish, the second (or a SIGTERM) cancels them. Either way the verdicts so far are kept and
// printed.
std::atomic<int> g_interrupts{0};
std::atomic<bool> g_terminated{false};

extern "C" void on_interrupt(int signal) {
  if (signal == SIGTERM) g_terminated = true;
  g_interrupts.fetch_add(1);
}

// Catches the signals for the time of a run; the old handlers come back afterwards.
class InterruptGuard {
 public:
  InterruptGuard() {
    g_interrupts = 0;
    g_terminated = false;
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &old_int_);
    sigaction(SIGTERM, &action, &old_term_);
  }
  ~InterruptGuard() {
    sigaction(SIGINT, &old_int_, nullptr);
    sigaction(SIGTERM, &old_term_, nullptr);
  }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  struct sigaction old_int_ {};
  struct sigaction old_term_ {};
};

std::chrono::seconds hours(double h) {
  return std::chrono::seconds(static_cast<long long>(std::llround(h * 3600)));
}

std::chrono::milliseconds to_ms(double seconds) {
  return std::chrono::milliseconds(static_cast<long long>(std::llround(seconds * 1000)));
}

class CheckCommand final : public Command {
 public:
  const char* name() const override { return "check"; }
  const char* summary() const override { return "load the rows and check every link"; }

  void declare(CLI::App& app) override {
    app.footer(
        "Loads the rows and checks every link with the window's scheduler and probes, showing\n"
        "the progress on standard error. Then prints the rows with their verdicts\n"
        "(\xE2\x88\x9A valid, x invalid, ? unknown) and the summary lines.\n"
        "\n"
        "A row is unknown when the service could not tell: no answer, a time-out, a rejected\n"
        "certificate, a server error, or a security check that outlasted the retries.\n"
        "Passing failures are tried again; when the service throttles, the run pauses for the\n"
        "cool-down and goes on more slowly.\n"
        "\n"
        "Verdicts are kept in a store (QUORVEX_STORE or --store; by default\n"
        "~/.local/share/Orvane/Quorvex/verdicts.sqlite, the window's too). A share whose\n"
        "stored verdict is recent enough is not fetched again (\"cached\": true in JSON):\n"
        "valid ones for 24 hours, invalid ones for 7 days, unknown ones never; --fresh\n"
        "fetches every share. So a run that was stopped goes on where it stopped.\n"
        "Ctrl+C stops starting probes and lets those under way finish (a second Ctrl+C\n"
        "cancels them); the verdicts so far are kept and printed.\n"
        "\n"
        "Exit status: 0 every row valid, 3 some rows invalid and none unknown, 4 some rows\n"
        "unknown, 1 a file or output error, 2 wrong usage, 130 stopped by Ctrl+C or SIGTERM.\n"
        "QUORVEX_CA_FILE names a CA file to trust as --ca-file does.");
    preparation_.declare(app);
    app.add_option("--threads", threads_,
                   "links checked at the same time (default: the window's saved thread count, "
                   "else 10)")
        ->check(positive_whole_number())
        ->type_name("N");
    app.add_flag("--json", json_,
                 "one JSON object per row (name, link, code, status, verdict, reason, done); "
                 "the summary lines then go to standard error");
    app.add_option("--export", export_dir_, "also write the export file of valid links into DIR")
        ->type_name("DIR");
    app.add_option("--retries", retries_, "further tries after a passing failure (default 2)")
        ->check(whole_number())
        ->type_name("N");
    app.add_option("--timeout", timeout_,
                   "the longest one request may take, redirects included (default: 15 s for "
                   "each phase)")
        ->check(positive_seconds())
        ->type_name("SECONDS");
    app.add_option("--cooldown", cooldown_,
                   "the pause when the service throttles this client (default 60)")
        ->check(seconds())
        ->type_name("SECONDS");
    app.add_option("--ca-file", ca_file_, "a PEM file of authorities to trust besides the system's")
        ->type_name("FILE");
    declare_store(app, store_path_);
    app.add_flag("--fresh", fresh_, "fetch every share, whatever the store knows");
    app.add_option("--reuse-valid", reuse_valid_,
                   "hours a stored valid verdict stands in for a fetch (default 24; 0: never)")
        ->check(seconds())
        ->type_name("HOURS");
    app.add_option("--reuse-invalid", reuse_invalid_,
                   "hours a stored invalid verdict stands in for a fetch (default 168; 0: never)")
        ->check(seconds())
        ->type_name("HOURS");
    app.add_option("--reuse-unknown", reuse_unknown_,
                   "hours a stored unknown verdict stands in for a fetch (default 0: never)")
        ->check(seconds())
        ->type_name("HOURS");
    app.add_flag("--insecure", insecure_,
                 "do not check the service's certificate (behind an intercepting proxy)");
    declare_input(app, input_);
  }

  int run(const Io& io) override {
    CheckRunConfig runs;
    runs.probe = probe_settings_from_environment();
    if (ca_file_) runs.probe.ca_file = *ca_file_;
    if (!runs.probe.ca_file.empty() && !insecure_) {
      if (const auto problem = ca_file_problem(runs.probe.ca_file)) {
        std::fprintf(io.err, "quorvex-cli check: cannot use the CA file %s: %s\n",
                     runs.probe.ca_file.c_str(), problem->c_str());
        return kExitIoError;
      }
    }
    runs.probe.insecure = insecure_;
    if (retries_) runs.probe.retries = *retries_;
    if (timeout_) runs.probe.timeout = to_ms(*timeout_);
    if (cooldown_) runs.pacer.cooldown = to_ms(*cooldown_);

    std::string text;
    if (!read_source(input_, io, text)) return kExitIoError;
    text = preparation_.apply(std::move(text));

    // Without a usable store the run goes on; opening it has said why.
    const std::shared_ptr<VerdictStore> store = open_store(store_path_, io, "check");
    VerdictLifetimes lifetimes;
    if (reuse_valid_) lifetimes.valid = hours(*reuse_valid_);
    if (reuse_invalid_) lifetimes.invalid = hours(*reuse_invalid_);
    if (reuse_unknown_) lifetimes.unknown = hours(*reuse_unknown_);
    attach_store(runs, store, lifetimes, fresh_);

    Session session(runs);
    session.set_thread_limit(thread_limit(io));
    session.set_source_text(std::move(text));
    session.reset_run_state();
    session.wait_for_loads();
    bool interrupted = false;
    {
      const InterruptGuard guard;
      session.start_check_run();
      interrupted = show_progress(session, io.err);
    }
    if (store) {
      // Every verdict printed below is in the store first.
      store->flush();
      const std::string problem = store->write_problem();
      if (!problem.empty()) std::fprintf(io.err, "quorvex-cli check: %s\n", problem.c_str());
    }

    const LinkTable& table = *session.table();
    const bool ok =
        json_ ? write_rows_json(io.out, table, true) : write_rows_table(io.out, table, false);
    const RunSnapshot run = session.run()->snapshot();
    std::string summary =
        gbk_to_utf8(summary_text(run.valid, run.invalid, run.unknown, run.repeats)) + "\n";
    for (std::size_t p; (p = summary.find("\r\n")) != std::string::npos;) summary.erase(p, 1);
    std::fputs(summary.c_str(), json_ ? io.err : io.out);
    const int rc = finish_output(io.out, io.err, ok);
    if (rc != kExitOk) return rc;

    if (export_dir_) {
      const ExportResult exported =
          export_valid_links(table, *export_dir_, ExportSources::system());
      if (!exported.ok) {
        std::fprintf(io.err, "quorvex-cli check: cannot write the export file %s: %s\n",
                     exported.path.c_str(), exported.error.c_str());
        return kExitIoError;
      }
      std::fprintf(io.err, "exported the valid links to %s\n", exported.path.c_str());
    }
    if (interrupted) return kExitInterrupted;
    if (run.unknown > 0) return kExitSomeUnknown;
    if (run.invalid > 0 || run.uncounted > 0) return kExitSomeInvalid;
    return kExitOk;
  }

 private:
  // --threads, else the count the window saved, else 10.
  int thread_limit(const Io& io) const {
    if (threads_) return *threads_;
    const StoredSettings saved = read_settings(settings_path(documents_folder()));
    if (!saved.thread_count) return kDefaultThreads;
    const int count = parse_leading_int(*saved.thread_count);
    if (count > 0) return count;
    // A run that never starts a probe would wait for ever in a terminal.
    std::fprintf(io.err,
                 "quorvex-cli check: the saved thread count is not a positive number; using 10\n");
    return kDefaultThreads;
  }

  // Waits for the run, showing how far it has come: one redrawn line on a terminal, a line per
  // tenth otherwise, and a line whenever the service makes the run wait. True when Ctrl+C or
  // SIGTERM stopped the run.
  static bool show_progress(Session& session, std::FILE* err) {
    int interrupts_seen = 0;
    const bool live = ::isatty(::fileno(err)) != 0;
    int last_reported = -1;
    int cooldowns_told = 0;
    for (;;) {
      const RunSnapshot run = session.run()->snapshot();
      const bool done = !run.active();
      const int percent =
          run.total > 0 ? static_cast<int>(static_cast<double>(run.finished) / run.total * 100)
                        : 100;
      if (run.cooldowns > cooldowns_told && run.state == RunState::cooling_down) {
        cooldowns_told = run.cooldowns;
        std::fprintf(err, "%sthe share service is throttling this client: waiting %lld s\n",
                     live ? "\r" : "",
                     static_cast<long long>((run.cooldown_left.count() + 999) / 1000));
      }
      if (live) {
        std::fprintf(err, "\rchecked %d of %d rows (%d%%), %d valid, %d unknown   ", run.finished,
                     run.total, percent, run.valid, run.unknown);
      } else if (percent / 10 != last_reported / 10 || (done && percent != last_reported)) {
        std::fprintf(err, "checked %d of %d rows (%d%%)\n", run.finished, run.total, percent);
        last_reported = percent;
      }
      std::fflush(err);
      if (done) break;
      const int interrupts = g_interrupts.load();
      if (interrupts > interrupts_seen) {
        interrupts_seen = interrupts;
        if (interrupts == 1 && !g_terminated) {
          session.run()->drain();
          std::fprintf(err,
                       "%sstopping: no new probes; those under way finish (Ctrl+C again "
                       "to cancel them)\n",
                       live ? "\n" : "");
        } else {
          session.run()->cancel();
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (live) std::fputc('\n', err);
    return interrupts_seen > 0;
  }

  TextPreparation preparation_;
  bool json_ = false;
  bool insecure_ = false;
  std::optional<int> threads_;
  std::optional<int> retries_;
  std::optional<double> timeout_;
  std::optional<double> cooldown_;
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
