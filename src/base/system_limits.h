// What the system allows the process: open files, and how many of them are still free.
#pragma once

namespace quorvex {

// Raises the soft limit on open files to the hard limit, so that many probes at once do not run
// out of descriptors under the common default of 1024. Call once, at start.
void raise_open_file_limit();

// Descriptors the process may still open under its soft limit (the limit less those open now);
// a large number when the system sets no limit.
int free_descriptors();

}  // namespace quorvex
