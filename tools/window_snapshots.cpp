// Renders the main window into PNG files: the empty window, a forum text just dropped (with the
// line that offers extraction), a checked list at the design size, larger, at the smallest size
// and in a dark theme, and a contact sheet of all 25 themes. Used to look at the window and to
// keep the pictures in docs/ current:
//   window_snapshots OUTPUT_DIR [TEXT_FILE]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "base/gbk_literals.h"
#include "text/file_input.h"
#include "window/link_list_model.h"
#include "window/main_window.h"
#include "window/themes.h"

using namespace quorvex;

namespace {

void settle(MainWindow& w) {
  w.session()->wait_for_loads();
  // A few of the window's refresh ticks, so that the status line has caught up too.
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 120) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    w.model()->refresh();
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: window_snapshots OUTPUT_DIR [TEXT_FILE]\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);
  QTemporaryDir home;
  MainWindow w(WindowPlaces{home.path(), home.path(), QString(), home.path()}, DesktopActions{});
  w.show();
  settle(w);
  w.grab().save(out + QStringLiteral("/window-empty.png"));
  // A forum text as people copy it: loaded as it is, its rows are no list of links.
  w.app().load_text(
      "【合集】纪录片 Japan 4K 蓝光原盘\n"
      "链接：https://pan.baidu.com/s/1kVfX2cQ9Lm7 提取码：x7k2\n"
      "--来自百度网盘超级会员v5的分享\n\n"
      "Spanish 西语入门课程 全套\n"
      "pan.baidu.com/s/1Qw3Ert5Yu7 密码: 8fj3\n\n"
      "熊猫 panda 摄影集\n"
      "https://pan.baidu.com/s/1ZxCvBnM0Lk?pwd=p4nd\n");
  w.wait_for_file_reading();
  settle(w);
  w.grab().save(out + QStringLiteral("/window-forum.png"));
  std::string text;
  for (int i = 0; i < 12; ++i)
    text += "\xD7\xCA\xD4\xB4" + std::to_string(i + 1) + " https://pan.baidu.com/s/1abcDEF" +
            std::to_string(i) + " \xC3\xDC\xC2\xEB\xA3\xBA" + "ab" + std::to_string(10 + i) +
            "\r\n";
  if (argc > 2) {
    const InputFile file = read_input_file(argv[2]);
    if (file.status == InputFile::Status::ok) text = file.text;
  }
  w.session()->set_source_text(text);
  w.app().reset_run_state();
  settle(w);
  // A few verdicts of every kind, so the status columns show what a finished run looks like.
  auto& table = *w.session()->table();
  const RowVerdict kinds[] = {
      {Verdict::valid, Reason::need_code},          {Verdict::valid, Reason::public_share},
      {Verdict::invalid, Reason::deleted},          {Verdict::unknown, Reason::timeout},
      {Verdict::valid, Reason::public_share, true}, {Verdict::invalid, Reason::expired, true}};
  for (int r = 0; r < table.row_count() && r < 12; ++r) {
    table.set_verdict_if(table.generation(), r, kinds[r % 6]);
    table.set_cell_if(table.generation(), r, kColumnDone, gbk::kDoneMark);
  }
  settle(w);
  w.grab().save(out + QStringLiteral("/window.png"));
  // The same list in a larger window and in the smallest one.
  w.resize(980, 720);
  settle(w);
  w.grab().save(out + QStringLiteral("/window-large.png"));
  w.resize(w.minimumSize());
  settle(w);
  w.grab().save(out + QStringLiteral("/window-small.png"));
  w.resize(582, 600);
  for (int n = 1; n <= kThemeCount; ++n) {
    if (!theme_is_dark(n)) continue;
    w.app().set_theme_number(n);
    w.app().apply_theme();
    settle(w);
    w.grab().save(out + QStringLiteral("/window-dark.png"));
    break;
  }

  const int columns = 5, scale_w = 291, scale_h = 300;
  QImage sheet(columns * scale_w, 5 * (scale_h + 18), QImage::Format_RGB32);
  sheet.fill(Qt::white);
  QPainter painter(&sheet);
  for (int n = 1; n <= kThemeCount; ++n) {
    w.app().set_theme_number(n);
    w.app().apply_theme();
    settle(w);
    const QImage shot = w.grab().toImage().scaled(scale_w, scale_h, Qt::IgnoreAspectRatio,
                                                  Qt::SmoothTransformation);
    const int x = ((n - 1) % columns) * scale_w, y = ((n - 1) / columns) * (scale_h + 18);
    painter.drawText(QRect(x, y, scale_w, 18), Qt::AlignCenter,
                     QStringLiteral("%1  %2").arg(n).arg(QString::fromUtf8(theme_name(n))));
    painter.drawImage(x, y + 18, shot);
  }
  painter.end();
  sheet.save(out + QStringLiteral("/themes.png"));
  return 0;
}
