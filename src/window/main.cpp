#include <QApplication>

#include "window/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Quorvex");
  QApplication::setOrganizationName("Orvane");
  // The window cancels and waits for its loads and probes when it goes, so the program simply
  // returns.
  quorvex::MainWindow window;
  window.show();
  return QApplication::exec();
}
