#include "app/text_jobs.h"

#include "app/main_view.h"

namespace quorvex {

TextJobs::TextJobs(MainView& view) : view_(view) {}

TextJobs::~TextJobs() {
  std::unique_lock lock(flight_->mutex);
  flight_->alive = false;
  flight_->ended.wait(lock, [&] { return !flight_->running; });
}

void TextJobs::run(Job job, Done done) {
  queue_.emplace_back(std::move(job), std::move(done));
  if (!busy_) start_next();
}

void TextJobs::start_next() {
  if (queue_.empty()) return;
  auto [job, done] = std::move(queue_.front());
  queue_.pop_front();
  busy_ = true;
  view_.run_in_background([this, flight = flight_, job = std::move(job), done = std::move(done)] {
    {
      // A job that starts after the queue has gone does nothing: what it would use is gone too.
      const std::lock_guard lock(flight->mutex);
      if (!flight->alive) return;
      flight->running = true;
    }
    TextJobResult result = job();
    const std::lock_guard lock(flight->mutex);
    flight->running = false;
    flight->ended.notify_all();
    if (!flight->alive) return;
    view_.post([this, flight, done, result = std::move(result)]() mutable {
      // The queue may have gone between the post and this call.
      if (!flight->alive) return;
      busy_ = false;
      done(std::move(result));
      if (!busy_) start_next();
    });
  });
}

}  // namespace quorvex
