// The Win32 window over the presenter: a layered top-level window with the list (a virtual
// report view), the settings group, the status bar and the hint line, drawn in the themes'
// colours. What each control does is the presenter's (app/main_presenter.h); this holds only the
// window system's side.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <array>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/main_presenter.h"
#include "app/main_view.h"
#include "base/worker_group.h"
#include "model/row_order.h"
#include "win32/desktop.h"

namespace quorvex::win32 {

// The controls' ids: the group's controls are kGroupBase + their GroupControlIndex.
inline constexpr int kListId = 100;
inline constexpr int kGroupBase = 200;
inline constexpr int kCreditId = 300;
inline constexpr int kStatusBarId = 301;
inline constexpr int kProgressId = 302;
inline constexpr int kFilterLabelId = 303;
inline constexpr int kFilterId = 304;
inline constexpr int kHintTextId = 305;
inline constexpr int kHintButtonId = 306;
// The list's menu: kMenuBase + the entry's place in list_menu_entries().
inline constexpr int kMenuBase = 400;

class MainFrame : public MainView {
 public:
  explicit MainFrame(AppPlaces places = AppPlaces::standard(),
                     Desktop desktop = Desktop::standard(),
                     CheckRunConfig runs = MainPresenter::default_runs());
  // The presenter first (it waits for its work), then the window.
  ~MainFrame() override;
  MainFrame(const MainFrame&) = delete;
  MainFrame& operator=(const MainFrame&) = delete;

  HWND hwnd() const { return hwnd_; }
  HWND control(int id) const;
  MainPresenter& app() { return *app_; }
  // Called once the window has been closed (the program ends its message loop).
  std::function<void()> on_closed;

  // The window's keys, looked at before a message goes to the control that has the focus: true
  // when it was one of them and has been handled.
  bool pre_translate(const MSG& msg);

  // The list as shown: its rows, a cell's text (UTF-8) and the list row a shown row is.
  int list_item_count() const;
  std::string shown_cell(int shown_row, int column) const;
  int table_row(int shown_row) const;
  void set_filter(VerdictFilter filter);
  // Header clicks: ascending, descending, then the list's own order again.
  void click_column(int column);
  // Whether an order is being made or waits to be.
  bool ordering() const { return order_job_ || order_pending_; }
  // The colours theme n draws with (the start-up look outside 1 to 25).
  int shown_theme() const { return theme_; }

  // MainView.
  void set_title(const std::string& text) override;
  void set_status(const std::string& text) override;
  int status_room() const override;
  int text_width(const std::string& text) const override;
  void set_progress(int done, int total) override;
  void set_control_caption(int control, const std::string& caption) override;
  void show_hint(const std::string& text) override;
  int shown_rows() const override;
  void rows_changed() override;
  std::vector<int> selected_rows() const override;
  int current_row() const override;
  void show_thread_count(const std::string& text) override;
  void show_single_column(bool on) override;
  void show_theme(int n, const std::string& caption) override;
  void point_at_thread_count() override;
  void set_column_widths(const std::array<int, 6>& widths) override;
  void place(const Rect& frame) override;
  Rect normal_geometry() const override;
  std::optional<Rect> screen_room(int x, int y) const override;
  void notice(const std::string& caption, const std::string& text, NoticeIcon icon,
              int timeout_ms) override;
  void warn(const std::string& title, const std::string& text) override;
  void inform(const std::string& caption, const std::string& text) override;
  bool show_exported(const std::string& path) override;
  std::string choose_file() override;
  ExportChoice choose_export_file(const std::string& suggested) override;
  void set_clipboard(const std::string& text) override;
  bool open_url(const std::string& url) override;
  bool open_folder(const std::string& folder) override;
  void run_in_background(std::function<void()> work) override;
  void post(std::function<void()> call) override;

 private:
  friend void register_window_class();
  static LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK list_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                    UINT_PTR id, DWORD_PTR frame);
  static LRESULT CALLBACK status_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                      UINT_PTR id, DWORD_PTR frame);
  LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT on_notify(NMHDR* header);
  LRESULT draw_list(NMLVCUSTOMDRAW* draw);
  void on_command(int id, int code);
  void create_controls();
  void make_fonts();
  void lay_out();
  void place_status_parts();
  void paint(HDC dc);
  void draw_button(const DRAWITEMSTRUCT& item);
  void paint_empty_list();
  void show_list_menu(POINT at);
  void run_list_command(std::size_t entry);
  void paste();
  void run_posted();
  void fill_cell(NMLVDISPINFOW& info);
  void info_tip(NMLVGETINFOTIPW& tip);

  // Sorting and the filter (model/row_order.h): orders are made on a worker and swapped in
  // whole; while verdicts arrive at most one a second.
  bool ordered() const { return sort_column_ >= 0 || filter_ != VerdictFilter::all; }
  void reorder();
  void request_order(bool now);
  void start_order_job();
  void apply_order(RowOrder made);
  // Takes away the selection and the focus (`selected`: how many rows are selected).
  void clear_selection(std::size_t selected);
  int view_row(int table_row) const;
  void show_sort_mark();

  // Logical pixels (the design's) and the screen's at this window's DPI.
  int px(int logical) const { return MulDiv(logical, dpi_, 96); }
  int logical(int pixels) const { return MulDiv(pixels, 96, dpi_); }
  void set_place(HWND control, const Rect& r);

  Desktop desktop_;
  std::unique_ptr<MainPresenter> app_;
  WorkerGroup workers_;
  HWND hwnd_ = nullptr;
  // Where calls posted from other threads are announced; nullptr once the window is gone.
  std::atomic<HWND> post_target_{nullptr};
  HWND list_ = nullptr, header_ = nullptr;
  HWND controls_[kGroupControlCount] = {};
  HWND credit_ = nullptr, status_bar_ = nullptr, progress_ = nullptr, filter_label_ = nullptr,
       filter_box_ = nullptr, hint_text_ = nullptr, hint_button_ = nullptr;
  IDropTarget* drop_target_ = nullptr;
  int dpi_ = 96;
  HFONT list_font_ = nullptr, bold_font_ = nullptr, group_font_ = nullptr;
  // The look: the colours of the theme drawn, and brushes of them.
  int theme_ = 0;
  bool dark_ = false;
  COLORREF window_colour_, surface_, alternate_, text_colour_, accent_, button_, button_text_,
      selection_, selection_text_;
  HBRUSH window_brush_ = nullptr, surface_brush_ = nullptr, hint_brush_ = nullptr;
  Rect group_rect_;  // where the group's frame is drawn
  Rect hint_rect_;   // and the hint line's background
  bool hint_shown_ = false;
  bool showing_settings_ = false;  // a setting shown is not reported back
  bool laying_out_columns_ = false;
  std::wstring status_text_;
  std::wstring cell_text_;  // what the list was last told a cell says

  // Calls posted from any thread, run on the window's.
  std::mutex posted_mutex_;
  std::deque<std::function<void()>> posted_;

  // The shown order.
  std::shared_ptr<LinkTable> table_;
  int rows_ = 0;
  int sort_column_ = -1;
  bool descending_ = false;
  VerdictFilter filter_ = VerdictFilter::all;
  RowOrder order_;
  bool use_order_ = false;
  bool order_job_ = false, order_pending_ = false;
  std::chrono::steady_clock::time_point last_order_{};
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Registers the window class and the common controls once per process.
void register_window_class();

}  // namespace quorvex::win32
