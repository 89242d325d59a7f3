#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <string_view>

#include "base/system_limits.h"
#include "window/main_window.h"
#include "window/translations.h"

int main(int argc, char** argv) {
  // Answered before any window system is needed, so that they work on a server too.
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--version") {
      std::printf("quorvex %s\n", QUORVEX_VERSION);
      return 0;
    }
    if (arg == "-h" || arg == "--help") {
      std::printf(
          "Usage: quorvex [FILE...]\n"
          "Opens the Quorvex window; each FILE is loaded as a file dropped on the list.\n"
          "\n"
          "  -h, --help   print this and exit\n"
          "  --version    print the version and exit\n"
          "\n"
          "See quorvex(1), and quorvex-cli(1) for the command line.\n");
      return 0;
    }
  }
  quorvex::raise_open_file_limit();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvex"));
  QApplication::setOrganizationName(QStringLiteral("Orvane"));
  // Docks and task switchers find the desktop entry, and with it the name and icon, by this.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.orvane.Quorvex"));
  quorvex::install_chinese_translations(app);
  // The window cancels and waits for its loads and probes when it goes, so the program simply
  // returns.
  quorvex::MainWindow window;
  window.show();
  // Files named on the command line ("Open with", a file manager's drop on the program) load
  // as files dropped on the list do.
  QStringList files = QApplication::arguments().mid(1);
  files.removeIf([](const QString& a) { return a.startsWith(QLatin1Char('-')); });
  if (!files.isEmpty()) window.app().load_dropped_files(quorvex::path_list(files));
  return QApplication::exec();
}
