// Undo and redo in the main window, by the keys a user presses: every kind of edit goes back
// and forward to the exact picture, document and framing.

#include <QtTest>

#include "codecs/picture_file.h"
#include "forms/rotation/frm_rot_free.h"
#include "imaging/photo.h"
#include "tests/forms/test_main_window.h"

using namespace trimlet;

namespace {

// What the user sees of the document; the pixels exactly.
struct Seen {
    Bitmap pixels;
    PictureKind kind;
    std::vector<std::uint8_t> fileBytes;
    std::string path;
    QString fileLabel, srcW, srcH;
    IntPoint centre;
    int rate;
    bool reload;
    friend bool operator==(const Seen&, const Seen&) = default;
};

struct Session : test::MainWithPreview {
    test::TempDir dir;
    TfrmRotFree rotFree;

    Session()
    {
        frm.setRotFreeWindow(&rotFree);
        frm.resize(1000, 700);
        frm.show();
        frm.activateWindow();
        if (!QTest::qWaitForWindowActive(&frm))
            qFatal("the main window did not become active");
    }
    QString write(const std::string& name, int w, int h)
    {
        const std::string path = dir.file(name);
        if (!(name.ends_with(".jpg") ? writeJpegFile(test::photoLike(w, h), 90, path)
                                     : writeBmpFile(test::photoLike(w, h), path)))
            qFatal("cannot write %s", path.c_str());
        return QString::fromStdString(path);
    }
    // Keys go where the keyboard focus is, as a user's do.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : &frm, key, modifiers);
        test::settleLoads(frm);
    }
    void undo() { press(Qt::Key_Z); }
    Seen seen()
    {
        const Picture& p = frm.editingPicture();
        return {p.bitmap(),
                p.kind(),
                p.fileBytes(),
                frm.currentFilePath(),
                frm.lblFileNameF->text(),
                frm.lblSrcSizeW->text(),
                frm.lblSrcSizeH->text(),
                frm.frameState().centre,
                frm.udPower->position(),
                frm.btnReload->isEnabled()};
    }
};

}  // namespace

class FrmMainHistoryTest : public QObject {
    Q_OBJECT
private slots:
    void everyEditGoesBackAndForthExactly();
    void boundsAndLoadsLimitTheHistory();
    void loadsOverAnEditAreSteps();
    void lineEditsAndTheMenu();
};

