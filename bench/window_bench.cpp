// The window with a million rows: how long the window's thread is ever kept from its events while
// the rows load, and while the list is scrolled from top to bottom.
//   window_bench [LINES]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <cstdio>

#include "bench_texts.h"
#include "window/link_list_model.h"
#include "window/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const long lines = argc > 1 ? std::atol(argv[1]) : 1000000;
  quorvex::MainWindow w(quorvex::WindowPlaces{QDir::tempPath(), QDir::tempPath(), QString()},
                        quorvex::DesktopActions{});
  w.show();
  auto* list = w.findChild<QTreeView*>(QString::fromUtf8("超级列表框1"));

  // A heartbeat every millisecond; the longest gap between two beats is the longest block.
  QElapsedTimer beat;
  qint64 longest = 0;
  QTimer heart;
  heart.setTimerType(Qt::PreciseTimer);
  QObject::connect(&heart, &QTimer::timeout, [&] { longest = std::max(longest, beat.restart()); });

  w.session()->set_source_text(quorvex::bench::typeset_lines(lines));
  QElapsedTimer load_clock;
  beat.start();
  heart.start(1);
  load_clock.start();
  w.reset_run_state();
  while (w.model()->rowCount() != lines) QApplication::processEvents(QEventLoop::AllEvents, 5);
  const qint64 load_ms = load_clock.elapsed();
  const qint64 load_block = longest;

  longest = 0;
  beat.restart();
  QScrollBar* bar = list->verticalScrollBar();
  QElapsedTimer scroll_clock;
  scroll_clock.start();
  int steps = 0;
  for (int v = 0; v <= bar->maximum(); v += std::max(1, bar->maximum() / 400), ++steps) {
    bar->setValue(v);
    QApplication::processEvents();
    list->viewport()->repaint();
  }
  bar->setValue(bar->maximum());
  QApplication::processEvents();
  const qint64 scroll_block = longest;
  std::printf(
      "rows %ld  load %lld ms  longest block while loading %lld ms  scroll steps %d in %lld ms  "
      "longest block while scrolling %lld ms\n",
      lines, static_cast<long long>(load_ms), static_cast<long long>(load_block), steps,
      static_cast<long long>(scroll_clock.elapsed()), static_cast<long long>(scroll_block));
  return 0;
}
