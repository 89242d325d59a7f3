// Work on a text off the view's thread, one job at a time and in the order asked: a job waits
// for those before it without blocking the view, so a reload after a typesetting loads what the
// typesetting made.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "text/file_input.h"

namespace quorvex {

class MainView;

// The outcome of a job: reading files, taking a pasted or dropped text in, extracting links.
struct TextJobResult {
  bool ok = false;
  std::string text;        // GBK, CR LF line ends
  std::string message;     // what to tell the user when not ok (UTF-8)
  std::size_t shares = 0;  // for an extraction: the shares found
  DecodeNotes notes;       // what reading the text had to change
};

class TextJobs {
 public:
  using Job = std::function<TextJobResult()>;
  using Done = std::function<void(TextJobResult)>;

  // Jobs run through the view's run_in_background and come back through its post.
  explicit TextJobs(MainView& view);
  // Waits for the job under way; what it would hand over is dropped.
  ~TextJobs();
  TextJobs(const TextJobs&) = delete;
  TextJobs& operator=(const TextJobs&) = delete;

  // Runs `job` off the view's thread once those before it have ended, then `done` on it.
  void run(Job job, Done done);
  bool idle() const { return !busy_ && queue_.empty(); }

 private:
  void start_next();

  // Shared with the job on its thread, which may end after the queue is gone.
  struct Flight {
    std::mutex mutex;
    std::condition_variable ended;
    bool running = false;
    bool alive = true;
  };

  MainView& view_;
  std::deque<std::pair<Job, Done>> queue_;
  bool busy_ = false;
  std::shared_ptr<Flight> flight_ = std::make_shared<Flight>();
};

}  // namespace quorvex
