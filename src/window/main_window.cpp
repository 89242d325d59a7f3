#include "window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <numeric>

#include "base/charset.h"
#include "base/gbk_literals.h"
#include "base/text_ops.h"
#include "model/share_url.h"
#include "shell/error_text.h"
#include "shell/export.h"
#include "shell/probe_environment.h"
#include "shell/row_link.h"
#include "shell/settings.h"
#include "shell/verdict_memory.h"
#include "text/extract.h"
#include "text/file_input.h"
#include "text/typeset.h"
#include "window/gbk_qstring.h"
#include "window/link_list_model.h"
#include "window/link_list_view.h"
#include "window/themes.h"
#include "window/timed_message_box.h"
#include "window/window_titles.h"

namespace quorvex {

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

std::string path_bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString error_zh(const std::string& system_text) {
  return QString::fromStdString(error_text_zh(system_text));
}

// The design layout: a 582 x 600 window, the list 460 wide from x = -1, the settings group 120
// wide at the right edge, 8 below the top; below them a status line.
constexpr int kDesignWidth = 582;
constexpr int kDesignHeight = 600;
constexpr int kDesignListWidth = 460;
constexpr int kGroupWidth = 120;
constexpr int kGroupRightGap = 2;  // the group ends 2 short of the window's right edge
constexpr int kStatusHeight = 22;
constexpr int kCreditTop = 529;  // in the group, at the design size
constexpr int kLowestButtonEnd = 289;
// Small enough for a 1366 x 768 screen at 200 % (683 x 384 logical pixels, less a title bar),
// large enough for every control of the group.
constexpr int kMinWidth = 380;
constexpr int kMinHeight = 352;
constexpr int kPlacementSettleMs = 800;

QFont kaiti_font() {
  QFont font;
  // 楷体 where the system has it; the AR PL KaiTi faces that Debian ships draw the same style.
  font.setFamilies({u("楷体"), u("KaiTi"), u("STKaiti"), u("AR PL UKai CN"), u("AR PL UKai TW"),
                    u("AR PL UKai HK"), u("AR PL UKai TW MBE")});
  font.setPixelSize(12);
  font.setWeight(QFont::Normal);
  return font;
}

TextJobResult read_dropped_files(const QStringList& paths) {
  TextJobResult result;
  for (const QString& path : paths) {
    const InputFile file = read_input_file(path_bytes(path));
    switch (file.status) {
      case InputFile::Status::ok:
        result.text += file.text;
        result.notes.nul_bytes += file.notes.nul_bytes;
        result.notes.bad_bytes += file.notes.bad_bytes;
        // Several files are joined in drop order, each ending its part with a line end.
        if (paths.size() > 1) result.text += "\r\n";
        continue;
      case InputFile::Status::too_large:
        result.message = u("文件太大，无法载入（上限 %1 MiB），请把它分成几个较小的文件：\n%2")
                             .arg(kMaxInputBytes >> 20)
                             .arg(path);
        return result;
      case InputFile::Status::not_a_file:
        result.message = u("这是一个文件夹，不是文本文件：\n%1").arg(path);
        return result;
      default:
        result.message = u("无法读取文件：\n%1\n\n原因：%2").arg(path, error_zh(file.reason));
        return result;
    }
  }
  result.ok = true;
  return result;
}

}  // namespace

WindowPlaces WindowPlaces::standard() {
  // The command line's resolver, so that both find the same settings and export folder.
  return {QFile::decodeName(documents_folder().c_str()),
          QFile::decodeName(desktop_folder().c_str()),
          // The command line's data folder too, so that both keep one store on every system.
          QFile::decodeName(default_store_folder().c_str())};
}

DesktopActions DesktopActions::standard() {
  DesktopActions d;
  d.set_clipboard = [](const QString& text) { QApplication::clipboard()->setText(text); };
  d.open_url = [](const QString& url) { return QDesktopServices::openUrl(QUrl(url)); };
  d.choose_file = [](QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, u("打开文本文件"), QString(),
                                        u("文本文件 (*.txt);;所有文件 (*)"));
  };
  d.choose_export_file = [](QWidget* parent, const QString& suggested) {
    // The file type chosen says how the text is written; the program asks again itself when the
    // name is taken, as it never overwrites.
    const QString gbk_filter = u("GBK 文本 (*.txt)");
    const QString utf8_filter = u("UTF-8 文本 (*.txt)");
    QString chosen_filter = gbk_filter;
    ExportChoice choice;
    choice.path = QFileDialog::getSaveFileName(parent, u("导出有效链接"), suggested,
                                               gbk_filter + u(";;") + utf8_filter, &chosen_filter,
                                               QFileDialog::DontConfirmOverwrite);
    choice.utf8 = chosen_filter == utf8_filter;
    return choice;
  };
  return d;
}

CheckRunConfig MainWindow::default_runs() {
  CheckRunConfig runs;
  runs.probe = probe_settings_from_environment();
  return runs;
}

