// The command line's commands. Each command declares its flags on its own subcommand (the help is
// made from them) and runs once the words have been parsed; the table of commands is
// all_commands().
#pragma once

#include <chrono>
#include <optional>
#include <string_view>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_output.h"
#include "session/session.h"

namespace quorvex {
class VerdictStore;
}

namespace quorvex::cli {

// Where a command reads and writes: "-" reads `in`; output to `out`, progress and errors to `err`.
struct Io {
  std::FILE* in;
  std::FILE* out;
  std::FILE* err;
};

// Exit codes shared by every command.
enum ExitCode : int {
  kExitOk = 0,           // for check: every row valid
  kExitIoError = 1,      // a file that cannot be read, output that cannot be written
  kExitUsage = 2,        // words the command does not take
  kExitSomeInvalid = 3,  // check: some rows invalid, none unknown
  kExitSomeUnknown = 4,  // check: some rows could not be decided
  // Nothing to work on: an input without a single row (rows, check), no stored verdict (history).
  kExitNothing = 5,
  kExitInterrupted = 130,  // check: stopped by a signal, 128 + its number (this: Ctrl+C)
  // The reader of standard output went away (| head): what a program killed by SIGPIPE ends with.
  kExitBrokenPipe = 141,
};

// How long probes under way may go on after Ctrl+C, SIGTERM or SIGHUP, before they are cancelled.
inline constexpr std::chrono::seconds kSignalGrace{3};

class Command {
 public:
  virtual ~Command() = default;
  virtual const char* name() const = 0;
  virtual const char* summary() const = 0;
  // Declares the command's flags, and its description, on its subcommand.
  virtual void declare(CLI::App& app) = 0;
  // Runs the command with the flags as parsed; returns the exit code.
  virtual int run(const Io& io) = 0;
};

// typeset, extract, rows, check, history.
std::vector<std::unique_ptr<Command>> all_commands();

std::unique_ptr<Command> make_typeset_command();
std::unique_ptr<Command> make_rows_command();
std::unique_ptr<Command> make_check_command();
std::unique_ptr<Command> make_extract_command();
std::unique_ptr<Command> make_history_command();

// The input file argument that every command takes: FILE, or "-" (the default) for standard input.
void declare_input(CLI::App& app, std::string& path);
// Reads the input as a dropped file is read; says why and returns false when it cannot.
bool read_source(const std::string& path, const Io& io, std::string& text);
// What a command that loads rows does to the text first: nothing, typesetting as the window's
// 重新排版 button does, or link extraction (--typeset and --extract, one or the other).
struct TextPreparation {
  bool typeset = false;
  bool extract = false;
  void declare(CLI::App& app);
  std::string apply(std::string text) const;
  // Says on `err` when the rows loaded are no list of links though extraction finds shares in
  // the text; the output stays as it is.
  void hint(std::FILE* err, const char* command, const Session& session) const;
};
// Says on `err` that the list loaded has no row at all (an empty text, or blank lines only);
// false then.
bool has_rows(std::FILE* err, const char* command, const Session& session);

// Where and how rows and texts go: -f/--format (text, json, csv, markdown; --json is json),
// -o/--output FILE (never over an existing file unless --force; a device or a pipe, such as
// /dev/null, is no file to keep and needs none).
struct OutputOptions {
  std::string format_name = "text";
  bool json = false;
  std::string output;
  bool force = false;
  std::string color = "auto";
  // formats: whether the command prints rows (and so takes --format, --json and --color).
  void declare(CLI::App& app, bool formats);
  Format format() const;
  ColorChoice color_choice() const;
  CLI::Option* format_option = nullptr;
};

// The file named by --output, or standard output; closed (and checked) by finish().
class OutputTarget {
 public:
  OutputTarget() = default;
  ~OutputTarget();
  OutputTarget(const OutputTarget&) = delete;
  OutputTarget& operator=(const OutputTarget&) = delete;
  // False (having said why on io.err) when the file cannot be made.
  bool open(const OutputOptions& options, const Io& io, const char* who);
  // The Io whose out is the target.
  const Io& io() const { return io_; }
  // Flushes and closes; reports a failed write, after which a file it made is removed rather
  // than left half written. The exit code.
  int finish(bool ok);

 private:
  Io io_{};
  std::FILE* file_ = nullptr;
  std::string path_;  // the file made, when it is a regular one (not a device or a pipe)
};

// Writes the bytes to the target and closes it; the exit code.
int write_text(OutputTarget& target, std::string_view bytes);

// The pacing every run keeps, for the help texts.
std::string pacing_note();

// --lang: the language of the command's texts. Read before the words are parsed (the help is
// made in it); declared so that the parser takes it anywhere and checks it.
void declare_language(CLI::App& app, std::string& name);

// Says on a terminal's standard error that standard input is being read, so that a command
// given no file does not seem to hang.
void hint_when_reading_a_terminal(const std::string& path, const Io& io);

// The --store option both check and history take.
void declare_store(CLI::App& app, std::string& path);
// The store named by --store, else QUORVEX_STORE, else the one in the user's data folder.
std::string chosen_store_path(const std::string& path);
enum class StoreUse { read_write, read_only };
// Opens that store (read_only: an existing one, making and changing nothing); says on `err` (as
// `who`) what opening it had to report. Null when it cannot be used.
std::shared_ptr<VerdictStore> open_store(const std::string& path, const Io& io, const char* who,
                                         StoreUse use = StoreUse::read_write);

// Validators with messages people can read: whole numbers above 0 or from 0, and seconds (a
// number, fractions allowed) above 0 or from 0.
CLI::Validator positive_whole_number();
CLI::Validator whole_number();
CLI::Validator positive_seconds();
CLI::Validator seconds();
// Requests a second: above 0 and at most 50, the fastest pace there is.
CLI::Validator request_rate();
// A time such as 90s, 30m or 2h (a bare number is seconds); nullopt when it is not one above 0.
std::optional<std::chrono::seconds> parse_duration(std::string_view text);
CLI::Validator duration();

}  // namespace quorvex::cli
