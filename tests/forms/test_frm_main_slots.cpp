#include <QtTest>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>

#include "codecs/picture_file.h"
#include "forms/main/frm_main.h"
#include "forms/main/slot_commands.h"
#include "forms/main/work_area_widgets.h"
#include "forms/preview/frm_preview.h"
#include "forms/widgets/up_down.h"
#include "imaging/cut_geometry.h"
#include "imaging/reduce.h"
#include "tests/forms/fake_desktop.h"
#include "tests/forms/test_main_window.h"
#include "tests/support/test_support.h"

using namespace trimlet;

namespace {

// The main window with its preview (the framed-part save cuts through it), loaded with a
// generated picture file.
struct Session : test::MainWithPreview {
    test::TempDir dir;

    Session()
    {
        frm.resize(1000, 700);
        frm.show();
    }
    QString write(const std::string& name, int w, int h)
    {
        const std::string path = dir.file(name);
        const Bitmap b = test::photoLike(w, h);
        if (!(name.ends_with(".jpg") ? writeJpegFile(b, 90, path) : writeBmpFile(b, path)))
            qFatal("cannot write %s", path.c_str());
        return QString::fromStdString(path);
    }
    void load(const std::string& name, int w, int h) { frm.LoadPictureFile(write(name, w, h)); }
    QPoint workAreaCentre() const { return frm.imgSource->geometry().center(); }
};

bool samePixels(const Bitmap& a, const Bitmap& b)
{
    return test::maxChannelDifference(a, b) == 0 && a.width() == b.width() && a.height() == b.height();
}

}  // namespace

class FrmMainSlotsTest : public QObject {
    Q_OBJECT
private slots:
    void buttonsFollowThePictureAndTheSlots();
    void anUneditedJpegComesBackFromItsSlot();
    void framedPartIsTheReducedRegion();
    void slotMenuActsOnTheSlotItWasOpenedOn();
    void slotToSlotCopiesAndRefusesItself();
    void slotOnTheWorkAreaReplacesOrJoins();
    void dropsOutsideTheWorkAreaAreRefused();
    void widePictureFillsTheSlotWidth();
    void realDragsFollowTheTable();
};

void FrmMainSlotsTest::buttonsFollowThePictureAndTheSlots()
{
    Session s;
    for (int i = 0; i < 3; ++i)
        QVERIFY(!s.frm.btnTmpSave[i]->isEnabled() && !s.frm.btnTmpCutSave[i]->isEnabled() &&
                !s.frm.btnTmpLoad[i]->isEnabled());
    s.load("a.bmp", 300, 200);
    for (int i = 0; i < 3; ++i)
        QVERIFY(s.frm.btnTmpSave[i]->isEnabled() && s.frm.btnTmpCutSave[i]->isEnabled() &&
                !s.frm.btnTmpLoad[i]->isEnabled());

    s.frm.btnTmpSave[1]->click();
    QCOMPARE(s.frm.statusText(), QStringLiteral("編集画像全体を一時保存領域[2]へ保存"));
    QVERIFY(!s.frm.btnTmpLoad[0]->isEnabled() && s.frm.btnTmpLoad[1]->isEnabled() && !s.frm.btnTmpLoad[2]->isEnabled());
    QVERIFY(samePixels(s.frm.slotStrip().picture(2).bitmap(), s.frm.editingPicture().bitmap()));

    // Nothing a slot holds changes with the editing picture.
    s.frm.btnRotR->click();
    QCOMPARE(s.frm.slotStrip().picture(2).width(), 300);

    // Anything that is not a slot's control names no slot.
    QCOMPARE(s.frm.slotStrip().slotForSender(s.frm.btnOpen), 0);
    QCOMPARE(s.frm.slotStrip().slotForSender(s.frm.btnTmpLoad[2]), 3);
    s.frm.slotStrip().popupTarget = 7;
    QCOMPARE(s.frm.slotStrip().slotForSender(s.frm.popItemTmpLoad), 0);
    s.frm.slotCommands().park(s.frm.popItemTmpSave);  // no slot: only the buttons are re-evaluated
    QVERIFY(s.frm.slotStrip().picture(1).isEmpty() && s.frm.slotStrip().picture(3).isEmpty());
}

