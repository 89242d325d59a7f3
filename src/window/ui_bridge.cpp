#include "window/ui_bridge.h"

namespace quorvex {

void UiBridge::post_title(const std::string& gbk_title) {
  std::lock_guard lock(mutex_);
  pending_title_ = gbk_title;
}

std::optional<std::string> UiBridge::take_title() {
  std::lock_guard lock(mutex_);
  std::optional<std::string> title;
  title.swap(pending_title_);
  return title;
}

void UiBridge::set_thread_limit_text(const std::string& gbk_text) {
  std::lock_guard lock(mutex_);
  thread_limit_text_ = gbk_text;
}

std::string UiBridge::thread_limit_text() const {
  std::lock_guard lock(mutex_);
  return thread_limit_text_;
}

FrontEndHooks UiBridge::hooks() {
  auto self = shared_from_this();
  return {[self](const std::string& title) { self->post_title(title); },
          [self] { return self->thread_limit_text(); }};
}

}  // namespace quorvex
