#include "window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>
#include <numeric>

#include "base/gbk_literals.h"
#include "base/text_ops.h"
#include "model/share_url.h"
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
        result.message = u("无法读取文件：\n%1\n\n原因：%2")
                             .arg(path, QString::fromLocal8Bit(file.reason.c_str()));
        return result;
    }
  }
  result.ok = true;
  return result;
}

}  // namespace

WindowPlaces WindowPlaces::standard() {
  return {QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
          QStandardPaths::writableLocation(QStandardPaths::DesktopLocation),
          QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)};
}

DesktopActions DesktopActions::standard() {
  return {[](const QString& text) { QApplication::clipboard()->setText(text); },
          [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); },
          [](QWidget* parent) {
            return QFileDialog::getOpenFileName(parent, u("打开文本文件"), QString(),
                                                u("文本文件 (*.txt);;所有文件 (*)"));
          }};
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
    VerdictStore::Opened opened = VerdictStore::open(path_bytes(places_.data) + "/verdicts.sqlite");
    store_ = std::move(opened.store);
    store_message_ = std::move(opened.message);
    attach_store(runs, store_, VerdictLifetimes{}, false);
  }
  session_ = std::make_shared<Session>(std::move(runs));
  setObjectName("mainWindow");
  setWindowTitle("Quorvex 2.0");
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
  setFixedSize(582, 600);

  list_ = new LinkListView(this);
  list_->setObjectName(u("超级列表框1"));
  list_->setGeometry(-1, 0, 460, 580);
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
  const int widths[kColumnCount] = {100, 220, 40, 40, 40};
  for (int c = 0; c < kColumnCount; ++c) list_->header()->resizeSection(c, widths[c]);

  group_ = new QGroupBox(u("设置栏"), this);
  group_->setObjectName(u("分组框1"));
  group_->setGeometry(455, 8, 120, 600);
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
  credit_label_->setGeometry(25, 529, 60, 20);
  credit_label_->installEventFilter(this);

  for (QWidget* w : group_->findChildren<QWidget*>()) w->setFont(kaiti_font());

  // The event table.
  connect(reload_button_, &QPushButton::clicked, this, &MainWindow::reset_run_state);
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
  add_shortcuts();
}

void MainWindow::add_shortcuts() {
  // The same actions serve the keys and the list's menu.
  auto add = [this](QWidget* owner, const char* caption, const QKeySequence& keys,
                    void (MainWindow::*slot)()) {
    auto* action = new QAction(u(caption), owner);
    action->setShortcut(keys);
    action->setShortcutContext(owner == this ? Qt::WindowShortcut : Qt::WidgetWithChildrenShortcut);
    connect(action, &QAction::triggered, this, slot);
    owner->addAction(action);
    return action;
  };
  paste_action_ = add(list_, "粘贴", QKeySequence::Paste, &MainWindow::paste_clipboard);
  open_action_ = add(this, "打开文件…", QKeySequence::Open, &MainWindow::open_file);
  extract_action_ =
      add(this, "提取链接", QKeySequence(Qt::CTRL | Qt::Key_E), &MainWindow::extract_links);
}

void MainWindow::on_created() {
  // The start-up look first; the saved theme, if any, is applied over it below.
  setStyleSheet(theme_style_sheet(kStartupTheme));
  setWindowOpacity(230.0 / 255.0);
  ensure_settings_folder(path_bytes(places_.documents));
  load_settings();
  apply_column_layout();
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
  list_->header()->resizeSection(0, mode == 1 ? 360 : 100);
  list_->header()->resizeSection(1, mode == 1 ? 0 : 220);
  list_->header()->resizeSection(2, mode == 1 ? 0 : 40);
  list_->resize(460, list_->height());
}