MainWindow::MainWindow(WindowPlaces places, DesktopActions desktop, CheckRunConfig runs,
                       QWidget* parent)
    : QWidget(parent), places_(std::move(places)), desktop_(std::move(desktop)) {
  if (!places_.data.isEmpty()) {
    VerdictStore::Opened opened = VerdictStore::open(standard_store_path(path_bytes(places_.data)));
    store_ = std::move(opened.store);
    store_message_ = std::move(opened.message);
    attach_store(runs, store_, VerdictLifetimes{}, false);
  }
  session_ = std::make_shared<Session>(std::move(runs));
  setObjectName("mainWindow");
  setWindowTitle(QStringLiteral("Quorvex 2.0"));
  build_controls();
  on_created();
  if (!store_message_.empty()) {
    // Said once the window is up; the list works without the store meanwhile.
    QTimer::singleShot(0, this, [this] {
      warn(u("检测结果记录"),
           u("检测结果的记录有问题：\n%1").arg(QString::fromLocal8Bit(store_message_.c_str())));
    });
  }
  connect(&refresh_timer_, &QTimer::timeout, this, &MainWindow::refresh_tick);
  refresh_timer_.start(30);
}

MainWindow::~MainWindow() {
  if (text_job_) text_job_->waitForFinished();
  // Probes under way are cancelled and waited for; nothing of them outlives the window.
  session_->shutdown(kShutdownGrace);
}

void MainWindow::build_controls() {
  move(50, 50);
  setMinimumSize(kMinWidth, kMinHeight);
  resize(kDesignWidth, kDesignHeight);

  list_ = new LinkListView(this);
  list_->setObjectName(u("超级列表框1"));
  model_ = new LinkListModel(session_->table(), this);
  if (store_) {
    model_->set_last_checked([this](int row) {
      const auto& table = *session_->table();
      const std::string id =
          share_id(share_url_of_row(table.cell(row, kColumnLink), table.cell(row, kColumnName)));
      if (id.empty()) return QString();
      const auto latest = store_->latest({id});
      return latest.front() ? QString::fromStdString(local_time_text(latest.front()->at))
                            : QString();
    });
  }
  list_->setModel(model_);
  // Header clicks sort: ascending, descending, then the list's own order again.
  list_->header()->setSortIndicator(-1, Qt::AscendingOrder);
  list_->header()->setSortIndicatorClearable(true);
  list_->setSortingEnabled(true);

  group_ = new QGroupBox(u("设置栏"), this);
  group_->setObjectName(u("分组框1"));
  group_->setFont(kaiti_font());

  single_column_ = new QCheckBox(u("单列模式"), group_);
  single_column_->setObjectName(u("选择框1"));
  single_column_->setGeometry(6, 30, 80, 24);

  thread_label_ = new QLabel(u("线程数："), group_);
  thread_label_->setObjectName(u("透明标签2"));
  thread_label_->setGeometry(8, 53, 50, 24);

  thread_count_ = new QLineEdit(u("10"), group_);
  thread_count_->setObjectName(u("编辑框_线程数"));
  thread_count_->setGeometry(57, 55, 40, 20);

  auto button = [this](const char* name, const char* caption, int top) {
    auto* b = new QPushButton(u(caption), group_);
    b->setObjectName(u(name));
    b->setGeometry(15, top, 80, 24);
    return b;
  };
  theme_button_ = button("按钮5", "切换皮肤", 90);
  typeset_button_ = button("按钮6", "重新排版", 125);
  reload_button_ = button("按钮1", "刷新列表", 160);
  check_button_ = button("按钮2", "开始检测", 195);
  summary_button_ = button("按钮3", "数据统计", 230);
  export_button_ = button("按钮4", "导出有效", 265);

  credit_label_ = new QLabel(u("Halvik@Orvane"), group_);
  credit_label_->setObjectName(u("透明标签1"));
  credit_label_->installEventFilter(this);

  for (QWidget* w : group_->findChildren<QWidget*>()) w->setFont(kaiti_font());

  status_row_ = new QWidget(this);
  status_row_->setObjectName(u("状态栏"));
  auto* status_layout = new QHBoxLayout(status_row_);
  status_layout->setContentsMargins(4, 0, 2, 0);
  status_layout->setSpacing(6);
  status_label_ = new QLabel(status_row_);
  status_label_->setObjectName(u("状态文字"));
  status_label_->setTextFormat(Qt::PlainText);
  status_label_->setMinimumWidth(1);
  status_label_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  filter_label_ = new QLabel(u("显示："), status_row_);
  filter_box_ = new QComboBox(status_row_);
  filter_box_->setObjectName(u("筛选"));
  filter_box_->addItem(u("全部"), static_cast<int>(VerdictFilter::all));
  filter_box_->addItem(u("√ 有效"), static_cast<int>(VerdictFilter::valid));
  filter_box_->addItem(u("x 失效"), static_cast<int>(VerdictFilter::invalid));
  filter_box_->addItem(u("? 未确定"), static_cast<int>(VerdictFilter::unknown));
  filter_box_->addItem(u("未检测"), static_cast<int>(VerdictFilter::unchecked));
  filter_box_->setToolTip(u("只显示这种结果的行（Ctrl+F）"));
  filter_label_->setBuddy(filter_box_);
  status_layout->addWidget(status_label_, 1);
  status_layout->addWidget(filter_label_);
  status_layout->addWidget(filter_box_);

  // The event table.
  connect(reload_button_, &QPushButton::clicked, this, &MainWindow::reload_list);
  connect(check_button_, &QPushButton::clicked, this, &MainWindow::start_check_run);
  connect(summary_button_, &QPushButton::clicked, this, &MainWindow::show_summary);
  connect(export_button_, &QPushButton::clicked, this, &MainWindow::export_valid_links);
  connect(theme_button_, &QPushButton::clicked, this, &MainWindow::next_theme);
  connect(typeset_button_, &QPushButton::clicked, this, &MainWindow::typeset_source_text);
  connect(single_column_, &QCheckBox::clicked, this, &MainWindow::toggle_single_column_mode);
  connect(thread_count_, &QLineEdit::textChanged, this, &MainWindow::save_thread_count);
  connect(list_, &LinkListView::left_double_clicked, this, &MainWindow::open_row_link);
  connect(list_, &QWidget::customContextMenuRequested, this, &MainWindow::show_list_menu);
  connect(list_, &LinkListView::files_dropped, this, &MainWindow::load_dropped_files);
  connect(list_, &LinkListView::text_dropped, this, &MainWindow::load_text);
  connect(filter_box_, &QComboBox::activated, this, [this](int i) {
    set_filter(static_cast<VerdictFilter>(filter_box_->itemData(i).toInt()));
  });
  connect(list_->header(), &QHeaderView::sectionResized, this, &MainWindow::column_resized);
  placement_timer_.setSingleShot(true);
  connect(&placement_timer_, &QTimer::timeout, this, &MainWindow::save_placement);
  add_shortcuts();
  lay_out();
}

