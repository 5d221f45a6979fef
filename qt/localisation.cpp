#include "qt/localisation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace tessvar::qt {

bool InstallRussianTranslations(QCoreApplication& app) {
  const QLocale russian(QLocale::Russian, QLocale::Russia);
  // qtbase holds the dialogs' texts; the translator lives as long as the application.
  auto* base = new QTranslator(&app);
  if (!base->load(russian, QStringLiteral("qtbase"), QStringLiteral("_"),
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete base;
    return false;
  }
  return QCoreApplication::installTranslator(base);
}

QString SamplesFolder() {
  const QDir exe(QCoreApplication::applicationDirPath());
  const QStringList candidates{
      exe.absoluteFilePath(QStringLiteral("../share/tessvar/samples")),
#ifdef TESSVAR_SOURCE_SAMPLES
      QStringLiteral(TESSVAR_SOURCE_SAMPLES),
#endif
  };
  for (const QString& c : candidates)
    if (QDir(c).exists()) return QDir(c).canonicalPath();
  return QDir::currentPath();
}

}  // namespace tessvar::qt
