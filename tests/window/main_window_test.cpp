// The window, driven as a user would: controls found by their names, clicks, a file drop.
#include <unistd.h>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <cmath>
#include <fstream>
#include <map>

#include "app/layout.h"
#include "app/titles.h"
#include "base/charset.h"
#include "shell/profile.h"
#include "support/cells.h"
#include "support/share_service.h"
#include "window/gbk_qstring.h"
#include "window/link_list_model.h"
#include "window/link_list_view.h"
#include "window/main_window.h"
#include "window/themes.h"
#include "window/timed_message_box.h"
#include "window/translations.h"

using namespace quorvex;

namespace {

QString u(const char* s) { return QString::fromUtf8(s); }

// Closes every message box that opens, after noting its text; optionally presses a button.
class BoxCloser : public QObject {
 public:
  explicit BoxCloser(QMessageBox::StandardButton press = QMessageBox::NoButton,
                     const QString& press_text = {})
      : press_(press), press_text_(press_text) {
    connect(&timer_, &QTimer::timeout, this, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || box == last_) return;
      last_ = box;
      texts << box->text();
      titles << box->windowTitle();
      QStringList captions;
      for (QAbstractButton* b : box->buttons()) captions << b->text();
      buttons << captions;
      for (QAbstractButton* b : box->buttons()) {
        if (!press_text_.isEmpty() && b->text() == press_text_) return b->click();
      }
      if (press_ != QMessageBox::NoButton && box->button(press_)) {
        box->button(press_)->click();
      } else {
        box->done(0);
      }
    });
    timer_.start(20);
  }
  QStringList texts, titles;
  QList<QStringList> buttons;  // each box's button captions

 private:
  QTimer timer_;
  QMessageBox::StandardButton press_;
  QString press_text_;
  QPointer<QMessageBox> last_;  // null again once it is gone, so a new box at its address counts
};

