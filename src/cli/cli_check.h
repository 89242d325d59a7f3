// The check subcommand: the window's check run, driven from the command line.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace quorvex::cli {

inline constexpr const char* kCheckHelp =
    "usage: quorvex-cli check [--typeset] [--threads N] [--json] [--export DIR] [FILE|-]\n"
    "\n"
    "Loads the rows and checks every link with the window's scheduler and probes, showing the\n"
    "progress on standard error. Then prints the rows with their verdicts (x invalid, \xE2\x88\x9A "
    "valid)\n"
    "and the three summary lines.\n"
    "\n"
    "  --typeset     typeset the text first\n"
    "  --threads N   links checked at the same time (default: the window's saved thread\n"
    "                count, else 10)\n"
    "  --json        one JSON object per row (name, link, code, status, done); the summary\n"
    "                lines then go to standard error\n"
    "  --export DIR  also write the export file of valid links into DIR\n";

struct CheckOptions {
  bool json = false;
  std::optional<std::string> threads;
  std::optional<std::string> export_dir;
};

int run_check(std::string text, const CheckOptions& options, std::FILE* out, std::FILE* err);

}  // namespace quorvex::cli
