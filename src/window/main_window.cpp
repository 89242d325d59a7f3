#include "window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QThread>
#include <QThreadPool>
#include <QUrl>
#include <algorithm>

#include "app/layout.h"
#include "app/list_menu.h"
#include "app/messages.h"
#include "window/link_list_model.h"
#include "window/link_list_view.h"
#include "window/themes.h"
#include "window/timed_message_box.h"

// The icon is in the window library's resources, which a static library must ask for by name.
static void load_window_resources() { Q_INIT_RESOURCE(window); }

namespace quorvex {

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }
QString u(const std::string& utf8) { return QString::fromStdString(utf8); }
std::string path_bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString path_text(const std::string& path) { return QFile::decodeName(path.c_str()); }
QRect qrect(const Rect& r) { return {r.x, r.y, r.width, r.height}; }

QFont group_font() {
  QFont font;
  QStringList families;
  for (const char* family : kGroupFontFamilies) families << u(family);
  font.setFamilies(families);
  font.setPixelSize(kGroupFontPixels);
  font.setWeight(QFont::Normal);
  return font;
}

QFont list_font() {
  QFont font;
  QStringList families;
  for (const char* family : kListFontFamilies) families << u(family);
  font.setFamilies(families);
  font.setPixelSize(kListFontPixels);
  return font;
}

QKeySequence group_key(GroupKey key) {
  switch (key) {
    case GroupKey::f5:
      return QKeySequence(Qt::Key_F5);
    case GroupKey::ctrl_r:
      return QKeySequence(Qt::CTRL | Qt::Key_R);
    case GroupKey::ctrl_i:
      return QKeySequence(Qt::CTRL | Qt::Key_I);
    case GroupKey::ctrl_s:
      return QKeySequence(Qt::CTRL | Qt::Key_S);
    case GroupKey::ctrl_t:
      return QKeySequence(Qt::CTRL | Qt::Key_T);
    case GroupKey::ctrl_e:
      return QKeySequence(Qt::CTRL | Qt::Key_E);
    case GroupKey::none:
      break;
  }
  return {};
}

QList<QKeySequence> key_sequences(Key key) {
  if (key == Key::enter) return {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)};
  if (key == Key::ctrl_e) return {QKeySequence(Qt::CTRL | Qt::Key_E)};
  const std::pair<Key, QKeySequence::StandardKey> standard[] = {
      {Key::copy, QKeySequence::Copy},
      {Key::paste, QKeySequence::Paste},
      {Key::open, QKeySequence::Open},
      {Key::find, QKeySequence::Find},
      {Key::delete_key, QKeySequence::Delete}};
  for (const auto& [k, sequence] : standard)
    if (k == key) return {sequence};
  return {};
}

}  // namespace

MainWindow::MainWindow(WindowPlaces places, DesktopActions desktop, CheckRunConfig runs,
                       QWidget* parent)
    : QWidget(parent), desktop_(std::move(desktop)) {
  app_ = std::make_unique<MainPresenter>(
      *this,
      AppPlaces{path_bytes(places.documents), path_bytes(places.desktop),
                places.data.isEmpty() ? std::string() : path_bytes(places.data),
                path_bytes(places.home)},
      std::move(runs));
  app_->on_file_refused = [this](const std::string& m) { emit file_refused(u(m)); };
  app_->on_links_extracted = [this](std::size_t shares) { emit links_extracted(shares); };
  setObjectName(u("mainWindow"));
  setWindowTitle(u(msg::kWindowTitle));
  load_window_resources();
  QIcon icon;
  for (const int size : {32, 64, 256})
    icon.addFile(u(":/icons/quorvex-") + QString::number(size) + u(".png"), QSize(size, size));
  setWindowIcon(icon);
  build_controls();
  // The start-up look first; the saved theme, if any, is applied over it.
  setStyleSheet(theme_style_sheet(kStartupTheme));
  setWindowOpacity(230.0 / 255.0);
  apply_fonts();
  app_->start();
  connect(&refresh_timer_, &QTimer::timeout, this, [this] { app_->tick(); });
  refresh_timer_.start(30);
}

