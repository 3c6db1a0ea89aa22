#pragma once

class QCoreApplication;

namespace trimlet {

// Qt's own texts — standard buttons, the file and colour dialogs, the overwrite question,
// the edit menu of text fields — in Japanese like the program's own, whatever the locale,
// from Qt's translation file qtbase_ja (Debian: qt6-translations-l10n). False when that file
// is missing; Qt's texts then stay English.
bool installQtTranslations(QCoreApplication& app);

}  // namespace trimlet
