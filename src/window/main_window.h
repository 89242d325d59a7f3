// The Qt window over the presenter: the list, the settings group with its buttons, the status
// line, and what Qt alone can do (widgets, signals, painting, dialogs). What each control does is
// the presenter's (app/main_presenter.h).
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_presenter.h"
#include "app/main_view.h"
#include "model/row_order.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QProgressBar;
class QPushButton;

namespace quorvex {

class LinkListModel;
class LinkListView;

// Where the window keeps its settings, writes its exports and keeps its store (see AppPlaces).
struct WindowPlaces {
  QString documents;
  QString desktop;
  QString data;  // empty: no store
  QString home;
  static WindowPlaces standard();
};

// Where an export is to be written when the desktop would not take it; an empty path: given up.
struct ChosenExportFile {
  QString path;
  bool utf8 = false;
};

// What the window asks of the desktop; tests record and answer.
struct DesktopActions {
  std::function<void(const QString&)> set_clipboard;
  // False when nothing could be started to open it.
  std::function<bool(const QString&)> open_url;
  // Absent: none chosen.
  std::function<QString(QWidget* parent)> choose_file;
  std::function<ChosenExportFile(QWidget* parent, const QString& suggested)> choose_export_file;
  // The system's clipboard, browser and file dialogs.
  static DesktopActions standard();
};

// The core's paths (UTF-8) of file names as Qt has them.
std::vector<std::string> path_list(const QStringList& paths);

class MainWindow : public QWidget, public MainView {
  Q_OBJECT

 public:
  explicit MainWindow(WindowPlaces places = WindowPlaces::standard(),
                      DesktopActions desktop = DesktopActions::standard(),
                      CheckRunConfig runs = MainPresenter::default_runs(),
                      QWidget* parent = nullptr);
  ~MainWindow() override;

  MainPresenter& app() { return *app_; }
  const std::shared_ptr<Session>& session() const { return app_->session(); }
  LinkListModel* model() const { return model_; }
  QString settings_file() const;

  // Ctrl+V: files (or one line naming a file) are loaded as dropped files, other text as text.
  void paste(const QMimeData* mime);
  // Ctrl+F: the verdict filter, ready to be chosen from.
  void focus_filter();
  void set_filter(VerdictFilter filter);
  // Waits until the work on texts (reading files, typesetting, extracting) has ended (for tests).
  void wait_for_file_reading();

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

 signals:
  // Emitted after a dropped file could not be read and a message was shown.
  void file_refused(const QString& message);
  // Emitted once an extraction has replaced the source text (0: it found nothing).
  void links_extracted(std::size_t shares);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void build_controls();
  void apply_fonts();
  void build_status_row();
  void build_hint_bar();
  void add_list_commands();
  void add_group_keys();
  void lay_out();
  void show_list_menu(const QPoint& at);

  DesktopActions desktop_;
  std::unique_ptr<MainPresenter> app_;
  QTimer refresh_timer_;
  bool laying_out_columns_ = false;
  QString status_shown_;

  LinkListView* list_ = nullptr;
  LinkListModel* model_ = nullptr;
  QGroupBox* group_ = nullptr;
  QWidget* controls_[kGroupControlCount] = {};
  QCheckBox* single_column_ = nullptr;
  QLineEdit* thread_count_ = nullptr;
  QPushButton* theme_button_ = nullptr;
  QLabel* credit_label_ = nullptr;
  QWidget* status_row_ = nullptr;
  QLabel* status_label_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QComboBox* filter_box_ = nullptr;
  QWidget* hint_bar_ = nullptr;
  QLabel* hint_label_ = nullptr;
  std::vector<QAction*> list_actions_;  // one per entry of the list's menu (separators too)
};

}  // namespace quorvex
