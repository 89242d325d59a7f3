#include "cli/cli_main.h"

#include <memory>
#include <new>
#include <system_error>

#include "cli/command.h"

namespace quorvex::cli {

namespace {

constexpr const char* kProgram = "quorvex-cli";

int usage_error(const Io& io, const std::string& command, const std::string& message) {
  const std::string who = command.empty() ? kProgram : std::string(kProgram) + " " + command;
  std::fprintf(io.err, "%s: %s\nTry '%s --help'.\n", who.c_str(), message.c_str(), who.c_str());
  return kExitUsage;
}

}  // namespace

int run(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err) {
  const Io io{in, out, err};
  CLI::App app("Checks netdisk share links in bulk, as the Quorvex window does.", kProgram);
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
      "usage, 3 some rows invalid, 4 some rows unknown, 128 + the signal's number when a\n"
      "signal stopped a check (130 Ctrl+C, 143 SIGTERM, 129 SIGHUP), 141 when the reader of\n"
      "the output went away.");
  std::vector<std::unique_ptr<Command>> commands = all_commands();
  for (const auto& command : commands)
    command->declare(*app.add_subcommand(command->name(), command->summary()));

  if (args.size() == 1 && args[0] == "help") {
    std::fputs(app.help().c_str(), out);
    return kExitOk;
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
    return usage_error(io, chosen.empty() ? "" : chosen.front()->get_name(), e.what());
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
