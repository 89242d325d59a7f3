// Loading a file into the list as the window and the command line do (read, decode, cut into
// rows, make the check run ready), in a child process per case so that each peak of resident
// memory is its own: time, MB/s and peak memory as a multiple of the file.
//   load_bench [MB]            files of MB megabytes (default 200) in /tmp, removed afterwards
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "session/session.h"
#include "text/file_input.h"

namespace {

struct Case {
  const char* name;
  std::string line;
};

// Loads `path` and reports on the pipe: seconds, rows.
int load(const std::string& path, int out) {
  const auto start = std::chrono::steady_clock::now();
  quorvex::InputFile file = quorvex::read_input_file(path);
  if (file.status != quorvex::InputFile::Status::ok) return 1;
  quorvex::Session session;
  session.set_source_text(std::move(file.text));
  session.reset_run_state();
  session.wait_for_loads();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const int rows = session.table()->row_count();
  char line[64];
  const int n = std::snprintf(line, sizeof line, "%.3f %d\n", seconds, rows);
  return ::write(out, line, static_cast<std::size_t>(n)) == n ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const double mb = argc > 1 ? std::atof(argv[1]) : 200;
  const auto bytes = static_cast<std::size_t>(mb * 1e6);
  const std::vector<Case> cases = {
      {"two-byte lines (a LF)", "a\n"},
      {"three-byte lines (a CR LF)", "a\r\n"},
      {"share lines", ""},  // each its own share
  };
  std::printf("%-28s %8s %10s %9s %10s %8s\n", "file", "MB", "rows", "seconds", "MB/s", "peak/x");
  for (const Case& c : cases) {
    const std::string path = "/tmp/quorvex_load_bench.txt";
    {
      std::FILE* f = std::fopen(path.c_str(), "wb");
      if (!f) return 1;
      std::size_t written = 0;
      if (!c.line.empty()) {
        std::string block;
        while (block.size() < (1 << 20)) block += c.line;
        while (written + block.size() <= bytes)
          written += std::fwrite(block.data(), 1, block.size(), f);
        for (; written + c.line.size() <= bytes; written += c.line.size())
          std::fwrite(c.line.data(), 1, c.line.size(), f);
      } else {
        char line[96];
        for (long i = 0;; ++i) {
          const int n = std::snprintf(line, sizeof line,
                                      "name%ld https://pan.baidu.com/s/1AbCdEf%09ld code%ld\r\n", i,
                                      i, i % 10000);
          if (written + static_cast<std::size_t>(n) > bytes) break;
          written += std::fwrite(line, 1, static_cast<std::size_t>(n), f);
        }
      }
      std::fclose(f);
    }
    const double size = static_cast<double>(bytes);
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) return 1;
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(pipe_ends[0]);
      ::_exit(load(path, pipe_ends[1]));
    }
    ::close(pipe_ends[1]);
    char buf[64] = {};
    const ssize_t got = ::read(pipe_ends[0], buf, sizeof buf - 1);
    ::close(pipe_ends[0]);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    std::remove(path.c_str());
    double seconds = 0;
    int rows = 0;
    if (got <= 0 || std::sscanf(buf, "%lf %d", &seconds, &rows) != 2) {
      std::printf("%-28s failed\n", c.name);
      continue;
    }
    const double peak = static_cast<double>(usage.ru_maxrss) * 1024;
    std::printf("%-28s %8.0f %10d %9.2f %10.0f %8.2f\n", c.name, size / 1e6, rows, seconds,
                size / 1e6 / seconds, peak / size);
  }
  return 0;
}
