// The main window's behaviour, whatever draws it: owns the session, the verdict store, the
// settings and the work on texts, and takes every command of the window (its buttons, the list's
// menu and keys, drops, pastes and the refresh tick). The window draws, and tells it what the user
// did; it tells the window what to show through MainView.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/layout.h"
#include "app/list_menu.h"
#include "app/main_view.h"
#include "app/text_jobs.h"
#include "session/session.h"
#include "shell/progress_estimate.h"
#include "store/verdict_store.h"

namespace quorvex {

// Where the settings, the exports and the verdict store live; tests point them elsewhere.
struct AppPlaces {
  std::string documents;  // the settings live in documents/Orvane/Quorvex/Baifig.ini
  std::string desktop;    // exports are written here
  std::string data;       // the store (verdicts.sqlite) unless QUORVEX_STORE names one; "": none
  std::string home;       // where the chooser of an export file starts
  // The folders the command line uses too, so that both programs share settings and store.
  static AppPlaces standard();
};

// Address opened by the about sequence.
inline constexpr const char* kAboutUrl = "https://quorvex.example.org/";

class MainPresenter {
 public:
  // `runs` is how the check runs fetch (default_runs(): as the environment says).
  MainPresenter(MainView& view, AppPlaces places, CheckRunConfig runs = default_runs());
  // Waits for the text work under way, cancels the run and the loads and waits for them.
  ~MainPresenter();
  MainPresenter(const MainPresenter&) = delete;
  MainPresenter& operator=(const MainPresenter&) = delete;
  static CheckRunConfig default_runs();

  // Once the view's controls exist: shows the saved settings and place, and what opening the
  // store had to say.
  void start();

  const std::shared_ptr<Session>& session() const { return session_; }
  std::string settings_file() const;
  int theme_number() const { return theme_number_; }
  void set_theme_number(int n) { theme_number_ = n; }
  bool single_column() const { return single_column_; }
  // When a row's share was last checked ("" when not known), for the status cell's tooltip.
  std::string last_checked(int row) const;
  // What the status line says now.
  std::string status_text() const;

  // A button of the settings group (or its single-column box) was pressed.
  void press(GroupControlIndex control);
  // Files dropped on the list, opened, pasted or named on the command line: loaded as one text.
  void load_dropped_files(const std::vector<std::string>& paths);
  // A pasted or dropped text (UTF-8), loaded as a file's text is.
  void load_text(const std::string& text);
  // Ctrl+V: the files when there are any; else a text of one line naming a file is that file, and
  // any other text itself.
  void paste(const std::vector<std::string>& files, const std::optional<std::string>& text);
  void open_file();
  // 提取链接 (Ctrl+E): replaces the source text by the share links found in it, one line each,
  // loads them into the list and says how many it found.
  void extract_links();
  void reset_run_state();
  // 刷新列表: a reload, after any work on the text still under way.
  void reload_list();
  void start_check_run();
  // 开始检测 while a run works, or Esc: the first stops starting probes and lets those under way
  // finish; the second cancels those too. Nothing while no run works.
  void stop_check_run();
  void show_summary();
  void export_valid_links();
  void next_theme();
  // Draws the theme and saves its number.
  void apply_theme();
  void typeset_source_text();
  void toggle_single_column_mode();
  // The thread count as typed: the run reads it on every pass, and it is saved.
  void save_thread_count(const std::string& text);
  void show_about();
  void open_row_link();
  // The list's menu and keys.
  void run(ListCommand command);
  void recheck_unknown_rows();
  void recheck_selected_rows();
  // Checks every row again by fetching it, whatever the verdict store knows.
  void recheck_all_rows_fresh();
  // Copies of the selected rows (as lines that load back into the same rows), of their links and
  // of their codes.
  void copy_selected_rows();
  void copy_selected_links();
  void copy_selected_codes();
  void delete_selected_rows();
  // Takes out the rows whose share an earlier row holds.
  void remove_repeat_rows();

  // Every 30 ms or so: the list, the title, the status line, warnings that became due, a
  // placement that has settled.
  void tick();
  // The list has a new width: the columns are laid out for it. A width the user gave a column is
  // kept.
  void list_resized(int list_width);
  void column_resized(int column, int width);
  // The window moved or changed size: saved once it has settled.
  void placement_changed();
  // Writes the window's place, size and column widths into the settings file now.
  void save_placement();

  bool text_jobs_idle() const { return text_jobs_.idle(); }

  // Told after a dropped file was refused (its message shown), and once an extraction has
  // replaced the source text (or found nothing: 0).
  std::function<void(const std::string& message)> on_file_refused;
  std::function<void(std::size_t shares)> on_links_extracted;

 private:
  void take_in(TextJobResult result);
  void copy_selected(const std::function<std::string(const LinkTable&, int row)>& text_of,
                     bool every_row);
  void load_settings();
  void restore_placement();
  void show_run_progress();
  void update_status_line();
  // Whether the list just loaded is no list of links though its text holds shares: said above the
  // list once the load is done.
  void look_for_shares_to_extract();
  void watch_run_end(const std::shared_ptr<CheckRun>& run, const RunSnapshot& snapshot);
  // A run was started: its end is to be said.
  void run_started();
  void warn_settings_failure(const std::string& reason);
  void open_in_browser(const std::string& url);
  void notice(const std::string& text, int timeout_ms = 2000);
  void set_title_gbk(const std::string& gbk);
  // Runs `call` on the view's thread, unless this presenter is gone by then.
  void post(std::function<void()> call);

  MainView& view_;
  AppPlaces places_;
  std::shared_ptr<VerdictStore> store_;
  std::string store_message_;  // what opening the store had to say
  std::shared_ptr<Session> session_;
  TextJobs text_jobs_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

  int theme_number_ = 0;
  bool single_column_ = false;
  std::string thread_count_text_ = "10";
  bool loading_settings_ = false;
  std::string title_prefix_;  // put before every progress title (empty until the first load)

  // What has been told once already: a load's want of memory, a failed store write, a failed
  // settings write, the run whose stall was told.
  bool load_failure_told_ = false;
  bool store_warned_ = false;
  bool settings_warned_ = false;
  std::shared_ptr<CheckRun> stall_told_;
  std::shared_ptr<CheckRun> gave_up_told_;
  // The run whose progress the title shows, and what it last showed.
  std::shared_ptr<CheckRun> shown_run_;
  int shown_started_ = 0;
  long long shown_wait_ = 0;
  RateEstimate rate_;
  std::string status_shown_;
  int status_room_shown_ = -1;
  std::string status_full_;  // the line before fitting, as last fitted
  std::pair<int, int> progress_shown_{-1, -1};
  // The run whose end is watched for, whether it was seen working and since when.
  std::shared_ptr<CheckRun> watched_run_;
  bool watched_active_ = false;
  std::chrono::steady_clock::time_point watched_since_;
  // The shares extraction would find in the text just loaded (0: the list is fine as it is).
  std::size_t hint_shares_ = 0;

  ColumnWidths columns_ = kDesignColumns;
  int list_width_ = kDesignListWidth;
  bool placement_restored_ = false;
  std::optional<std::chrono::steady_clock::time_point> placement_moved_;
};

}  // namespace quorvex