void MainWindow::lay_out() {
  const int w = width(), h = height();
  const int group_left = w - kGroupRightGap - kGroupWidth;
  const int group_height = h - 8 - kStatusHeight - 2;
  // From x = -1 (its left border outside the window) to one pixel short of the group.
  const int list_width = group_left;
  list_->setGeometry(-1, 0, list_width, h - kStatusHeight);
  group_->setGeometry(group_left, 8, kGroupWidth, group_height);
  // The credit keeps its design place, and moves up with the group's bottom when the window is
  // lower, but never onto the buttons.
  const QSize credit = credit_label_->sizeHint();
  constexpr int kCreditFromBottom = kDesignHeight - 8 - kStatusHeight - 2 - kCreditTop;
  const int credit_top = std::max(kLowestButtonEnd + 6, group_height - kCreditFromBottom);
  credit_label_->setGeometry(25, credit_top, std::min(credit.width(), kGroupWidth - 27),
                             std::max(20, credit.height()));
  status_row_->setGeometry(0, h - kStatusHeight, w, kStatusHeight);
  apply_column_layout();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  lay_out();
  placement_changed();
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  placement_changed();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  placement_timer_.stop();
  save_placement();
  QWidget::closeEvent(event);
}

void MainWindow::placement_changed() {
  // Not while the saved place is being put back: that would write it again for nothing.
  if (placement_restored_) placement_timer_.start(kPlacementSettleMs);
}

void MainWindow::column_resized(int column, int, int new_width) {
  if (laying_out_columns_ || column < 0 || column >= kColumnCount) return;
  // A width the user set is kept as the width at the design size; the name column's share of the
  // extra room is not part of it.
  if (single_column_mode_ == 1 && column < 3) return;
  const int spare = column == kColumnName ? list_->width() - kDesignListWidth : 0;
  column_widths_[static_cast<std::size_t>(column)] = std::max(0, new_width - spare);
  placement_changed();
}

void MainWindow::restore_placement() {
  const WindowPlacement saved = read_window_placement(path_bytes(settings_file()));
  if (saved.columns) column_widths_ = *saved.columns;
  QSize size(kDesignWidth, kDesignHeight);
  if (saved.size) size = QSize((*saved.size)[0], (*saved.size)[1]);
  QPoint at = pos();
  if (saved.position) at = QPoint((*saved.position)[0], (*saved.position)[1]);
  // The whole window on one screen: the one it was on when that still exists, else the primary
  // one; larger than the screen it is made smaller, never smaller than its minimum.
  QScreen* screen = QGuiApplication::screenAt(at + QPoint(40, 20));
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (screen) {
    const QRect room = screen->availableGeometry();
    // Room for a title bar that the window system adds outside.
    const int frame_w = 0, frame_h = 32;
    size = size.boundedTo(QSize(room.width() - frame_w, room.height() - frame_h))
               .expandedTo(minimumSize());
    at.setX(std::clamp(at.x(), room.left(),
                       std::max(room.left(), room.right() - size.width() - frame_w)));
    at.setY(std::clamp(at.y(), room.top(),
                       std::max(room.top(), room.bottom() - size.height() - frame_h)));
  }
  resize(size);
  move(at);
  apply_column_layout();
  placement_restored_ = true;
}

