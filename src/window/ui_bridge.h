// What worker threads may touch of the window: a title to show and the thread-count text. They
// write and read this plain state; the window's own thread picks the title up on its refresh
// tick. Held through shared_ptr by the workers, so it outlives a closed window.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "session/session.h"

namespace quorvex {

class UiBridge : public std::enable_shared_from_this<UiBridge> {
 public:
  void post_title(const std::string& gbk_title);
  // The title posted since the last call, if any.
  std::optional<std::string> take_title();

  void set_thread_limit_text(const std::string& gbk_text);
  std::string thread_limit_text() const;

  FrontEndHooks hooks();

 private:
  mutable std::mutex mutex_;
  std::optional<std::string> pending_title_;
  std::string thread_limit_text_ = "10";
};

}  // namespace quorvex
