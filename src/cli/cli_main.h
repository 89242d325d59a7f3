// The command-line front end: one subcommand per capability, over the same core as the window.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace quorvex::cli {

// Runs the command line `args` (without the program name). Output goes to out, progress and
// errors to err; "-" as input reads in. Returns the exit code: 0 success, 1 file or I/O error,
// 2 wrong usage.
int run(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err);

}  // namespace quorvex::cli
