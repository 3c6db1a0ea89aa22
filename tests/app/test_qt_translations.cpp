// Qt's own texts — standard buttons, the edit menu of a text field, the file dialog's
// overwrite question — read in Japanese once the program has set up its application, as the
// program's own captions do, whatever the locale the test runs under.

#include <QtTest>

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <memory>

#include "app/qt_translations.h"

namespace {

QString cancelText()
{
    const QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    return box.button(QDialogButtonBox::Cancel)->text();
}

}  // namespace

class QtTranslationsTest : public QObject {
    Q_OBJECT
private slots:
    void qtTextsReadInJapanese()
    {
        QCOMPARE(cancelText(), QStringLiteral("Cancel"));
        QVERIFY(trimlet::installQtTranslations(*QCoreApplication::instance()));

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
