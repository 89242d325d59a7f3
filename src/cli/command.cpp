#include "cli/command.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/platform.h"
#include "cli/translate.h"
#include "shell/shared_texts.h"
#include "store/verdict_store.h"
#include "text/extract.h"
#include "text/file_input.h"
#include "text/typeset.h"

namespace quorvex::cli {

std::vector<std::unique_ptr<Command>> all_commands() {
  std::vector<std::unique_ptr<Command>> commands;
  commands.push_back(make_typeset_command());
  commands.push_back(make_extract_command());
  commands.push_back(make_rows_command());
  commands.push_back(make_check_command());
  commands.push_back(make_history_command());
  return commands;
}

void declare_input(CLI::App& app, std::string& path) {
  app.add_option("FILE", path,
                 tr("the text to read, as a dropped file is read (UTF-8, UTF-16 with a byte-order "
                    "mark, or GBK); '-' or none: standard input"))
      ->type_name("");
}

std::string pacing_note() {
  return tr(
      "A run starts at most one probe every 20 ms, so about 50 rows a second at most, "
      "whatever -j/--threads says; the service's throttling slows it further.");
}

void declare_language(CLI::App& app, std::string& name) {
  app.add_option("--lang", name,
                 tr("the language of the messages and the help: zh (Chinese) or en (English); "
                    "by default the locale's"))
      ->check(CLI::IsMember({"zh", "en"}))
      ->type_name("LANG");
}

void hint_when_reading_a_terminal(const std::string& path, const Io& io) {
  if (path == "-" && is_terminal(io.in) && io.err)
    std::fputs(
        tr("quorvex-cli: reading the text from the terminal; end it with Ctrl+D, or name a FILE\n"),
        io.err);
}

bool read_source(const std::string& path, const Io& io, std::string& text) {
  hint_when_reading_a_terminal(path, io);
  const InputFile file = path == "-" ? read_input_stream(io.in) : read_input_file(path);
  const std::string shown = path == "-" ? tr("standard input") : path;
  if (file.status == InputFile::Status::ok) {
    text = file.text;
    // Nothing is changed without a word.
    if (file.notes.nul_bytes > 0)
      std::fprintf(
          io.err,
          trn("quorvex-cli: %s: %zu NUL byte taken out of the text\n",
              "quorvex-cli: %s: %zu NUL bytes taken out of the text\n", file.notes.nul_bytes),
          shown.c_str(), file.notes.nul_bytes);
    if (file.notes.bad_bytes > 0)
      std::fprintf(io.err,
                   trn("quorvex-cli: %s: read as UTF-8; %zu byte that forms no character read as "
                       "'?'\n",
                       "quorvex-cli: %s: read as UTF-8; %zu bytes that form no character read as "
                       "'?'\n",
                       file.notes.bad_bytes),
                   shown.c_str(), file.notes.bad_bytes);
    return true;
  }
  std::fprintf(io.err, "quorvex-cli: %s\n", input_file_refusal(file, shown, language()).c_str());
  return false;
}

void TextPreparation::declare(CLI::App& app) {
  CLI::Option* typeset_flag = app.add_flag(
      "--typeset", typeset, tr("typeset the text first, as the window's 重新排版 does"));
  app.add_flag("--extract", extract,
               tr("extract the share links first: one line per distinct share, with its title "
                  "and code (see 'quorvex-cli extract --help')"))
      ->excludes(typeset_flag);
}

std::string TextPreparation::apply(std::string text) const {
  if (typeset) return typeset_share_text(text);
  if (extract) return extract_share_text(text);
  return text;
}

void TextPreparation::hint(std::FILE* err, const char* command, const Session& session) const {
  // A text already typeset or extracted is the one to check as it is.
  if (typeset || extract) return;
  if (const std::size_t shares = shares_worth_extracting(*session.table(), *session.source_text()))
    std::fprintf(err,
                 trn("quorvex-cli %s: this text is not one link a line; extraction finds %zu "
                     "share link in it: add --extract to take it out of it first\n",
                     "quorvex-cli %s: this text is not one link a line; extraction finds %zu "
                     "share links in it: add --extract to take them out of it first\n",
                     shares),
                 command, shares);
}

bool has_rows(std::FILE* err, const char* command, const Session& session) {
  if (session.table()->row_count() > 0) return true;
  std::fprintf(err,
               std::string_view(command) == "check"
                   ? tr("quorvex-cli %s: the input holds no row: nothing to check\n")
                   : tr("quorvex-cli %s: the input holds no row: nothing to show\n"),
               command);
  return false;
}

void OutputOptions::declare(CLI::App& app, bool formats) {
  if (formats) {
    format_option = app.add_option("-f,--format", format_name,
                                   tr("text (an aligned table, the default), json (one object "
                                      "per line), csv (with a header row) or markdown"))
                        ->check(CLI::IsMember({"text", "json", "csv", "markdown"}))
                        ->type_name("FORMAT");
    app.add_flag("--json", json, tr("the same as --format json"))->excludes(format_option);
    app.add_option("--color", color,
                   tr("colour the verdicts and the progress bar: auto (on a terminal, unless "
                      "NO_COLOR is set), always or never"))
        ->check(CLI::IsMember({"auto", "always", "never"}))
        ->type_name("WHEN");
  }
  CLI::Option* out =
      app.add_option("-o,--output", output, tr("write to FILE instead of standard output"))
          ->type_name("FILE");
  app.add_flag("--force", force, tr("let --output replace a file that exists"))->needs(out);
}

Format OutputOptions::format() const {
  if (json || format_name == "json") return Format::json;
  if (format_name == "csv") return Format::csv;
  if (format_name == "markdown") return Format::markdown;
  return Format::text;
}

ColorChoice OutputOptions::color_choice() const {
  if (color == "always") return ColorChoice::always;
  if (color == "never") return ColorChoice::never;
  return ColorChoice::automatic;
}

OutputTarget::~OutputTarget() {
  // Not finished: the command failed before its output was complete.
  if (file_) {
    std::fclose(file_);
    if (!path_.empty()) remove_file(path_);
  }
}

bool OutputTarget::open(const OutputOptions& options, const Io& io, const char* who) {
  io_ = io;
  if (options.output.empty() || options.output == "-") return true;
  // An existing file is kept unless replacing it was asked for; a device or a pipe
  // (/dev/null, /dev/stdout, a FIFO) holds nothing to keep.
  const PathInfo info = path_info(options.output);
  const bool stream = info.exists && !info.folder && !info.regular;
  const int fd = create_file(
      options.output, options.force || stream ? CreateMode::truncate : CreateMode::exclusive);
  if (fd < 0) {
    const int code = errno;
    std::fprintf(io.err,
                 code == EEXIST ? tr("quorvex-cli %s: cannot write %s: %s (--force replaces it)\n")
                                : tr("quorvex-cli %s: cannot write %s: %s\n"),
                 who, options.output.c_str(), std::strerror(code));
    return false;
  }
  file_ = stream_of_file(fd);
  if (!file_) {
    const int code = errno;
    close_file(fd);
    std::fprintf(io.err, tr("quorvex-cli %s: cannot write %s: %s\n"), who, options.output.c_str(),
                 std::strerror(code));
    return false;
  }
  io_.out = file_;
  if (!stream) path_ = options.output;
  return true;
}

int OutputTarget::finish(bool ok) {
  int rc = finish_output(io_.out, io_.err, ok);
  if (file_) {
    if (std::fclose(file_) != 0 && rc == 0) {
      std::fprintf(io_.err, tr("quorvex-cli: cannot write the output: %s\n"), std::strerror(errno));
      rc = kExitIoError;
    }
    file_ = nullptr;
    // Half an output would pass for the whole of it.
    if (rc != kExitOk && !path_.empty()) remove_file(path_);
  }
  return rc;
}

int write_text(OutputTarget& target, std::string_view bytes) {
  std::FILE* out = target.io().out;
  return target.finish(std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size());
}

void declare_store(CLI::App& app, std::string& path) {
  app.add_option("--store", path,
                 tr("the verdict store (default: QUORVEX_STORE, else the user's data folder)"))
      ->type_name("FILE");
}

std::string chosen_store_path(const std::string& path) {
  return path.empty() ? standard_store_path() : path;
}

std::shared_ptr<VerdictStore> open_store(const std::string& path, const Io& io, const char* who,
                                         StoreUse use) {
  const std::string chosen = chosen_store_path(path);
  VerdictStore::Opened opened =
      use == StoreUse::read_only ? VerdictStore::open_to_read(chosen) : VerdictStore::open(chosen);
  if (!opened.message.empty())
    std::fprintf(io.err, "quorvex-cli %s: %s\n", who, translated_message(opened.message).c_str());
  return std::shared_ptr<VerdictStore>(std::move(opened.store));
}

namespace {

// A validator that takes the whole value as a number of type T, at least `least`.
// `refusal` says what it needs, with %s for the value given.
template <class T>
CLI::Validator number_from(T least, const char* refusal, std::string name) {
  return CLI::Validator(
      [least, refusal](std::string& value) -> std::string {
        T number{};
        const char* end = value.data() + value.size();
        const auto [rest, error] = std::from_chars(value.data(), end, number);
        if (error != std::errc() || rest != end || value.empty() || !(number >= least))
          return format_text(tr(refusal), value.c_str());
        return {};
      },
      std::move(name));
}

}  // namespace

CLI::Validator positive_whole_number() {
  return number_from<int>(1, N_("needs a whole number above 0, not '%s'"), "N");
}

CLI::Validator whole_number() {
  return number_from<int>(0, N_("needs a whole number from 0, not '%s'"), "N");
}

CLI::Validator positive_seconds() {
  return number_from<double>(0.001, N_("needs a number of seconds above 0, not '%s'"), "SECONDS");
}

CLI::Validator seconds() {
  return number_from<double>(0, N_("needs a number of seconds from 0, not '%s'"), "SECONDS");
}

CLI::Validator request_rate() {
  return CLI::Validator(
      [](std::string& value) -> std::string {
        double rate = 0;
        const char* end = value.data() + value.size();
        const auto [rest, error] = std::from_chars(value.data(), end, rate);
        if (error != std::errc() || rest != end || value.empty() || !(rate > 0 && rate <= 50))
          return format_text(tr("needs a number of requests a second above 0 and at most 50, "
                                "not '%s'"),
                             value.c_str());
        return {};
      },
      "N");
}

std::optional<std::chrono::seconds> parse_duration(std::string_view text) {
  if (text.empty()) return std::nullopt;
  long long scale = 1;
  switch (text.back()) {
    case 'h':
      scale = 3600;
      text.remove_suffix(1);
      break;
    case 'm':
      scale = 60;
      text.remove_suffix(1);
      break;
    case 's':
      text.remove_suffix(1);
      break;
    default:
      break;
  }
  double number = 0;
  const char* end = text.data() + text.size();
  const auto [rest, error] = std::from_chars(text.data(), end, number);
  if (text.empty() || error != std::errc() || rest != end || !(number > 0) || number > 1e7)
    return std::nullopt;
  return std::chrono::seconds(std::llround(number * static_cast<double>(scale)));
}

CLI::Validator duration() {
  return CLI::Validator(
      [](std::string& value) -> std::string {
        if (parse_duration(value)) return {};
        return format_text(tr("needs a time above 0 such as 90s, 30m or 2h, not '%s'"),
                           value.c_str());
      },
      "DURATION");
}

}  // namespace quorvex::cli
