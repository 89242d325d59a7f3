// The command line as a process of its own, stopped from outside: killed at any moment, or asked
// to stop with Ctrl+C. Its verdict store must survive both.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "store/verdict_store.h"
#include "support/scratch_dir.h"
#include "support/share_service.h"

namespace quorvex {
namespace {

using namespace std::chrono_literals;

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// What a child is started with beyond its words: limits the system puts on it, who it runs as,
// where its standard output goes.
struct ChildSetup {
  int open_files = 0;            // above 0: the soft and hard limit on open files
  long long address_space = 0;   // above 0: bytes of address space (ulimit -v)
  long long file_size = 0;       // above 0: the largest file it may write (ulimit -f)
  int processes = 0;             // above 0: processes and threads of its user (ulimit -u)
  bool as_nobody = false;        // runs as the user nobody when the tests run as root
  int out_fd = -1;               // standard output; -1: the out file
  std::vector<std::string> env;  // more variables
};

ChildSetup with_open_files(int open_files) {
  ChildSetup setup;
  setup.open_files = open_files;
  return setup;
}

// quorvex-cli check --json over `input`, reaching `service`, writing into `store`.
class CliProcess {
 public:
  // `open_files`: when above 0, the child's soft and hard limit on open files.
  CliProcess(const test::ShareService& service, const std::string& dir, const std::string& input,
             const std::string& store, std::vector<std::string> extra = {}, int open_files = 0)
      : CliProcess(service, dir, input, store, std::move(extra), with_open_files(open_files)) {}
  CliProcess(const test::ShareService& service, const std::string& dir, const std::string& input,
             const std::string& store, std::vector<std::string> extra, const ChildSetup& setup) {
    out_ = dir + "/out.txt";
    err_ = dir + "/err.txt";
    std::vector<std::string> args = {QUORVEX_CLI_PATH, "check", "--json", "--store", store};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(input);
    std::vector<std::string> env = {"QUORVEX_CONNECT_TO=" + service.connect_to(),
                                    "QUORVEX_CA_FILE=" + test::test_ca_file(), "HOME=" + dir};
    env.insert(env.end(), setup.env.begin(), setup.env.end());
    // A sanitized build's child needs the run's sanitizer settings (its suppressions above all).
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"})
      if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    // Everything the child needs is made before the fork: after it, only system calls.
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const int out =
        setup.out_fd >= 0 ? setup.out_fd : ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool root = ::geteuid() == 0;
    pid_ = ::fork();
    if (pid_ == 0) {
      auto limit = [](int resource, long long value) {
        const rlimit l{static_cast<rlim_t>(value), static_cast<rlim_t>(value)};
        ::setrlimit(resource, &l);
      };
      if (setup.open_files > 0) limit(RLIMIT_NOFILE, setup.open_files);
      if (setup.address_space > 0) limit(RLIMIT_AS, setup.address_space);
      if (setup.file_size > 0) {
        limit(RLIMIT_FSIZE, setup.file_size);
        // A write beyond it then fails as on a full disk, instead of ending the program.
        ::signal(SIGXFSZ, SIG_IGN);
      }
      if (setup.as_nobody && root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(126);
      if (setup.processes > 0) limit(RLIMIT_NPROC, setup.processes);
      ::dup2(out, 1);
      ::dup2(err, 2);
      ::execve(argv[0], argv.data(), envp.data());
      ::_exit(127);
    }
    if (setup.out_fd < 0) ::close(out);
    ::close(err);
  }
  void signal(int sig) const { ::kill(pid_, sig); }
  // The exit code, or -signal when a signal ended it; waits at most `limit`.
  int wait(std::chrono::milliseconds limit = 30s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    rusage usage{};
    while (::wait4(pid_, &status, WNOHANG, &usage) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        return -1000;
      }
      std::this_thread::sleep_for(5ms);
    }
    max_rss_kb_ = usage.ru_maxrss;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  }
  // The child's peak resident memory, once waited for.
  long max_rss_kb() const { return max_rss_kb_; }
  std::string out() const { return read_file(out_); }
  std::string err() const { return read_file(err_); }

 private:
  pid_t pid_ = -1;
  long max_rss_kb_ = 0;
  std::string out_, err_;
};

std::string integrity(const std::string& store) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(store.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return "cannot open";
  }
  sqlite3_stmt* stmt = nullptr;
  std::string result = "no answer";
  if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW)
    result = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return result;
}