MainWindow::~MainWindow() {
  // Before the widgets: the presenter waits for its work, which may still post to them.
  app_.reset();
}

QString MainWindow::settings_file() const { return path_text(app_->settings_file()); }

void MainWindow::build_controls() {
  move(50, 50);
  setMinimumSize(kMinWidth, kMinHeight);
  resize(kDesignWidth, kDesignHeight);

  list_ = new LinkListView(this);
  list_->setObjectName(u(kListName));
  model_ = new LinkListModel(session()->table(), this);
  model_->set_last_checked([this](int row) { return app_->last_checked(row); });
  list_->setModel(model_);
  // Header clicks sort: ascending, descending, then the list's own order again.
  list_->header()->setSortIndicator(-1, Qt::AscendingOrder);
  list_->header()->setSortIndicatorClearable(true);
  list_->setSortingEnabled(true);

  group_ = new QGroupBox(u(msg::kGroup), this);
  group_->setObjectName(u(kGroupName));
  QWidget* controls[kGroupControlCount];
  for (int i = 0; i < kGroupControlCount; ++i) {
    const GroupControl& c = kGroupControls[i];
    QWidget* w = i == kSingleColumnBox ? new QCheckBox(u(c.caption), group_)
                 : i == kThreadsLabel  ? new QLabel(u(c.caption), group_)
                 : i == kThreadsField  ? static_cast<QWidget*>(new QLineEdit(u(c.caption), group_))
                                       : new QPushButton(u(c.caption), group_);
    w->setObjectName(u(c.name));
    w->setGeometry(qrect(c.rect));
    if (c.tip) w->setToolTip(u(c.tip));
    controls[i] = w;
    controls_[i] = w;
    if (auto* b = qobject_cast<QAbstractButton*>(w))
      connect(b, &QAbstractButton::clicked, this, [this, i] { app_->press(GroupControlIndex(i)); });
  }
  single_column_ = static_cast<QCheckBox*>(controls[kSingleColumnBox]);
  thread_count_ = static_cast<QLineEdit*>(controls[kThreadsField]);
  theme_button_ = static_cast<QPushButton*>(controls[kThemeButton]);
  credit_label_ = new QLabel(u(msg::kCredit), group_);
  credit_label_->setObjectName(u(kCreditName));
  credit_label_->installEventFilter(this);

  build_status_row();
  build_hint_bar();
  // The event table.
  connect(thread_count_, &QLineEdit::textChanged, this,
          [this](const QString& text) { app_->save_thread_count(text.toStdString()); });
  connect(list_, &LinkListView::left_double_clicked, this, [this] { app_->open_row_link(); });
  connect(list_, &QWidget::customContextMenuRequested, this, &MainWindow::show_list_menu);
  connect(list_, &LinkListView::files_dropped, this,
          [this](const QStringList& paths) { app_->load_dropped_files(path_list(paths)); });
  connect(list_, &LinkListView::text_dropped, this,
          [this](const QString& text) { app_->load_text(text.toStdString()); });
  connect(filter_box_, &QComboBox::activated, this, [this](int i) {
    set_filter(static_cast<VerdictFilter>(filter_box_->itemData(i).toInt()));
  });
  connect(list_->header(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
    if (!laying_out_columns_) app_->column_resized(column, width);
  });
  add_list_commands();
  add_group_keys();
  lay_out();
}

void MainWindow::apply_fonts() {
  // Chinese and Latin in one face; the settings group keeps its 楷体. Set on every widget: a new
  // style sheet gives widgets that only inherit their font the application's again.
  const QFont ui = list_font(), group = group_font();
  for (QWidget* w : findChildren<QWidget*>()) w->setFont(ui);
  setFont(ui);
  group_->setFont(group);
  for (QWidget* w : group_->findChildren<QWidget*>()) w->setFont(group);
}