void MainWindow::save_placement() {
  if (!placement_restored_) return;
  WindowPlacement p;
  // A maximized or full-screen window is remembered at the size it returns to.
  const QRect normal = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
  // move() places the frame, normalGeometry() the inside: the frame's offset is taken off.
  const QPoint at =
      isMaximized() || isFullScreen() ? normal.topLeft() - (geometry().topLeft() - pos()) : pos();
  p.position = std::array<int, 2>{at.x(), at.y()};
  p.size = std::array<int, 2>{normal.width(), normal.height()};
  p.columns = column_widths_;
  std::string error;
  if (!save_window_placement(path_bytes(settings_file()), p, &error)) warn_settings_failure(error);
}

void MainWindow::add_shortcuts() {
  // The same actions serve the keys and the list's menu.
  auto add = [this](QWidget* owner, const char* caption, const QList<QKeySequence>& keys,
                    void (MainWindow::*slot)()) {
    auto* action = new QAction(u(caption), owner);
    action->setShortcuts(keys);
    action->setShortcutContext(owner == this ? Qt::WindowShortcut : Qt::WidgetWithChildrenShortcut);
    connect(action, &QAction::triggered, this, slot);
    owner->addAction(action);
    return action;
  };
  paste_action_ = add(list_, "粘贴", {QKeySequence::Paste}, &MainWindow::paste_clipboard);
  open_action_ = add(this, "打开文件…", {QKeySequence::Open}, &MainWindow::open_file);
  extract_action_ =
      add(this, "提取链接", {QKeySequence(Qt::CTRL | Qt::Key_E)}, &MainWindow::extract_links);
  copy_action_ = add(list_, "复制选中的行", {QKeySequence::Copy}, &MainWindow::copy_selected_rows);
  delete_action_ =
      add(list_, "删除选中的行", {QKeySequence::Delete}, &MainWindow::delete_selected_rows);
  open_link_action_ =
      add(list_, "打开链接", {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)},
          &MainWindow::open_row_link);
  filter_action_ = add(this, "筛选…", {QKeySequence::Find}, &MainWindow::focus_filter);
}

void MainWindow::on_created() {
  // The start-up look first; the saved theme, if any, is applied over it below.
  setStyleSheet(theme_style_sheet(kStartupTheme));
  setWindowOpacity(230.0 / 255.0);
  ensure_settings_folder(path_bytes(places_.documents));
  load_settings();
  restore_placement();
}

QString MainWindow::settings_file() const {
  return QFile::decodeName(settings_path(path_bytes(places_.documents)).c_str());
}

void MainWindow::load_settings() {
  // Loading fills the controls; their change handlers must not write the values straight back.
  loading_settings_ = true;
  const StoredSettings stored = read_settings(path_bytes(settings_file()));
  theme_number_ = stored.theme_number;
  apply_theme();
  if (stored.thread_count) thread_count_->setText(from_gbk(*stored.thread_count));
  session_->set_thread_limit(parse_leading_int(to_gbk(thread_count_->text())));
  single_column_mode_ = stored.single_column_mode ? 1 : 0;
  if (stored.single_column_mode) single_column_->setChecked(true);
  loading_settings_ = false;
}

void MainWindow::apply_theme() {
  const QString sheet = theme_style_sheet(theme_number_);
  if (!sheet.isEmpty()) {
    setStyleSheet(sheet);
    model_->set_dark_background(theme_is_dark(theme_number_));
  }
  std::string error;
  if (!save_theme(path_bytes(settings_file()), theme_number_, &error)) warn_settings_failure(error);
}

void MainWindow::apply_column_layout() {
  const int mode = single_column_mode_;
  if (mode != 0 && mode != 1) return;
  // The design widths at the design width of the list; a wider list gives the name column the
  // rest, so links and names are read whole.
  const int spare = list_->width() - kDesignListWidth;
  laying_out_columns_ = true;
  QHeaderView* header = list_->header();
  header->resizeSection(0, std::max(40, (mode == 1 ? 360 : column_widths_[0]) + spare));
  header->resizeSection(1, mode == 1 ? 0 : column_widths_[1]);
  header->resizeSection(2, mode == 1 ? 0 : column_widths_[2]);
  header->resizeSection(3, column_widths_[3]);
  header->resizeSection(4, column_widths_[4]);
  laying_out_columns_ = false;
}

void MainWindow::refresh_tick() {
  model_->refresh();
  show_run_progress();
  update_status_line();
  if (session_->load_failed() != load_failure_told_) {
    load_failure_told_ = session_->load_failed();
    if (load_failure_told_)
      warn(u("无法载入列表"), u("内存不足，无法载入这么多行。请把文本分成几个较小的文件再载入。"));
  }
  if (store_ && !store_warned_) {
    const std::string problem = store_->write_problem();
    if (!problem.empty()) {
      // Once: the checks go on, only without their record.
      store_warned_ = true;
      warn(u("检测结果记录"), u("检测结果无法再写入记录，本次检测继续进行，但结果不会保留：\n%1")
                                  .arg(QString::fromLocal8Bit(problem.c_str())));
    }
  }
}

