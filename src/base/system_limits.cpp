#include "base/system_limits.h"

#include <climits>

#ifdef _WIN32

namespace quorvex {

// Sockets and files on Windows are handles, which no per-process limit of this kind counts; nor
// does one count threads or address space.
void raise_open_file_limit() {}
int free_descriptors() { return INT_MAX; }
int room_for_threads(std::size_t) { return INT_MAX; }

}  // namespace quorvex

#else

#include <dirent.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quorvex {

void raise_open_file_limit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }
#ifdef __GLIBC__
  // glibc reserves 64 MiB of address space for the heap of each thread that allocates; under a
  // limit such as ulimit -v a few probe threads would use it all up and every allocation after
  // would fail. One heap for all is a little slower and fits.
  rlimit space{};
  if (::getrlimit(RLIMIT_AS, &space) == 0 && space.rlim_cur != RLIM_INFINITY)
    ::mallopt(M_ARENA_MAX, 1);
#endif
}

namespace {

// Descriptors open now; -1 when the system does not list them.
int open_descriptors() {
  DIR* dir = ::opendir("/proc/self/fd");
  if (!dir) return -1;
  int count = 0;
  while (const dirent* entry = ::readdir(dir))
    if (entry->d_name[0] != '.') ++count;
  ::closedir(dir);
  return count - 1;  // the listing's own
}

}  // namespace

int free_descriptors() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return INT_MAX;
  const long long soft = static_cast<long long>(std::min<rlim_t>(limit.rlim_cur, INT_MAX));
  const int open = open_descriptors();
  // Without a listing, a generous guess at what a program of this kind holds.
  return static_cast<int>(std::max(0LL, soft - (open < 0 ? 64 : open)));
}

namespace {

// A number from a "Name:  value" line of /proc/self/status (VmSize in KiB, Threads); -1 when the
// system has no such file.
long long status_value(const char* name) {
  std::FILE* file = std::fopen("/proc/self/status", "re");
  if (!file) return -1;
  char line[256];
  long long value = -1;
  const std::size_t length = std::strlen(name);
  while (std::fgets(line, sizeof line, file)) {
    if (std::strncmp(line, name, length) == 0 && line[length] == ':') {
      value = std::atoll(line + length + 1);
      break;
    }
  }
  std::fclose(file);
  return value;
}

}  // namespace

int room_for_threads(std::size_t heap_each) {
  long long room = INT_MAX;
  rlimit space{};
  if (::getrlimit(RLIMIT_AS, &space) == 0 && space.rlim_cur != RLIM_INFINITY) {
    rlimit stack{};
    // A thread's stack is the size this limit names (glibc's default), 2 MiB where it is unset.
    const long long stack_bytes =
        ::getrlimit(RLIMIT_STACK, &stack) == 0 && stack.rlim_cur != RLIM_INFINITY
            ? static_cast<long long>(stack.rlim_cur)
            : 2LL << 20;
    const long long used_kib = status_value("VmSize");
    // Room kept for everything else: the list, the output, the store.
    constexpr long long kHeadroom = 64LL << 20;
    const long long left =
        static_cast<long long>(space.rlim_cur) - (used_kib < 0 ? 0 : used_kib * 1024) - kHeadroom;
    room = std::min(room, std::max(0LL, left) / (stack_bytes + static_cast<long long>(heap_each)));
  }
  rlimit processes{};
  // The limit on processes binds everyone but the superuser.
  if (::geteuid() != 0 && ::getrlimit(RLIMIT_NPROC, &processes) == 0 &&
      processes.rlim_cur != RLIM_INFINITY) {
    const long long threads = status_value("Threads");
    room = std::min(room, std::max(0LL, static_cast<long long>(processes.rlim_cur) -
                                            (threads < 0 ? 1 : threads)));
  }
  return static_cast<int>(room);
}

}  // namespace quorvex

#endif
