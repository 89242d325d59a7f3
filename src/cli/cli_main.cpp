#include "cli/cli_main.h"

#include <unistd.h>

#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "base/charset.h"
#include "cli/cli_check.h"
#include "cli/cli_output.h"
#include "session/session.h"
#include "text/file_input.h"
#include "text/link_loader.h"
#include "text/typeset.h"

namespace quorvex::cli {

namespace {

constexpr const char* kTopHelp =
    "usage: quorvex-cli <command> [options] [FILE|-]\n"
    "\n"
    "Checks netdisk share links in bulk, as the Quorvex window does.\n"
    "\n"
    "commands:\n"
    "  typeset   lay forum text out into one line per link\n"
    "  rows      show the rows a load of the text produces\n"
    "  check     load the rows and check every link\n"
    "\n"
    "FILE is read as a dropped file is (UTF-8, UTF-16 with a byte-order mark, or GBK);\n"
    "'-' or no FILE reads standard input. Run 'quorvex-cli <command> --help' for options.\n";

constexpr const char* kTypesetHelp =
    "usage: quorvex-cli typeset [--gbk] [FILE|-]\n"
    "\n"
    "Prints the typeset text, byte for byte what the window's source text holds after\n"
    "typesetting: one line per link line, CR LF line ends.\n"
    "\n"
    "  --gbk    print the raw GBK bytes instead of UTF-8\n";

constexpr const char* kRowsHelp =
    "usage: quorvex-cli rows [--typeset] [--json] [--gbk] [FILE|-]\n"
    "\n"
    "Prints the rows a load of the text produces (name, link, code, status, done).\n"
    "\n"
    "  --typeset  typeset the text first, as the window's 重新排版 button does\n"
    "  --json     one JSON object per row with the keys name, link, code, status, done\n"
    "  --gbk      print the raw GBK bytes instead of UTF-8 (not with --json)\n";

struct Options {
  bool help = false;
  bool gbk = false;
  bool json = false;
  bool typeset = false;
  std::optional<std::string> threads;
  std::optional<std::string> export_dir;
  std::string input = "-";
};

// Parses the options a subcommand allows; an error message when the words are off.
std::optional<std::string> parse(const std::vector<std::string>& args, std::string_view allowed,
                                 Options& opt) {
  bool have_input = false;
  auto allows = [&](std::string_view flag) {
    return allowed.find(std::string(flag) + " ") != std::string_view::npos;
  };
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string value;
    std::string flag = a;
    const auto eq = a.find('=');
    if (a.rfind("--", 0) == 0 && eq != std::string::npos) {
      flag = a.substr(0, eq);
      value = a.substr(eq + 1);
    }
    if (flag == "--help" || flag == "-h") {
      opt.help = true;
    } else if ((flag == "--threads" || flag == "--export") && allows(flag)) {
      if (eq == std::string::npos) {
        if (i + 1 >= args.size()) return flag + " needs a value";
        value = args[++i];
      }
      (flag == "--threads" ? opt.threads : opt.export_dir) = value;
    } else if (a.rfind("--", 0) == 0 && allows(a)) {
      if (a == "--gbk") opt.gbk = true;
      if (a == "--json") opt.json = true;
      if (a == "--typeset") opt.typeset = true;
    } else if (a.size() > 1 && a[0] == '-') {
      return "unknown option " + a;
    } else if (have_input) {
      return "only one input file may be given";
    } else {
      opt.input = a;
      have_input = true;
    }
  }
  return std::nullopt;
}

int usage_error(std::FILE* err, const std::string& command, const std::string& message) {
  std::fprintf(err, "quorvex-cli%s%s: %s\nTry 'quorvex-cli%s%s --help'.\n",
               command.empty() ? "" : " ", command.c_str(), message.c_str(),
               command.empty() ? "" : " ", command.c_str());
  return 2;
}

// Reads the input as a dropped file is read; prints the reason and returns false on failure.
bool read_source(const std::string& path, std::FILE* in, std::FILE* err, std::string& text) {
  const InputFile file = path == "-" ? read_input_stream(in) : read_input_file(path);
  if (file.status == InputFile::Status::ok) {
    text = file.text;
    return true;
  }
  const std::string shown = path == "-" ? "standard input" : path;
  switch (file.status) {
    case InputFile::Status::too_large:
      std::fprintf(err,
                   "quorvex-cli: %s: file is larger than %zu MiB; split it into smaller files\n",
                   shown.c_str(), kMaxInputBytes >> 20);
      break;
    case InputFile::Status::not_a_file:
      std::fprintf(err, "quorvex-cli: %s: is a folder, not a text file\n", shown.c_str());
      break;
    default:
      std::fprintf(err, "quorvex-cli: %s: cannot read: %s\n", shown.c_str(), file.reason.c_str());
  }
  return false;
}

}  // namespace

int run(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err) {
  if (args.empty()) return usage_error(err, "", "a command is needed (typeset, rows or check)");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kTopHelp, out);
    return 0;
  }
  Options opt;
  std::string allowed;
  const char* help = nullptr;
  if (command == "typeset") {
    allowed = "--gbk ";
    help = kTypesetHelp;
  } else if (command == "rows") {
    allowed = "--gbk --json --typeset ";
    help = kRowsHelp;
  } else if (command == "check") {
    allowed = "--typeset --json --threads --export ";
    help = kCheckHelp;
  } else {
    return usage_error(err, "", "unknown command '" + command + "'");
  }
  if (auto problem = parse(args, allowed, opt)) return usage_error(err, command, *problem);
  if (opt.help) {
    std::fputs(help, out);
    return 0;
  }
  if (opt.json && opt.gbk)
    return usage_error(err, command, "--json output is always UTF-8; drop --gbk");

  std::string text;
  if (!read_source(opt.input, in, err, text)) return 1;

  if (command == "typeset") {
    const std::string typeset = typeset_share_text(text);
    return write_text(out, err, opt.gbk ? typeset : gbk_to_utf8(typeset)) ? 0 : 1;
  }
  if (opt.typeset) text = typeset_share_text(text);
  if (command == "rows") {
    auto session = std::make_shared<Session>();
    session->set_source_text(std::move(text));
    session->reset_run_state();
    session->wait_for_loads();
    const bool ok = opt.json ? write_rows_json(out, *session->table())
                             : write_rows_table(out, *session->table(), opt.gbk);
    return finish_output(out, err, ok);
  }
  CheckOptions check;
  check.json = opt.json;
  check.threads = opt.threads;
  check.export_dir = opt.export_dir;
  return run_check(std::move(text), check, out, err);
}

}  // namespace quorvex::cli