QString MainWindow::status_text() const {
  const RunSnapshot run = session_->run()->snapshot();
  const int rows = session_->table()->row_count();
  QString text = u("共 %1 行").arg(rows);
  if (model_->rowCount() != rows) text += u("（显示 %1 行）").arg(model_->rowCount());
  if (run.total > 0)
    text += u("　完成 %1/%2　有效 %3　失效 %4")
                .arg(run.finished)
                .arg(run.total)
                .arg(run.valid)
                .arg(run.invalid);
  if (run.unknown > 0) text += u("　未确定 %1").arg(run.unknown);
  if (!run.active()) return text;
  const double rate = rate_.per_second();
  text += u("　%1 个/秒").arg(rate, 0, 'f', rate < 10 ? 1 : 0);
  if (const auto left = rate_.seconds_left(run.total - run.finished, run.cooldown_left);
      left && run.total > run.finished)
    text += u("　剩余 %1").arg(QString::fromStdString(clock_text(*left)));
  if (const long long wait = cooldown_seconds(run); wait > 0)
    text += u("　服务繁忙，等待 %1 秒").arg(wait);
  return text;
}

void MainWindow::update_status_line() {
  const RunSnapshot run = session_->run()->snapshot();
  if (!run.active()) {
    rate_.clear();
  } else {
    rate_.add(RateEstimate::Clock::now(), run.finished);
  }
  const QString text = status_text();
  if (text == status_shown_) return;
  status_shown_ = text;
  status_label_->setText(text);
  status_label_->setToolTip(text);
}

void MainWindow::show_run_progress() {
  // The title follows the run's starts: it moves the moment a row is under way, before its answer
  // is in, so a slow service still shows the run going.
  const std::shared_ptr<CheckRun> run = session_->run();
  if (run != shown_run_) {
    shown_run_ = run;
    shown_started_ = 0;
  }
  const RunSnapshot snapshot = run->snapshot();
  if (snapshot.stalled && stall_told_ != run) {
    stall_told_ = run;
    warn(u("检测已停止"),
         u("系统一直拒绝检测所需的资源（%1），检测已停止。已得到的结果保留；"
           "可以减少线程数后再检测。")
             .arg(snapshot.refusal.empty() ? u("线程或连接")
                                           : QString::fromUtf8(snapshot.refusal.c_str())));
  }
  const long long wait = cooldown_seconds(snapshot);
  if (snapshot.started == shown_started_ && wait == shown_wait_) return;
  shown_started_ = snapshot.started;
  shown_wait_ = wait;
  set_title_gbk(run_title(title_prefix_, snapshot));
}

void MainWindow::show_list_menu(const QPoint& at) {
  QMenu menu(this);
  const bool selected = !list_->selected_rows().empty();
  menu.addAction(copy_action_);
  menu.addAction(u("复制链接"), this, &MainWindow::copy_selected_links)->setEnabled(selected);
  menu.addAction(u("复制提取码"), this, &MainWindow::copy_selected_codes)->setEnabled(selected);
  menu.addAction(open_link_action_);
  copy_action_->setEnabled(selected);
  open_link_action_->setEnabled(selected);
  delete_action_->setEnabled(selected);
  menu.addSeparator();
  menu.addAction(u("重新检测选中的行"), this, &MainWindow::recheck_selected_rows)
      ->setEnabled(selected);
  menu.addAction(u("重新检测未确定的行"), this, &MainWindow::recheck_unknown_rows);
  menu.addAction(u("全部重新检测（不用已存结果）"), this, &MainWindow::recheck_all_rows_fresh);
  menu.addSeparator();
  menu.addAction(delete_action_);
  menu.addAction(u("删除重复的行"), this, &MainWindow::remove_duplicate_rows);
  menu.addSeparator();
  menu.addActions({paste_action_, open_action_, extract_action_, filter_action_});
  menu.exec(list_->viewport()->mapToGlobal(at));
  // The keys work whatever the menu showed.
  for (QAction* a : {copy_action_, open_link_action_, delete_action_}) a->setEnabled(true);
}

void MainWindow::recheck_unknown_rows() {
  const std::shared_ptr<CheckRun> run = session_->run();
  if (run->recheck(run->unknown_rows()) == 0)
    timed_message_box(u("没有未确定的行。"), kIconInformation, from_gbk(gbk::kNoticeCaption), this,
                      2000);
}

void MainWindow::recheck_selected_rows() { session_->run()->recheck(selected_table_rows()); }

std::vector<int> MainWindow::selected_table_rows() const {
  std::vector<int> rows;
  for (const int v : list_->selected_rows())
    if (const int r = model_->table_row(v); r >= 0) rows.push_back(r);
  std::sort(rows.begin(), rows.end());
  return rows;
}

void MainWindow::copy_text(const QString& text) {
  if (!text.isEmpty() && desktop_.set_clipboard) desktop_.set_clipboard(text);
}

void MainWindow::copy_selected_rows() {
  // Each row as the line it loads from: name, link and code with their labels, so that pasting
  // them back gives the same rows.
  const LinkTable& table = *session_->table();
  QStringList lines;
  for (const int r : selected_table_rows()) {
    std::string line = table.cell(r, kColumnName);
    if (const std::string link = table.cell(r, kColumnLink); !link.empty()) {
      line.append("  ").append(gbk::kExportLink).append(link);
      if (const std::string code = table.cell(r, kColumnCode); !code.empty())
        line.append("  ").append(gbk::kExportCode).append(code);
    }
    lines << from_gbk(line);
  }
  copy_text(lines.join(QLatin1Char('\n')));
}