void FrmMainSlotsTest::anUneditedJpegComesBackFromItsSlot()
{
    Session s;
    const QString path = s.write("photo.jpg", 640, 480);
    s.frm.LoadPictureFile(path);
    const Bitmap original = s.frm.editingPicture().bitmap();
    s.frm.btnTmpSave[1]->click();
    QCOMPARE(s.frm.slotStrip().picture(2).kind(), PictureKind::Jpeg);

    s.frm.btnRotR->click();
    QCOMPARE(s.frm.editingPicture().width(), 480);
    s.frm.btnTmpLoad[1]->click();
    QCOMPARE(s.frm.statusText(), QStringLiteral("一時保存領域[2]の画像を展開"));
    QCOMPARE(s.frm.editingPicture().kind(), PictureKind::Jpeg);
    QVERIFY(samePixels(s.frm.editingPicture().bitmap(), original));
    QCOMPARE(s.frm.lblSrcSizeW->text(), QStringLiteral("640"));
    QCOMPARE(s.frm.lblSrcSizeH->text(), QStringLiteral("480"));
    QCOMPARE(s.frm.currentFileName(), path);           // a reload still brings back the file
    QVERIFY(!s.frm.slotStrip().picture(2).isEmpty());  // loading leaves the slot filled

    // The tab does not matter for the buttons: they never join.
    s.frm.pcEdit->setCurrentWidget(s.frm.tabConcat);
    s.frm.btnTmpLoad[1]->click();
    QCOMPARE(s.frm.editingPicture().width(), 640);

    s.frm.btnTmpLoad[2]->setEnabled(true);
    s.frm.btnTmpLoad[2]->click();
    QCOMPARE(s.frm.statusText(), QStringLiteral("一時保存された画像はありません"));
    QCOMPARE(s.frm.editingPicture().width(), 640);
}

void FrmMainSlotsTest::framedPartIsTheReducedRegion()
{
    Session s;
    s.load("big.bmp", 1000, 800);
    s.frm.edtSizeW->setText(QStringLiteral("320"));
    s.frm.edtSizeH->setText(QStringLiteral("240"));
    s.frm.edtPower->setText(QStringLiteral("50"));
    QCOMPARE(s.frm.frameState().cutSrcWidth, 640);
    QCOMPARE(s.frm.frameState().cutSrcHeight, 480);

    s.frm.btnTmpCutSave[0]->click();
    QCOMPARE(s.frm.statusText(), QStringLiteral("編集画像の枠内を一時保存領域[1]へ保存"));
    QVERIFY(!s.preview.isVisible());
    const Picture& slot = s.frm.slotStrip().picture(1);
    QCOMPARE(slot.kind(), PictureKind::Bitmap);
    QCOMPARE(slot.width(), 320);
    QCOMPARE(slot.height(), 240);
    const auto g = [](const QRect& r) { return IntRect{r.x(), r.y(), r.width(), r.height()}; };
    const IntPoint at = cutOrigin(g(s.frm.shpRange->geometry()), g(s.frm.imgSource->geometry()), 1000, 800, 640, 480);
    QVERIFY(samePixels(slot.bitmap(), reduceArea(s.frm.editingPicture().bitmap(), at.x, at.y, 640, 480, 320, 240)));
    QVERIFY(s.frm.btnTmpLoad[0]->isEnabled());
}

void FrmMainSlotsTest::slotMenuActsOnTheSlotItWasOpenedOn()
{
    Session s;
    s.load("a.bmp", 300, 200);
    QTest::mouseClick(s.frm.pnlTmpSave[2], Qt::RightButton);
    QVERIFY(s.frm.popTmpSave->isVisible());
    QCOMPARE(s.frm.slotStrip().popupTarget, 3);
    QVERIFY(s.frm.popItemTmpSave->isEnabled() && s.frm.popItemTmpCutSave->isEnabled());
    QVERIFY(!s.frm.popItemTmpLoad->isEnabled());
    QCOMPARE(s.frm.popItemTmpLoad->text(), QStringLiteral("画像を展開"));
    s.frm.popItemTmpSave->trigger();
    s.frm.popTmpSave->close();
    QCOMPARE(s.frm.statusText(), QStringLiteral("編集画像全体を一時保存領域[3]へ保存"));
    QVERIFY(s.frm.btnTmpLoad[2]->isEnabled());

    QTest::mouseClick(s.frm.pnlTmpSave[2], Qt::RightButton);
    QVERIFY(s.frm.popItemTmpLoad->isEnabled());
    s.frm.popTmpSave->close();
    s.frm.btnRot180->click();
    s.frm.popItemTmpLoad->trigger();
    QCOMPARE(s.frm.statusText(), QStringLiteral("一時保存領域[3]の画像を展開"));
    QVERIFY(samePixels(s.frm.editingPicture().bitmap(), s.frm.slotStrip().picture(3).bitmap()));
}

