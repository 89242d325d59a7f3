#include "cli/cli_main.h"

#include <algorithm>
#include <memory>
#include <new>
#include <system_error>

#include "base/platform.h"
#include "cli/command.h"
#include "cli/help_format.h"

namespace quorvex::cli {

namespace {

constexpr const char* kProgram = "quorvex-cli";

int usage_error(const Io& io, const std::string& command, const std::string& message) {
  const std::string who = command.empty() ? kProgram : std::string(kProgram) + " " + command;
  std::fprintf(io.err, "%s: %s\nTry '%s --help'.\n", who.c_str(), message.c_str(), who.c_str());
  return kExitUsage;
}

// For a flag the command does not take, the one it does that was likely meant.
std::string did_you_mean(const CLI::App& command, const std::vector<std::string>& args) {
  std::vector<std::string> flags;
  for (const CLI::Option* option : command.get_options()) {
    for (const std::string& name : option->get_lnames()) flags.push_back("--" + name);
  }
  for (const std::string& arg : args) {
    if (arg.rfind("--", 0) != 0) continue;
    const std::string flag = arg.substr(0, arg.find('='));
    if (std::find(flags.begin(), flags.end(), flag) != flags.end()) continue;
    if (const std::string meant = nearest(flag, flags); !meant.empty())
      return "; did you mean '" + meant + "'?";
  }
  return {};
}

}  // namespace

int run(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err) {
  const Io io{in, out, err};
  CLI::App app("Checks netdisk share links in bulk, as the Quorvex window does.", kProgram);
  // Before the commands are added, so that each takes it over.
  const int columns = terminal_columns(out);
  app.formatter(
      std::make_shared<HelpFormatter>(columns > 0 ? static_cast<std::size_t>(columns) : 80));
  app.require_subcommand(1);
  // One syntax on every system: on Windows CLI11 would take "/x" for an option, and so a path
  // that starts with a slash.
  app.allow_windows_style_options(false);
  app.set_version_flag("--version", std::string(kProgram) + " " + QUORVEX_VERSION,
                       "print the version and exit");
  app.footer(
      "Run 'quorvex-cli <command> --help' for the options of a command.\n"
      "\n" +
      std::string(kPacingNote) +
      "\n"
      "\n"
      "Exit status: 0 success (check: every row valid), 1 a file or output error, 2 wrong\n"
      "usage, 3 some rows invalid, 4 some rows unknown, 5 nothing to work on (no row in the\n"
      "input, no stored verdict), 128 + the signal's number when a signal stopped a check (130\n"
      "Ctrl+C, 143 SIGTERM, 129 SIGHUP), 141 when the reader of the output went away.\n"
      "\n"
      "Examples:\n"
      "  the shares of a forum text, checked:\n"
      "    quorvex-cli check --extract posts.txt\n"
      "  and the valid ones written to this folder:\n"
      "    quorvex-cli check --extract posts.txt --export .\n"
      "  one JSON object a row, for a script:\n"
      "    quorvex-cli check --json -q list.txt > verdicts.jsonl\n"
      "  again after Ctrl+C: what was decided is reused, the rest checked:\n"
      "    quorvex-cli check list.txt\n"
      "  what the store knows of a share:\n"
      "    quorvex-cli history pan.baidu.com/s/1abc");
  std::vector<std::unique_ptr<Command>> commands = all_commands();
  for (const auto& command : commands)
    command->declare(*app.add_subcommand(command->name(), command->summary()));

  if (args.size() == 1 && args[0] == "help") {
    std::fputs(app.help().c_str(), out);
    return kExitOk;
  }
  // A mistyped command is answered with the one meant, before CLI11 calls it a missing one.
  std::vector<std::string> names;
  for (const auto& command : commands) names.emplace_back(command->name());
  for (const std::string& arg : args) {
    if (arg.empty() || arg.front() == '-') continue;
    if (std::find(names.begin(), names.end(), arg) != names.end()) break;
    const std::string meant = nearest(arg, names);
    return usage_error(io, "",
                       "'" + arg + "' is no command" +
                           (meant.empty() ? std::string() : "; did you mean '" + meant + "'?"));
  }
  // CLI11 takes the words last to first.
  std::vector<std::string> words(args.rbegin(), args.rend());
  try {
    app.parse(words);
  } catch (const CLI::CallForHelp&) {
    std::fputs(app.help().c_str(), out);
    return kExitOk;
  } catch (const CLI::CallForVersion& e) {
    std::fprintf(out, "%s\n", e.what());
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    const auto chosen = app.get_subcommands();
    std::string message = e.what();
    if (!chosen.empty()) message += did_you_mean(*chosen.front(), args);
    return usage_error(io, chosen.empty() ? "" : chosen.front()->get_name(), message);
  }
  for (const auto& command : commands) {
    if (!app.got_subcommand(command->name())) continue;
    // What the system refuses (memory under a limit such as ulimit -v, threads under ulimit -u)
    // ends the command with a word and an exit code, never with an abort.
    try {
      return command->run(io);
    } catch (const std::bad_alloc&) {
      std::fprintf(io.err,
                   "%s %s: not enough memory for this list (is the memory of the program limited, "
                   "as by ulimit -v?)\n",
                   kProgram, command->name());
    } catch (const std::system_error& e) {
      std::fprintf(io.err, "%s %s: the system refused what the command needed: %s\n", kProgram,
                   command->name(), e.code().message().c_str());
    }
    return kExitIoError;
  }
  return usage_error(io, "", "a command is needed");
}

}  // namespace quorvex::cli