void MainWindow::copy_selected_links() {
  const LinkTable& table = *session_->table();
  QStringList links;
  for (const int r : selected_table_rows()) {
    const std::string url =
        share_url_of_row(table.cell(r, kColumnLink), table.cell(r, kColumnName));
    if (!url.empty()) links << from_gbk(url);
  }
  copy_text(links.join(QLatin1Char('\n')));
}

void MainWindow::copy_selected_codes() {
  const LinkTable& table = *session_->table();
  QStringList codes;
  for (const int r : selected_table_rows())
    if (const std::string code = table.cell(r, kColumnCode); !code.empty()) codes << from_gbk(code);
  copy_text(codes.join(QLatin1Char('\n')));
}

void MainWindow::delete_selected_rows() {
  const std::vector<int> rows = selected_table_rows();
  if (rows.empty()) return;
  if (session_->remove_rows(rows) < 0)
    timed_message_box(u("检测或载入正在进行，请等它结束后再删除行。"), kIconInformation,
                      from_gbk(gbk::kNoticeCaption), this, 2000);
}

void MainWindow::remove_duplicate_rows() {
  const std::vector<int> repeats = session_->repeated_share_rows();
  const int removed = repeats.empty() ? 0 : session_->remove_rows(repeats);
  const QString text = removed < 0 ? u("检测或载入正在进行，请等它结束后再删除重复的行。")
                       : removed == 0 ? u("没有重复的分享链接。")
                                      : u("已删除 %1 个重复的行。").arg(removed);
  timed_message_box(text, kIconInformation, from_gbk(gbk::kNoticeCaption), this, 2000);
}

void MainWindow::focus_filter() {
  filter_box_->setFocus(Qt::ShortcutFocusReason);
  filter_box_->showPopup();
}

void MainWindow::set_filter(VerdictFilter filter) {
  const int i = filter_box_->findData(static_cast<int>(filter));
  if (i >= 0 && i != filter_box_->currentIndex()) filter_box_->setCurrentIndex(i);
  model_->set_filter(filter);
}

void MainWindow::recheck_all_rows_fresh() {
  // A check of chosen rows always fetches; all rows chosen is a run that ignores the store.
  std::vector<int> rows(static_cast<std::size_t>(session_->table()->row_count()));
  std::iota(rows.begin(), rows.end(), 0);
  session_->run()->recheck(rows);
}

void MainWindow::set_title_gbk(const std::string& gbk) { setWindowTitle(from_gbk(gbk)); }

void MainWindow::warn(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::NoButton, this);
  // Said in Chinese even where Qt's own translations are missing.
  box.addButton(u("确定"), QMessageBox::AcceptRole);
  box.exec();
}

void MainWindow::warn_settings_failure(const std::string& reason) {
  // Once a run is enough: the next keystroke would only say the same again.
  if (settings_warned_) return;
  settings_warned_ = true;
  warn(u("无法保存设置"),
       u("设置无法写入：\n%1\n\n原因：%2\n本次运行中的更改在下次启动时不会保留。")
           .arg(settings_file(), error_zh(reason)));
}

void MainWindow::run_text_job(std::function<TextJobResult()> job,
                              std::function<void(TextJobResult)> done) {
  // Reading a large file or working on a large text takes a moment; the window stays responsive
  // meanwhile, and each job starts once the one before has handed over its text.
  text_jobs_.emplace_back(std::move(job), std::move(done));
  if (!text_job_) start_next_text_job();
}

void MainWindow::start_next_text_job() {
  if (text_jobs_.empty()) return;
  auto [job, done] = std::move(text_jobs_.front());
  text_jobs_.pop_front();
  text_job_ = new QFutureWatcher<TextJobResult>(this);
  connect(text_job_, &QFutureWatcher<TextJobResult>::finished, this, [this, done = done] {
    auto* watcher = text_job_;
    text_job_ = nullptr;
    TextJobResult result = watcher->result();
    watcher->deleteLater();
    done(std::move(result));
    if (!text_job_) start_next_text_job();
  });
  text_job_->setFuture(QtConcurrent::run(std::move(job)));
}

void MainWindow::take_in(TextJobResult result) {
  if (!result.ok) {
    // The current text and list stay as they are.
    emit file_refused(result.message);
    warn(u("无法载入文件"), result.message);
    return;
  }
  session_->set_source_text(std::move(result.text));
  reset_run_state();
  if (result.notes.any()) {
    // Nothing the text loses or has read otherwise goes unsaid.
    QStringList told;
    if (result.notes.nul_bytes > 0)
      told << u("文本中的 %1 个空字节（NUL）已去掉。").arg(result.notes.nul_bytes);
    if (result.notes.bad_bytes > 0)
      told << u("文本按 UTF-8 读入，其中 %1 个无法识别的字节显示为“?”。")
                  .arg(result.notes.bad_bytes);
    timed_message_box(told.join(u("\n")), kIconInformation, from_gbk(gbk::kNoticeCaption), this,
                      4000);
  }
}

void MainWindow::load_dropped_files(const QStringList& paths) {
  if (paths.isEmpty()) return;
  run_text_job([paths] { return read_dropped_files(paths); },
               [this](TextJobResult r) { take_in(std::move(r)); });
}