void FrmMainSlotsTest::slotToSlotCopiesAndRefusesItself()
{
    Session s;
    s.load("a.bmp", 300, 200);
    test::TestMain& f = s.frm;
    QVERIFY(f.slotCommands().acceptsDrag(f.imgSource, 1));  // the editing picture goes into any slot
    f.slotCommands().dropped(f.imgSource, 1);
    QCOMPARE(f.statusText(), QStringLiteral("編集画像全体を一時保存領域[1]へ保存"));

    QVERIFY(!f.slotCommands().acceptsDrag(f.pnlTmpSave[0], 1));
    QVERIFY(!f.slotCommands().acceptsDrag(f.pnlTmpSave[1], 3));  // slot 2 is empty
    QVERIFY(f.slotCommands().acceptsDrag(f.pnlTmpSave[0], 3));
    f.slotCommands().dropped(f.pnlTmpSave[0], 3);
    QCOMPARE(f.statusText(), QStringLiteral("一時保存領域の複写：[1]→[3]"));
    QVERIFY(f.btnTmpLoad[2]->isEnabled());
    QVERIFY(!f.slotStrip().picture(1).isEmpty());
    QVERIFY(samePixels(f.slotStrip().picture(3).bitmap(), f.slotStrip().picture(1).bitmap()));

    f.slotCommands().dropped(f.pnlTmpSave[1], 1);  // refused drops change nothing
    QCOMPARE(f.slotStrip().picture(1).width(), 300);
    QVERIFY(!f.slotCommands().acceptsDrag(f.btnOpen, 2));
}

void FrmMainSlotsTest::slotOnTheWorkAreaReplacesOrJoins()
{
    Session s;
    s.load("first.bmp", 100, 50);
    test::TestMain& f = s.frm;
    f.btnTmpSave[0]->click();
    QVERIFY(!f.FormDragOver(f.pnlTmpSave[1], s.workAreaCentre()));  // an empty slot
    QVERIFY(!f.FormDragOver(f.imgSource, s.workAreaCentre()));      // the picture onto itself
    s.load("second.bmp", 60, 80);

    // Any page but the concatenation page: the slot replaces the picture.
    QVERIFY(f.FormDragOver(f.pnlTmpSave[0], s.workAreaCentre()));
    f.FormDragDrop(f.pnlTmpSave[0], s.workAreaCentre());
    QCOMPARE(f.statusText(), QStringLiteral("一時保存領域[1]の画像を展開"));
    QCOMPARE(f.editingPicture().width(), 100);
    QCOMPARE(f.lblSrcSizeW->text(), QStringLiteral("100"));

    // On it, the slot joins on the side of the drop, here the top of the work area.
    f.LoadPictureFile(s.write("second.bmp", 60, 80));
    f.pcEdit->setCurrentWidget(f.tabConcat);
    if (!f.spdLeftRightCut->isChecked())
        f.spdLeftRightCut->click();
    const QPoint top(f.width() / 2, f.imgSource->geometry().top());
    QVERIFY(f.FormDragOver(f.pnlTmpSave[0], top));
    f.FormDragDrop(f.pnlTmpSave[0], top);
    QCOMPARE(f.statusText(), QStringLiteral("一時保存領域[1]の画像を連結"));
    QCOMPARE(f.editingPicture().width(), 60);
    QCOMPARE(f.editingPicture().height(), 130);
    QCOMPARE(f.lblSrcSizeH->text(), QStringLiteral("130"));
    QCOMPARE(f.lblFileNameF->text(), QStringLiteral("second.bmp"));
    QCOMPARE(f.slotStrip().picture(1).width(), 100);  // the dragged slot keeps its picture
}