void MainWindow::build_status_row() {
  status_row_ = new QWidget(this);
  status_row_->setObjectName(u(kStatusRowName));
  auto* status_layout = new QHBoxLayout(status_row_);
  status_layout->setContentsMargins(4, 0, 2, 0);
  status_layout->setSpacing(6);
  status_label_ = new QLabel(status_row_);
  status_label_->setObjectName(u(kStatusTextName));
  status_label_->setTextFormat(Qt::PlainText);
  status_label_->setMinimumWidth(1);
  status_label_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  progress_ = new QProgressBar(status_row_);
  progress_->setObjectName(u(kProgressName));
  progress_->setFixedSize(72, 14);
  progress_->setTextVisible(false);
  progress_->hide();
  auto* filter_label = new QLabel(u(msg::kFilterLabel), status_row_);
  filter_box_ = new QComboBox(status_row_);
  filter_box_->setObjectName(u(kFilterName));
  const std::pair<const char*, VerdictFilter> filters[] = {
      {msg::kFilterAll, VerdictFilter::all},
      {msg::kFilterValid, VerdictFilter::valid},
      {msg::kFilterInvalid, VerdictFilter::invalid},
      {msg::kFilterUnknown, VerdictFilter::unknown},
      {msg::kFilterUnchecked, VerdictFilter::unchecked}};
  for (const auto& [caption, filter] : filters)
    filter_box_->addItem(u(caption), static_cast<int>(filter));
  for (const ShareService service : all_services())
    filter_box_->addItem(u(msg::kServiceNames[service_index(service)]),
                         static_cast<int>(service_filter(service)));
  filter_box_->setToolTip(u(msg::kFilterTip));
  filter_label->setBuddy(filter_box_);
  status_layout->addWidget(status_label_, 1);
  status_layout->addWidget(progress_);
  status_layout->addWidget(filter_label);
  status_layout->addWidget(filter_box_);
}

void MainWindow::build_hint_bar() {
  hint_bar_ = new QWidget(this);
  hint_bar_->setObjectName(u(kHintName));
  hint_bar_->setAutoFillBackground(true);
  QPalette palette = hint_bar_->palette();
  palette.setColor(QPalette::Window, QColor(0xff, 0xf4, 0xce));
  palette.setColor(QPalette::WindowText, QColor(0x3b, 0x2f, 0x00));
  hint_bar_->setPalette(palette);
  auto* layout = new QHBoxLayout(hint_bar_);
  layout->setContentsMargins(6, 2, 4, 2);
  hint_label_ = new QLabel(hint_bar_);
  hint_label_->setTextFormat(Qt::PlainText);
  hint_label_->setWordWrap(true);
  hint_label_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* button = new QPushButton(u(msg::kHintButton), hint_bar_);
  button->setObjectName(u(kHintButtonName));
  button->setToolTip(u(kGroupControls[kExtractButton].tip));
  connect(button, &QPushButton::clicked, this, [this] { app_->press(kExtractButton); });
  layout->addWidget(hint_label_, 1);
  layout->addWidget(button);
  hint_bar_->hide();
}

void MainWindow::add_group_keys() {
  // A key the list's menu binds already (Ctrl+E) is left to it: a key bound twice fires neither.
  QList<QKeySequence> taken;
  for (QAction* a : list_actions_) taken += a->shortcuts();
  for (int i = 0; i < kGroupControlCount; ++i) {
    const QKeySequence key = group_key(kGroupControls[i].key);
    if (key.isEmpty() || taken.contains(key)) continue;
    auto* shortcut = new QShortcut(key, this);
    connect(shortcut, &QShortcut::activated, this,
            [this, i] { app_->press(GroupControlIndex(i)); });
  }
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, [this] { app_->stop_check_run(); });
}

void MainWindow::add_list_commands() {
  // The same actions serve the keys and the list's menu.
  for (const ListMenuEntry& entry : list_menu_entries()) {
    auto* action = new QAction(entry.caption ? u(entry.caption) : QString(), this);
    list_actions_.push_back(action);
    if (entry.command == ListCommand::separator) {
      action->setSeparator(true);
      continue;
    }
    QWidget* owner = entry.window_wide ? static_cast<QWidget*>(this) : list_;
    action->setShortcuts(key_sequences(entry.key));
    action->setShortcutContext(entry.window_wide ? Qt::WindowShortcut
                                                 : Qt::WidgetWithChildrenShortcut);
    connect(action, &QAction::triggered, this, [this, command = entry.command] {
      if (command == ListCommand::paste) return paste(QApplication::clipboard()->mimeData());
      if (command == ListCommand::filter) return focus_filter();
      app_->run(command);
    });
    owner->addAction(action);
  }
}

