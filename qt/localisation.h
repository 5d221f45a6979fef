#pragma once
// The parts of Qt's own user interface the window shows (file dialogs, message box
// buttons, edit context menus) in Russian, like the window itself, and the folder file
// dialogs start in.
#include <QString>

class QCoreApplication;

namespace tessvar::qt {

// Installs Qt's Russian translations (Debian qt6-translations-l10n) whatever the locale,
// since the window itself is Russian; false when they are not installed.
bool InstallRussianTranslations(QCoreApplication& app);

// The folder of the sample descriptions: installed beside the program
// (<prefix>/share/tessvar/samples), else the source tree's when run from the build folder,
// else the working directory.
QString SamplesFolder();

}  // namespace tessvar::qt
