#include <cstdio>
#include <string>
#include <vector>

#include "base/worker_threads.h"
#include "cli/cli_main.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const int rc = quorvex::cli::run(args, stdin, stdout, stderr);
  std::fflush(stdout);
  std::fflush(stderr);
  // Probe threads are never joined; leave without running destructors under them.
  if (quorvex::live_workers() > 0) std::_Exit(rc);
  return rc;
}
