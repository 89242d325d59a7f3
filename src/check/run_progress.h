// How far a check run has come, as data: each front end makes its own title, progress line or
// status text out of it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "model/verdict.h"

namespace quorvex {

enum class RunState : std::uint8_t {
  idle,              // not started
  waiting_for_list,  // started while a load still fills the list
  running,
  cooling_down,  // the share service throttles: no probe starts until the cool-down ends
  finished,      // every row it was asked for has its verdict
  cancelled,
};

struct RunSnapshot {
  RunState state = RunState::idle;
  int total = 0;     // rows in the list (0 until the list is complete)
  int started = 0;   // rows whose probe has started, each counted once
  int finished = 0;  // rows with a verdict
  int running = 0;   // probes under way
  // Rows counted in the summary (all with a share address), and how they came out; checked is
  // valid + invalid + unknown.
  int checked = 0;
  int valid = 0;
  int invalid = 0;
  int unknown = 0;
  int not_share_link = 0;  // rows that hold no share address: "x", never fetched, counted nowhere
  // Rows with a verdict whose share an earlier row holds too: fetched once, through that row,
  // and given its verdict; counted like any other row.
  int repeats = 0;
  int requests = 0;   // fetches sent, retries and rows queued again included
  int cooldowns = 0;  // pauses for the service's throttling
  std::chrono::milliseconds cooldown_left{0};
  // Probes allowed at once by this system's limits on open files, address space and threads (0
  // before the run starts).
  int system_cap = 0;
  // The system refused every thread or connection for a long while, or memory the run itself
  // needed: the run stopped, with the rows it had not reached left without a verdict.
  bool stalled = false;
  // The service throttled without one ordinary answer for the run's bound (give_up_after): the
  // rows it had not decided ended unknown.
  bool gave_up = false;
  // A stop was asked for (CheckRun::drain): no probe starts any more; the run ends with the
  // probes under way.
  bool draining = false;
  // What the system refused last (a thread, a descriptor, memory), in its own words; empty while
  // it refuses nothing.
  std::string refusal;

  bool active() const {
    return state == RunState::waiting_for_list || state == RunState::running ||
           state == RunState::cooling_down;
  }
};

// Adds a decided row to the counts (sign 1) or takes it back out (sign -1): every decided row is
// finished; a row with a share address (`counted`) is checked and counted by its verdict, one
// without counts as not_share_link; a repeat counts as a repeat besides.
inline void count_verdict(RunSnapshot& c, Verdict verdict, bool counted, bool repeat, int sign) {
  c.finished += sign;
  if (repeat) c.repeats += sign;
  if (!counted) {
    c.not_share_link += sign;
    return;
  }
  c.checked += sign;
  if (verdict == Verdict::valid) c.valid += sign;
  if (verdict == Verdict::invalid) c.invalid += sign;
  if (verdict == Verdict::unknown) c.unknown += sign;
}

}  // namespace quorvex
