// The cut sets window, driven by keys as a person would.

#include <QtTest>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "forms/sets/frm_cut_sets.h"

using namespace trimlet;

namespace {

const std::vector<SpanScreen> kScreens = {{2560, 1440, 0, 0, 597}, {1920, 1080, 2560, 180, 527}};

// Replaces a field's text by typing; what is not ASCII comes as an input method commits it.
void retype(QLineEdit* field, const QString& typed)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    for (const QChar c : typed) {
        if (c.unicode() < 0x80) {
            QTest::keyClicks(field, QString(c));
            continue;
        }
        QInputMethodEvent commit;
        commit.setCommitString(QString(c));
        QApplication::sendEvent(field, &commit);
    }
}

QString parserMessage(const Result<std::vector<PieceSize>>& r) { return QString::fromStdString(r.error().message); }

}  // namespace

class FrmCutSetsTest : public QObject {
    Q_OBJECT
private slots:
    void editsSetsByKeys()
    {
        const CutSet desk{"Desk", CutSet::Kind::Sizes, {{1366, 768}}, {}, 0};
        TfrmCutSets w(nullptr, {desk}, kScreens);
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(w.windowTitle(), QStringLiteral("切り出しセット"));
        QVERIFY(w.btnOk->isEnabled());

        QTest::mouseClick(w.btnAddSet, Qt::LeftButton);
        QTest::mouseClick(w.btnAddSet, Qt::LeftButton);
        QCOMPARE(w.lstSets->count(), 3);
        QCOMPARE(w.lstSets->item(1)->text(), QStringLiteral("新しいセット"));
        QCOMPARE(w.lstSets->currentItem()->text(), QStringLiteral("新しいセット 2"));
        QVERIFY(w.edtSetName->hasFocus());
        QCOMPARE(w.edtSetName->selectedText(), QStringLiteral("新しいセット 2"));

        // The settings file does not tell "desk" from "Desk", nor keeps a key it cannot read back.
        const auto refused = [&](const QString& name, const QString& why) {
            retype(w.edtSetName, name);
            QVERIFY2(!w.btnOk->isEnabled(), qPrintable(name));
            QCOMPARE(w.lblSetError->text(), why);
        };
        const QString badName =
            QStringLiteral("名前に = や改行は使えず、[ ; # で始めることも前後に空白を置くこともできません");
        refused(QStringLiteral("desk"), QStringLiteral("同じ名前のセットがあります"));
        refused(QStringLiteral("この画面すべて"), QStringLiteral("「この画面すべて」は組み込みのセットの名前です"));
        refused(QString(), QStringLiteral("名前を入れてください"));
        for (const char* name : {"a=b", "[a", ";a", "#a", " a", "a "})
            refused(QString::fromLatin1(name), badName);
        retype(w.edtSetName, QStringLiteral("Phone"));
        QVERIFY(w.btnOk->isEnabled());
        QCOMPARE(w.lstSets->currentItem()->text(), QStringLiteral("Phone"));

        QCOMPARE(w.lblSetItems->text(), QStringLiteral("サイズ（横x縦,…）"));
        QVERIFY(!w.edtBezel->isEnabled());
        retype(w.edtSetItems, QStringLiteral("1080x2400,720x1280x"));
        QVERIFY(!w.btnOk->isEnabled());
        QCOMPARE(w.lblSetError->text(), parserMessage(parseSizeList("1080x2400,720x1280x")));
        // Another set's problem, named, when the selected one has none.
        w.lstSets->setCurrentRow(0);
        QCOMPARE(w.lblSetError->text(),
                 QStringLiteral("「Phone」: ") + parserMessage(parseSizeList("1080x2400,720x1280x")));
        w.lstSets->setCurrentRow(2);
        w.edtSetItems->setFocus();
        QTest::keyClick(w.edtSetItems, Qt::Key_Backspace);
        QVERIFY(w.btnOk->isEnabled());
        QVERIFY(w.lblSetError->text().isEmpty());

        // A span from the screens; each kind keeps its own text.
        w.lstSets->setCurrentRow(1);
        w.rdoSetSpan->setFocus();
        QTest::keyClick(w.rdoSetSpan, Qt::Key_Space);
        QVERIFY(w.rdoSetSpan->isChecked());
        QCOMPARE(w.lblSetItems->text(), QStringLiteral("画面（横x縦+X+Y/幅mm,…）"));
        QVERIFY(w.edtBezel->isEnabled());
        QVERIFY(!w.btnOk->isEnabled());  // no screens yet
        QTest::mouseClick(w.btnFromScreens, Qt::LeftButton);
        QCOMPARE(w.edtSetItems->text(), QStringLiteral("2560x1440+0+0/597,1920x1080+2560+180/527"));
        retype(w.edtBezel, QStringLiteral("12.5"));
        retype(w.edtSetName, QStringLiteral("Span"));
        w.rdoSetSizes->click();
        QCOMPARE(w.edtSetItems->text(), QStringLiteral("1920x1080,1080x2400"));
        QVERIFY(!w.edtBezel->isEnabled());
        w.rdoSetSpan->click();
        QCOMPARE(w.edtSetItems->text(), QStringLiteral("2560x1440+0+0/597,1920x1080+2560+180/527"));
        retype(w.edtBezel, QStringLiteral("x"));
        QVERIFY(!w.btnOk->isEnabled());
        retype(w.edtBezel, QStringLiteral("12.5"));
        QVERIFY(w.btnOk->isEnabled());

        QTest::mouseClick(w.btnAddSet, Qt::LeftButton);
        QTest::mouseClick(w.btnDeleteSet, Qt::LeftButton);
        QCOMPARE(w.lstSets->count(), 3);
        const std::vector<CutSet> expected = {
            desk,
            {"Span", CutSet::Kind::Span, {}, kScreens, 12.5},
            {"Phone", CutSet::Kind::Sizes, {{1080, 2400}, {720, 1280}}, {}, 0},
        };
        QVERIFY(w.sets() == expected);
    }

    void editGivesTheSetsOnOkOnly()
    {
        const std::vector<CutSet> sets = {{"Desk", CutSet::Kind::Sizes, {{1366, 768}}, {}, 0}};
        const auto press = [](Qt::Key key) {
            QTimer::singleShot(0, [key] {
                QWidget* dialog = QApplication::activeModalWidget();
                QVERIFY(dialog);
                auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("edtSetName"));
                retype(field, QStringLiteral("Desk 2"));
                QTest::keyClick(field, key);
            });
        };
        press(Qt::Key_Escape);
        QVERIFY(!TfrmCutSets::edit(nullptr, sets, {}));
        press(Qt::Key_Return);
        const auto edited = TfrmCutSets::edit(nullptr, sets, {});
        QVERIFY(edited && edited->size() == 1 && edited->front().name == "Desk 2");
    }
};

QTEST_MAIN(FrmCutSetsTest)
#include "test_frm_cut_sets.moc"
