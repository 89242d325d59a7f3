#include "base/worker_group.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <system_error>
#include <vector>

namespace quorvex {

namespace {
std::atomic<int> g_live{0};
}

struct WorkerGroup::State {
  std::mutex mutex;
  std::condition_variable changed;
  std::map<std::uint64_t, std::thread> threads;  // started and not joined yet
  std::vector<std::uint64_t> returned;           // ids whose body has returned
  std::uint64_t next_id = 0;
  int live = 0;
};

std::optional<std::thread> WorkerGroup::spawn_thread(std::function<void()> body) {
  try {
    return std::thread(std::move(body));
  } catch (const std::system_error&) {
    return std::nullopt;
  }
}

WorkerGroup::WorkerGroup(Spawn spawn)
    : spawn_(spawn ? std::move(spawn) : Spawn(&WorkerGroup::spawn_thread)),
      state_(std::make_shared<State>()) {}

WorkerGroup::~WorkerGroup() {
  reap();
  std::lock_guard lock(state_->mutex);
  for (auto& [id, thread] : state_->threads) thread.detach();
  state_->threads.clear();
}

bool WorkerGroup::start(std::function<void()> fn) {
  std::uint64_t id;
  {
    std::lock_guard lock(state_->mutex);
    id = state_->next_id++;
    ++state_->live;
  }
  g_live.fetch_add(1, std::memory_order_acq_rel);
  std::optional<std::thread> thread = spawn_([state = state_, id, fn = std::move(fn)] {
    fn();
    g_live.fetch_sub(1, std::memory_order_acq_rel);
    std::lock_guard lock(state->mutex);
    state->returned.push_back(id);
    --state->live;
    state->changed.notify_all();
  });
  std::lock_guard lock(state_->mutex);
  if (!thread) {
    --state_->live;
    g_live.fetch_sub(1, std::memory_order_acq_rel);
    return false;
  }
  state_->threads.emplace(id, std::move(*thread));
  return true;
}

void WorkerGroup::reap() {
  std::vector<std::thread> done;
  {
    std::lock_guard lock(state_->mutex);
    std::vector<std::uint64_t> not_yet_kept;
    for (const std::uint64_t id : state_->returned) {
      const auto it = state_->threads.find(id);
      // A worker can return before start() has filed its thread; it is joined next time.
      if (it == state_->threads.end()) {
        not_yet_kept.push_back(id);
        continue;
      }
      done.push_back(std::move(it->second));
      state_->threads.erase(it);
    }
    state_->returned.swap(not_yet_kept);
  }
  for (std::thread& t : done) t.join();
}

bool WorkerGroup::join_all(std::chrono::steady_clock::time_point deadline) {
  bool all;
  {
    std::unique_lock lock(state_->mutex);
    all = state_->changed.wait_until(lock, deadline, [&] { return state_->live == 0; });
  }
  reap();
  return all;
}

int WorkerGroup::live() const {
  std::lock_guard lock(state_->mutex);
  return state_->live;
}

int WorkerGroup::live_in_process() { return g_live.load(std::memory_order_acquire); }

}  // namespace quorvex
