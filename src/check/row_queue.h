// Which row a check run takes next. Fresh rows go in list order; rows queued again (a recheck, a
// throttled row, a row whose fetch the system refused) go ahead of the fresh ones, or, when a
// probe queued them, once no fresh row is left, and only once their time has come. Not
// thread-safe: the run's lock guards it.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "check/share_chains.h"

namespace quorvex {

enum RowFlag : std::uint8_t {
  kStarted = 1,    // a probe has taken the row at least once
  kQueued = 2,     // waiting in the queue
  kInFlight = 4,   // a probe has it now
  kDecided = 8,    // it has its verdict
  kCounted = 16,   // its verdict is in the counts of the summary
  kRepeat = 32,    // an earlier row holds the same share: it takes that row's verdict, unfetched
  kNoShare = 64,   // the row holds no share address: decided when the run starts, never fetched
  kSkipped = 128,  // its service is left out of the run: never started unless checked again
};

class RowQueue {
 public:
  using Clock = std::chrono::steady_clock;

  // A new list of `chains.total` rows, none started; `chains` must outlive the queue's use. Rows of
  // services not `included` are skipped.
  void reset(const ShareChains& chains, const ServiceFlags& included = kEveryService);
  int total() const { return static_cast<int>(flags_.size()); }
  std::uint8_t& flags(int row) { return flags_[static_cast<std::size_t>(row)]; }
  std::uint8_t flags(int row) const { return flags_[static_cast<std::size_t>(row)]; }
  // Rows started, each counted once.
  int started() const { return started_; }

  // From now on every row not started yet is to be checked.
  void open_fresh() { fresh_open_ = true; }
  bool fresh_open() const { return fresh_open_; }
  // Whether the fresh rows will still reach this row by themselves.
  bool fresh_will_reach(int row) const {
    return fresh_open_ && row >= fresh_next_ && !(flags(row) & (kStarted | kSkipped));
  }

  bool has_work();

  struct Taken {
    int row;
    bool first;  // the row's first start
  };
  // The next row of a service that is `ready` at `now`, marked started and in flight; nullopt
  // when none is due. Rows queued ahead of the fresh ones come first, then the fresh ones. Each
  // service's rows keep their order, and a row queued behind the fresh ones waits only for the
  // fresh rows of its own service: a service that must wait holds up no other.
  std::optional<Taken> take(Clock::time_point now, const ServiceFlags& ready);
  // The start did not happen: the row goes back first in line, as if never taken.
  void give_back(const Taken& taken);
  // Puts a row in the queue; `after_fresh`: only once no fresh row is left.
  void push(int row, Clock::time_point not_before, bool after_fresh);
  // No row waits any more: the queue is emptied and the fresh rows are all passed.
  void drop_waiting();
  // No row of `service` waits any more; the rows given up on are returned, marked started.
  std::vector<int> drop_waiting(ShareService service);
  // A row and the later rows of its share start, or (when a start did not happen) stop being
  // started.
  void mark_started(int row, bool started);

 private:
  struct Queued {
    int row;
    Clock::time_point not_before;
    bool after_fresh;
  };
  // Moves the fresh cursor past rows taken otherwise; whether a fresh row is left.
  bool fresh_left();
  // Moves the service's fresh cursor to its next fresh row; whether there is one.
  bool fresh_left(ShareService service);
  Taken taken(int row);

  const ShareChains* chains_ = nullptr;
  std::vector<std::uint8_t> flags_;  // RowFlag bits per row
  std::deque<Queued> queue_;
  bool fresh_open_ = false;
  int fresh_next_ = 0;                                 // the first row no probe has taken yet
  std::array<int, kServiceCount> fresh_of_service_{};  // the same for each service's rows
  int started_ = 0;
};

}  // namespace quorvex