// The share IDs of the printed rows that have a verdict, with it.
std::vector<std::pair<std::string, std::string>> printed_verdicts(const std::string& out) {
  std::vector<std::pair<std::string, std::string>> found;
  std::size_t at = 0;
  while ((at = out.find("\"link\":\"https://pan.baidu.com/s/", at)) != std::string::npos) {
    at += 32;
    const std::string id = out.substr(at, out.find('"', at) - at);
    const std::size_t v = out.find("\"verdict\":", at);
    if (v == std::string::npos) break;
    if (out.compare(v + 10, 4, "null") != 0) {
      const std::size_t start = v + 11;
      found.emplace_back(id, out.substr(start, out.find('"', start) - start));
    }
  }
  return found;
}

void expect_printed_verdicts_stored(const std::string& out, const std::string& store) {
  const auto printed = printed_verdicts(out);
  auto opened = VerdictStore::open(store);
  ASSERT_TRUE(opened.store) << opened.message;
  std::vector<std::string> ids;
  for (const auto& p : printed) ids.push_back(p.first);
  const auto stored = opened.store->latest(ids);
  for (std::size_t i = 0; i < printed.size(); ++i) {
    ASSERT_TRUE(stored[i]) << printed[i].first << " was printed but is not in the store";
    EXPECT_EQ(verdict_code(stored[i]->verdict), printed[i].second) << printed[i].first;
  }
}

TEST(CliProcess, KilledAtAnyMomentTheStoreOpensCleanlyAndHoldsWhatWasPrinted) {
  test::ShareService service;
  const test::ScratchDir dir;
  const std::string input = (dir.path() / "list.txt").string();
  {
    std::ofstream list(input, std::ios::binary);
    for (int i = 0; i < 25; ++i)
      list << "r" << i << " " << test::ShareService::link("public-" + std::to_string(i)) << "\r\n";
  }
  std::mt19937 rng(7);
  int completed = 0;
  for (int round = 0; round < 100; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // A new store now and then, so that kills meet a store being made as well as a full one.
    const std::string store =
        (dir.path() / ("store" + std::to_string(round / 10) + ".sqlite")).string();
    CliProcess cli(service, dir.path().string(), input, store, {"--fresh", "--threads", "8"});
    std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 700));
    cli.signal(SIGKILL);
    const int code = cli.wait();
    ASSERT_NE(code, -1000);
    if (code >= 0) ++completed;
    // Rows are printed as their verdicts land, each only once it is in the store: whatever a
    // killed run got out (its last line may be cut) is there.
    const std::string out = cli.out();
    expect_printed_verdicts_stored(out.substr(0, out.rfind('\n') + 1), store);
    ASSERT_EQ(integrity(store), "ok");
    const auto opened = VerdictStore::open(store);
    ASSERT_TRUE(opened.store);
    EXPECT_EQ(opened.message, "");
  }
  // The kills fell at every stage: some runs finished first, most did not.
  EXPECT_LT(completed, 100);
}

TEST(CliProcess, CtrlCStopsStartingKeepsTheVerdictsAndPrintsWhatThereIs) {
  test::ShareService service;
  const test::ScratchDir dir;
  const std::string input = (dir.path() / "list.txt").string();
  {
    std::ofstream list(input, std::ios::binary);
    for (int i = 0; i < 40; ++i)
      list << "r" << i << " " << test::ShareService::link("lag-" + std::to_string(i)) << "\r\n";
  }
  const std::string store = (dir.path() / "verdicts.sqlite").string();
  CliProcess cli(service, dir.path().string(), input, store, {"--threads", "2"});
  std::this_thread::sleep_for(1200ms);
  cli.signal(SIGINT);
  const int code = cli.wait(20s);
  EXPECT_EQ(code, 130) << cli.err();
  const std::string out = cli.out();
  const auto printed = printed_verdicts(out);
  EXPECT_GE(printed.size(), 2u);
  EXPECT_LT(printed.size(), 40u);
  EXPECT_NE(cli.err().find("stopping"), std::string::npos) << cli.err();
  EXPECT_NE(cli.err().find("checked: "), std::string::npos) << cli.err();
  expect_printed_verdicts_stored(out, store);
  // Checking the same list again goes on where it stopped: nothing decided is fetched again.
  const std::size_t requests = service.requests().size();
  CliProcess again(service, dir.path().string(), input, store, {"--threads", "8"});
  EXPECT_EQ(again.wait(60s), 0) << again.err();
  EXPECT_EQ(service.requests().size(), requests + (40 - printed.size()));
}

