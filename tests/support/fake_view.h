// A window without a toolkit for the presenter's tests: it records what it is told to show and
// answers the dialogs from queues. Work "in the background" and posted calls wait in queues until
// pump() runs them, on the test's thread, in the order they came.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/main_view.h"

namespace quorvex::test {

class FakeView : public MainView {
 public:
  struct Message {
    std::string caption, text;
    bool warning = false;
  };

  std::string title, status, thread_count = "10";
  bool single_column = false;
  int theme = 0;
  std::string theme_caption;
  int shown = -1;  // rows shown; -1: as many as the list has
  int rows_changes = 0;
  std::vector<int> selection;
  bool pointed_at_thread_count = false;
  std::array<int, 6> columns{};
  // The status line's room, each character drawn `char_width` wide (a UTF-8 lead byte counts).
  int room = 100000, char_width = 7;
  std::pair<int, int> progress{0, 0};
  std::vector<std::string> captions = std::vector<std::string>(16);
  std::string hint;
  Rect frame{50, 50, 582, 600};
  std::optional<Rect> screen = Rect{0, 0, 1920, 1080};
  std::vector<Message> messages;
  std::vector<std::string> clipboard, opened, exported_notices, export_suggestions;
  std::deque<std::string> chosen_files;
  std::deque<ExportChoice> export_choices;
  bool open_folder_after_export = false, open_works = true;
  std::function<int()> list_rows;  // for shown_rows() when shown is -1

  // Runs the background work and the posted calls until none is left.
  void pump() {
    while (!work_.empty() || !posted_.empty()) {
      if (!work_.empty()) {
        auto work = std::move(work_.front());
        work_.pop_front();
        work();
        continue;
      }
      auto call = std::move(posted_.front());
      posted_.pop_front();
      call();
    }
  }
  // The texts of the messages, in order.
  std::vector<std::string> texts() const {
    std::vector<std::string> t;
    for (const auto& m : messages) t.push_back(m.text);
    return t;
  }

  void set_title(const std::string& text) override { title = text; }
  void set_status(const std::string& text) override { status = text; }
  int status_room() const override { return room; }
  int text_width(const std::string& text) const override {
    int chars = 0;
    for (const char c : text) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return chars * char_width;
  }
  void set_progress(int done, int total) override { progress = {done, total}; }
  void set_control_caption(int control, const std::string& caption) override {
    captions.at(static_cast<std::size_t>(control)) = caption;
  }
  void show_hint(const std::string& text) override { hint = text; }
  int shown_rows() const override { return shown >= 0 ? shown : list_rows ? list_rows() : 0; }
  void rows_changed() override { ++rows_changes; }
  std::vector<int> selected_rows() const override { return selection; }
  int current_row() const override { return selection.empty() ? -1 : selection.front(); }
  void show_thread_count(const std::string& text) override { thread_count = text; }
  void show_single_column(bool on) override { single_column = on; }
  void show_theme(int n, const std::string& caption) override {
    theme = n;
    if (!caption.empty()) theme_caption = caption;
  }
  void point_at_thread_count() override { pointed_at_thread_count = true; }
  void set_column_widths(const std::array<int, 6>& widths) override { columns = widths; }
  void place(const Rect& r) override { frame = r; }
  Rect normal_geometry() const override { return frame; }
  std::optional<Rect> screen_room(int, int) const override { return screen; }
  void notice(const std::string& caption, const std::string& text, NoticeIcon icon, int) override {
    messages.push_back({caption, text, icon == NoticeIcon::warning});
  }
  void warn(const std::string& t, const std::string& text) override {
    messages.push_back({t, text, true});
  }
  void inform(const std::string& caption, const std::string& text) override {
    messages.push_back({caption, text, false});
  }
  bool show_exported(const std::string& path) override {
    exported_notices.push_back(path);
    return open_folder_after_export;
  }
  std::string choose_file() override {
    if (chosen_files.empty()) return {};
    std::string f = chosen_files.front();
    chosen_files.pop_front();
    return f;
  }
  ExportChoice choose_export_file(const std::string& suggested) override {
    export_suggestions.push_back(suggested);
    if (export_choices.empty()) return {};
    ExportChoice c = export_choices.front();
    export_choices.pop_front();
    return c;
  }
  void set_clipboard(const std::string& text) override { clipboard.push_back(text); }
  bool open_url(const std::string& url) override {
    opened.push_back(url);
    return open_works;
  }
  bool open_folder(const std::string& folder) override { return open_url("folder:" + folder); }
  void run_in_background(std::function<void()> work) override { work_.push_back(std::move(work)); }
  void post(std::function<void()> call) override { posted_.push_back(std::move(call)); }

 private:
  std::deque<std::function<void()>> work_, posted_;
};

}  // namespace quorvex::test
