// Threads that are joined, never detached. A group starts workers, joins the ones that have
// returned, and at the end waits for the rest up to a deadline.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace quorvex {

class WorkerGroup {
 public:
  // Makes the thread for a worker; nullopt when the system refuses one. Tests pass their own to
  // play a system that is out of threads.
  using Spawn = std::function<std::optional<std::thread>(std::function<void()>)>;
  static std::optional<std::thread> spawn_thread(std::function<void()> body);

  explicit WorkerGroup(Spawn spawn = {});
  // Joins the workers that have returned. One still running at this point (its owner's deadline
  // passed) is let go: what it uses it holds through shared pointers, and it ends on its own.
  ~WorkerGroup();
  WorkerGroup(const WorkerGroup&) = delete;
  WorkerGroup& operator=(const WorkerGroup&) = delete;

  // Runs fn on a new thread; false when no thread could be had.
  bool start(std::function<void()> fn);
  // Joins the workers that have returned since the last look.
  void reap();
  // Waits until every worker has returned or the deadline has passed, then joins those that have
  // returned. True when none is left.
  bool join_all(std::chrono::steady_clock::time_point deadline);
  int live() const;

  // Workers of every group in the process that have not returned yet.
  static int live_in_process();

 private:
  struct State;
  Spawn spawn_;
  std::shared_ptr<State> state_;
};

}  // namespace quorvex
