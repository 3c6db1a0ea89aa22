#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <optional>

namespace trimlet {

namespace {

QString languageCode(const QString& name)
{
    return name.section(QLatin1Char('.'), 0, 0)
        .section(QLatin1Char('-'), 0, 0)
        .section(QLatin1Char('_'), 0, 0)
        .toLower();
}

// "ja", "ja-JP", "ja_JP.UTF-8" and "JA" alike; nullopt for every other language.
std::optional<UiLanguage> namedLanguage(const QString& name)
{
    const QString code = languageCode(name);
    if (code == QLatin1String("ja"))
        return UiLanguage::Japanese;
    if (code == QLatin1String("en"))
        return UiLanguage::English;
    return std::nullopt;
}

bool installTranslator(QCoreApplication& app, const QString& name, const QString& folder)
{
    auto* translator = new QTranslator(&app);
    if (!translator->load(name, folder)) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace

UiLanguage chooseUiLanguage(const QString& override, const QStringList& uiLanguages)
{
    if (const auto chosen = namedLanguage(override))
        return *chosen;
    for (const QString& name : uiLanguages) {
        if (const auto language = namedLanguage(name))
            return *language;
        // "C" and "POSIX" ask for a program's untranslated defaults, which users of other
        // programs meet in English.
        if (const QString code = languageCode(name); code == QLatin1String("c") || code == QLatin1String("posix"))
            return UiLanguage::English;
    }
    return UiLanguage::English;
}

UiLanguage uiLanguageFromEnvironment()
{
    const QString override = qEnvironmentVariable(kLanguageVariable);
    if (!override.isEmpty() && !namedLanguage(override))
        std::fprintf(stderr, "trimlet: %s=%s is neither ja nor en; the system's language is used\n", kLanguageVariable,
                     qPrintable(override));
    return chooseUiLanguage(override, QLocale::system().uiLanguages());
}

bool installQtTranslations(QCoreApplication& app, UiLanguage language)
{
    if (language == UiLanguage::English) {
        // A region's own formats stay when the system is English already.
        if (QLocale::system().language() != QLocale::English)
            QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        if (installTranslator(app, QStringLiteral("trimlet_en"), QStringLiteral(":/i18n")))
            return true;
        qWarning("trimlet: the English texts are missing from the program");
        return false;
    }
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    if (installTranslator(app, QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return true;
    qWarning("trimlet: Qt's Japanese translations (qtbase_ja.qm) are not installed");
    return false;
}

}  // namespace trimlet
