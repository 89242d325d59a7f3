// The system's side of the window: its folders, clipboard, browser and file dialogs.
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QStandardPaths>
#include <QUrl>

#include "app/messages.h"
#include "window/main_window.h"

namespace quorvex {

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }
QString path_text(const std::string& path) { return QFile::decodeName(path.c_str()); }

}  // namespace

std::vector<std::string> path_list(const QStringList& paths) {
  std::vector<std::string> list;
  for (const QString& p : paths) list.push_back(QFile::encodeName(p).toStdString());
  return list;
}

WindowPlaces WindowPlaces::standard() {
  // The command line's folders, so that both find the same settings, exports and store.
  const AppPlaces app = AppPlaces::standard();
  return {path_text(app.documents), path_text(app.desktop), path_text(app.data),
          QStandardPaths::writableLocation(QStandardPaths::HomeLocation)};
}

DesktopActions DesktopActions::standard() {
  DesktopActions d;
  d.set_clipboard = [](const QString& text) { QApplication::clipboard()->setText(text); };
  d.open_url = [](const QString& url) { return QDesktopServices::openUrl(QUrl(url)); };
  d.choose_file = [](QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, u(msg::kOpenTitle), QString(), u(msg::kOpenFilter));
  };
  d.choose_export_file = [](QWidget* parent, const QString& suggested) {
    // The file type chosen says how the text is written; the presenter asks again itself when the
    // name is taken, as it never overwrites.
    const QString gbk_filter = u(msg::kGbkFilter), utf8_filter = u(msg::kUtf8Filter);
    QString chosen_filter = gbk_filter;
    ChosenExportFile choice;
    choice.path = QFileDialog::getSaveFileName(parent, u(msg::kExportTitle), suggested,
                                               gbk_filter + u(";;") + utf8_filter, &chosen_filter,
                                               QFileDialog::DontConfirmOverwrite);
    choice.utf8 = chosen_filter == utf8_filter;
    return choice;
  };
  return d;
}

}  // namespace quorvex
