#include <unistd.h>

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

namespace quorvex::cli {

namespace {

constexpr int kDefaultThreads = 10;

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
        "Exit status: 0 every row valid, 3 some rows invalid and none unknown, 4 some rows\n"
        "unknown, 1 a file or output error, 2 wrong usage.\n"
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

    Session session(runs);
    session.set_thread_limit(thread_limit(io));
    session.set_source_text(std::move(text));
    session.reset_run_state();
    session.wait_for_loads();
    session.start_check_run();
    show_progress(session, io.err);

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
  // tenth otherwise, and a line whenever the service makes the run wait.
  static void show_progress(Session& session, std::FILE* err) {
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
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (live) std::fputc('\n', err);
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
};

}  // namespace

std::unique_ptr<Command> make_check_command() { return std::make_unique<CheckCommand>(); }

}  // namespace quorvex::cli