void FrmMainSlotsTest::dropsOutsideTheWorkAreaAreRefused()
{
    Session s;
    s.load("a.bmp", 300, 200);
    test::TestMain& f = s.frm;
    f.btnTmpSave[0]->click();
    const auto centreOf = [&](QWidget* w) { return w->mapTo(&f, w->rect().center()); };
    QVERIFY(f.FormDragOver(f.pnlTmpSave[0], centreOf(f.shpRange)));
    QVERIFY(f.FormDragOver(f.pnlTmpSave[0], centreOf(f.lblFileNameF)));  // the name is drawn on the work area
    QVERIFY(f.FormDragOver(f.pnlTmpSave[0], QPoint(2, f.imgSource->geometry().center().y())));  // bare surface
    for (QWidget* w : std::initializer_list<QWidget*>{f.btnOpen, f.pcEdit, f.pnlTmpSave[1], f.btnTmpLoad[0],
                                                      f.pnlConsole, f.edtPower, f.statusBar})
        QVERIFY2(!f.FormDragOver(f.pnlTmpSave[0], centreOf(w)), qPrintable(w->objectName()));
    QVERIFY(!f.FormDragOver(f.pnlTmpSave[0], QPoint(-5, 300)));
}

void FrmMainSlotsTest::widePictureFillsTheSlotWidth()
{
    Session s;
    s.load("wide.bmp", 2000, 100);
    s.frm.btnTmpSave[0]->click();
    SlotPanel* panel = s.frm.pnlTmpSave[0];
    QCOMPARE(panel->contentsRect().size(), QSize(82, 42));
    QCOMPARE(panel->imageRect(), QRect(panel->contentsRect().topLeft() + QPoint(0, 19), QSize(82, 4)));
    QCOMPARE(panel->image().size(), QSize(82, 4));
    s.load("small.bmp", 10, 10);  // small pictures are enlarged
    s.frm.btnTmpSave[0]->click();
    QCOMPARE(panel->imageRect().size(), QSize(42, 42));
}

void FrmMainSlotsTest::realDragsFollowTheTable()
{
    Session s;
    test::TestMain& f = s.frm;
    s.load("a.bmp", 300, 200);
    f.btnTmpSave[0]->click();
    s.load("b.bmp", 120, 90);
    f.edtSizeW->setText(QStringLiteral("32"));
    f.edtSizeH->setText(QStringLiteral("32"));
    // The picture is grabbed beside the frame, which lies over its middle.
    const auto centreOf = [&](QWidget* w) {
        return w->mapTo(&f, w == f.imgSource ? QPoint(3, 3) : w->rect().center());
    };
    // The drag loop runs inside the press; the moves and the release come from a timer in it.
    const auto drag = [&](QWidget* from, QWidget* to) {
        const QPoint target = centreOf(to);
        QWindow* window = f.windowHandle();
        bool released = false;
        QTimer::singleShot(50, [&] {
            QTest::mouseMove(window, target - QPoint(3, 0));
            QTest::mouseMove(window, target);
            QTest::mouseRelease(window, Qt::LeftButton, {}, target);
            released = true;
        });
        QTest::mousePress(window, Qt::LeftButton, {}, centreOf(from));
        QTRY_VERIFY(released);
    };

    drag(f.pnlTmpSave[0], f.pnlTmpSave[2]);
    if (f.slotStrip().picture(3).isEmpty())
        QSKIP("this platform runs no drag loop (run under X)");
    QCOMPARE(f.statusText(), QStringLiteral("一時保存領域の複写：[1]→[3]"));
    QVERIFY(f.btnTmpLoad[2]->isEnabled());

    const QString before = f.statusText();
    drag(f.pnlTmpSave[0], f.pnlTmpSave[0]);  // a plain click on a slot
    drag(f.pnlTmpSave[1], f.imgSource);      // an empty slot
    drag(f.pnlTmpSave[0], f.btnOpen);
    drag(f.imgSource, f.imgSource);
    QCOMPARE(f.statusText(), before);
    QCOMPARE(f.editingPicture().width(), 120);

    drag(f.imgSource, f.pnlTmpSave[1]);
    QCOMPARE(f.statusText(), QStringLiteral("編集画像全体を一時保存領域[2]へ保存"));
    QCOMPARE(f.slotStrip().picture(2).width(), 120);

    drag(f.pnlTmpSave[2], f.imgSource);
    QCOMPARE(f.statusText(), QStringLiteral("一時保存領域[3]の画像を展開"));
    QCOMPARE(f.editingPicture().width(), 300);
}

QTEST_MAIN(FrmMainSlotsTest)
#include "test_frm_main_slots.moc"