void FrmMainHistoryTest::everyEditGoesBackAndForthExactly()
{
    Session s;
    const QString photo = s.write("photo.jpg", 640, 480);
    s.frm.LoadPictureFile(photo);
    s.frm.btnTmpSave[0]->click();  // the unedited photo, for the join and the slot load
    s.frm.frameState().centre = {200, 150};
    s.frm.LayoutWorkArea(false, false);
    s.frm.udSizeW->setPosition(240);
    s.frm.udSizeH->setPosition(320);
    s.frm.udPower->setPosition(80);
    s.fake.clipboard = QImage(90, 70, QImage::Format_RGB32);
    s.fake.clipboard.fill(QColor(200, 10, 40));

    std::vector<Seen> states{s.seen()};
    std::vector<QString> names;
    const auto edit = [&](const QString& name, const std::function<void()>& act) {
        act();
        QVERIFY2(!(s.seen() == states.back()), qPrintable(name));
        states.push_back(s.seen());
        names.push_back(name);
    };
    edit(QStringLiteral("右90°回転"), [&] { s.frm.btnRotR->click(); });
    edit(QStringLiteral("上下反転"), [&] { s.frm.btnRevH->click(); });
    edit(QStringLiteral("17°回転"), [&] {
        s.rotFree.setPicture(s.frm.editingPicture());
        s.rotFree.udDegree->setPosition(17);
        s.rotFree.btnOK->click();
    });
    edit(QStringLiteral("一時保存領域[1]の画像を連結"), [&] {
        s.frm.pcEdit->setCurrentWidget(s.frm.tabConcat);
        s.frm.FormDragDrop(s.frm.pnlTmpSave[0], s.frm.imgSource->geometry().center());
    });
    edit(QStringLiteral("ファイルドロップ：") + photo, [&] { s.frm.LoadPictureFile(photo); });
    edit(QStringLiteral("一時保存領域[1]の画像を展開"), [&] {
        s.frm.pcEdit->setCurrentWidget(s.frm.tabFile);
        s.frm.btnTmpLoad[0]->click();
    });
    edit(QStringLiteral("画像の切り出し"), [&] { s.frm.btnCutAndLoad->click(); });
    edit(QStringLiteral("ファイルドロップ：") + photo, [&] {
        s.frm.btnReload->click();
        test::settleLoads(s.frm);
        test::settleLoads(s.frm);
    });
    edit(QStringLiteral("クリップボードからの貼り付け"), [&] { s.frm.btnPaste->click(); });
    // The cut raised the rate its smaller picture needs; the paste cleared the file name.
    QVERIFY(states[6].rate == 80 && states[7].rate > 80);
    QVERIFY(states.back().path.empty() && !states.back().reload);

    for (std::size_t i = names.size(); i-- > 0;) {
        s.undo();
        QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す: ") + names[i]);
        QVERIFY2(s.seen() == states[i], qPrintable(names[i]));
    }
    // The photo as loaded: unedited.
    QCOMPARE(s.frm.editingPicture().kind(), PictureKind::Jpeg);
    QVERIFY(s.frm.editingPicture().bitmap() == loadPictureUpright(photo.toStdString()).value().bitmap());
    s.undo();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す編集はありません"));

    for (std::size_t i = 0; i < names.size(); ++i) {
        s.press(i % 2 ? Qt::Key_Z : Qt::Key_Y, i % 2 ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier);
        QCOMPARE(s.frm.statusText(), QStringLiteral("やり直し: ") + names[i]);
        QVERIFY2(s.seen() == states[i + 1], qPrintable(names[i]));
    }
    s.press(Qt::Key_Y);
    QCOMPARE(s.frm.statusText(), QStringLiteral("やり直す編集はありません"));

    // An edit after undos drops the old way forward.
    s.undo();
    s.frm.btnRevW->click();
    s.press(Qt::Key_Y);
    QCOMPARE(s.frm.statusText(), QStringLiteral("やり直す編集はありません"));
    s.undo();
    QVERIFY(s.seen() == states[names.size() - 1]);
}

void FrmMainHistoryTest::boundsAndLoadsLimitTheHistory()
{
    Session s;
    const QString small = s.write("small.bmp", 30, 20);
    s.frm.LoadPictureFile(small);
    const Bitmap original = s.frm.editingPicture().bitmap();
    for (int i = 0; i < 25; ++i)
        s.frm.btnRot180->click();
    for (int i = 0; i < 20; ++i)
        s.undo();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す: 180°回転"));
    s.undo();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す編集はありません"));
    QVERIFY(s.frm.editingPicture().bitmap() != original);  // the five oldest are gone

    // Room for two pictures of this size keeps the last two picture edits; the flips between
    // them hold none.
    s.frm.editHistory().setLimits(EditHistory::kMaxSteps, 2 * std::int64_t(original.byteCount()));
    s.fake.clipboard = QImage(30, 20, QImage::Format_RGB32);
    s.fake.clipboard.fill(QColor(20, 200, 40));
    for (QPushButton* b : {s.frm.btnPaste, s.frm.btnRevH, s.frm.btnPaste, s.frm.btnRevW, s.frm.btnPaste})
        b->click();
    for (const char* name : {"クリップボードからの貼り付け", "左右反転", "クリップボードからの貼り付け", "上下反転"}) {
        s.undo();
        QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す: ") + QString::fromUtf8(name));
    }
    s.undo();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す編集はありません"));

    // A load that fails keeps the history; one over the unedited picture starts a new one.
    s.frm.LoadPictureFile(small);
    s.frm.btnRevH->click();
    s.frm.LoadPictureFile(s.dir.file("missing.bmp"));
    s.undo();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す: 上下反転"));
    s.frm.btnReload->click();
    test::settleLoads(s.frm);
    s.undo();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す編集はありません"));
    QVERIFY(s.frm.editingPicture().bitmap() == original);
}

