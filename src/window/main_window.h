// The main window: the list, the settings group with its buttons, and the event table that binds
// each control event to its operation.
#pragma once

#include <QFutureWatcher>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "check/run_progress.h"
#include "model/row_order.h"
#include "session/session.h"
#include "shell/progress_estimate.h"
#include "store/verdict_store.h"
#include "text/file_input.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QPushButton;

namespace quorvex {

class LinkListModel;
class LinkListView;

// Where the window keeps its settings and writes its exports; tests point them elsewhere.
struct WindowPlaces {
  QString documents;  // the settings live in documents/Orvane/Quorvex/Baifig.ini
  QString desktop;    // exports are written here
  QString data;       // the verdict store lives here (verdicts.sqlite) unless QUORVEX_STORE names
                      // another, as for the command line; empty: no store
  static WindowPlaces standard();
};

// Where an export that could not go to the desktop is to be written instead, and how.
struct ExportChoice {
  QString path;  // empty: the user gave up
  bool utf8 = false;
};

// What the window hands to the desktop or asks of it (a double-click on the list or the credit
// label, the open-file and save dialogs); tests record and answer.
struct DesktopActions {
  std::function<void(const QString&)> set_clipboard;
  // False when nothing could be started to open it.
  std::function<bool(const QString&)> open_url;
  // Asks for a text file to open; an empty answer means none. Absent: the system's dialog.
  std::function<QString(QWidget* parent)> choose_file;
  // Asks where to save an export, offering `suggested`. Absent: the system's dialog.
  std::function<ExportChoice(QWidget* parent, const QString& suggested)> choose_export_file;
  static DesktopActions standard();
};

// The outcome of work on a text off the window's thread: reading files, taking a pasted or
// dropped text in, extracting links.
struct TextJobResult {
  bool ok = false;
  std::string text;        // GBK, CR LF line ends
  QString message;         // what to tell the user when not ok
  std::size_t shares = 0;  // for an extraction: the shares found
  DecodeNotes notes;       // what reading the text had to change
};

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // `runs` is how the window's check runs fetch (by default: as the environment says, see
  // shell/probe_environment.h).
  explicit MainWindow(WindowPlaces places = WindowPlaces::standard(),
                      DesktopActions desktop = DesktopActions::standard(),
                      CheckRunConfig runs = default_runs(), QWidget* parent = nullptr);
  ~MainWindow() override;
  static CheckRunConfig default_runs();

  const std::shared_ptr<Session>& session() const { return session_; }
  LinkListModel* model() const { return model_; }
  QString settings_file() const;
  int theme_number() const { return theme_number_; }
  void set_theme_number(int n) { theme_number_ = n; }

  // The event table's operations; public so that tests can run them as a click would.
  void load_dropped_files(const QStringList& paths);
  // Takes a pasted or dropped text in as the source text, as a dropped file's text is, and
  // loads it.
  void load_text(const QString& text);
  // Ctrl+V: files (or one line naming a file) are loaded as dropped files, other text as text.
  void paste(const QMimeData* mime);
  void paste_clipboard();
  // Ctrl+O: asks for a file and loads it.
  void open_file();
  // Ctrl+E: replaces the source text by the share links found in it, one line each, and says how
  // many it found; a reload then shows them, as after typesetting.
  void extract_links();
  void reset_run_state();
  // 刷新列表: a reload, after any work on the text still under way.
  void reload_list();
  void start_check_run();
  void show_summary();
  void export_valid_links();
  void next_theme();
  void typeset_source_text();
  void toggle_single_column_mode();
  void save_thread_count(const QString& text);
  void show_about();
  void open_row_link();
  // The list's right-click menu: check the unknown rows, or the selected ones, again.
  void recheck_unknown_rows();
  void recheck_selected_rows();
  // Checks every row again by fetching it, whatever the verdict store knows.
  void recheck_all_rows_fresh();
  // The list's own menu and keys: copies of the selected rows (as lines that load back into the
  // same rows), of their links and of their codes; the rows taken out of the list; the rows
  // whose share an earlier row holds taken out.
  void copy_selected_rows();
  void copy_selected_links();
  void copy_selected_codes();
  void delete_selected_rows();
  void remove_duplicate_rows();
  // Ctrl+F: the verdict filter, ready to be chosen from.
  void focus_filter();
  void set_filter(VerdictFilter filter);
  // The list rows selected, ascending, whatever order the list shows them in.
  std::vector<int> selected_table_rows() const;
  // What the status line says.
  QString status_text() const;
  // Writes the window's place, size and column widths into the settings file.
  void save_placement();

