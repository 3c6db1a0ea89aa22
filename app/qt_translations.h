#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace trimlet {

// The languages the windows speak: Japanese, the texts' own, and English for everyone else.
enum class UiLanguage { Japanese, English };

// The variable that chooses the language against the system's: ja or en.
inline constexpr char kLanguageVariable[] = "TRIMLET_LANG";

// The windows' language: the one override names (ja or en, also as ja_JP and the like) if it
// names one, else the first of uiLanguages (most wanted first, as QLocale::uiLanguages()
// gives them) that is Japanese or English; English when none is.
UiLanguage chooseUiLanguage(const QString& override, const QStringList& uiLanguages);
// chooseUiLanguage for TRIMLET_LANG and the system's languages (LANGUAGE, LC_ALL, LC_MESSAGES,
// LANG). A TRIMLET_LANG that names neither language is reported on standard error and ignored.
UiLanguage uiLanguageFromEnvironment();

// Makes the windows speak language, to be called before they are built: the program's own
// English texts (built into the program) for English, and Qt's own texts — standard buttons,
// the file and colour dialogs, the edit menu of text fields — from Qt's translation file
// qtbase_ja (Debian: qt6-translations-l10n) for Japanese. Dates and sizes in Qt's dialogs
// follow the same language. False when a translation file is missing; its texts then stay
// in their source language.
bool installQtTranslations(QCoreApplication& app, UiLanguage language);

}  // namespace trimlet