// A list of `count` rows of the stand-in share `state-i`.
std::string write_list(const test::ScratchDir& dir, const std::string& state, int count) {
  const std::string input = (dir.path() / "list.txt").string();
  std::ofstream list(input, std::ios::binary);
  for (int i = 0; i < count; ++i)
    list << "r" << i << " " << test::ShareService::link(state + "-" + std::to_string(i)) << "\r\n";
  return input;
}

// SIGTERM and SIGHUP end a run as Ctrl+C does: what was decided is printed and stored, with the
// summary so far, and the exit status names the signal.
TEST(CliProcess, TerminationSignalsPrintTheVerdictsSoFar) {
  for (const int sig : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(sig);
    test::ShareService service;
    const test::ScratchDir dir;
    const std::string input = write_list(dir, "lag", 40);
    const std::string store = (dir.path() / "verdicts.sqlite").string();
    CliProcess cli(service, dir.path().string(), input, store, {"--threads", "2"});
    std::this_thread::sleep_for(1200ms);
    cli.signal(sig);
    EXPECT_EQ(cli.wait(20s), 128 + sig) << cli.err();
    const std::string out = cli.out();
    const auto printed = printed_verdicts(out);
    EXPECT_GE(printed.size(), 2u);
    EXPECT_LT(printed.size(), 40u);
    EXPECT_NE(out.find("{\"summary\":{\"total\":40,"), std::string::npos) << out;
    // Stopped, with the rows it never reached counted.
    const std::string unchecked =
        "\"unchecked\":" + std::to_string(40 - printed.size()) + ",\"stopped\":true}}";
    EXPECT_NE(out.find(unchecked), std::string::npos) << out;
    expect_printed_verdicts_stored(out, store);
  }
}

// A probe that cannot have a descriptor tells nothing about the link: with the open-file limit
// at 256 and 500 threads asked for, every live link still comes out live.
TEST(CliProcess, AFewOpenFilesAndManyThreadsNeverMakeALiveLinkInvalid) {
  test::ShareService service;
  const test::ScratchDir dir;
  const std::string input = write_list(dir, "lag", 334);
  const std::string store = (dir.path() / "verdicts.sqlite").string();
  CliProcess cli(service, dir.path().string(), input, store, {"--threads", "500"}, 256);
  EXPECT_EQ(cli.wait(120s), 0) << cli.err();
  const auto printed = printed_verdicts(cli.out());
  ASSERT_EQ(printed.size(), 334u);
  for (const auto& [share, verdict] : printed) EXPECT_EQ(verdict, "valid") << share;
  EXPECT_NE(cli.err().find("limits (open files, memory, threads) allow"), std::string::npos)
      << cli.err();
}

// Many probes receiving bodies far over the cap at once: each body stops at the cap (unknown,
// too large) and the process stays within a fixed memory budget whatever the thread count.
TEST(CliProcess, ManyHugeBodiesAtOnceStayWithinTheMemoryBudget) {
  test::ShareService service;
  const test::ScratchDir dir;
  const std::string input = write_list(dir, "huge", 120);
  const std::string store = (dir.path() / "verdicts.sqlite").string();
  CliProcess cli(service, dir.path().string(), input, store, {"--threads", "120"});
  EXPECT_EQ(cli.wait(120s), 4) << cli.err();
  // A sanitizer's shadow memory and quarantine are no measure of the program's own.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  EXPECT_LE(cli.max_rss_kb(), 256 * 1024);
#endif
  const std::string out = cli.out();
  std::size_t too_large = 0;
  for (std::size_t at = 0; (at = out.find("\"reason\":\"too_large\"", at)) != std::string::npos;
       ++at)
    ++too_large;
  EXPECT_EQ(too_large, 120u);
}

// A reader that goes away (| head) ends the run as SIGPIPE would: no more probes, no complaint,
// the conventional exit.
TEST(CliProcess, AReaderThatGoesAwayEndsTheRunQuietly) {
  test::ShareService service;
  const test::ScratchDir dir;
  const std::string input = write_list(dir, "lag", 200);
  const std::string store = (dir.path() / "verdicts.sqlite").string();
  int pipe_ends[2];
  // Neither end may stay open in the child but as its standard output.
  ASSERT_EQ(::pipe2(pipe_ends, O_CLOEXEC), 0);
  ChildSetup setup;
  setup.out_fd = pipe_ends[1];
  CliProcess cli(service, dir.path().string(), input, store, {"--threads", "4"}, setup);
  ::close(pipe_ends[1]);
  // Reads the first line, as head -1 does, and goes.
  char c = 0;
  while (::read(pipe_ends[0], &c, 1) == 1 && c != '\n') {
  }
  ::close(pipe_ends[0]);
  EXPECT_EQ(cli.wait(30s), 141) << cli.err();
  EXPECT_EQ(cli.err().find("cannot write"), std::string::npos) << cli.err();
  EXPECT_LT(service.requests().size(), 100u);
}

