#include <QApplication>
#include <QStringList>

#include "window/main_window.h"
#include "window/translations.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Quorvex");
  QApplication::setOrganizationName("Orvane");
  quorvex::install_chinese_translations(app);
  // The window cancels and waits for its loads and probes when it goes, so the program simply
  // returns.
  quorvex::MainWindow window;
  window.show();
  // Files named on the command line ("Open with", a file manager's drop on the program) load
  // as files dropped on the list do.
  QStringList files = QApplication::arguments().mid(1);
  files.removeIf([](const QString& a) { return a.startsWith(QLatin1Char('-')); });
  if (!files.isEmpty()) window.load_dropped_files(files);
  return QApplication::exec();
}