void MainWindow::refresh_tick() {
  model_->refresh();
  show_run_progress();
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

void MainWindow::show_run_progress() {
  // The title follows the run's starts, as it always has: it changes when a probe starts.
  const std::shared_ptr<CheckRun> run = session_->run();
  if (run != shown_run_) {
    shown_run_ = run;
    shown_started_ = 0;
  }
  const RunSnapshot snapshot = run->snapshot();
  const long long wait = cooldown_seconds(snapshot);
  if (snapshot.started == shown_started_ && wait == shown_wait_) return;
  shown_started_ = snapshot.started;
  shown_wait_ = wait;
  set_title_gbk(run_title(title_prefix_, snapshot));
}

void MainWindow::show_list_menu(const QPoint& at) {
  QMenu menu(this);
  menu.addActions({paste_action_, open_action_, extract_action_});
  menu.addSeparator();
  menu.addAction(u("重新检测未确定的行"), this, &MainWindow::recheck_unknown_rows);
  menu.addAction(u("重新检测选中的行"), this, &MainWindow::recheck_selected_rows);
  menu.addAction(u("全部重新检测（不用已存结果）"), this, &MainWindow::recheck_all_rows_fresh);
  menu.exec(list_->viewport()->mapToGlobal(at));
}

void MainWindow::recheck_unknown_rows() {
  const std::shared_ptr<CheckRun> run = session_->run();
  if (run->recheck(run->unknown_rows()) == 0)
    timed_message_box(u("没有未确定的行。"), kIconInformation, from_gbk(gbk::kNoticeCaption), this,
                      2000);
}

void MainWindow::recheck_selected_rows() { session_->run()->recheck(list_->selected_rows()); }

void MainWindow::recheck_all_rows_fresh() {
  // A check of chosen rows always fetches; all rows chosen is a run that ignores the store.
  std::vector<int> rows(static_cast<std::size_t>(session_->table()->row_count()));
  std::iota(rows.begin(), rows.end(), 0);
  session_->run()->recheck(rows);
}

void MainWindow::set_title_gbk(const std::string& gbk) { setWindowTitle(from_gbk(gbk)); }

void MainWindow::warn(const QString& title, const QString& text) {
  QMessageBox::warning(this, title, text);
}

void MainWindow::warn_settings_failure(const std::string& reason) {
  // Once a run is enough: the next keystroke would only say the same again.
  if (settings_warned_) return;
  settings_warned_ = true;
  warn(u("无法保存设置"),
       u("设置无法写入：\n%1\n\n原因：%2\n本次运行中的更改在下次启动时不会保留。")
           .arg(settings_file(), QString::fromLocal8Bit(reason.c_str())));
}

void MainWindow::run_text_job(std::function<TextJobResult()> job,
                              std::function<void(TextJobResult)> done) {
  // Reading a large file or extracting from a large text takes a moment; the window stays
  // responsive meanwhile, and a second job waits for the first.
  wait_for_file_reading();
  text_job_ = new QFutureWatcher<TextJobResult>(this);
  connect(text_job_, &QFutureWatcher<TextJobResult>::finished, this, [this, done] {
    auto* watcher = text_job_;
    text_job_ = nullptr;
    TextJobResult result = watcher->result();
    watcher->deleteLater();
    done(std::move(result));
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
        result.text = decode_input_bytes(utf8.toStdString());
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
  // A file still being read is the text to extract from.
  wait_for_file_reading();
  run_text_job(
      [source = session_->source_text()] {
        TextJobResult result;
        result.ok = true;
        result.text = extract_share_text(*source, &result.shares);
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
  while (text_job_) {
    text_job_->waitForFinished();
    QApplication::processEvents();
  }
}

void MainWindow::reset_run_state() {
  title_prefix_ = kTitlePrefix;
  session_->reset_run_state();
}

void MainWindow::start_check_run() {
  const ProbeSettings& probe = session_->run_template().probe;
  if (!probe.ca_file.empty() && !probe.insecure) {
    // Without the authority every answer would look like a forged one.
    if (const auto problem = ca_file_problem(probe.ca_file)) {
      warn(u("无法检测"), u("证书文件无法使用：\n%1\n\n原因：%2")
                              .arg(QFile::decodeName(probe.ca_file.c_str()),
                                   QString::fromLocal8Bit(problem->c_str())));
      return;
    }
  }
  session_->start_check_run();
}

void MainWindow::show_summary() {
  const RunSnapshot run = session_->run()->snapshot();
  QMessageBox box(QMessageBox::Information, from_gbk(gbk::kSummaryCaption),
                  from_gbk(summary_text(run.valid, run.invalid, run.unknown, run.repeats)),
                  QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

void MainWindow::export_valid_links() {
  const ExportResult result = quorvex::export_valid_links(
      *session_->table(), path_bytes(places_.desktop), ExportSources::system());
  if (!result.ok)
    warn(u("导出失败"), u("有效链接未能导出到：\n%1\n\n原因：%2")
                            .arg(QFile::decodeName(result.path.c_str()),
                                 QString::fromLocal8Bit(result.error.c_str())));
}

void MainWindow::next_theme() {
  theme_number_ = next_theme_number(theme_number_);
  theme_button_->setText(from_gbk(gbk::kThemeCaption) + QString::number(theme_number_));
  apply_theme();
}

void MainWindow::typeset_source_text() {
  const std::shared_ptr<const std::string> source = session_->source_text();
  std::string typeset = typeset_share_text(*source, [this](const TypesetProgress& progress) {
    set_title_gbk(typeset_title(title_prefix_, progress));
  });
  session_->set_source_text(std::move(typeset));
  timed_message_box(from_gbk(gbk::kTypesetNotice), kIconInformation, from_gbk(gbk::kNoticeCaption),
                    this, 2000);
  set_title_gbk(title_prefix_);
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
  if (desktop_.open_url) desktop_.open_url(u(kAboutUrl));
}

void MainWindow::open_row_link() {
  RowLinkActions actions;
  actions.set_clipboard = [this](const std::string& gbk) {
    if (desktop_.set_clipboard) desktop_.set_clipboard(from_gbk(gbk));
  };
  actions.open_url = [this](const std::string& url) {
    if (desktop_.open_url) desktop_.open_url(from_gbk(url));
  };
  quorvex::open_row_link(*session_->table(), list_->first_selected_row(), actions);
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