void MainWindow::load_text(const QString& text) {
  // The same way in as a file's bytes: a UTF-8 text becomes GBK, line ends become CR LF.
  run_text_job(
      [utf8 = text.toUtf8()] {
        TextJobResult result;
        result.ok = true;
        result.text = decode_input_bytes(utf8.toStdString(), &result.notes);
        return result;
      },
      [this](TextJobResult r) { take_in(std::move(r)); });
}

void MainWindow::paste_clipboard() { paste(QApplication::clipboard()->mimeData()); }

void MainWindow::paste(const QMimeData* mime) {
  if (!mime) return;
  QStringList files;
  if (mime->hasUrls()) {
    for (const QUrl& url : mime->urls())
      if (url.isLocalFile()) files << url.toLocalFile();
  }
  if (files.isEmpty() && mime->hasText()) {
    // A copied file name is taken for its file; any other text for itself.
    const QString text = mime->text().trimmed();
    if (!text.isEmpty() && !text.contains(QLatin1Char('\n')) && QFileInfo(text).isFile())
      files << text;
  }
  if (!files.isEmpty()) return load_dropped_files(files);
  if (mime->hasText()) load_text(mime->text());
}

void MainWindow::open_file() {
  const QString path = desktop_.choose_file ? desktop_.choose_file(this) : QString();
  if (!path.isEmpty()) load_dropped_files({path});
}

void MainWindow::extract_links() {
  // Made when the job starts: a file still being read is the text to extract from.
  run_text_job(
      [session = session_] {
        TextJobResult result;
        result.ok = true;
        result.text = extract_share_text(*session->source_text(), &result.shares);
        return result;
      },
      [this](TextJobResult result) {
        if (result.shares == 0) {
          // Nothing to put in its place: the text stays, so nothing the user had is lost.
          timed_message_box(u("没有找到分享链接，原文未改动。"), kIconInformation,
                            from_gbk(gbk::kNoticeCaption), this, 2000);
          emit links_extracted(0);
          return;
        }
        session_->set_source_text(std::move(result.text));
        emit links_extracted(result.shares);
        timed_message_box(u("提取完成,共 %1 个分享链接,请点击刷新列表").arg(result.shares),
                          kIconInformation, from_gbk(gbk::kNoticeCaption), this, 2000);
      });
}

void MainWindow::wait_for_file_reading() {
  while (text_job_ || !text_jobs_.empty()) {
    if (text_job_) text_job_->waitForFinished();
    QApplication::processEvents();
  }
}

void MainWindow::reset_run_state() {
  title_prefix_ = kTitlePrefix;
  session_->reset_run_state();
}

void MainWindow::reload_list() {
  // A reload after a typesetting or an extraction still under way loads what they make.
  if (!text_job_ && text_jobs_.empty()) return reset_run_state();
  run_text_job(
      [] {
        return TextJobResult{true, {}, {}, 0, {}};
      },
      [this](TextJobResult) { reset_run_state(); });
}

void MainWindow::start_check_run() {
  if (parse_leading_int(to_gbk(thread_count_->text())) <= 0) {
    // A run without a usable number would wait for one without a word.
    thread_count_->setFocus(Qt::OtherFocusReason);
    thread_count_->selectAll();
    timed_message_box(u("请先在“线程数”中填一个大于 0 的数字（例如 10），再开始检测。"),
                      kIconWarning, from_gbk(gbk::kNoticeCaption), this, 3000);
    return;
  }
  const ProbeSettings& probe = session_->run_template().probe;
  if (!probe.ca_file.empty() && !probe.insecure) {
    // Without the authority every answer would look like a forged one.
    if (const auto problem = ca_file_problem(probe.ca_file)) {
      warn(u("无法检测"), u("证书文件无法使用：\n%1\n\n原因：%2")
                              .arg(QFile::decodeName(probe.ca_file.c_str()), error_zh(*problem)));
      return;
    }
  }
  if (!session_->start_check_run())
    warn(u("无法检测"), u("系统没有给检测分配线程（线程太多？），检测没有开始。"));
}

