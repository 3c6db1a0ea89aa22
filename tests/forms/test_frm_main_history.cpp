// Undo and redo in the main window: every kind of edit goes back and forward to the exact
// picture, document and framing, by the keys a user presses.

#include <QtTest>

#include "codecs/picture_file.h"
#include "forms/frm_rot_free.h"
#include "tests/forms/test_main_window.h"

using namespace trimlet;

namespace {

// What the user sees of the document at one moment.
struct Seen {
    Bitmap pixels;
    PictureKind kind = PictureKind::Empty;
    std::vector<std::uint8_t> fileBytes;
    std::string path;
    QString fileLabel;
    QString srcW, srcH;
    IntPoint centre;
    int rate = 0;
    bool reload = false;
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
    QString write(const std::string& name, int w, int h, std::uint32_t seed = 1)
    {
        const std::string path = dir.file(name);
        const Bitmap b = test::photoLike(w, h, seed);
        if (!(name.ends_with(".jpg") ? writeJpegFile(b, 90, path) : writeBmpFile(b, path)))
            qFatal("cannot write %s", path.c_str());
        return QString::fromStdString(path);
    }
    // Keys go where the keyboard focus is, as a user's would.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : &frm, key, modifiers);
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
                frm.cutFrame().centre,
                frm.udPower->position(),
                frm.btnReload->isEnabled()};
    }
    void rotate(int degrees)
    {
        rotFree.setPicture(frm.editingPicture());
        rotFree.setPreviewBase(Bitmap(60, 40));
        rotFree.udDegree->setPosition(degrees);
        rotFree.btnOK->click();
    }
};

// Everything the user sees is as it was, the pixels exactly.
bool sameAs(const Seen& a, const Seen& b)
{
    return a.pixels == b.pixels && a.kind == b.kind && a.fileBytes == b.fileBytes && a.path == b.path &&
           a.fileLabel == b.fileLabel && a.srcW == b.srcW && a.srcH == b.srcH && a.centre == b.centre &&
           a.rate == b.rate && a.reload == b.reload;
}

}  // namespace

class FrmMainHistoryTest : public QObject {
    Q_OBJECT
private slots:
    void everyEditGoesBackAndForthExactly();
    void boundsAndLoadsLimitTheHistory();
    void lineEditsKeepTheirOwnUndo();
    void menuItemsFollowTheHistory();
};

void FrmMainHistoryTest::everyEditGoesBackAndForthExactly()
{
    Session s;
    const QString photo = s.write("photo.jpg", 640, 480);
    s.frm.LoadPictureFile(photo);
    s.frm.btnTmpSave[0]->click();  // the unedited photo, for the slot load and the join below
    s.frm.cutFrame().centre = {200, 150};
    s.frm.LayoutWorkArea(false, false);
    s.frm.udSizeW->setPosition(240);
    s.frm.udSizeH->setPosition(320);
    s.frm.udPower->setPosition(80);
    QImage pasted(90, 70, QImage::Format_RGB32);
    pasted.fill(QColor(200, 10, 40));
    s.fake.clipboard = pasted;

    std::vector<Seen> states{s.seen()};
    QCOMPARE(states[0].kind, PictureKind::Jpeg);
    QVERIFY(!states[0].fileBytes.empty());
    std::vector<QString> names;
    const auto edit = [&](const QString& name, const std::function<void()>& act) {
        act();
        QVERIFY2(!sameAs(s.seen(), states.back()), qPrintable(name));
        states.push_back(s.seen());
        names.push_back(name);
    };
    edit(QStringLiteral("右90°回転"), [&] { s.frm.btnRotR->click(); });
    edit(QStringLiteral("上下反転"), [&] { s.frm.btnRevH->click(); });
    edit(QStringLiteral("17°回転"), [&] { s.rotate(17); });
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
    edit(QStringLiteral("クリップボードからの貼り付け"), [&] { s.frm.btnPaste->click(); });
    // The cut raised the rate to what its smaller picture allows, the paste cleared the name.
    QCOMPARE(states[6].rate, 80);
    QVERIFY(states[7].rate > 80);
    QVERIFY(states.back().path.empty() && !states.back().reload);

    for (std::size_t i = names.size(); i-- > 0;) {
        s.undo();
        QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す: ") + names[i]);
        QVERIFY2(sameAs(s.seen(), states[i]), qPrintable(names[i]));
        QCOMPARE(s.frm.shpRange->geometry().size(), QSize(s.frm.cutFrame().rect.w, s.frm.cutFrame().rect.h));
    }
    // Back at the photo as loaded: unedited, with its file's bytes.
    QCOMPARE(s.frm.editingPicture().kind(), PictureKind::Jpeg);
    QCOMPARE(s.frm.editingPicture().fileBytes(), test::readBytes(photo.toStdString()));
    s.undo();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す編集はありません"));
    QVERIFY(sameAs(s.seen(), states[0]));

    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i % 2 == 0)
            s.press(Qt::Key_Y);
        else
            s.press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(s.frm.statusText(), QStringLiteral("やり直し: ") + names[i]);
        QVERIFY2(sameAs(s.seen(), states[i + 1]), qPrintable(names[i]));
    }
    s.press(Qt::Key_Y);
    QCOMPARE(s.frm.statusText(), QStringLiteral("やり直す編集はありません"));

    // An edit after some undos starts a new branch: the old way forward is gone.
    s.undo();
    s.undo();
    s.frm.btnRevW->click();
    s.press(Qt::Key_Y);
    QCOMPARE(s.frm.statusText(), QStringLiteral("やり直す編集はありません"));
    s.undo();
    QVERIFY(sameAs(s.seen(), states[names.size() - 2]));
}

