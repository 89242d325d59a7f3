#include "window/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace quorvex {

bool install_chinese_translations(QCoreApplication& app) {
  const QStringList folders = {
      QLibraryInfo::path(QLibraryInfo::TranslationsPath),
      QCoreApplication::applicationDirPath() + QStringLiteral("/translations")};
  for (const QString& folder : folders) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), folder) &&
        QCoreApplication::installTranslator(translator))
      return true;
    delete translator;
  }
  return false;
}

}  // namespace quorvex
