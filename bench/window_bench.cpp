// The window with a million rows: how long the window's thread is ever kept from its events while
// the rows load, while the list is scrolled from top to bottom, and while it is sorted and
// filtered; and what the order beside the rows costs.
//   window_bench [LINES]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
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
  quorvex::MainWindow w(
      quorvex::WindowPlaces{QDir::tempPath(), QDir::tempPath(), QString(), QString()},
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
  w.app().reset_run_state();
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

  // Verdicts of every kind, as after a run, then the orders a user would ask for.
  auto& table = *w.session()->table();
  const quorvex::Verdict kinds[] = {quorvex::Verdict::valid, quorvex::Verdict::invalid,
                                    quorvex::Verdict::valid, quorvex::Verdict::unknown,
                                    quorvex::Verdict::none};
  for (int r = 0; r < table.row_count(); ++r)
    table.set_verdict_if(table.generation(), r, {kinds[(r * 7) % 5], quorvex::Reason::none});
  w.model()->refresh();
  QApplication::processEvents();
  auto timed = [&](const char* what, auto&& ask) {
    longest = 0;
    beat.restart();
    QElapsedTimer clock;
    clock.start();
    ask();
    while (w.model()->ordering()) QApplication::processEvents(QEventLoop::AllEvents, 5);
    QApplication::processEvents();
    std::printf("%-34s %6lld ms  longest block %3lld ms  shown %d rows  order %.1f bytes/row\n",
                what, static_cast<long long>(clock.elapsed()), static_cast<long long>(longest),
                w.model()->rowCount(),
                static_cast<double>(w.model()->order_bytes()) / static_cast<double>(lines));
  };
  timed("sort by status", [&] { list->header()->setSortIndicator(3, Qt::AscendingOrder); });
  timed("filter to valid (sorted by status)", [&] { w.set_filter(quorvex::VerdictFilter::valid); });
  timed("sort by name (filtered)",
        [&] { list->header()->setSortIndicator(0, Qt::AscendingOrder); });
  timed("all rows, sorted by name", [&] { w.set_filter(quorvex::VerdictFilter::all); });
  timed("sort by link, descending",
        [&] { list->header()->setSortIndicator(1, Qt::DescendingOrder); });
  timed("list order again", [&] { list->header()->setSortIndicator(-1, Qt::AscendingOrder); });

  std::printf(
      "rows %ld  load %lld ms  longest block while loading %lld ms  scroll steps %d in %lld ms  "
      "longest block while scrolling %lld ms\n",
      lines, static_cast<long long>(load_ms), static_cast<long long>(load_block), steps,
      static_cast<long long>(scroll_clock.elapsed()), static_cast<long long>(scroll_block));
  return 0;
}
