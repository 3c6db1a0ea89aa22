#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace trimlet {

bool installQtTranslations(QCoreApplication& app)
{
    // Dates and sizes in the file dialog follow the language of the rest of the window.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        qWarning("trimlet: Qt's Japanese translations (qtbase_ja.qm) are not installed");
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace trimlet
