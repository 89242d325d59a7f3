// What the main window's presenter needs of a window, whatever toolkit draws it. Every text that
// crosses here is UTF-8, every path the core's (UTF-8); rows are list rows, in list order. All
// calls are made on the view's thread, and the presenter comes back to that thread through post().
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvex {

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

enum class NoticeIcon { information, warning };

// Where an export that could not go to the desktop is to be written instead, and how.
struct ExportChoice {
  std::string path;  // empty: the user gave up
  bool utf8 = false;
};

class MainView {
 public:
  virtual ~MainView() = default;

  virtual void set_title(const std::string& text) = 0;
  virtual void set_status(const std::string& text) = 0;
  // The status line's room for its text, and how wide a text is drawn there (pixels).
  virtual int status_room() const = 0;
  virtual int text_width(const std::string& text) const = 0;
  // The progress bar of the status line: `done` of `total` (total 0: no bar).
  virtual void set_progress(int done, int total) = 0;
  // A settings-group control (its GroupControlIndex) gets a new caption.
  virtual void set_control_caption(int control, const std::string& caption) = 0;
  // A line above the list, with the 提取链接 button beside it (the button presses kExtractButton);
  // an empty text takes it away. It asks nothing: the list stays usable under it.
  virtual void show_hint(const std::string& text) = 0;
  // The rows the list shows now (fewer than the list's under a filter).
  virtual int shown_rows() const = 0;
  // The list's rows may have changed: a cheap call when they have not.
  virtual void rows_changed() = 0;
  // The selected rows, ascending, and the first selected as the list shows it (-1: none).
  virtual std::vector<int> selected_rows() const = 0;
  virtual int current_row() const = 0;

  // The settings as loaded, shown in their controls without their change being reported back.
  virtual void show_thread_count(const std::string& text) = 0;
  virtual void show_single_column(bool on) = 0;
  // Draws theme n (numbers the view has no look for leave it as it is) and names it on its button
  // (`caption` empty: the caption stays).
  virtual void show_theme(int n, const std::string& caption) = 0;
  // The thread count wants correcting: the field gets the focus with its text selected.
  virtual void point_at_thread_count() = 0;
  // Widths of the list's columns: the five of the design and the reason (0: hidden).
  virtual void set_column_widths(const std::array<int, 6>& widths) = 0;
  // The window's place and size: `place` puts it there; `normal_geometry` says where it is (a
  // maximized window: where it returns to); `screen_room` is the free part of the screen at a
  // point, or of the main screen when none is there (nullopt: no screen known).
  virtual void place(const Rect& frame) = 0;
  virtual Rect normal_geometry() const = 0;
  virtual std::optional<Rect> screen_room(int x, int y) const = 0;

  // A message that closes itself after timeout_ms (0: when the user closes it).
  virtual void notice(const std::string& caption, const std::string& text, NoticeIcon icon,
                      int timeout_ms) = 0;
  // A message the user must close.
  virtual void warn(const std::string& title, const std::string& text) = 0;
  virtual void inform(const std::string& caption, const std::string& text) = 0;
  // Says where the export went; true when the user asked to see its folder.
  virtual bool show_exported(const std::string& path) = 0;
  // Asks for a text file to open ("" for none), and where to write an export.
  virtual std::string choose_file() = 0;
  virtual ExportChoice choose_export_file(const std::string& suggested) = 0;

  virtual void set_clipboard(const std::string& text) = 0;
  // False when nothing could be started to open it.
  virtual bool open_url(const std::string& url) = 0;
  virtual bool open_folder(const std::string& folder) = 0;

  // Runs `work` on another thread; `post` runs `call` on the view's thread, soon, unless the view
  // is gone by then.
  virtual void run_in_background(std::function<void()> work) = 0;
  virtual void post(std::function<void()> call) = 0;
};

}  // namespace quorvex