// An output file that cannot be written whole (a full disk, here a limit on file sizes) is
// removed rather than left half written, and the run says why.
TEST(CliProcess, AnOutputFileThatCannotBeWrittenWholeIsRemoved) {
  test::ShareService service;
  const test::ScratchDir dir;
  const std::string input = write_list(dir, "public", 60);
  const std::string output = (dir.path() / "rows.json").string();
  ChildSetup setup;
  setup.file_size = 4000;
  CliProcess cli(service, dir.path().string(), input, (dir.path() / "no-store").string(),
                 {"--threads", "8", "-o", output}, setup);
  EXPECT_EQ(cli.wait(60s), 1) << cli.err();
  EXPECT_NE(cli.err().find("cannot write the output"), std::string::npos) << cli.err();
  EXPECT_FALSE(std::filesystem::exists(output));
}

// Ctrl+C is honoured from the start: while a large list is read and loaded no check begins, and
// the command ends at once, saying it was stopped. Signals at several moments of the load.
TEST(CliProcess, CtrlCWhileALargeListLoadsEndsBeforeAnyCheck) {
  test::ShareService service;
  const test::ScratchDir dir;
  const std::string input = write_list(dir, "lag", 600'000);
  const int null_out = ::open("/dev/null", O_WRONLY);
  for (const auto after : {10ms, 80ms, 250ms}) {
    SCOPED_TRACE(after.count());
    ChildSetup setup;
    setup.out_fd = null_out;
    CliProcess cli(service, dir.path().string(), input, (dir.path() / "v.sqlite").string(),
                   {"--threads", "4"}, setup);
    std::this_thread::sleep_for(after);
    cli.signal(SIGINT);
    // Stopped by its handler, or, when the signal came before the program could set one,
    // ended by the signal itself.
    const int code = cli.wait(60s);
    EXPECT_TRUE(code == 130 || code == -SIGINT) << code << "\n" << cli.err();
  }
  ::close(null_out);
  // The load took longer than the last signal, so no check ever began.
  EXPECT_LT(service.requests().size(), 20u);
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Limits the system puts on the program are errors with a word and an exit code, never an abort:
// a small address space (ulimit -v) and few threads (ulimit -u). A sanitizer's own shadow memory
// does not fit such limits, so these run only without one.
TEST(CliProcess, SystemLimitsAreErrorsNeverAborts) {
  test::ShareService service;
  const test::ScratchDir dir;
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  const std::string input = write_list(dir, "public", 300);
  std::filesystem::permissions(input, std::filesystem::perms::all);
  for (const long long mib : {400LL, 120LL, 60LL, 40LL}) {
    SCOPED_TRACE(mib);
    ChildSetup setup;
    setup.address_space = mib << 20;
    const std::string store = (dir.path() / ("as" + std::to_string(mib))).string();
    CliProcess cli(service, dir.path().string(), input, store, {"--threads", "50"}, setup);
    const int code = cli.wait(120s);
    EXPECT_TRUE(code == 0 || code == 1) << code << "\n" << cli.err();
    if (code == 1) {
      EXPECT_NE(cli.err().find("quorvex-cli"), std::string::npos) << cli.err();
    }
    EXPECT_EQ(cli.err().find("terminate called"), std::string::npos) << cli.err();
  }
  // As a user whom the limit on processes binds (root is exempt from it).
  for (const int processes : {2, 12}) {
    SCOPED_TRACE(processes);
    ChildSetup setup;
    setup.processes = processes;
    setup.as_nobody = true;
    const std::string store = (dir.path() / ("nproc" + std::to_string(processes))).string();
    CliProcess cli(service, dir.path().string(), input, store, {"--threads", "50", "--insecure"},
                   setup);
    const int code = cli.wait(120s);
    EXPECT_TRUE(code == 0 || code == 1) << code << "\n" << cli.err();
    if (code == 1) {
      EXPECT_NE(cli.err().find("thread"), std::string::npos) << cli.err();
    }
  }
}
#endif

}  // namespace
}  // namespace quorvex
