// The windows' language: chosen from TRIMLET_LANG and the user's languages; in Japanese, Qt's
// own texts — standard buttons, the edit menu of a text field, the file dialog's overwrite
// question — read in Japanese as the program's own captions do, whatever the locale the test
// runs under; in English the program's texts come from its built-in translation.

#include <QtTest>

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTranslator>
#include <memory>

#include "app/qt_translations.h"

Q_DECLARE_METATYPE(trimlet::UiLanguage)

namespace {

QString cancelText()
{
    const QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    return box.button(QDialogButtonBox::Cancel)->text();
}

}  // namespace

using trimlet::UiLanguage;

class QtTranslationsTest : public QObject {
    Q_OBJECT
private slots:
    void languageFollowsTheOverrideThenTheUsersLanguages_data()
    {
        QTest::addColumn<QString>("override");
        QTest::addColumn<QStringList>("languages");
        QTest::addColumn<UiLanguage>("chosen");
        const QStringList japanese{QStringLiteral("ja-JP")};
        const QStringList german{QStringLiteral("de-DE"), QStringLiteral("de")};
        QTest::newRow("Japanese system") << QString() << japanese << UiLanguage::Japanese;
        QTest::newRow("German system") << QString() << german << UiLanguage::English;
        QTest::newRow("no languages") << QString() << QStringList() << UiLanguage::English;
        QTest::newRow("C locale") << QString() << QStringList{QStringLiteral("C"), QStringLiteral("ja")}
                                  << UiLanguage::English;
        // LANGUAGE=fr:ja:en — French is not spoken, Japanese comes before English.
        QTest::newRow("first spoken language")
            << QString() << QStringList{QStringLiteral("fr"), QStringLiteral("ja"), QStringLiteral("en")}
            << UiLanguage::Japanese;
        QTest::newRow("English before Japanese")
            << QString() << QStringList{QStringLiteral("fr-FR"), QStringLiteral("en-GB"), QStringLiteral("ja")}
            << UiLanguage::English;
        QTest::newRow("TRIMLET_LANG=en") << QStringLiteral("en") << japanese << UiLanguage::English;
        QTest::newRow("TRIMLET_LANG=ja") << QStringLiteral("ja") << german << UiLanguage::Japanese;
        QTest::newRow("TRIMLET_LANG=ja_JP.UTF-8") << QStringLiteral("ja_JP.UTF-8") << german << UiLanguage::Japanese;
        QTest::newRow("TRIMLET_LANG=EN") << QStringLiteral("EN") << japanese << UiLanguage::English;
        QTest::newRow("TRIMLET_LANG=fr is ignored") << QStringLiteral("fr") << japanese << UiLanguage::Japanese;
        QTest::newRow("TRIMLET_LANG=jam is no ja") << QStringLiteral("jam") << german << UiLanguage::English;
    }
    void languageFollowsTheOverrideThenTheUsersLanguages()
    {
        QFETCH(QString, override);
        QFETCH(QStringList, languages);
        QFETCH(UiLanguage, chosen);
        QCOMPARE(trimlet::chooseUiLanguage(override, languages), chosen);
    }

    void environmentOverridesTheSystem()
    {
        qputenv(trimlet::kLanguageVariable, "ja");
        QCOMPARE(trimlet::uiLanguageFromEnvironment(), UiLanguage::Japanese);
        qputenv(trimlet::kLanguageVariable, "en");
        QCOMPARE(trimlet::uiLanguageFromEnvironment(), UiLanguage::English);
        qunsetenv(trimlet::kLanguageVariable);
    }

    void programTextsReadInEnglish()
    {
        const QString saveFailed = QStringLiteral("設定の保存ができませんでした。");
        QCOMPARE(QCoreApplication::translate("trimlet::TfrmMain", saveFailed.toUtf8().constData()), saveFailed);
        QVERIFY(trimlet::installQtTranslations(*QCoreApplication::instance(), UiLanguage::English));
        QCOMPARE(QCoreApplication::translate("trimlet::TfrmMain", saveFailed.toUtf8().constData()),
                 QStringLiteral("Could not save the settings."));
        QCOMPARE(cancelText(), QStringLiteral("Cancel"));
        QCOMPARE(QLocale().language(), QLocale::English);
        for (QTranslator* each : QCoreApplication::instance()->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(each);
            delete each;
        }
    }

    void qtTextsReadInJapanese()
    {
        QCOMPARE(cancelText(), QStringLiteral("Cancel"));
        QVERIFY(trimlet::installQtTranslations(*QCoreApplication::instance(), UiLanguage::Japanese));
        // Japanese is the program's own language: it needs no translation of its texts.
        QCOMPARE(QCoreApplication::translate("trimlet::TfrmMain", "設定の保存ができませんでした。"),
                 QStringLiteral("設定の保存ができませんでした。"));

        QCOMPARE(cancelText(), QStringLiteral("キャンセル"));
        const QDialogButtonBox yesNo(QDialogButtonBox::Yes | QDialogButtonBox::No);
        QCOMPARE(yesNo.button(QDialogButtonBox::Yes)->text(), QStringLiteral("はい(&Y)"));
        QCOMPARE(yesNo.button(QDialogButtonBox::No)->text(), QStringLiteral("いいえ(&N)"));

        QLineEdit edit(QStringLiteral("text"));
        const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        QStringList items;
        for (const QAction* action : menu->actions())
            if (!action->isSeparator())
                items << action->text().section(QLatin1Char('\t'), 0, 0);
        QCOMPARE(items,
                 QStringList({QStringLiteral("元に戻す(&U)"), QStringLiteral("やり直す(&R)"),
                              QStringLiteral("切り取り(&T)"), QStringLiteral("コピー(&C)"),
                              QStringLiteral("貼り付け(&P)"), QStringLiteral("削除"), QStringLiteral("すべてを選択")}));

        QCOMPARE(QCoreApplication::translate("QFileDialog", "%1 already exists.\nDo you want to replace it?"),
                 QStringLiteral("%1 は既に存在します。\n置き換えますか?"));
        QCOMPARE(QLocale().language(), QLocale::Japanese);
    }
};

QTEST_MAIN(QtTranslationsTest)
#include "test_qt_translations.moc"