// A load over an edited picture is a step: the edit comes back with its document, frame and
// rate, and a redo gives the file again as loaded. A load over an unedited picture starts anew.
void FrmMainHistoryTest::loadsOverAnEditAreSteps()
{
    Session s;
    const QString a = s.write("a.jpg", 640, 480);
    const QString b = s.write("b.jpg", 900, 700);
    s.frm.LoadPictureFile(a);
    s.frm.btnRotR->click();
    const Seen turned = s.seen();
    s.frm.btnReloadClick();
    test::settleLoads(s.frm);
    const Seen reloaded = s.seen();
    QCOMPARE(reloaded.kind, PictureKind::Jpeg);
    s.undo();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す: ファイルドロップ：") + a);
    QVERIFY(s.seen() == turned);
    s.press(Qt::Key_Y);
    QVERIFY(s.seen() == reloaded);

    s.frm.btnRevW->click();
    s.frm.udPower->setPosition(90);
    s.frm.frameState().centre = {150, 100};
    s.frm.LayoutWorkArea(false, false);
    const Seen flipped = s.seen();
    s.press(Qt::Key_PageDown, Qt::NoModifier);
    const Seen next = s.seen();
    QCOMPARE(QString::fromStdString(next.path), b);
    s.undo();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す: ファイルドロップ：") + b);
    QVERIFY(s.seen() == flipped);
    s.press(Qt::Key_Y);
    QVERIFY(s.seen() == next);

    s.press(Qt::Key_PageUp, Qt::NoModifier);
    QCOMPARE(QString::fromStdString(s.frm.currentFilePath()), a);
    s.undo();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す編集はありません"));
}

void FrmMainHistoryTest::lineEditsAndTheMenu()
{
    Session s;
    s.frm.LoadPictureFile(s.write("a.bmp", 800, 600));
    s.frm.btnRotL->click();
    // In the number fields the keys are the text's own.
    for (QLineEdit* edit : {s.frm.edtSizeW, s.frm.edtPower}) {
        edit->setFocus();
        const QString before = edit->text();
        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClick(edit, Qt::Key_Backspace);
        s.undo();
        QCOMPARE(edit->text(), before);
        s.press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(edit->text(), before.chopped(1));
        s.undo();
        s.press(Qt::Key_Y);
        QCOMPARE(edit->text(), before.chopped(1));
        QCOMPARE(s.frm.editingPicture().width(), 600);
    }

    auto* undoItem = test::control<QAction>(s.frm, "popitemUndo");
    auto* redoItem = test::control<QAction>(s.frm, "popitemRedo");
    QCOMPARE(undoItem->text(), QStringLiteral("元に戻す\tCtrl+Z"));
    QCOMPARE(redoItem->text(), QStringLiteral("やり直し\tCtrl+Y"));
    const auto enabledOnOpening = [&] {
        s.frm.popEdit->popup(s.frm.mapToGlobal(QPoint(100, 200)));
        s.frm.popEdit->close();
        return std::pair{undoItem->isEnabled(), redoItem->isEnabled()};
    };
    QCOMPARE(enabledOnOpening(), std::pair(true, false));
    undoItem->trigger();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す: 左90°回転"));
    QCOMPARE(s.frm.editingPicture().width(), 800);
    QCOMPARE(enabledOnOpening(), std::pair(false, true));
    // The window's key still answers while the item is disabled.
    s.frm.btnRotL->setFocus();
    s.undo();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す編集はありません"));
}

QTEST_MAIN(FrmMainHistoryTest)
#include "test_frm_main_history.moc"