void MainWindow::show_list_menu(const QPoint& at) {
  QMenu menu(this);
  const bool selected = !list_->selected_rows().empty();
  const auto entries = list_menu_entries();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    list_actions_[i]->setEnabled(entry_enabled(entries[i], selected));
    menu.addAction(list_actions_[i]);
  }
  menu.exec(list_->viewport()->mapToGlobal(at));
  // The keys work whatever the menu showed.
  for (QAction* a : list_actions_) a->setEnabled(true);
}

void MainWindow::lay_out() {
  if (!hint_bar_) return;  // not built yet
  const QSize credit = credit_label_->sizeHint();
  const MainLayout l =
      main_layout(width(), height(), credit.width(), credit.height(), !hint_bar_->isHidden());
  hint_bar_->setGeometry(qrect(l.hint));
  list_->setGeometry(qrect(l.list));
  group_->setGeometry(qrect(l.group));
  for (int i = 0; i < kGroupControlCount; ++i) controls_[i]->setGeometry(qrect(l.controls[i]));
  credit_label_->setVisible(l.credit.width > 0);
  credit_label_->setGeometry(qrect(l.credit));
  status_row_->setGeometry(qrect(l.status));
  app_->list_resized(l.list.width);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  lay_out();
  app_->placement_changed();
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  app_->placement_changed();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  app_->save_placement();
  QWidget::closeEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == credit_label_ && event->type() == QEvent::MouseButtonDblClick &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    app_->show_about();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::paste(const QMimeData* mime) {
  if (!mime) return;
  QStringList files;
  if (mime->hasUrls())
    for (const QUrl& url : mime->urls())
      if (url.isLocalFile()) files << url.toLocalFile();
  app_->paste(path_list(files),
              mime->hasText() ? std::optional(mime->text().toStdString()) : std::nullopt);
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

void MainWindow::wait_for_file_reading() {
  while (!app_->text_jobs_idle()) {
    QApplication::processEvents();
    QThread::msleep(1);
  }
}

void MainWindow::set_title(const std::string& text) { setWindowTitle(u(text)); }

void MainWindow::set_status(const std::string& text) {
  status_label_->setText(u(text));
  status_label_->setToolTip(u(text));
}

int MainWindow::status_room() const { return status_label_->contentsRect().width(); }

int MainWindow::text_width(const std::string& text) const {
  return status_label_->fontMetrics().horizontalAdvance(u(text));
}

void MainWindow::set_progress(int done, int total) {
  progress_->setVisible(total > 0);
  if (total <= 0) return;
  progress_->setRange(0, total);
  progress_->setValue(std::min(done, total));
  progress_->setToolTip(u(msg::fill("%1 / %2", {std::to_string(done), std::to_string(total)})));
}

void MainWindow::set_control_caption(int control, const std::string& caption) {
  if (auto* button = qobject_cast<QAbstractButton*>(
          control >= 0 && control < kGroupControlCount ? controls_[control] : nullptr))
    button->setText(u(caption));
}

void MainWindow::show_hint(const std::string& text) {
  hint_label_->setText(u(text));
  hint_label_->setToolTip(u(text));
  if (hint_bar_->isHidden() == text.empty()) return;
  hint_bar_->setVisible(!text.empty());
  lay_out();
}

int MainWindow::shown_rows() const { return model_->rowCount(); }

void MainWindow::rows_changed() {
  model_->refresh();
  list_->set_empty_text(session()->table()->row_count() == 0 && !session()->loading()
                            ? u(msg::kEmptyListHint)
                            : QString());
}

std::vector<int> MainWindow::selected_rows() const {
  std::vector<int> rows;
  for (const int v : list_->selected_rows())
    if (const int r = model_->table_row(v); r >= 0) rows.push_back(r);
  std::sort(rows.begin(), rows.end());
  return rows;
}

int MainWindow::current_row() const {
  const std::vector<int> shown = list_->selected_rows();
  return shown.empty() ? -1 : model_->table_row(shown.front());
}

void MainWindow::show_thread_count(const std::string& text) { thread_count_->setText(u(text)); }
void MainWindow::show_single_column(bool on) { single_column_->setChecked(on); }

void MainWindow::show_theme(int n, const std::string& caption) {
  if (const QString sheet = theme_style_sheet(n); !sheet.isEmpty()) {
    setStyleSheet(sheet);
    apply_fonts();
    model_->set_dark_background(theme_is_dark(n));
  }
  if (!caption.empty()) theme_button_->setText(u(caption));
}

void MainWindow::point_at_thread_count() {
  thread_count_->setFocus(Qt::OtherFocusReason);
  thread_count_->selectAll();
}

void MainWindow::set_column_widths(const std::array<int, 6>& widths) {
  laying_out_columns_ = true;
  for (int c = 0; c < 6; ++c) {
    const int w = widths[static_cast<std::size_t>(c)];
    // The reason column is there or not; the others keep their place at any width.
    if (c == kReasonColumn) list_->header()->setSectionHidden(c, w == 0);
    if (w > 0 || c != kReasonColumn) list_->header()->resizeSection(c, w);
  }
  laying_out_columns_ = false;
}

void MainWindow::place(const Rect& frame) {
  resize(frame.width, frame.height);
  move(frame.x, frame.y);
}

Rect MainWindow::normal_geometry() const {
  // A maximized or full-screen window is remembered at the size it returns to; move() places the
  // frame, normalGeometry() the inside, so the frame's offset is taken off.
  if (!isMaximized() && !isFullScreen()) return {pos().x(), pos().y(), width(), height()};
  const QRect normal = normalGeometry();
  const QPoint at = normal.topLeft() - (geometry().topLeft() - pos());
  return {at.x(), at.y(), normal.width(), normal.height()};
}

std::optional<Rect> MainWindow::screen_room(int x, int y) const {
  QScreen* screen = QGuiApplication::screenAt(QPoint(x, y));
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return std::nullopt;
  const QRect r = screen->availableGeometry();
  return Rect{r.x(), r.y(), r.width(), r.height()};
}

void MainWindow::notice(const std::string& caption, const std::string& text, NoticeIcon icon,
                        int timeout_ms) {
  timed_message_box(u(text), icon == NoticeIcon::warning ? kIconWarning : kIconInformation,
                    u(caption), this, timeout_ms > 0 ? std::optional(timeout_ms) : std::nullopt);
}

void MainWindow::warn(const std::string& title, const std::string& text) {
  warning_box(this, u(title), u(text));
}

void MainWindow::inform(const std::string& caption, const std::string& text) {
  information_box(u(caption), u(text));
}

bool MainWindow::show_exported(const std::string& path) {
  return exported_box(this, u(msg::kExportedTitle),
                      u(msg::exported_to(path_bytes(QDir::toNativeSeparators(path_text(path))))),
                      u(msg::kOpenFolder));
}

std::string MainWindow::choose_file() {
  return desktop_.choose_file ? path_bytes(desktop_.choose_file(this)) : std::string();
}

ExportChoice MainWindow::choose_export_file(const std::string& suggested) {
  if (!desktop_.choose_export_file) return {};
  const ChosenExportFile chosen = desktop_.choose_export_file(this, path_text(suggested));
  return {chosen.path.isEmpty() ? std::string() : path_bytes(chosen.path), chosen.utf8};
}

void MainWindow::set_clipboard(const std::string& text) {
  if (desktop_.set_clipboard) desktop_.set_clipboard(u(text));
}

bool MainWindow::open_url(const std::string& url) {
  return desktop_.open_url && desktop_.open_url(u(url));
}

bool MainWindow::open_folder(const std::string& folder) {
  return desktop_.open_url && desktop_.open_url(QUrl::fromLocalFile(path_text(folder)).toString());
}

void MainWindow::run_in_background(std::function<void()> work) {
  QThreadPool::globalInstance()->start(std::move(work));
}

void MainWindow::post(std::function<void()> call) {
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

}  // namespace quorvex
