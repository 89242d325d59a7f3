#include "base/system_limits.h"

#include <climits>

#ifdef _WIN32

namespace quorvex {

// Sockets and files on Windows are handles, which no per-process limit of this kind counts.
void raise_open_file_limit() {}
int free_descriptors() { return INT_MAX; }

}  // namespace quorvex

#else

#include <dirent.h>
#include <sys/resource.h>

#include <algorithm>

namespace quorvex {

void raise_open_file_limit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &limit);
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

}  // namespace quorvex

#endif