  // Applies a theme's look (numbers outside 1 to 25 leave it as it is) and saves the number.
  void apply_theme();
  void apply_column_layout();

  // Waits until the work on texts (reading files, typesetting, extracting) has ended (for
  // tests).
  void wait_for_file_reading();

 signals:
  // Emitted after a dropped file could not be read and a message was shown.
  void file_refused(const QString& message);
  // Emitted once an extraction has replaced the source text.
  void links_extracted(std::size_t shares);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void build_controls();
  void add_shortcuts();
  // Places the controls for the window's size: the list takes what the settings group at the
  // right edge and the status line at the bottom leave.
  void lay_out();
  // The saved place and size, kept on a screen that shows all of the window.
  void restore_placement();
  void placement_changed();
  void column_resized(int column, int old_width, int new_width);
  // Runs `job` off the window's thread, then `done` on it; a job waits for those before it
  // without blocking the window.
  void run_text_job(std::function<TextJobResult()> job, std::function<void(TextJobResult)> done);
  void start_next_text_job();
  void take_in(TextJobResult result);
  void update_status_line();
  // Writes an export where the user chooses; true when written or given up.
  bool export_to_chosen_file(const std::string& text, const QString& why);
  void show_export_notice(const QString& path);
  void open_in_browser(const QString& url);
  void copy_text(const QString& text);
  void on_created();
  void load_settings();
  void refresh_tick();
  void show_run_progress();
  void show_list_menu(const QPoint& at);
  void set_title_gbk(const std::string& gbk);
  void warn_settings_failure(const std::string& reason);
  void warn(const QString& title, const QString& text);

  WindowPlaces places_;
  DesktopActions desktop_;
  // The verdict store, opened before the session whose runs use it; what opening it had to say.
  std::shared_ptr<VerdictStore> store_;
  std::string store_message_;
  bool load_failure_told_ = false;  // the last load's want of memory has been said
  bool store_warned_ = false;       // a failed write has been told
  std::shared_ptr<Session> session_;
  // Window state: the theme, the single-column mode (0 or 1) and the text put before every
  // progress title (empty until the first load).
  int theme_number_ = 0;
  int single_column_mode_ = 0;
  std::string title_prefix_;
  // The run whose progress the title shows, and what it last showed.
  std::shared_ptr<CheckRun> shown_run_;
  // The run whose stop for want of threads or connections has been told.
  std::shared_ptr<CheckRun> stall_told_;
  int shown_started_ = 0;
  long long shown_wait_ = 0;
  QTimer refresh_timer_;
  QFutureWatcher<TextJobResult>* text_job_ = nullptr;
  std::deque<std::pair<std::function<TextJobResult()>, std::function<void(TextJobResult)>>>
      text_jobs_;
  // The columns' widths at the list's design width in two-column mode; the name column also gets
  // whatever the list is wider than that.
  std::array<int, 5> column_widths_{100, 220, 40, 40, 40};
  bool laying_out_columns_ = false;
  QTimer placement_timer_;  // a move or resize is saved once it has settled
  bool placement_restored_ = false;
  RateEstimate rate_;  // finished rows over the last seconds, for the rate and the time left
  QString status_shown_;
  bool settings_warned_ = false;
  bool loading_settings_ = false;

  LinkListView* list_ = nullptr;
  LinkListModel* model_ = nullptr;
  QGroupBox* group_ = nullptr;
  QCheckBox* single_column_ = nullptr;
  QLabel* thread_label_ = nullptr;
  QLineEdit* thread_count_ = nullptr;
  QPushButton* theme_button_ = nullptr;
  QPushButton* typeset_button_ = nullptr;
  QPushButton* reload_button_ = nullptr;
  QPushButton* check_button_ = nullptr;
  QPushButton* summary_button_ = nullptr;
  QPushButton* export_button_ = nullptr;
  QLabel* credit_label_ = nullptr;
  QWidget* status_row_ = nullptr;
  QLabel* status_label_ = nullptr;
  QLabel* filter_label_ = nullptr;
  QComboBox* filter_box_ = nullptr;
  QAction* paste_action_ = nullptr;
  QAction* open_action_ = nullptr;
  QAction* extract_action_ = nullptr;
  QAction* copy_action_ = nullptr;
  QAction* delete_action_ = nullptr;
  QAction* open_link_action_ = nullptr;
  QAction* filter_action_ = nullptr;
};

// Address opened by the about sequence.
inline constexpr const char* kAboutUrl = "https://quorvex.example.org/";

}  // namespace quorvex
