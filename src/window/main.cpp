#include <QApplication>
#include <cstdio>

#include "base/worker_threads.h"
#include "window/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Quorvex");
  QApplication::setOrganizationName("Orvane");
  quorvex::MainWindow window;
  window.show();
  const int rc = QApplication::exec();
  std::fflush(stdout);
  // Loads and probes are never waited for; leave without tearing down what they still use.
  if (quorvex::live_workers() > 0) std::_Exit(rc);
  return rc;
}
