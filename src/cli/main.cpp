#include <string>
#include <vector>

#include "base/platform.h"
#include "base/system_limits.h"
#include "cli/cli_main.h"

int main(int argc, char** argv) {
  quorvex::raise_open_file_limit();
  quorvex::prepare_standard_streams();
  const std::vector<std::string> args = quorvex::program_arguments(argc, argv);
  // Every command waits for the threads it started, so the program simply returns.
  return quorvex::cli::run(args, stdin, stdout, stderr);
}