void MainWindow::show_summary() {
  const RunSnapshot run = session_->run()->snapshot();
  QMessageBox box(
      QMessageBox::Information, from_gbk(gbk::kSummaryCaption),
      from_gbk(summary_text(run.valid, run.invalid, run.unknown, run.repeats, run.uncounted)),
      QMessageBox::Ok);
  use_chinese_buttons(box);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

void MainWindow::export_valid_links() {
  const ExportSources sources = ExportSources::system();
  const std::string text = export_text(*session_->table(), sources.local_time());
  const QFileInfo desktop(places_.desktop);
  QString why;
  if (!places_.desktop.isEmpty() && desktop.isDir()) {
    const ExportResult result = write_export_file(path_bytes(places_.desktop), text, sources);
    if (result.ok) return show_export_notice(QFile::decodeName(result.path.c_str()));
    why = u("有效链接无法写到桌面：\n%1\n\n原因：%2")
              .arg(QFile::decodeName(result.path.c_str()), error_zh(result.error));
  } else {
    why = u("桌面文件夹不存在：\n%1").arg(places_.desktop);
  }
  // Not lost for a missing or locked desktop: the user picks another place.
  export_to_chosen_file(text, why);
}

bool MainWindow::export_to_chosen_file(const std::string& text, const QString& why) {
  QString suggested = QDir(QStandardPaths::writableLocation(QStandardPaths::HomeLocation))
                          .filePath(u("有效链接.txt"));
  for (;;) {
    if (!desktop_.choose_export_file) {
      warn(u("导出失败"), why);
      return false;
    }
    const ExportChoice choice = desktop_.choose_export_file(this, suggested);
    if (choice.path.isEmpty()) {
      warn(u("导出失败"), why + u("\n\n有效链接没有导出。"));
      return false;
    }
    const ExportResult result =
        write_new_file(path_bytes(choice.path), choice.utf8 ? gbk_to_utf8(text) : text);
    if (result.ok) {
      show_export_notice(choice.path);
      return true;
    }
    // An existing file is never replaced; any failure lets the user choose again.
    warn(u("导出失败"),
         u("无法写入：\n%1\n\n原因：%2\n请另选一个文件名或位置。")
             .arg(choice.path, result.error_code == EEXIST
                                   ? u("已有同名文件，导出不会覆盖它")
                                   : QString::fromStdString(error_text_zh(result.error_code))));
    suggested = choice.path;
  }
}

void MainWindow::show_export_notice(const QString& path) {
  QMessageBox box(QMessageBox::Information, u("导出完成"),
                  u("有效链接已导出到：\n%1").arg(QDir::toNativeSeparators(path)),
                  QMessageBox::NoButton, this);
  box.setTextInteractionFlags(Qt::TextSelectableByMouse);
  QPushButton* open_folder = box.addButton(u("打开所在文件夹"), QMessageBox::ActionRole);
  box.addButton(u("确定"), QMessageBox::AcceptRole);
  box.exec();
  if (box.clickedButton() == open_folder)
    open_in_browser(QUrl::fromLocalFile(QFileInfo(path).absolutePath()).toString());
}

void MainWindow::open_in_browser(const QString& url) {
  if (desktop_.open_url && desktop_.open_url(url)) return;
  warn(u("无法打开"), u("没有能打开它的程序（浏览器或文件管理器）：\n%1").arg(url));
}

void MainWindow::next_theme() {
  theme_number_ = next_theme_number(theme_number_);
  theme_button_->setText(from_gbk(gbk::kThemeCaption) + QString::number(theme_number_));
  apply_theme();
}

void MainWindow::typeset_source_text() {
  // Off the window's thread; the title shows the progress as it comes.
  run_text_job(
      [this, session = session_, prefix = title_prefix_] {
        std::string last;
        TextJobResult result;
        result.ok = true;
        result.text =
            typeset_share_text(*session->source_text(), [&](const TypesetProgress& progress) {
              std::string title = typeset_title(prefix, progress);
              if (title == last) return;
              last = title;
              QMetaObject::invokeMethod(
                  this, [this, title = std::move(title)] { set_title_gbk(title); },
                  Qt::QueuedConnection);
            });
        return result;
      },
      [this](TextJobResult result) {
        session_->set_source_text(std::move(result.text));
        set_title_gbk(title_prefix_);
        timed_message_box(from_gbk(gbk::kTypesetNotice), kIconInformation,
                          from_gbk(gbk::kNoticeCaption), this, 2000);
      });
}

void MainWindow::toggle_single_column_mode() {
  single_column_mode_ = single_column_mode_ == 0 ? 1 : 0;
  apply_column_layout();
  std::string error;
  if (!save_mode(path_bytes(settings_file()), single_column_mode_ == 1, &error))
    warn_settings_failure(error);
}

void MainWindow::save_thread_count(const QString& text) {
  const std::string gbk = to_gbk(text);
  // The run reads the number on every pass, so a change applies to a run under way.
  session_->set_thread_limit(parse_leading_int(gbk));
  if (loading_settings_) return;
  std::string error;
  if (!quorvex::save_thread_count(path_bytes(settings_file()), gbk, &error))
    warn_settings_failure(error);
}

void MainWindow::show_about() {
  timed_message_box(from_gbk(gbk::kAboutText), kIconInformation, from_gbk(gbk::kAboutCaption));
  open_in_browser(u(kAboutUrl));
}

void MainWindow::open_row_link() {
  RowLinkActions actions;
  actions.set_clipboard = [this](const std::string& gbk) {
    if (desktop_.set_clipboard) desktop_.set_clipboard(from_gbk(gbk));
  };
  actions.open_url = [this](const std::string& url) { open_in_browser(from_gbk(url)); };
  actions.refused = [this](const std::string& url) {
    warn(u("不是分享链接"), u("这一行不是百度网盘的分享链接，不会打开：\n%1").arg(from_gbk(url)));
  };
  // The first selected row as the list shows it, whatever its place among the rows.
  const std::vector<int> shown = list_->selected_rows();
  const int row = shown.empty() ? -1 : model_->table_row(shown.front());
  quorvex::open_row_link(*session_->table(), row, actions);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == credit_label_ && event->type() == QEvent::MouseButtonDblClick &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    show_about();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace quorvex
