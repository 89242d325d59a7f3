// What the system allows the process: open files, address space and threads, and how much of
// them is still free.
#pragma once

#include <cstddef>

namespace quorvex {

// Raises the soft limit on open files to the hard limit, so that many probes at once do not run
// out of descriptors under the common default of 1024; under a limit on the address space, has
// every thread allocate from one heap. Call once, at start.
void raise_open_file_limit();

// Descriptors the process may still open under its soft limit (the limit less those open now);
// a large number when the system sets no limit.
int free_descriptors();

// More threads the process's own limits leave room for, each taking its stack and `heap_each`
// bytes of heap: under a limit on the address space (ulimit -v) what is left of it, under a limit
// on processes (ulimit -u, which counts threads) the threads left; a large number where neither
// is set.
int room_for_threads(std::size_t heap_each);

}  // namespace quorvex