void FrmMainHistoryTest::boundsAndLoadsLimitTheHistory()
{
    Session s;
    const QString file = s.write("small.bmp", 30, 20);
    s.frm.LoadPictureFile(file);
    const Bitmap original = s.frm.editingPicture().bitmap();
    for (int i = 0; i < 25; ++i)
        s.frm.btnRot180->click();
    for (int i = 0; i < 20; ++i) {
        s.undo();
        QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す: 180°回転"));
    }
    s.undo();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す編集はありません"));
    QVERIFY(s.frm.editingPicture().bitmap() != original);  // 25 half turns, 5 of them kept

    // The memory bound: room for two pictures of this size keeps the last two edits.
    s.frm.editHistory().setLimits(EditHistory::kMaxSteps, 2 * std::int64_t(original.byteCount()));
    s.frm.btnRevH->click();
    s.frm.btnRevW->click();
    s.frm.btnRotR->click();
    s.undo();
    s.undo();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す: 左右反転"));
    s.undo();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す編集はありません"));

    // A load that fails keeps the history; one that succeeds is a new document without any.
    s.frm.btnRevH->click();
    s.frm.LoadPictureFile(s.dir.file("missing.bmp"));
    QCOMPARE(s.fake.messages.back().text, QStringLiteral("missing.bmpは読み込めませんでした。"));
    s.undo();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す: 上下反転"));
    s.frm.btnRevH->click();
    s.frm.btnReload->click();
    QVERIFY(s.frm.editingPicture().bitmap() == original);
    s.undo();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す編集はありません"));
    s.press(Qt::Key_Y);
    QCOMPARE(s.frm.statusText(), QStringLiteral("やり直す編集はありません"));
    QVERIFY(s.frm.editingPicture().bitmap() == original);
}

void FrmMainHistoryTest::lineEditsKeepTheirOwnUndo()
{
    Session s;
    s.frm.LoadPictureFile(s.write("a.bmp", 800, 600));
    s.frm.btnRotL->click();
    const Bitmap turned = s.frm.editingPicture().bitmap();
    for (QLineEdit* edit : {s.frm.edtSizeW, s.frm.edtPower}) {
        edit->setFocus();
        const QString before = edit->text();
        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), before.chopped(1));
        s.undo();
        QCOMPARE(edit->text(), before);
        // Both redo keys redo the typing there.
        s.press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(edit->text(), before.chopped(1));
        s.undo();
        s.press(Qt::Key_Y);
        QCOMPARE(edit->text(), before.chopped(1));
        s.undo();
        QVERIFY(s.frm.editingPicture().bitmap() == turned);
        QCOMPARE(s.frm.statusText(), QStringLiteral("左90°回転"));
    }
    // Out of the edits, the same key undoes the turn.
    s.frm.btnRotL->setFocus();
    s.undo();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す: 左90°回転"));
    QCOMPARE(s.frm.editingPicture().width(), 800);
}

void FrmMainHistoryTest::menuItemsFollowTheHistory()
{
    Session s;
    auto* undoItem = test::control<QAction>(s.frm, "popitemUndo");
    auto* redoItem = test::control<QAction>(s.frm, "popitemRedo");
    QCOMPARE(s.frm.popEdit->actions().value(0), undoItem);
    QCOMPARE(undoItem->text(), QStringLiteral("元に戻す\tCtrl+Z"));
    QCOMPARE(redoItem->text(), QStringLiteral("やり直し\tCtrl+Y"));

    const auto opened = [&] {
        s.frm.popEdit->popup(s.frm.mapToGlobal(QPoint(100, 200)));
        const bool undoable = undoItem->isEnabled(), redoable = redoItem->isEnabled();
        s.frm.popEdit->close();
        return std::pair{undoable, redoable};
    };
    s.frm.LoadPictureFile(s.write("a.bmp", 50, 40));
    QCOMPARE(opened(), std::pair(false, false));
    s.frm.btnRevW->click();
    QCOMPARE(opened(), std::pair(true, false));
    undoItem->trigger();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す: 左右反転"));
    QCOMPARE(opened(), std::pair(false, true));
    redoItem->trigger();
    QCOMPARE(s.frm.statusText(), QStringLiteral("やり直し: 左右反転"));

    // The window's keys are there while the menu's items are disabled.
    s.frm.activateWindow();
    s.undo();
    s.undo();
    QCOMPARE(s.frm.statusText(), QStringLiteral("元に戻す編集はありません"));
}

QTEST_MAIN(FrmMainHistoryTest)
#include "test_frm_main_history.moc"