std::string read_bytes(const QString& path) {
  std::ifstream in(QFile::encodeName(path).toStdString(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_bytes(const QString& path, const std::string& bytes) {
  std::ofstream(QFile::encodeName(path).toStdString(), std::ios::binary) << bytes;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir home_;
  QStringList opened_;
  QStringList clipboard_;
  QString chosen_file_;  // what the open-file dialog answers
  bool open_works_ = true;
  QList<ChosenExportFile> export_choices_;  // what the save dialog answers, in turn
  QStringList export_suggestions_;

  // A window whose runs reach `service` (when given) as pan.baidu.com.
  std::unique_ptr<MainWindow> make_window(const test::ShareService* service = nullptr) {
    QDir().mkpath(home_.path() + "/Documents");
    QDir().mkpath(home_.path() + "/Desktop");
    DesktopActions desktop{[this](const QString& t) { clipboard_ << t; },
                           [this](const QString& url) {
                             opened_ << url;
                             return open_works_;
                           },
                           [this](QWidget*) { return chosen_file_; },
                           [this](QWidget*, const QString& suggested) {
                             export_suggestions_ << suggested;
                             ChosenExportFile choice = export_choices_.value(0);
                             if (!export_choices_.isEmpty()) export_choices_.removeFirst();
                             return choice;
                           }};
    CheckRunConfig runs;
    if (service) {
      runs.probe.ca_file = test::test_ca_file();
      runs.probe.connect_to = {service->connect_to()};
      runs.probe.retry_delay = std::chrono::milliseconds(20);
    }
    auto w = std::make_unique<MainWindow>(
        WindowPlaces{home_.path() + "/Documents", home_.path() + "/Desktop", home_.path() + "/Data",
                     home_.path()},
        desktop, runs);
    w->show();
    return w;
  }
  template <class T>
  T* find(MainWindow& w, const char* name) {
    T* found = w.findChild<T*>(u(name));
    if (!found) qFatal("no control %s", name);
    return found;
  }
  void wait_for_rows(MainWindow& w, int rows) {
    w.session()->wait_for_loads();
    QTRY_COMPARE(w.model()->rowCount(), rows);
  }
  // Loads the text, clicks 开始检测 and waits until the run has ended.
  void check_to_the_end(MainWindow& w, const std::string& text, int rows) {
    w.session()->set_source_text(text);
    w.app().reset_run_state();
    wait_for_rows(w, rows);
    BoxCloser closer;
    QTest::mouseClick(find<QPushButton>(w, "按钮2"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.session()->run()->snapshot().active(), 30000);
    // The end of the run is said, and the button starts again.
    QTRY_COMPARE(closer.titles.size(), 1);
    QCOMPARE(closer.titles[0], u("检测完成"));
    QVERIFY(closer.texts[0].startsWith(u("检测完成：有效 ")));
    QCOMPARE(find<QPushButton>(w, "按钮2")->text(), u("开始检测"));
  }
  // The entries of the list's right-click menu, read while it is open.
  QStringList menu_entries(LinkListView* list) {
    QStringList entries;
    QTimer::singleShot(100, [&] {
      if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        for (QAction* a : menu->actions()) entries << a->text();
        menu->close();
      }
    });
    emit list->customContextMenuRequested(QPoint(5, 5));
    return entries;
  }
  std::string ini(MainWindow& w, const char* key) {
    return read_profile_string(QFile::encodeName(w.settings_file()).toStdString(), "start",
                               utf8_to_gbk(key));
  }

 private slots:
  void init() {
    QDir(home_.path()).removeRecursively();
    QDir().mkpath(home_.path());
    opened_.clear();
    clipboard_.clear();
    open_works_ = true;
    export_choices_.clear();
    export_suggestions_.clear();
  }

  void controls_have_their_names_places_and_captions() {
    auto w = make_window();
    QCOMPARE(w->windowTitle(), u("Quorvex 2.0"));
    QCOMPARE(w->size(), QSize(582, 600));
    QVERIFY(qAbs(w->windowOpacity() - 230.0 / 255.0) < 0.01);
    // The design places, except where they overlapped: the group now starts right of the list,
    // and both end above the status line.
    QCOMPARE(find<LinkListView>(*w, "超级列表框1")->geometry(), QRect(-1, 0, 460, 578));
    auto* group = find<QGroupBox>(*w, "分组框1");
    QCOMPARE(group->geometry(), QRect(460, 8, 120, 568));
    QCOMPARE(group->title(), u("设置栏"));
    struct Expect {
      const char* name;
      QRect rect;
      const char* caption;
    };
    const Expect buttons[] = {
        {"按钮5", {15, 90, 80, 24}, "切换皮肤"},  {"按钮6", {15, 125, 80, 24}, "重新排版"},
        {"按钮1", {15, 160, 80, 24}, "刷新列表"}, {"按钮2", {15, 195, 80, 24}, "开始检测"},
        {"按钮3", {15, 230, 80, 24}, "数据统计"}, {"按钮4", {15, 265, 80, 24}, "导出有效"}};
    for (const auto& e : buttons) {
      auto* b = find<QPushButton>(*w, e.name);
      QCOMPARE(b->geometry(), e.rect);
      QCOMPARE(b->text(), u(e.caption));
      QCOMPARE(b->parentWidget(), group);
      QCOMPARE(b->font().pixelSize(), 12);
    }
    QCOMPARE(find<QCheckBox>(*w, "选择框1")->geometry(), QRect(6, 30, 80, 24));
    QVERIFY(!find<QCheckBox>(*w, "选择框1")->isChecked());
    QCOMPARE(find<QLabel>(*w, "透明标签2")->text(), u("线程数："));
    QCOMPARE(find<QLineEdit>(*w, "编辑框_线程数")->geometry(), QRect(57, 55, 40, 20));
    QCOMPARE(find<QLineEdit>(*w, "编辑框_线程数")->text(), u("10"));
    auto* credit = find<QLabel>(*w, "透明标签1");
    QCOMPARE(credit->geometry().topLeft(), QPoint(25, 529));
    QVERIFY(credit->width() >= credit->sizeHint().width());  // the whole name, not "Halvik@Orv"
    QVERIFY(group->rect().contains(credit->geometry()));
    QCOMPARE(find<QLabel>(*w, "透明标签1")->text(), u("Halvik@Orvane"));
    QVERIFY(find<QLabel>(*w, "透明标签1")->font().families().contains(u("楷体")));
    auto* header = find<LinkListView>(*w, "超级列表框1")->header();
    QCOMPARE(w->model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), u("网盘地址"));
    QCOMPARE(QList<int>({header->sectionSize(0), header->sectionSize(1), header->sectionSize(2),
                         header->sectionSize(3), header->sectionSize(4)}),
             QList<int>({100, 220, 40, 40, 40}));
    // First start: the settings folder exists and the theme has been written as 0.
    QCOMPARE(ini(*w, "主题"), std::string("0"));
  }

  void single_column_mode_toggles_and_is_saved() {
    auto w = make_window();
    auto* box = find<QCheckBox>(*w, "选择框1");
    auto* header = find<LinkListView>(*w, "超级列表框1")->header();
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, 12));
    QVERIFY(box->isChecked());
    QCOMPARE(QList<int>({header->sectionSize(0), header->sectionSize(1), header->sectionSize(2),
                         header->sectionSize(3)}),
             QList<int>({360, 0, 0, 40}));
    QCOMPARE(ini(*w, "模式"), utf8_to_gbk("真"));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, 12));
    QCOMPARE(QList<int>({header->sectionSize(0), header->sectionSize(1), header->sectionSize(2)}),
             QList<int>({100, 220, 40}));
    QCOMPARE(ini(*w, "模式"), utf8_to_gbk("假"));
    w.reset();
    // A saved "on" (any text but 假) ticks the box at the next start, before any load.
    write_bytes(home_.path() + "/Documents/Orvane/Quorvex/Baifig.ini",
                utf8_to_gbk("[start]\r\n主题=7abc\r\n线程数= 25 \r\n模式=1\r\n"));
    auto again = make_window();
    QVERIFY(find<QCheckBox>(*again, "选择框1")->isChecked());
    QCOMPARE(find<LinkListView>(*again, "超级列表框1")->header()->sectionSize(0), 360);
    QCOMPARE(find<QLineEdit>(*again, "编辑框_线程数")->text(), u("25"));
    QCOMPARE(ini(*again, "主题"), std::string("7"));  // read as 7 and written back as 7
  }

  void thread_count_is_saved_at_every_change() {
    auto w = make_window();
    auto* edit = find<QLineEdit>(*w, "编辑框_线程数");
    edit->clear();
    QCOMPARE(ini(*w, "线程数"), std::string());
    QTest::keyClicks(edit, "32");
    QCOMPARE(ini(*w, "线程数"), std::string("32"));
  }

  void theme_button_cycles_and_saves() {
    auto w = make_window();
    auto* button = find<QPushButton>(*w, "按钮5");
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(button->text(), u("主题:1"));
    QCOMPARE(w->styleSheet(), theme_style_sheet(1));
    QCOMPARE(ini(*w, "主题"), std::string("1"));
    w->app().set_theme_number(25);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(button->text(), u("主题:1"));
    QCOMPARE(theme_style_sheet(10), theme_style_sheet(21));
    QVERIFY(theme_style_sheet(0).isEmpty() && theme_style_sheet(26).isEmpty());
    QVERIFY(theme_style_sheet(24) != theme_style_sheet(23));
  }

  void dropping_files_loads_them() {
    auto w = make_window();
    const QString a = home_.path() + "/a.txt", b = home_.path() + "/b.txt";
    write_bytes(a,
                "\xE6\xA0\x87\xE9\xA2\x98 https://pan.baidu.com/s/1a "
                "\xE6\x8F\x90\xE5\x8F\x96\xE7\xA0\x81\xEF\xBC\x9A"
                "ab12\r\n");
    write_bytes(b, utf8_to_gbk("second https://pan.baidu.com/s/1b"));
    auto* list = find<LinkListView>(*w, "超级列表框1");
    auto drop = [&](const QStringList& paths) {
      QMimeData mime;
      QList<QUrl> urls;
      for (const auto& p : paths) urls << QUrl::fromLocalFile(p);
      mime.setUrls(urls);
      QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, {});
      QApplication::sendEvent(list->viewport(), &enter);
      QVERIFY(enter.isAccepted());
      QDropEvent event(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, {});
      QApplication::sendEvent(list->viewport(), &event);
      w->wait_for_file_reading();
    };
    drop({a});
    wait_for_rows(*w, 1);
    QCOMPARE(w->model()->data(w->model()->index(0, 0), Qt::DisplayRole).toString(), u("标题"));
    QCOMPARE(w->model()->data(w->model()->index(0, 2), Qt::DisplayRole).toString(), u("ab12"));
    // Two files at once: both, in drop order.
    drop({a, b});
    wait_for_rows(*w, 2);
    QCOMPARE(w->model()->data(w->model()->index(1, 0), Qt::DisplayRole).toString(), u("second"));
    // A file that cannot be read keeps the text and the list, and says so.
    BoxCloser closer;
    drop({home_.path() + "/missing.txt"});
    QTRY_COMPARE(closer.texts.size(), 1);
    QVERIFY(closer.texts[0].contains("missing.txt"));
    QCOMPARE(w->model()->rowCount(), 2);
    QVERIFY(w->session()->source_text()->find("second") != std::string::npos);
    // NUL bytes are taken out, not taken for the end: every row loads, and a notice says so.
    write_bytes(
        home_.path() + "/nul.txt",
        std::string("n1 https://pan.baidu.com/s/1a\r\n\0\0n2 https://pan.baidu.com/s/1b", 62));
    drop({home_.path() + "/nul.txt"});
    wait_for_rows(*w, 2);
    QCOMPARE(w->model()->data(w->model()->index(1, 0), Qt::DisplayRole).toString(), u("n2"));
    QTRY_COMPARE(closer.texts.size(), 2);
    QVERIFY(closer.texts[1].contains(u("2 个空字节")));
    // An empty file is no error: it loads an empty list.
    write_bytes(home_.path() + "/empty.txt", "");
    drop({home_.path() + "/empty.txt"});
    wait_for_rows(*w, 0);
    QCOMPARE(closer.texts.size(), 2);
    // Dropped text is taken in as a file's text would be: LF ends, UTF-16 inside Qt, to GBK.
    QMimeData text_only;
    text_only.setText(u("甲 https://pan.baidu.com/s/1x\n乙 https://pan.baidu.com/s/1y"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text_only, Qt::LeftButton, {});
    QApplication::sendEvent(list->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent text_drop(QPointF(5, 5), Qt::CopyAction, &text_only, Qt::LeftButton, {});
    QApplication::sendEvent(list->viewport(), &text_drop);
    w->wait_for_file_reading();
    wait_for_rows(*w, 2);
    QCOMPARE(*w->session()->source_text(),
             utf8_to_gbk("甲 https://pan.baidu.com/s/1x\r\n乙 https://pan.baidu.com/s/1y"));
    QCOMPARE(w->model()->data(w->model()->index(1, 0), Qt::DisplayRole).toString(), u("乙"));
  }

  void paste_and_open_take_texts_and_files_in() {
    auto w = make_window();
    // Shortcuts reach only the active window.
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    auto* list = find<LinkListView>(*w, "超级列表框1");
    // Ctrl+V on the list with text on the clipboard (CR ends, as old Mac editors write).
    QApplication::clipboard()->setText(
        u("一 https://pan.baidu.com/s/1a\r二 https://pan.baidu.com/s/1b\r"));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
    w->wait_for_file_reading();
    wait_for_rows(*w, 2);
    QCOMPARE(w->model()->data(w->model()->index(0, 0), Qt::DisplayRole).toString(), u("一"));
    QCOMPARE(*w->session()->source_text(),
             utf8_to_gbk("一 https://pan.baidu.com/s/1a\r\n二 https://pan.baidu.com/s/1b\r\n"));
    // A copied file name, and copied files, load the file.
    const QString lf_file = home_.path() + "/lf.txt";
    write_bytes(lf_file, utf8_to_gbk("a https://pan.baidu.com/s/1a\nb https://pan.baidu.com/s/1b\n"
                                     "c https://pan.baidu.com/s/1c\n"));
    QMimeData name;
    name.setText(lf_file + "\n");
    w->paste(&name);
    w->wait_for_file_reading();
    wait_for_rows(*w, 3);
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(lf_file), QUrl::fromLocalFile(lf_file)});
    w->paste(&files);
    w->wait_for_file_reading();
    wait_for_rows(*w, 6);
    // Ctrl+O: the dialog's answer is loaded; no answer changes nothing.
    write_bytes(home_.path() + "/one.txt", "x https://pan.baidu.com/s/1x");
    chosen_file_ = home_.path() + "/one.txt";
    QTest::keyClick(w.get(), Qt::Key_O, Qt::ControlModifier);
    w->wait_for_file_reading();
    wait_for_rows(*w, 1);
    chosen_file_.clear();
    w->app().open_file();
    w->wait_for_file_reading();
    QCOMPARE(w->model()->rowCount(), 1);
    // The menu offers them all.
    const QStringList entries = menu_entries(list);
    QVERIFY(entries.contains(u("粘贴")) && entries.contains(u("打开文件…")) &&
            entries.contains(u("提取链接")));
  }

  void extract_links_replaces_the_source_text() {
    auto w = make_window();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    w->session()->set_source_text(utf8_to_gbk(
        "好 资源\r\n链接: pan.baidu.com/s/1abc?pwd=ab12\r\n再发一次 pan.baidu.com/s/1abc\r\n"
        "另一个 https://pan.baidu.com/share/init?surl=xyz 提取码: cd34\r\n"));
    BoxCloser closer;
    QSignalSpy extracted(w.get(), &MainWindow::links_extracted);
    QTest::keyClick(w.get(), Qt::Key_E, Qt::ControlModifier);
    w->wait_for_file_reading();
    QCOMPARE(extracted.size(), 1);
    QCOMPARE(extracted[0][0].value<std::size_t>(), std::size_t{2});
    QCOMPARE(*w->session()->source_text(),
             utf8_to_gbk("好　资源  链接：https://pan.baidu.com/s/1abc  密码：ab12\r\n"
                         "另一个  链接：https://pan.baidu.com/s/1xyz  密码：cd34\r\n"));
    QTRY_COMPARE(closer.texts.size(), 1);
    QCOMPARE(closer.texts[0], u("提取完成，共 2 个分享链接，列表已刷新"));
    // The list shows them at once.
    wait_for_rows(*w, 2);
    // A text without a share keeps its text.
    w->session()->set_source_text("no links here");
    w->app().extract_links();
    w->wait_for_file_reading();
    QCOMPARE(*w->session()->source_text(), std::string("no links here"));
    QTRY_COMPARE(closer.texts.size(), 2);
  }

  void typeset_then_reload_shows_typeset_rows() {
    auto w = make_window();
    w->session()->set_source_text(
        utf8_to_gbk("标题\r\n链接：https://pan.baidu.com/s/1a\r\n提取码：x9\r\n"));
    BoxCloser closer;
    QTest::mouseClick(find<QPushButton>(*w, "按钮6"), Qt::LeftButton);
    // Typesetting runs off the window's thread; a reload clicked meanwhile waits for it.
    QTest::mouseClick(find<QPushButton>(*w, "按钮1"), Qt::LeftButton);
    w->wait_for_file_reading();
    QCOMPARE(closer.texts, QStringList({u("排版完成,请点击刷新列表")}));
    QCOMPARE(closer.titles, QStringList({u("提示")}));
    wait_for_rows(*w, 1);
    QCOMPARE(w->model()->data(w->model()->index(0, 1), Qt::DisplayRole).toString(),
             u("https://pan.baidu.com/s/1a"));
    QCOMPARE(w->model()->data(w->model()->index(0, 2), Qt::DisplayRole).toString(), u("x9"));
  }

  void summary_and_export() {
    test::ShareService service;
    auto w = make_window(&service);
    check_to_the_end(*w,
                     "n1 " + test::ShareService::link("deleted") + "\r\nn2 " +
                         test::ShareService::link("need") + "\r\nn3 " +
                         test::ShareService::link("public") + "\r\n",
                     3);
    BoxCloser closer;
    QTest::mouseClick(find<QPushButton>(*w, "按钮3"), Qt::LeftButton);
    QCOMPARE(closer.texts, QStringList({u("共计检测:3条网址\r\n有效网址:2\r\n失效网址:1")}));
    QCOMPARE(closer.titles, QStringList({u("数据:")}));
    QTest::mouseClick(find<QPushButton>(*w, "按钮4"), Qt::LeftButton);
    const QStringList files = QDir(home_.path() + "/Desktop").entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QVERIFY(QRegularExpression(u("^有效链接[a-z]([1-9][0-9]{0,2}|1000)\\.txt$"))
                .match(files[0])
                .hasMatch());
    const std::string content = read_bytes(home_.path() + "/Desktop/" + files[0]);
    QVERIFY(content.rfind(" n2   " + utf8_to_gbk("链接：") +
                              "https://pan.baidu.com/s/1need   \r\n" + " n3   " +
                              utf8_to_gbk("链接：") +
                              "https://pan.baidu.com/s/1public   \r\n\r\n\r\nQuorvexByOrvane   ",
                          0) == 0);
    // A notice names the file written.
    QTRY_COMPARE(closer.texts.size(), 2);
    QVERIFY(closer.texts[1].contains(home_.path() + "/Desktop/" + files[0]));
    QCOMPARE(closer.titles[1], u("导出完成"));

    // Without a desktop folder a save dialog is offered instead. A file that exists is never
    // replaced: the user is told and asked again; the second answer asks for UTF-8.
    QDir(home_.path() + "/Desktop").removeRecursively();
    const QString taken = home_.path() + "/taken.txt", fresh = home_.path() + "/fresh.txt";
    write_bytes(taken, "keep");
    export_choices_ = {{taken, false}, {fresh, true}};
    QTest::mouseClick(find<QPushButton>(*w, "按钮4"), Qt::LeftButton);
    QTRY_COMPARE(closer.texts.size(), 4);
    QCOMPARE(export_suggestions_.size(), 2);
    QCOMPARE(read_bytes(taken), std::string("keep"));
    QVERIFY(closer.texts[2].contains(taken));
    QVERIFY(closer.texts[2].contains(u("不会覆盖")));
    QVERIFY(closer.texts[3].contains(fresh));
    QVERIFY(read_bytes(fresh).rfind(" n2   链接：https://pan.baidu.com/s/1need   \r\n", 0) == 0);
    // Giving up in the dialog says that nothing was exported, and why the desktop would not do.
    QTest::mouseClick(find<QPushButton>(*w, "按钮4"), Qt::LeftButton);
    QTRY_COMPARE(closer.texts.size(), 5);
    QVERIFY(closer.texts[4].contains(home_.path() + "/Desktop"));
    QVERIFY(closer.texts[4].contains(u("没有导出")));
    // Every box speaks Chinese.
    for (const QString& title : closer.titles) QVERIFY(!title.contains(u("OK")));
  }

  void export_notice_opens_the_folder_and_a_failed_open_is_told() {
    auto w = make_window();
    BoxCloser closer(QMessageBox::NoButton, u("打开所在文件夹"));
    QTest::mouseClick(find<QPushButton>(*w, "按钮4"), Qt::LeftButton);
    QTRY_COMPARE(opened_.size(), 1);
    QCOMPARE(opened_[0], QUrl::fromLocalFile(home_.path() + "/Desktop").toString());
    QStringList captions = closer.buttons[0];
    captions.sort();
    QCOMPARE(captions, QStringList({u("打开所在文件夹"), u("确定")}));
    // No program to open it with: said, not swallowed.
    open_works_ = false;
    w->app().show_about();
    QTRY_COMPARE(closer.texts.size(), 3);
    QCOMPARE(closer.titles[2], u("无法打开"));
    QVERIFY(closer.texts[2].contains(u(kAboutUrl)));
    QCOMPARE(closer.buttons[2], QStringList({u("确定")}));
  }

  void double_clicks_open_links_and_about() {
    auto w = make_window();
    w->session()->set_source_text(utf8_to_gbk("t1 https://pan.baidu.com/s/1a\r\n提取码：k7\r\n"));
    w->app().reset_run_state();
    wait_for_rows(*w, 2);
    auto* list = find<LinkListView>(*w, "超级列表框1");
    // Nothing selected: nothing happens.
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(30, 300));
    QVERIFY(opened_.isEmpty());
    const QRect first = list->visualRect(w->model()->index(0, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first.center());
    QCOMPARE(opened_, QStringList({u("https://pan.baidu.com/s/1a")}));
    QCOMPARE(clipboard_, QStringList({QString(), u("k7")}));

    BoxCloser closer;
    QTest::mouseDClick(find<QLabel>(*w, "透明标签1"), Qt::LeftButton);
    QCOMPARE(closer.texts, QStringList({u("恭喜你发现新大陆~")}));
    QCOMPARE(closer.titles, QStringList({u("今天也是充满希望的一天")}));
    QCOMPARE(opened_.last(), u(kAboutUrl));
  }

  void check_run_from_the_window_updates_rows_and_title() {
    auto w = make_window();
    // Rows without "pan" are fetched at the bare prefix, which fails at once.
    w->session()->set_source_text("a b\r\nc d\r\n");
    w->app().reset_run_state();
    wait_for_rows(*w, 2);
    QTest::mouseClick(find<QPushButton>(*w, "按钮2"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(w->model()->data(w->model()->index(1, 4), Qt::DisplayRole).toString(),
                              u("完成"), 60000);
    QCOMPARE(w->model()->data(w->model()->index(0, 3), Qt::DisplayRole).toString(), u("x"));
    QTRY_COMPARE(w->windowTitle(), u("Quorvex2.0  100%"));
  }

  void a_forum_text_is_made_a_list_with_one_click_and_checked_with_f5() {
    test::ShareService service;
    auto w = make_window(&service);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    auto* list = find<LinkListView>(*w, "超级列表框1");
    QTRY_COMPARE(list->empty_text(),
                 u("把含有分享链接的文本拖到这里，或 Ctrl+V 粘贴、Ctrl+O 打开"));
    const std::string forum = "好资源 Japan 合集\n链接：" + test::ShareService::link("public") +
                              " 提取码：ab12\n--来自百度网盘超级会员v5的分享\n熊猫 panda\n" +
                              test::ShareService::link("deleted") + "\n";
    w->app().load_text(forum);
    w->wait_for_file_reading();
    auto* hint = find<QWidget>(*w, "提示栏");
    QTRY_VERIFY(hint->isVisible());
    QVERIFY(!hint->geometry().intersects(list->geometry()));
    QTRY_COMPARE(list->empty_text(), QString());
    BoxCloser closer;
    QTest::mouseClick(find<QPushButton>(*w, "提示栏_提取链接"), Qt::LeftButton);
    w->wait_for_file_reading();
    wait_for_rows(*w, 2);
    QTRY_VERIFY(!hint->isVisible());
    QCOMPARE(w->model()->data(w->model()->index(0, 2), Qt::DisplayRole).toString(), u("ab12"));
    // F5 checks, the button says how to stop, the bar shows how far it is.
    auto* check = find<QPushButton>(*w, "按钮2");
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(w.get(), Qt::Key_F5);
    QTRY_VERIFY_WITH_TIMEOUT(!w->session()->run()->snapshot().active(), 30000);
    QTRY_COMPARE(closer.titles.size(), 2);
    QVERIFY2(closer.texts[1].startsWith(u("检测完成：有效 1，失效 1，未确定 0（用时 ")),
             qPrintable(closer.texts[1]));
    QCOMPARE(check->text(), u("开始检测"));
    auto* progress = find<QProgressBar>(*w, "进度条");
    QVERIFY(progress->isVisible());
    QCOMPARE(progress->value(), progress->maximum());
    QVERIFY(find<QLabel>(*w, "状态文字")->text().contains(u("有效 1　失效 1")));
  }

  void the_check_button_and_esc_stop_a_run() {
    test::ShareService service;
    auto w = make_window(&service);
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    find<QLineEdit>(*w, "编辑框_线程数")->setText(u("1"));
    std::string text;
    for (int i = 0; i < 6; ++i)
      text += "n" + std::to_string(i) + " " +
              test::ShareService::link("slow-" + std::to_string(i)) + "\r\n";
    w->session()->set_source_text(text);
    w->app().reset_run_state();
    wait_for_rows(*w, 6);
    BoxCloser closer;
    auto* check = find<QPushButton>(*w, "按钮2");
    QTest::mouseClick(check, Qt::LeftButton);
    QTRY_COMPARE(check->text(), u("停止检测"));
    QTRY_VERIFY(w->session()->run()->snapshot().running > 0);
    QTest::keyClick(w.get(), Qt::Key_Escape);  // stop: the probe under way finishes
    QVERIFY(w->session()->run()->snapshot().draining);
    QTRY_VERIFY_WITH_TIMEOUT(!w->session()->run()->snapshot().active(), 10000);
    QTRY_COMPARE(closer.titles.size(), 1);
    QCOMPARE(closer.titles[0], u("检测已停止"));
    QVERIFY2(closer.texts[0].contains(u("未检测 5")), qPrintable(closer.texts[0]));
    QCOMPARE(check->text(), u("开始检测"));
    QCOMPARE(w->session()->run()->snapshot().finished, 1);
  }

  void buttons_have_keys_and_tooltips_and_a_code_reads_whole() {
    auto w = make_window();
    const std::pair<const char*, const char*> keys[] = {{"按钮6", "Ctrl+T"}, {"按钮1", "Ctrl+R"},
                                                        {"按钮2", "F5"},     {"按钮3", "Ctrl+I"},
                                                        {"按钮4", "Ctrl+S"}, {"按钮7", "Ctrl+E"}};
    for (const auto& [name, key] : keys)
      QVERIFY2(find<QPushButton>(*w, name)->toolTip().contains(u(key)), name);
    for (const char* name : {"按钮5", "选择框1"})
      QVERIFY2(!find<QWidget>(*w, name)->toolTip().isEmpty(), name);
    // The seventh button: under 导出有效, of its size and font.
    auto* extract = find<QPushButton>(*w, "按钮7");
    auto* export_button = find<QPushButton>(*w, "按钮4");
    QCOMPARE(extract->text(), u("提取链接"));
    QCOMPARE(extract->size(), export_button->size());
    QCOMPARE(extract->x(), export_button->x());
    QCOMPARE(extract->y(), export_button->y() + 35);
    QCOMPARE(extract->font(), export_button->font());
    // The list in a face with Chinese glyphs of its own; a four-character code fits its column.
    auto* list = find<LinkListView>(*w, "超级列表框1");
    const QString family = QFontInfo(list->font()).family();
    QVERIFY2(!family.contains(u("UKai")) && !family.contains(u("Kai")), qPrintable(family));
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    for (const char* code : {"m8x1", "x7k2", "ab12", "8888"})
      QVERIFY2(QFontMetrics(list->font()).horizontalAdvance(u(code)) + 2 * margin <=
                   list->header()->sectionSize(2),
               code);
    // Ctrl+I shows the summary as the button does.
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    BoxCloser closer;
    QTest::keyClick(w.get(), Qt::Key_I, Qt::ControlModifier);
    QTRY_COMPARE(closer.titles.size(), 1);
    QCOMPARE(closer.titles[0], u("数据:"));
    // An empty list has nothing to check, and says so.
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(w.get(), Qt::Key_F5);
    QTRY_COMPARE(closer.titles.size(), 2);
    QVERIFY(closer.texts[1].startsWith(u("列表是空的")));
    QVERIFY(!w->windowIcon().isNull());
  }

  void a_wide_list_shows_the_reason_and_links_keep_their_end() {
    auto w = make_window();
    w->session()->set_source_text(
        test::row_line("n", "https://pan.baidu.com/s/1abcdefghijklmnopqrstuvwxyz0123456789", ""));
    w->app().reset_run_state();
    wait_for_rows(*w, 1);
    auto& table = *w->session()->table();
    table.set_verdict_if(table.generation(), 0, {Verdict::invalid, Reason::expired, true});
    w->model()->refresh();
    auto* list = find<LinkListView>(*w, "超级列表框1");
    QVERIFY(list->header()->isSectionHidden(kReasonColumn));
    QCOMPARE(w->model()->data(w->model()->index(0, kReasonColumn), Qt::DisplayRole).toString(),
             u("已过期 · 已存"));
    QCOMPARE(w->model()->headerData(kReasonColumn, Qt::Horizontal, Qt::DisplayRole).toString(),
             u("原因"));
    w->resize(1000, 600);
    QApplication::processEvents();
    QVERIFY(!list->header()->isSectionHidden(kReasonColumn));
    QCOMPARE(list->header()->sectionSize(kReasonColumn), kReasonColumnWidth);
    // A cut link keeps the share ID at its end: its column draws its own way.
    auto* delegate = list->itemDelegateForColumn(kColumnLink);
    QVERIFY(delegate);
    QCOMPARE(list->textElideMode(), Qt::ElideRight);
    QVERIFY(delegate != list->itemDelegateForColumn(kColumnName));
  }

  void closing_with_probes_under_way_ends_them_all() {
    test::ShareService service;
    const int threads_before = WorkerGroup::live_in_process();
    auto w = make_window(&service);
    w->session()->set_source_text("a " + test::ShareService::link("silent-1") + "\r\nb " +
                                  test::ShareService::link("silent-2") + "\r\n");
    w->app().reset_run_state();
    wait_for_rows(*w, 2);
    QTest::mouseClick(find<QPushButton>(*w, "按钮2"), Qt::LeftButton);
    QTRY_COMPARE(w->session()->run()->snapshot().running, 2);
    QElapsedTimer clock;
    clock.start();
    w.reset();
    QVERIFY(clock.elapsed() < 3000);
    QCOMPARE(WorkerGroup::live_in_process(), threads_before);
  }

  void todays_pages_and_the_share_list_api_give_their_verdicts_in_the_list() {
    test::ShareService service;
    const struct {
      const char* id;
      const char* glyph;
      const char* label;
    } states[] = {
        {"needcode", "√", "需提取码"},        {"publictitle", "√", "公开"},
        {"gbkmeta", "√", "需提取码"},         {"linkerror", "x", "不存在"},
        {"redesigned-0empty", "x", "空分享"}, {"redesigned-115", "x", "禁止分享"},
        {"redesigned-m9", "√", "需提取码"},   {"redesigned-2", "?", "无法识别"},
    };
    std::string text;
    for (const auto& st : states) text += "t " + test::ShareService::link(st.id) + "\r\n";
    auto w = make_window(&service);
    check_to_the_end(*w, text, static_cast<int>(std::size(states)));
    for (int r = 0; r < static_cast<int>(std::size(states)); ++r) {
      const QModelIndex status = w->model()->index(r, 3);
      QTRY_COMPARE(w->model()->data(status, Qt::DisplayRole).toString(), u(states[r].glyph));
      QVERIFY2(w->model()->data(status, Qt::ToolTipRole).toString().startsWith(u(states[r].label)),
               states[r].id);
    }
    // The share-list API was asked only where the page said nothing known.
    QCOMPARE(service.list_requests_for("needcode"), 0);
    QCOMPARE(service.list_requests_for("redesigned-m9"), 1);
  }

  void a_list_checked_again_takes_recent_verdicts_from_the_store() {
    test::ShareService service;
    const std::string text = "a " + test::ShareService::link("public") + "\r\nb " +
                             test::ShareService::link("deleted") + "\r\n";
    QColor fetched_colour;
    {
      auto w = make_window(&service);
      check_to_the_end(*w, text, 2);
      QTRY_COMPARE(w->model()->data(w->model()->index(1, 3), Qt::DisplayRole).toString(), u("x"));
      fetched_colour =
          w->model()->data(w->model()->index(0, 3), Qt::ForegroundRole).value<QColor>();
    }
    // The window is closed and opened again on the same data folder: the run resumes from the
    // store, fetching nothing, and the rows say where their verdicts came from.
    auto w = make_window(&service);
    check_to_the_end(*w, text, 2);
    QTRY_COMPARE(w->model()->data(w->model()->index(1, 3), Qt::DisplayRole).toString(), u("x"));
    QCOMPARE(service.requests().size(), 2u);
    QVERIFY(w->model()
                ->data(w->model()->index(0, 3), Qt::ToolTipRole)
                .toString()
                .contains(u("来自已存结果")));
    QVERIFY(w->model()->data(w->model()->index(0, 3), Qt::ForegroundRole).value<QColor>() !=
            fetched_colour);
    // The menu's fresh check fetches them all again.
    w->app().recheck_all_rows_fresh();
    QTRY_VERIFY_WITH_TIMEOUT(service.requests().size() == 4u, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!w->session()->run()->snapshot().active(), 30000);
    QVERIFY(!w->session()->table()->verdict(0).cached);
    w.reset();
    // QUORVEX_STORE names the store for the window as for the command line: one written
    // elsewhere stands in for the fetches.
    const QString elsewhere = home_.path() + "/elsewhere.sqlite";
    {
      auto opened = VerdictStore::open(QFile::encodeName(elsewhere).toStdString());
      const std::int64_t now = store_time_now();
      opened.store->record({"1public", Verdict::valid, Reason::public_share, now, 200, {}});
      opened.store->record({"1deleted", Verdict::invalid, Reason::deleted, now, 200, {}});
    }
    qputenv("QUORVEX_STORE", QFile::encodeName(elsewhere));
    auto named = make_window(&service);
    qunsetenv("QUORVEX_STORE");
    check_to_the_end(*named, text, 2);
    QCOMPARE(service.requests().size(), 4u);
    QVERIFY(named->session()->table()->verdict(0).cached);
  }

  void verdicts_show_in_colour_with_their_reason_and_can_be_checked_again() {
    test::ShareService service;
    auto w = make_window(&service);
    check_to_the_end(*w,
                     "a " + test::ShareService::link("public") + "\r\nb " +
                         test::ShareService::link("deleted") + "\r\nc " +
                         test::ShareService::link("down") + "\r\n",
                     3);
    QTRY_COMPARE(w->model()->data(w->model()->index(2, 3), Qt::DisplayRole).toString(), u("?"));
    auto cell = [&](int row, int role) {
      return w->model()->data(w->model()->index(row, 3), role);
    };
    QCOMPARE(cell(0, Qt::DisplayRole).toString(), u("√"));
    QCOMPARE(cell(1, Qt::DisplayRole).toString(), u("x"));
    // The reason, then when the share was last checked (from the verdict store).
    QVERIFY(cell(0, Qt::ToolTipRole).toString().startsWith(u("公开\n上次检测：20")));
    QVERIFY(cell(1, Qt::ToolTipRole).toString().startsWith(u("已删除\n")));
    QVERIFY(cell(2, Qt::ToolTipRole).toString().startsWith(u("HTTP 503\n")));
    const QColor valid = cell(0, Qt::ForegroundRole).value<QColor>();
    const QColor invalid = cell(1, Qt::ForegroundRole).value<QColor>();
    const QColor unknown = cell(2, Qt::ForegroundRole).value<QColor>();
    QVERIFY(valid.isValid() && invalid.isValid() && unknown.isValid());
    QVERIFY(valid != invalid && invalid != unknown && valid != unknown);
    QVERIFY(!w->model()->data(w->model()->index(0, 0), Qt::ForegroundRole).isValid());
    // The summary counts the undecided row apart.
    BoxCloser closer;
    QTest::mouseClick(find<QPushButton>(*w, "按钮3"), Qt::LeftButton);
    QCOMPARE(closer.texts.value(0),
             u("共计检测:3条网址\r\n有效网址:1\r\n失效网址:1\r\n未确定网址:1"));
    // The list's menu offers to check rows again, without loading the list again.
    auto* list = find<LinkListView>(*w, "超级列表框1");
    const QStringList offered = menu_entries(list);
    QVERIFY(offered.contains(u("重新检测未确定的行")) && offered.contains(u("重新检测选中的行")));
    const int down_before = service.requests_for("down");
    w->app().recheck_unknown_rows();
    QTRY_VERIFY_WITH_TIMEOUT(service.requests_for("down") > down_before, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!w->session()->run()->snapshot().active(), 30000);
    QCOMPARE(service.requests_for("public"), 1);
    list->selectionModel()->select(w->model()->index(0, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    w->app().recheck_selected_rows();
    QTRY_COMPARE_WITH_TIMEOUT(service.requests_for("public"), 2, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!w->session()->run()->snapshot().active(), 30000);
    QCOMPARE(w->session()->run()->snapshot().checked, 3);
  }

  void the_window_resizes_without_overlaps_and_fits_small_screens() {
    auto w = make_window();
    auto* list = find<LinkListView>(*w, "超级列表框1");
    auto* group = find<QGroupBox>(*w, "分组框1");
    auto* status = find<QWidget>(*w, "状态栏");
    for (const QSize size :
         {QSize(980, 720), QSize(1300, 740), w->minimumSize(), QSize(582, 600)}) {
      w->resize(size);
      QApplication::processEvents();
      QCOMPARE(w->size(), size);
      QVERIFY(!list->geometry().intersects(group->geometry()));
      QVERIFY(!list->geometry().intersects(status->geometry()));
      QVERIFY(!group->geometry().intersects(status->geometry()));
      // The group at the right edge, the status line at the bottom, the list takes the rest.
      QCOMPARE(group->geometry().right(), size.width() - 3);
      QCOMPARE(status->geometry().bottom(), size.height() - 1);
      QCOMPARE(list->geometry().right(), group->geometry().left() - 2);
      QCOMPARE(list->geometry().bottom(), status->geometry().top() - 1);
      // Every control of the group inside it; the credit, which moves, on none of the others
      // and whole.
      auto* credit = find<QLabel>(*w, "透明标签1");
      const QList<QWidget*> controls = group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
      for (QWidget* c : controls) {
        if (c->isHidden()) continue;
        QVERIFY2(group->rect().contains(c->geometry()), qPrintable(c->objectName()));
        QVERIFY2(c == credit || !c->geometry().intersects(credit->geometry()),
                 qPrintable(c->objectName()));
      }
      // Whole, or not there at all in the lowest window.
      QVERIFY(credit->isHidden() || credit->width() >= credit->sizeHint().width());
      QCOMPARE(credit->isHidden(), size == w->minimumSize());
      // Names and links take the room the list has beyond its design width; the reason column
      // shows once it fits.
      const ShownColumns widths = column_widths(kDesignColumns, false, list->width());
      for (int c = 0; c < 5; ++c) QCOMPARE(list->header()->sectionSize(c), widths[c]);
      QCOMPARE(list->header()->isSectionHidden(kReasonColumn), widths[kReasonColumn] == 0);
      if (size == QSize(582, 600)) QCOMPARE(widths, (ShownColumns{100, 220, 40, 40, 40, 0}));
    }
    // A 1366 x 768 screen at 200 % is 683 x 384 to the window: its smallest size fits, title
    // bar included.
    QVERIFY(w->minimumSize().width() <= 683 && w->minimumSize().height() + 32 <= 384);
  }

  void place_size_and_columns_are_remembered() {
    auto w = make_window();
    auto* header = find<LinkListView>(*w, "超级列表框1")->header();
    w->resize(900, 650);
    w->move(120, 60);
    header->resizeSection(1, 300);  // as a drag on the header would
    w->close();
    const std::string ini_path = QFile::encodeName(w->settings_file()).toStdString();
    QCOMPARE(read_profile_string(ini_path, "window", "size"), std::string("900,650"));
    QCOMPARE(read_profile_string(ini_path, "window", "position"), std::string("120,60"));
    // The link column's share of the extra room is not the user's; the rest of 300 is.
    const int link_extra = column_widths(kDesignColumns, false, 900 - 122)[1] - 220;
    QCOMPARE(QString::fromStdString(read_profile_string(ini_path, "window", "columns")),
             u("100,") + QString::number(300 - link_extra) + u(",40,40,40"));
    QCOMPARE(ini(*w, "主题"), std::string("0"));  // the old section is kept
    w.reset();
    auto again = make_window();
    QCOMPARE(again->size(), QSize(900, 650));
    QCOMPARE(again->pos(), QPoint(120, 60));
    auto* list = find<LinkListView>(*again, "超级列表框1");
    QCOMPARE(list->header()->sectionSize(1), 300);
    QCOMPARE(list->header()->sectionSize(0),
             column_widths(kDesignColumns, false, list->width())[0]);
    again.reset();
    // Saved on the screen at 200 %, larger than it: back on that screen, made to fit it.
    write_profile_string(ini_path, "window", "position", "1400,20");
    write_profile_string(ini_path, "window", "size", "900,700");
    auto scaled = make_window();
    const QRect room(1366, 0, 683, 384);
    QVERIFY(room.contains(scaled->frameGeometry()));
    QVERIFY(scaled->height() + 32 <= 384);
    scaled.reset();
    // A place on no screen at all: back where the design puts it.
    write_profile_string(ini_path, "window", "position", "-5000,9000");
    write_profile_string(ini_path, "window", "size", "582,600");
    auto lost = make_window();
    QVERIFY(QRect(0, 0, 1366, 768).contains(lost->frameGeometry()));
  }

  void other_services_shares_are_named_and_can_be_shown_alone() {
    auto w = make_window();
    w->session()->set_source_text(
        "b https://pan.baidu.com/s/1abc\r\n"
        "q 链接:https://pan.quark.cn/s/q1?pwd=ab12\r\n"
        "l https://wwi.lanzoux.com/iAbc\r\n"
        "n nothing\r\n"
        "q2 https://pan.quark.cn/s/q2\r\n");
    w->app().reset_run_state();
    wait_for_rows(*w, 5);
    LinkListModel* model = w->model();
    // The address is the link as found; the reason column and the tooltip name the service of
    // every share that is not Baidu's, before any check.
    QCOMPARE(model->data(model->index(1, kColumnLink), Qt::DisplayRole).toString(),
             u("https://pan.quark.cn/s/q1?pwd=ab12"));
    QCOMPARE(model->data(model->index(1, kReasonColumn), Qt::DisplayRole).toString(),
             u("夸克网盘"));
    QCOMPARE(model->data(model->index(2, kReasonColumn), Qt::DisplayRole).toString(), u("蓝奏云"));
    QCOMPARE(model->data(model->index(0, kReasonColumn), Qt::DisplayRole).toString(), QString());
    QCOMPARE(model->data(model->index(1, kColumnStatus), Qt::ToolTipRole).toString(),
             u("夸克网盘"));
    // The filter offers every service; Quark's shows its two rows only.
    auto* filter = find<QComboBox>(*w, "筛选");
    const int quark = filter->findText(u("夸克网盘"));
    QVERIFY(quark >= 0);
    QCOMPARE(filter->count(), 5 + 7);
    w->set_filter(static_cast<VerdictFilter>(filter->itemData(quark).toInt()));
    QCOMPARE(filter->currentIndex(), quark);
    model->wait_for_order();
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->table_row(0), 1);
    QCOMPARE(model->table_row(1), 4);
    w->set_filter(service_filter(ShareService::baidu));
    QCOMPARE(filter->currentText(), u("百度网盘"));
    model->wait_for_order();
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->table_row(0), 0);
  }

  void sorting_and_filtering_keep_probe_writes_on_their_rows() {
    test::ShareService service;
    auto w = make_window(&service);
    // Names in reverse order of the rows, states mixed, a few slow ones so that the run is still
    // going while the order changes.
    const char* states[] = {"public", "deleted", "need", "expired", "lag", "gone"};
    std::string text;
    std::map<std::string, bool> live;  // by name
    for (int i = 0; i < 24; ++i) {
      const std::string name = "n" + std::to_string(200 - i);
      const std::string state = states[i % 6];
      text += name + " " + test::ShareService::link(state + "-" + std::to_string(i)) + "\r\n";
      live[name] = state == "public" || state == "need" || state == "lag";
    }
    w->session()->set_source_text(text);
    w->app().reset_run_state();
    wait_for_rows(*w, 24);
    auto* list = find<LinkListView>(*w, "超级列表框1");
    LinkListModel* model = w->model();
    // Sorted by name, ascending: the last row comes first.
    list->header()->setSortIndicator(0, Qt::AscendingOrder);
    model->wait_for_order();
    QCOMPARE(model->data(model->index(0, 0), Qt::DisplayRole).toString(), u("n177"));
    QCOMPARE(model->table_row(0), 23);
    QTest::mouseClick(find<QPushButton>(*w, "按钮2"), Qt::LeftButton);
    w->set_filter(VerdictFilter::valid);
    QTRY_VERIFY_WITH_TIMEOUT(!w->session()->run()->snapshot().active(), 30000);
    model->refresh();
    model->wait_for_order();
    // Only the live rows are shown, in name order, each with its own verdict.
    QCOMPARE(model->rowCount(), 12);
    QString previous;
    for (int v = 0; v < model->rowCount(); ++v) {
      const QString name = model->data(model->index(v, 0), Qt::DisplayRole).toString();
      QVERIFY(live.at(name.toStdString()));
      QCOMPARE(model->data(model->index(v, 3), Qt::DisplayRole).toString(), u("√"));
      QVERIFY(previous < name);
      previous = name;
    }
    // Every list row holds the verdict of its own share, whatever was shown where.
    const LinkTable& table = *w->session()->table();
    for (int r = 0; r < 24; ++r)
      QCOMPARE(table.verdict(r).verdict == Verdict::valid, live.at(table.cell(r, 0)));
    // The selection follows its row through every new order.
    list->selectionModel()->select(model->index(model->view_row(0), 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QCOMPARE(w->selected_rows(), std::vector<int>({0}));
    QVERIFY(QString::fromStdString(w->app().status_text()).contains(u("完成 24/24")));
    QVERIFY(QString::fromStdString(w->app().status_text()).contains(u("有效 12")));
    QVERIFY(QString::fromStdString(w->app().status_text()).contains(u("显示 12 行")));
    // By status, all rows: the valid ones first; then back to the list's own order.
    w->set_filter(VerdictFilter::all);
    list->header()->setSortIndicator(3, Qt::AscendingOrder);
    model->wait_for_order();
    QCOMPARE(model->rowCount(), 24);
    for (int v = 0; v < 24; ++v)
      QCOMPARE(model->data(model->index(v, 3), Qt::DisplayRole).toString(),
               v < 12 ? u("√") : u("x"));
    list->header()->setSortIndicator(-1, Qt::AscendingOrder);
    model->wait_for_order();
    for (int v = 0; v < 24; ++v) QCOMPARE(model->table_row(v), v);
    QCOMPARE(w->selected_rows(), std::vector<int>({0}));
  }

  void the_list_menu_and_keys_act_on_the_rows_shown() {
    auto w = make_window();
    w->session()->set_source_text(
        utf8_to_gbk("甲 链接：https://pan.baidu.com/s/1aa 密码：k1\r\n"
                    "乙 https://pan.baidu.com/s/1bb\r\n"
                    "丙 链接：https://pan.baidu.com/s/1aa 密码：k2\r\n"
                    "https://pan.baidu.com/s/1cc\r\n"));
    w->app().reset_run_state();
    wait_for_rows(*w, 4);
    auto* list = find<LinkListView>(*w, "超级列表框1");
    list->setFocus();
    list->header()->setSortIndicator(2, Qt::DescendingOrder);  // by code: k2, k1, then the rest
    w->model()->wait_for_order();
    list->selectionModel()->select(w->model()->index(0, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QCOMPARE(w->selected_rows(), std::vector<int>({2}));
    // Ctrl+C: the rows as lines that load back into the same rows.
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard_.value(0), u("丙  链接：https://pan.baidu.com/s/1aa  密码：k2"));
    list->selectionModel()->select(w->model()->index(1, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    w->app().copy_selected_links();
    QCOMPARE(clipboard_.value(1), u("https://pan.baidu.com/s/1aa\nhttps://pan.baidu.com/s/1aa"));
    w->app().copy_selected_codes();
    QCOMPARE(clipboard_.value(2), u("k1\nk2"));
    // Enter opens the first selected row as shown (and copies its code), as a double-click does.
    list->selectionModel()->select(w->model()->index(0, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(opened_, QStringList({u("https://pan.baidu.com/s/1aa")}));
    QCOMPARE(clipboard_.value(3), u("k2"));
    // The menu offers what the keys do, and more.
    const QStringList offered = menu_entries(list);
    for (const char* entry : {"复制选中的行", "复制链接", "复制提取码", "打开链接",
                              "重新检测选中的行", "删除选中的行", "删除重复的行", "筛选…"})
      QVERIFY2(offered.contains(u(entry)), entry);
    // Delete takes the selected row out; the repeat of a share goes with 删除重复的行.
    QTest::keyClick(list, Qt::Key_Delete);
    w->model()->refresh();
    QTRY_COMPARE(w->session()->table()->row_count(), 3);
    QCOMPARE(w->session()->table()->cell(2, 0), std::string("https://pan.baidu.com/s/1cc"));
    w->session()->set_source_text(
        utf8_to_gbk("a https://pan.baidu.com/s/1x\r\nb "
                    "https://pan.baidu.com/share/init?surl=x\r\nc https://pan.baidu.com/s/1y\r\n"));
    w->app().reset_run_state();
    wait_for_rows(*w, 3);
    BoxCloser closer;
    w->app().remove_repeat_rows();
    QCOMPARE(w->session()->table()->row_count(), 2);
    QCOMPARE(w->session()->table()->cell(1, 0), std::string("c"));
    QCOMPARE(closer.texts.value(0), u("已删除 1 个重复的行。"));
    // Ctrl+F goes to the filter.
    auto* filter = find<QComboBox>(*w, "筛选");
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(filter->view()->isVisible());
    filter->hidePopup();
  }

  void an_unusable_thread_count_is_said_instead_of_waited_on() {
    test::ShareService service;
    auto w = make_window(&service);
    w->session()->set_source_text("a " + test::ShareService::link("public") + "\r\n");
    w->app().reset_run_state();
    wait_for_rows(*w, 1);
    auto* threads = find<QLineEdit>(*w, "编辑框_线程数");
    BoxCloser closer;
    for (const char* text : {"", "abc", "0"}) {
      threads->setText(u(text));
      QTest::mouseClick(find<QPushButton>(*w, "按钮2"), Qt::LeftButton);
      QCOMPARE(w->session()->run()->snapshot().state, RunState::idle);
    }
    QTRY_COMPARE(closer.texts.size(), 3);
    QVERIFY(closer.texts[0].contains(u("线程数")));
    // Typing a number later does not start anything by itself.
    threads->setText(u("5"));
    QTest::qWait(100);
    QCOMPARE(w->session()->run()->snapshot().state, RunState::idle);
    QCOMPARE(service.requests().size(), std::size_t{0});
  }

  void verdict_colours_stay_readable_in_every_theme() {
    auto w = make_window();
    auto* list = find<LinkListView>(*w, "超级列表框1");
    // Relative luminance and contrast ratio as the web's accessibility guidelines define them.
    auto luminance = [](const QColor& c) {
      auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
      };
      return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
             0.0722 * channel(c.blueF());
    };
    auto contrast = [&](const QColor& a, const QColor& b) {
      const double la = luminance(a), lb = luminance(b);
      return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
    };
    LinkTable& table = *w->session()->table();
    w->session()->set_source_text(
        "a https://pan.baidu.com/s/1a\r\nb https://pan.baidu.com/s/1b\r\n"
        "c https://pan.baidu.com/s/1c\r\n");
    w->app().reset_run_state();
    wait_for_rows(*w, 3);
    table.set_verdict_if(table.generation(), 0, {Verdict::valid, Reason::public_share});
    table.set_verdict_if(table.generation(), 1, {Verdict::invalid, Reason::deleted});
    table.set_verdict_if(table.generation(), 2, {Verdict::unknown, Reason::timeout});
    w->model()->refresh();
    for (int n = 1; n <= kThemeCount; ++n) {
      w->app().set_theme_number(n);
      w->app().apply_theme();
      QApplication::processEvents();
      // The list's background where no row is drawn.
      const QImage shot = list->viewport()->grab().toImage();
      const QColor background = shot.pixelColor(shot.width() / 2, shot.height() - 20);
      for (int row = 0; row < 3; ++row) {
        const QColor mark =
            w->model()->data(w->model()->index(row, 3), Qt::ForegroundRole).value<QColor>();
        QVERIFY2(contrast(mark, background) >= 3.0,
                 qPrintable(QString("theme %1 row %2: %3 on %4 is %5:1")
                                .arg(n)
                                .arg(row)
                                .arg(mark.name(), background.name())
                                .arg(contrast(mark, background))));
      }
    }
  }

  void qt_dialogs_speak_chinese_once_its_translations_are_loaded() {
    QVERIFY(install_chinese_translations(*qApp));
    QMessageBox box;
    box.addButton(QMessageBox::Cancel);
    box.addButton(QMessageBox::Save);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), u("取消"));
    QCOMPARE(box.button(QMessageBox::Save)->text(), u("保存"));
  }

  void titles_follow_typesetting_and_the_run() {
    QCOMPARE(from_gbk(typeset_title(kTitlePrefix, {TypesetProgress::Stage::reading, 50})),
             u("Quorvex2.0  进度1/2: 50%"));
    QCOMPARE(from_gbk(typeset_title("", {TypesetProgress::Stage::joining, 100})),
             u("进度2/2: 正在排版......."));
    QCOMPARE(from_gbk(typeset_title("P ", {TypesetProgress::Stage::done, 100})),
             u("P 进度: 全部完成......."));
    RunSnapshot run;
    run.total = 100;
    run.started = 29;  // 29 / 100 x 100 in double precision lies just under 29
    QCOMPARE(from_gbk(run_title(kTitlePrefix, run)), u("Quorvex2.0  28%"));
    run.total = 3;
    run.started = 2;
    QCOMPARE(from_gbk(run_title("", run)), u("66%"));
    // While the service's throttling is waited out, the title says how long.
    run.state = RunState::cooling_down;
    run.cooldown_left = std::chrono::milliseconds(44200);
    QCOMPARE(from_gbk(run_title(kTitlePrefix, run)),
             u("Quorvex2.0  66%  服务限流，约 45 秒后继续"));
  }

  void owner_search_finds_the_visible_window_or_gives_up() {
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(find_process_window(300), static_cast<QWidget*>(nullptr));  // no window is shown
    QVERIFY(clock.elapsed() >= 290);
    auto w = make_window();
    clock.restart();
    QCOMPARE(find_process_window(1000), static_cast<QWidget*>(w.get()));
    QVERIFY(clock.elapsed() < 500);
  }

  void timed_box_times_out_or_reports_the_button() {
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(timed_message_box(u("t"), 64, u("c"), nullptr, 200), kTimedOutAnswer);
    QVERIFY(clock.elapsed() >= 190);
    {
      BoxCloser ok(QMessageBox::Ok);
      QCOMPARE(timed_message_box(u("t"), 0, u("c"), nullptr, 5000), 0);
    }
    BoxCloser no(QMessageBox::No);
    QCOMPARE(timed_message_box(u("t"), 4, u("c"), nullptr, 5000), 6);
  }
};

int main(int argc, char** argv) {
  // Two screens for the offscreen platform: a common laptop's 1366 x 768, and beside it the same
  // screen at 200 % as Qt sees it (683 x 384 logical pixels).
  const QString config = QDir::temp().filePath(QString("quorvex-screens-%1.json").arg(getpid()));
  if (qEnvironmentVariable("QT_QPA_PLATFORM") == "offscreen") {
    QFile file(config);
    if (file.open(QIODevice::WriteOnly))
      file.write(R"({"windowFrameMargins": false, "screens": [
        {"name": "laptop", "x": 0, "y": 0, "width": 1366, "height": 768, "logicalDpi": 96},
        {"name": "laptop-200", "x": 1366, "y": 0, "width": 683, "height": 384, "logicalDpi": 96}
      ]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
  }
  QApplication app(argc, argv);
  MainWindowTest test;
  const int failed = QTest::qExec(&test, argc, argv);
  QFile::remove(config);
  return failed;
}
#include "main_window_test.moc"
