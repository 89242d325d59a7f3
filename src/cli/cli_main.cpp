#include "cli/cli_main.h"

#include <algorithm>
#include <memory>
#include <new>
#include <system_error>

#include "base/platform.h"
#include "cli/command.h"
#include "cli/help_format.h"
#include "cli/translate.h"

namespace quorvex::cli {

namespace {

constexpr const char* kProgram = "quorvex-cli";

int usage_error(const Io& io, const std::string& command, const std::string& message) {
  const std::string who = command.empty() ? kProgram : std::string(kProgram) + " " + command;
  std::fprintf(io.err, tr("%s: %s\nTry '%s --help'.\n"), who.c_str(), message.c_str(), who.c_str());
  return kExitUsage;
}

// The language asked for by --lang (as the last one given says), before the words are parsed:
// the help and the parser's messages are made in it.
std::optional<Language> language_asked(const std::vector<std::string>& args) {
  std::optional<Language> asked;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--lang" && i + 1 < args.size()) {
      if (const auto named = language_named(args[i + 1])) asked = named;
    } else if (args[i].starts_with("--lang=")) {
      if (const auto named = language_named(args[i].substr(7))) asked = named;
    }
  }
  return asked;
}

// What the parser says of the words, in the command line's language.
std::string parse_error_text(const CLI::ParseError& error) {
  const std::string message = error.what();
  // "--threads: 1 required N missing" names no value the user knows of.
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error)) {
    const std::size_t colon = message.find(':');
    if (message.starts_with("--") && colon != std::string::npos &&
        message.find("missing") != std::string::npos)
      return format_text(tr("%s needs a value"), message.substr(0, colon).c_str());
  }
  return translated_message(message);
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
      return format_text(tr("; did you mean '%s'?"), meant.c_str());
  }
  return {};
}

}  // namespace

int run(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err) {
  const Io io{in, out, err};
  set_language(language_asked(args).value_or(language_of(locale_settings_of_environment())));
  CLI::App app(tr("Checks netdisk share links in bulk, as the Quorvex window does."), kProgram);
  // Before the commands are added, so that each takes them over.
  const int columns = terminal_columns(out);
  auto formatter =
      std::make_shared<HelpFormatter>(columns > 0 ? static_cast<std::size_t>(columns) : 80);
  formatter->label("Usage", tr("Usage"));
  formatter->label("OPTIONS", tr("OPTIONS"));
  formatter->label("SUBCOMMAND", tr("COMMAND"));
  formatter->label("Positionals", tr("Arguments"));
  app.formatter(formatter);
  app.option_defaults()->group(tr("Options"));
  app.set_help_flag("-h,--help", tr("print this help and exit"));
  app.require_subcommand(1);
  // One syntax on every system: on Windows CLI11 would take "/x" for an option, and so a path
  // that starts with a slash.
  app.allow_windows_style_options(false);
  app.set_version_flag("--version", std::string(kProgram) + " " + QUORVEX_VERSION,
                       tr("print the version and exit"));
  std::string language_name;
  declare_language(app, language_name);
  app.footer(std::string(tr("Run 'quorvex-cli <command> --help' for the options of a command.\n"
                            "\n")) +
             pacing_note() + "\n\n" +
             tr("Exit status: 0 success (check: every row valid), 1 a file or output error, 2 "
                "wrong usage, 3 some rows invalid, 4 some rows unknown, 5 nothing to work on (no "
                "row in the input, no stored verdict), 128 + the signal's number when a signal "
                "stopped a check (130 Ctrl+C, 143 SIGTERM, 129 SIGHUP), 141 when the reader of "
                "the output went away.\n"
                "\n"
                "The language is Chinese when the locale is (LC_ALL, LC_MESSAGES, LANG; on "
                "Windows the interface language), English otherwise; --lang chooses.\n"
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
                "    quorvex-cli history pan.baidu.com/s/1abc"));
  std::vector<std::unique_ptr<Command>> commands = all_commands();
  std::vector<std::string> language_names(commands.size());
  for (std::size_t i = 0; i < commands.size(); ++i) {
    CLI::App& sub = *app.add_subcommand(commands[i]->name(), tr(commands[i]->summary()));
    sub.group(tr("Commands"));
    // Made with the subcommand, before it took over the group of its parent's options.
    sub.get_help_ptr()->group(tr("Options"));
    commands[i]->declare(sub);
    declare_language(sub, language_names[i]);
  }

  if (args.size() == 1 && args[0] == "help") {
    std::fputs(app.help().c_str(), out);
    return kExitOk;
  }
  // A mistyped command is answered with the one meant, before CLI11 calls it a missing one.
  std::vector<std::string> names;
  for (const auto& command : commands) names.emplace_back(command->name());
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // --lang's value is no command.
    if (arg == "--lang") ++i;
    if (arg.empty() || arg.front() == '-') continue;
    if (std::find(names.begin(), names.end(), arg) != names.end()) break;
    const std::string meant = nearest(arg, names);
    return usage_error(
        io, "",
        format_text(tr("'%s' is no command"), arg.c_str()) +
            (meant.empty() ? std::string()
                           : format_text(tr("; did you mean '%s'?"), meant.c_str())));
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
    std::string message = parse_error_text(e);
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
                   tr("%s %s: not enough memory for this list (is the memory of the program "
                      "limited, as by ulimit -v?)\n"),
                   kProgram, command->name());
    } catch (const std::system_error& e) {
      std::fprintf(io.err, tr("%s %s: the system refused what the command needed: %s\n"), kProgram,
                   command->name(), e.code().message().c_str());
    }
    return kExitIoError;
  }
  return usage_error(io, "", tr("a command is needed"));
}

}  // namespace quorvex::cli
